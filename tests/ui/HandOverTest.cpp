#include "ui/HandOver.h"
#include "tests/support/SpinUntil.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// A call from another thread runs on the window's thread; on the window's
// thread a call runs at once.
TEST(HandOver, ACallRunsOnTheWindowsThread)
{
    HandOver handOver;
    std::atomic<QThread*> ranOn { nullptr };
    std::thread caller([&] { handOver.run([&] { ranOn = QThread::currentThread(); }); });
    ASSERT_TRUE(spinUntil([&] { return ranOn.load() != nullptr; }, 10'000));
    caller.join();
    EXPECT_EQ(ranOn.load(), QCoreApplication::instance()->thread());

    int value = 0;
    handOver.run([&] { value = 7; });
    EXPECT_EQ(value, 7);
}

// The caller goes on once its call is taken, while the call still runs, and
// the call is finished before the window's thread does anything else.
TEST(HandOver, ATakenCallLetsItsCallerGoBeforeItRunsAndFinishesFirst)
{
    HandOver handOver;
    std::atomic<bool> callerOn { false }, sawCallerOn { false }, finished { false };
    std::atomic<bool> finishedBeforeNextEvent { false };
    std::thread caller([&] {
        handOver.run([&] {
            sawCallerOn = spinUntil([&] { return callerOn.load(); }, 10'000);
            finished = true;
        });
        callerOn = true;
        QTimer::singleShot(0, &handOver, [&] { finishedBeforeNextEvent = finished.load(); });
    });
    ASSERT_TRUE(spinUntil([&] { return finishedBeforeNextEvent.load(); }, 10'000));
    caller.join();
    EXPECT_TRUE(sawCallerOn);
}

// Several threads at once: every call runs exactly once, none lost, and each
// thread's calls in the order it made them.
TEST(HandOver, CallsFromSeveralThreadsEachRunOnceInTheirOrder)
{
    constexpr int kThreads = 3, kCalls = 200;
    HandOver handOver;
    std::vector<std::vector<int>> runs(kThreads); // window's thread only
    std::atomic<int> returned { 0 };
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                handOver.run([&runs, t, i] { runs[t].push_back(i); });
                ++returned;
            }
        });
    }
    ASSERT_TRUE(spinUntil([&] { return returned.load() == kThreads * kCalls; }, 30'000));
    for (std::thread& c : callers)
        c.join();
    QCoreApplication::processEvents();
    std::vector<int> inOrder(kCalls);
    for (int i = 0; i < kCalls; ++i)
        inOrder[i] = i;
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(runs[t], inOrder) << "thread " << t;
}

// Refusing releases a waiting caller at once; its call never runs, and no
// other thread's call is taken until refusing ends. The window's own calls
// go on meanwhile.
TEST(HandOver, ARefusedCallNeverRunsUntilRefusingEnds)
{
    HandOver handOver;
    std::atomic<int> runs { 0 };
    std::thread caller([&] { handOver.run([&] { ++runs; }); });
    // The window's thread runs no events, so the call can only wait.
    std::this_thread::sleep_for(50ms);
    handOver.refuse(true);
    caller.join();
    std::thread refused([&] { handOver.run([&] { ++runs; }); });
    refused.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 0);
    EXPECT_TRUE(handOver.refusing());
    handOver.run([&] { ++runs; });
    EXPECT_EQ(runs.load(), 1);

    handOver.refuse(false);
    EXPECT_FALSE(handOver.refusing());
    std::thread again([&] { handOver.run([&] { ++runs; }); });
    EXPECT_TRUE(spinUntil([&] { return runs.load() == 2; }, 10'000));
    again.join();
}

// The hand-over goes while a caller waits for it: the destructor releases
// the caller and returns once it has left (sanitizers would see a caller
// still inside).
TEST(HandOver, GoingReleasesItsCallerAndWaitsForItToLeave)
{
    // Holds back the wake-up: once seen, the caller waits inside.
    struct WakeUpEater : QObject {
        bool seen = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            seen = seen || event->type() == QEvent::MetaCall;
            return event->type() == QEvent::MetaCall;
        }
    } eater;
    auto handOver = std::make_unique<HandOver>();
    handOver->installEventFilter(&eater);
    std::atomic<int> runs { 0 };
    std::thread caller([&] { handOver->run([&] { ++runs; }); });
    ASSERT_TRUE(spinUntil([&] { return eater.seen; }, 10'000));
    handOver.reset();
    caller.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 0);
}

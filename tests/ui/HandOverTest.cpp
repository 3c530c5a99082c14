#include "ui/HandOver.h"
#include "tests/support/SpinUntil.h"
#include "tests/support/Watchdog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Until = HandOver::Until;

namespace {

// Counts the wake-ups the window's thread takes from its event queue.
struct WakeUpCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

} // namespace

// The caller waits until its call has run on the window's thread, and sees
// everything the call did; on the window's thread a call runs at once.
TEST(HandOver, ACallRunsOnTheWindowsThreadAndTheCallerWaitsForIt)
{
    HandOver handOver;
    QThread* ranOn = nullptr;
    int value = 0;
    std::atomic<bool> returned { false };
    std::thread caller([&] {
        EXPECT_TRUE(handOver.run([&] {
            ranOn = QThread::currentThread();
            value = 42;
        }));
        EXPECT_EQ(value, 42);
        returned = true;
    });
    ASSERT_TRUE(spinUntil([&] { return returned.load(); }));
    caller.join();
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());

    EXPECT_TRUE(handOver.run([&] { value = 7; }));
    EXPECT_EQ(value, 7);
}

// "Taken": the caller goes on while its call still runs, and the call is
// finished before the window's thread does anything else.
TEST(HandOver, ATakenCallLetsItsCallerGoBeforeItRunsAndFinishesFirst)
{
    HandOver handOver;
    std::atomic<bool> callerOn { false }, sawCallerOn { false }, finished { false };
    std::atomic<bool> finishedBeforeNextEvent { false };
    std::thread caller([&] {
        EXPECT_TRUE(handOver.run(
            [&] {
                sawCallerOn = spinUntil([&] { return callerOn.load(); }, 10'000);
                finished = true;
            },
            Until::Taken));
        callerOn = true;
        QTimer::singleShot(0, &handOver, [&] { finishedBeforeNextEvent = finished.load(); });
    });
    ASSERT_TRUE(spinUntil([&] { return finishedBeforeNextEvent.load(); }));
    caller.join();
    EXPECT_TRUE(sawCallerOn);
}

// Several threads at once: every call runs exactly once, none lost.
TEST(HandOver, CallsFromSeveralThreadsEachRunOnce)
{
    constexpr int kThreads = 3, kCalls = 200;
    HandOver handOver;
    std::vector<int> runs(kThreads * kCalls, 0); // window's thread only
    std::atomic<int> returned { 0 };
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                const Until until = i % 2 ? Until::Taken : Until::Done;
                EXPECT_TRUE(handOver.run([&runs, n = t * kCalls + i] { ++runs[n]; }, until));
                ++returned;
            }
        });
    }
    ASSERT_TRUE(spinUntil([&] { return returned.load() == kThreads * kCalls; }, 30'000));
    for (std::thread& c : callers)
        c.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), kThreads * kCalls);
}

// One wake-up takes up to four calls that need only taking, lingering after
// each for the next, and then goes back to its events: a call beyond those
// waits for a wake-up of its own. A cancel ends a linger at once. (A linger
// of an hour: one that did not end early would trip the watchdog.)
TEST(HandOver, AWakeUpLingersForTakenCallsThenGoesBackToItsEvents)
{
    Watchdog watchdog;
    watchdog.arm("a linger that does not end", 20s);
    HandOver handOver(std::chrono::hours(1));
    WakeUpCounter wakeUps;
    handOver.installEventFilter(&wakeUps);
    std::vector<int> ranInWakeUp; // window's thread only
    std::atomic<bool> lastHanded { false };
    const auto record = [&] { ranInWakeUp.push_back(wakeUps.count); };
    std::thread caller([&] {
        for (int i = 0; i < 5; ++i)
            handOver.run(record, Until::Taken);
        lastHanded = true;
    });
    // The fifth call's wake-up lingers in turn, until this cancel.
    std::thread canceller([&] {
        while (!lastHanded)
            std::this_thread::sleep_for(1ms);
        handOver.cancel();
    });
    ASSERT_TRUE(spinUntil([&] { return ranInWakeUp.size() == 5; }, 10'000));
    caller.join();
    canceller.join();
    watchdog.disarm();
    EXPECT_EQ(ranInWakeUp, (std::vector<int> { 1, 1, 1, 1, ranInWakeUp[4] }));
    EXPECT_GT(ranInWakeUp[4], 1);
}

// A cancel releases a waiting caller at once; its call never runs, and no
// call is taken until resume().
TEST(HandOver, ACancelledCallNeverRunsAndNewCallsAreRefusedUntilResumed)
{
    for (const bool close : { false, true }) {
        SCOPED_TRACE(close ? "close" : "cancel");
        HandOver handOver;
        std::atomic<int> runs { 0 };
        bool result = true;
        std::thread caller([&] { result = handOver.run([&] { ++runs; }); });
        // The window's thread runs no events, so the call can only wait.
        std::this_thread::sleep_for(50ms);
        close ? handOver.close() : handOver.cancel();
        caller.join();
        EXPECT_FALSE(result);
        std::thread refused([&] { EXPECT_FALSE(handOver.run([&] { ++runs; })); });
        refused.join();
        QCoreApplication::processEvents();
        EXPECT_EQ(runs.load(), 0);
        // The window's own calls go on after a cancel, not after the close.
        EXPECT_EQ(handOver.run([&] { ++runs; }), !close);
        EXPECT_EQ(runs.load(), close ? 0 : 1);
        if (close)
            continue;
        handOver.resume();
        std::atomic<bool> returned { false };
        std::thread again([&] {
            EXPECT_TRUE(handOver.run([&] { ++runs; }));
            returned = true;
        });
        EXPECT_TRUE(spinUntil([&] { return returned.load(); }));
        again.join();
        EXPECT_EQ(runs.load(), 2);
    }
}

// A call that runs a nested event loop, as a message box does: a stop made
// inside that loop (cancel or close, then join the caller's thread, as a
// side's stop does) does not wait for the call, which finishes on its own
// once the loop ends. Calls from other threads are served inside the loop.
TEST(HandOver, AStopWhileACallRunsDoesNotWaitForIt)
{
    for (const bool close : { false, true }) {
        SCOPED_TRACE(close ? "close" : "cancel");
        Watchdog watchdog;
        watchdog.arm("a stop inside a running call", 20s);
        auto handOver = std::make_unique<HandOver>();
        std::atomic<bool> otherRan { false }, finished { false };
        bool joinedWhileRunning = false, result = true;
        std::thread caller;
        caller = std::thread([&] {
            result = handOver->run([&] {
                QEventLoop nested;
                std::thread other([&] { otherRan = handOver->run([] {}); });
                // The stop comes from the nested loop's own timer, as a
                // click on the window would, and not from a loop nested once
                // more: that is where the other call must be served.
                QTimer poll;
                QElapsedTimer waited;
                waited.start();
                QObject::connect(&poll, &QTimer::timeout, &nested, [&] {
                    if (!otherRan && waited.elapsed() < 10'000)
                        return;
                    poll.stop();
                    close ? handOver->close() : handOver->cancel();
                    caller.join();
                    joinedWhileRunning = !finished;
                    nested.quit();
                });
                poll.start(1);
                nested.exec();
                other.join();
                finished = true;
            });
        });
        ASSERT_TRUE(spinUntil([&] { return finished.load(); }, 10'000));
        watchdog.disarm();
        EXPECT_TRUE(joinedWhileRunning);
        EXPECT_FALSE(result);
        EXPECT_TRUE(otherRan);
        handOver.reset();
        QCoreApplication::processEvents();
    }
}

// The hand-over goes while wake-ups are still queued for it: they go with it.
TEST(HandOver, QueuedWakeUpsDieWithIt)
{
    auto handOver = std::make_unique<HandOver>();
    std::atomic<int> runs { 0 };
    std::thread caller([&] { handOver->run([&] { ++runs; }); });
    std::this_thread::sleep_for(20ms);
    handOver->cancel();
    caller.join();
    handOver.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 0);
}

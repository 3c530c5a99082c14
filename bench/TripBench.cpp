// One trip from a receive thread to the window's thread and back, beside the
// bare costs it is made of: a two-thread condition-variable ping-pong (the
// floor for any hand-off that sleeps), a no-op QMetaObject::invokeMethod
// trip (post, wake the window's thread, wake the caller) and the same trip
// carrying the log append, timed in its parts.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include "bench/NoOpPartner.h"
#include "ui/CDatagramDlg.h"
#include "ui/QtFieldOperations.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace bench {

namespace {

constexpr int kWarmUp = 50;
constexpr int kSamples = 600;
// Trips are isolated, as a datagram's are: the repaint an append causes is
// over before the next trip starts.
constexpr auto kSpacing = std::chrono::microseconds(1500);

// Runs `sample(i)` kWarmUp + kSamples times on a thread of its own while the
// window's thread runs its events.
template <class Sample> void fromReceiveThread(Sample sample)
{
    QEventLoop loop;
    std::thread caller([&] {
        for (int i = 0; i < kWarmUp + kSamples; ++i) {
            sample(i);
            std::this_thread::sleep_for(kSpacing);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    caller.join();
}

Stats pingPong()
{
    NoOpPartner partner;
    std::vector<double> samples;
    for (int i = 0; i < kWarmUp + kSamples; ++i) {
        const auto t0 = Clock::now();
        partner.trip();
        const auto t1 = Clock::now();
        if (i >= kWarmUp)
            samples.push_back(microsecondsBetween(t0, t1));
        std::this_thread::sleep_for(kSpacing);
    }
    return summarise(samples);
}

struct Parts {
    std::vector<double> total, post, wakeWindow, work, wakeCaller;
};

// A queued lambda that runs `work` on the window's thread; the caller waits
// on a condition variable, each step stamped.
template <class Work> Parts invokeTrips(QObject& target, Work work)
{
    Parts parts;
    fromReceiveThread([&](int i) {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        Clock::time_point started, finished;
        const auto t0 = Clock::now();
        QMetaObject::invokeMethod(
            &target,
            [&] {
                started = Clock::now();
                work(i);
                finished = Clock::now();
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    done = true;
                }
                changed.notify_all();
            },
            Qt::QueuedConnection);
        const auto t1 = Clock::now();
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return done; });
        }
        const auto t2 = Clock::now();
        if (i < kWarmUp)
            return;
        parts.total.push_back(microsecondsBetween(t0, t2));
        parts.post.push_back(microsecondsBetween(t0, t1));
        parts.wakeWindow.push_back(microsecondsBetween(t1, started));
        parts.work.push_back(microsecondsBetween(started, finished));
        parts.wakeCaller.push_back(microsecondsBetween(finished, t2));
    });
    return parts;
}

template <class Operation> Stats fieldOperationTrips(Operation operation)
{
    std::vector<double> samples;
    fromReceiveThread([&](int i) {
        const auto t0 = Clock::now();
        operation(i);
        const auto t1 = Clock::now();
        if (i >= kWarmUp)
            samples.push_back(microsecondsBetween(t0, t1));
    });
    return summarise(samples);
}

std::string medians(const Parts& parts)
{
    return format(summarise(parts.post).median) + " / " + format(summarise(parts.wakeWindow).median) + " / "
           + format(summarise(parts.work).median) + " / " + format(summarise(parts.wakeCaller).median);
}

} // namespace

bool windowTrip()
{
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    printHeader(std::string("3b. One trip to the window's thread (us), dispatcher ")
                + (dispatcher ? dispatcher->metaObject()->className() : "none"));
    CDatagramDlg dialog;
    dialog.show();
    QCoreApplication::processEvents();

    const Stats bare = pingPong();
    printRow("bare two-thread condition-variable ping-pong: median / p99",
        format(bare.median) + " / " + format(bare.p99), "", true);

    const Parts noOp = invokeTrips(dialog, [](int) {});
    const Stats noOpTotal = summarise(noOp.total);
    printRow("bare no-op invokeMethod trip: median / p99", format(noOpTotal.median) + " / " + format(noOpTotal.p99), "",
        true);
    printRow("- post / wake window / work / wake caller (medians)", medians(noOp), "", true);

    MainWindowFields& fields = dialog.fields();
    const QString line = QStringLiteral("datagram: the quick brown fox jumps over");
    const Parts append = invokeTrips(dialog, [&](int) { fields.appendLog(IDC_SERVER_LOG, line); });
    const Stats appendTotal = summarise(append.total);
    printRow("invokeMethod trip carrying the log append: median / p99",
        format(appendTotal.median) + " / " + format(appendTotal.p99), "", true);
    printRow("- post / wake window / append / wake caller (medians)", medians(append), "", true);

    QtFieldOperations ops(fields);
    const Stats log = fieldOperationTrips([&](int) { ops.appendLog(IDC_CLIENT_LOG, "datagram: the quick brown fox"); });
    printRow("field operation trip, AppendLog: median / p99", format(log.median) + " / " + format(log.p99), "", true);
    printRow("- ratio AppendLog trip / ping-pong (median)", format(log.median / bare.median, 1), "", true);
    return true;
}

} // namespace bench

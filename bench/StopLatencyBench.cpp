// How long the stop handlers take to return, with the receive thread in each
// place it can be: blocked in its receive, waiting for a field operation on
// the window's thread, and busy with a flood of datagrams; then a thousand
// stops under a flood while busy processes saturate every core.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include "tests/support/Flood.h"
#include "tests/support/LoopbackPeer.h"
#include "ui/CDatagramDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <thread>

namespace bench {

namespace {

constexpr int kTrials = 30;
constexpr double kTargetMs = 20.0;
const char* const kClientAddress = "127.0.0.62";

void spin(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

// Runs the window's event loop for `milliseconds`, sleeping when there is
// nothing to do, as the program's own loop does.
void idle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double timedMs(const std::function<void()>& stop)
{
    const auto t0 = Clock::now();
    stop();
    return microsecondsBetween(t0, Clock::now()) / 1000.0;
}

bool reportCase(const char* label, const std::vector<double>& samples, const std::string& note = std::string())
{
    const Stats s = summarise(samples);
    const bool met = s.max < kTargetMs && s.count == static_cast<std::size_t>(kTrials);
    printRow(
        std::string(label) + ": median / max (ms)", format(s.median, 3) + " / " + format(s.max, 3), "max < 20", met);
    if (!note.empty())
        printNote(note);
    return met;
}

// One busy process per core, forked here and killed when this goes; each
// also ends itself after `limit` seconds should the benchmark die first.
class BusyProcesses {
public:
    BusyProcesses(long count, unsigned limit)
    {
        for (long i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::alarm(limit);
                for (volatile unsigned long spin = 0;; spin = spin + 1) {}
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t pid : m_pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    std::size_t size() const { return m_pids.size(); }

private:
    std::vector<pid_t> m_pids;
};

// Time this thread has spent runnable but not running (ms), from the
// scheduler's own accounting.
double runnableWaitMs()
{
    std::ifstream stat("/proc/thread-self/schedstat");
    double running = 0, waiting = 0;
    stat >> running >> waiting;
    return waiting / 1e6;
}

// A thousand start/stop cycles of both sides under a flood from 40 senders
// while every core is kept busy by a competing process.
bool stopUnderSaturation(CDatagramDlg& dialog, std::uint16_t serverPort)
{
    constexpr int kCycles = 1000;
    constexpr double kP99TargetMs = 50.0;
    const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::vector<double> stops[2], waited;
    std::mt19937 random(11);
    int cycles = 0;
    std::uint64_t flooded = 0;
    double seconds = 0;
    {
        BusyProcesses busy(cores, 60);
        Flood flood(40, { { "127.0.0.1", serverPort }, { kClientAddress, ClientEndpoint::kLocalPort } },
            std::chrono::seconds(60));
        QElapsedTimer elapsed;
        elapsed.start();
        for (; cycles < kCycles && elapsed.elapsed() < 40'000; ++cycles) {
            dialog.OnServerStart();
            dialog.OnClientStart();
            // Long enough for both threads to be mid-flood: receiving,
            // pausing or waiting on this thread. The window's thread sleeps
            // in its event loop meanwhile, as it does when a user clicks.
            idle(1 + static_cast<int>(random() % 4));
            const bool serverFirst = random() % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                const bool isServer = (side == 0) == serverFirst;
                const double waitBefore = runnableWaitMs();
                stops[isServer ? 0 : 1].push_back(
                    timedMs([&] { isServer ? dialog.OnServerStop() : dialog.OnClientStop(); }));
                waited.push_back(runnableWaitMs() - waitBefore);
            }
        }
        flooded = flood.sent();
        seconds = static_cast<double>(elapsed.elapsed()) / 1000.0;
    }
    bool met = cycles == kCycles;
    const char* names[2] = { "server", "client" };
    for (int side = 0; side < 2; ++side) {
        const Stats s = summarise(stops[side]);
        const bool sideMet = s.p99 <= kP99TargetMs;
        met &= sideMet;
        printRow(std::string(names[side]) + ", flood + " + std::to_string(cores)
                     + " busy processes: median / p99 / max (ms)",
            format(s.median, 2) + " / " + format(s.p99, 2) + " / " + format(s.max, 1), "p99 <= 50", sideMet);
    }
    const Stats w = summarise(waited);
    printRow("  of it, the stopping thread runnable but not running: median / p99 (ms)",
        format(w.median, 2) + " / " + format(w.p99, 2), "", true);
    printNote(format(static_cast<double>(flooded) / seconds, 0) + " datagrams/s sent by the flood meanwhile");
    if (cycles < kCycles)
        printNote("ran out of time after " + std::to_string(cycles) + " cycles");
    return met;
}

} // namespace

bool stopLatency()
{
    printHeader("4. Stop latency: OnServerStop / OnClientStop return time, 30 trials each");
    CDatagramDlg dialog;
    dialog.show();
    dialog.fields().echoBox()->setChecked(true);
    dialog.fields().setText(IDC_SERVER_PORT, QStringLiteral("0"));
    dialog.fields().setText(IDC_DEST_IP, QString::fromLatin1(kClientAddress));
    dialog.OnServerStart();
    const std::uint16_t serverPort = dialog.server().localEndpoint().port;
    dialog.OnServerStop();
    // Every later start reuses the port the system chose.
    dialog.fields().setText(IDC_SERVER_PORT, QString::number(serverPort));
    dialog.OnClientStart();
    const bool clientBound = dialog.client().localEndpoint().port == ClientEndpoint::kLocalPort;
    dialog.OnClientStop();
    if (!clientBound)
        printNote(std::string("client could not bind ") + kClientAddress + ":50001; its figures mean little");

    struct Side {
        const char* name;
        std::function<void()> start, stop;
        ControlId log;
        std::uint16_t port;
        std::string address;
    };
    const Side sides[] = {
        { "server", [&] { dialog.OnServerStart(); }, [&] { dialog.OnServerStop(); }, IDC_SERVER_LOG, serverPort,
            "127.0.0.1" },
        { "client", [&] { dialog.OnClientStart(); }, [&] { dialog.OnClientStop(); }, IDC_CLIENT_LOG,
            ClientEndpoint::kLocalPort, kClientAddress },
    };

    bool met = true;
    LoopbackPeer sender("127.0.0.9");
    for (const Side& side : sides) {
        std::vector<double> blocked, waiting, flooded;
        int provenWaiting = 0;
        for (int i = 0; i < kTrials; ++i) {
            side.start();
            spin(15);
            blocked.push_back(timedMs(side.stop));

            // Without running the window's events, the receive thread's
            // AppendLog stays posted and the thread waits for it.
            side.start();
            QPlainTextEdit* log = dialog.fields().log(side.log);
            const int linesBefore = log->document()->blockCount();
            sender.sendTo("x", 1, side.port, side.address);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            waiting.push_back(timedMs(side.stop));
            spin(5);
            if (log->document()->blockCount() == linesBefore)
                ++provenWaiting;
        }
        {
            Flood flood(8, { { "127.0.0.1", serverPort }, { kClientAddress, ClientEndpoint::kLocalPort } });
            for (int i = 0; i < kTrials; ++i) {
                side.start();
                spin(30);
                flooded.push_back(timedMs(side.stop));
            }
        }
        char label[96];
        std::snprintf(label, sizeof label, "%s, blocked in receive", side.name);
        met &= reportCase(label, blocked);
        std::snprintf(label, sizeof label, "%s, waiting for a field operation", side.name);
        met &= reportCase(label, waiting,
            provenWaiting == kTrials ? std::string()
                                     : std::to_string(kTrials - provenWaiting)
                                           + " trials found the thread past its wait; they count as ordinary stops");
        std::snprintf(label, sizeof label, "%s, under a flood from 8 senders", side.name);
        met &= reportCase(label, flooded);
    }
    printHeader("4b. Stop under flood with the CPU saturated: 1,000 start/stop cycles");
    met &= stopUnderSaturation(dialog, serverPort);
    dialog.fields().log(IDC_SERVER_LOG)->clear();
    dialog.fields().log(IDC_CLIENT_LOG)->clear();
    return met;
}

} // namespace bench

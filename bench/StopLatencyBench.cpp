// How long the stop handlers take to return, with the receive thread in each
// place it can be: blocked in its receive, waiting for a field operation on
// the window's thread, and busy with a flood of datagrams.
#include "BenchSupport.h"
#include "Benchmarks.h"

#include "CDatagramDlg.h"
#include "LoopbackPeer.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
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

double timedMs(const std::function<void()>& stop)
{
    const auto t0 = Clock::now();
    stop();
    return microsecondsBetween(t0, Clock::now()) / 1000.0;
}

// Senders on their own loopback addresses, sending datagrams of 0 to 1500
// arbitrary bytes to both sides as fast as they can.
class Flood {
public:
    Flood(std::uint16_t serverPort, const std::string& clientAddress)
    {
        for (int t = 0; t < 2; ++t) {
            m_threads.emplace_back([this, t, serverPort, clientAddress] {
                std::vector<std::unique_ptr<LoopbackPeer>> sockets;
                for (int s = 0; s < 4; ++s)
                    sockets.push_back(std::make_unique<LoopbackPeer>("127.0.0." + std::to_string(20 + 4 * t + s)));
                std::mt19937 random(static_cast<unsigned>(t + 1));
                char payload[1500];
                for (char& c : payload)
                    c = static_cast<char>(random());
                for (std::uint64_t i = 0; !m_stop.load(std::memory_order_relaxed); ++i) {
                    const std::size_t length = random() % (sizeof payload + 1);
                    const auto& socket = *sockets[i % sockets.size()];
                    if (i % 2 == 0)
                        socket.sendTo(payload, length, serverPort);
                    else
                        socket.sendTo(payload, length, ClientEndpoint::kLocalPort, clientAddress);
                }
            });
        }
    }
    ~Flood()
    {
        m_stop = true;
        for (auto& t : m_threads)
            t.join();
    }

private:
    std::atomic<bool> m_stop { false };
    std::vector<std::thread> m_threads;
};

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
            Flood flood(serverPort, kClientAddress);
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
    dialog.fields().log(IDC_SERVER_LOG)->clear();
    dialog.fields().log(IDC_CLIENT_LOG)->clear();
    return met;
}

} // namespace bench

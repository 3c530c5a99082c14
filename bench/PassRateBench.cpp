// How fast udplisten works off a backlog: a burst of datagrams queued at
// once, each logged, echoed and registered in the peer list by the real
// dialog. The design allows one datagram per pass and a 10 ms pause per
// pass, so 100 per second is the ceiling; the rest is per-pass overhead.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include "net/ServerEndpoint.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/LoopbackPeer.h"
#include "ui/CDatagramDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace bench {

namespace {

constexpr int kBurst = 150;

struct BurstResult {
    int sent = 0;
    int echoed = 0;
    double rate = 0; // datagrams per second, first echo to last
    double overheadMs = 0; // per pass, beyond the 10 ms pause
    int logLines = 0;
};

// Sends the burst from its own thread and times the echoes, which leave
// once per pass. The datagrams go round `senders` sockets, each on its own
// loopback address; passes run in order, so the echoes are collected in
// sending order too. With a window, its thread runs `loop` meanwhile.
BurstResult sendBurst(std::uint16_t port, QEventLoop* loop, int senders = 1)
{
    BurstResult result;
    std::thread client([&] {
        std::vector<std::unique_ptr<LoopbackPeer>> sockets;
        for (int i = 0; i < senders; ++i) {
            const std::string address = senders == 1
                                            ? std::string("127.0.0.8")
                                            : "127.1." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
            sockets.push_back(std::make_unique<LoopbackPeer>(address));
        }
        char payload[32];
        for (int i = 0; i < kBurst; ++i) {
            const int n = std::snprintf(payload, sizeof payload, "burst datagram %03d", i);
            if (sockets[static_cast<std::size_t>(i % senders)]->sendTo(payload, static_cast<std::size_t>(n), port))
                ++result.sent;
        }
        Clock::time_point first, last;
        while (result.echoed < result.sent) {
            if (!sockets[static_cast<std::size_t>(result.echoed % senders)]->receive(std::chrono::milliseconds(2000)))
                break;
            last = Clock::now();
            if (result.echoed++ == 0)
                first = last;
        }
        if (result.echoed > 1) {
            const double seconds = microsecondsBetween(first, last) / 1e6;
            result.rate = (result.echoed - 1) / seconds;
            result.overheadMs = seconds * 1000.0 / (result.echoed - 1) - 10.0;
        }
        if (loop)
            QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    if (loop)
        loop->exec();
    client.join();
    return result;
}

BurstResult runWithoutWindow()
{
    // The in-memory test window: the endpoints' floor, without Qt.
    FakeFieldOperations window;
    window.setEcho(true);
    window.setField(IDC_SERVER_PORT, "0");
    ServerEndpoint server(window);
    server.start();
    BurstResult r = sendBurst(server.localEndpoint().port, nullptr);
    server.stop();
    r.logLines = static_cast<int>(window.logLines(IDC_SERVER_LOG).size());
    return r;
}

// `listedPeers` senders are registered first, through the window's own
// registration; the burst then comes from as many new senders as datagrams.
BurstResult runBurst(int preloadedLines, int listedPeers = 0)
{
    CDatagramDlg dialog;
    dialog.show();
    for (int i = 0; i < listedPeers; ++i)
        dialog.fields().peerRegister(QStringLiteral("127.2.%1.%2:4000").arg(i / 250).arg(1 + i % 250));
    QPlainTextEdit* log = dialog.fields().log(IDC_SERVER_LOG);
    if (preloadedLines > 0) {
        QString text;
        for (int i = 0; i < preloadedLines; ++i)
            text += QStringLiteral("\npreloaded datagram %1 from 127.0.0.5").arg(i);
        log->setPlainText(text);
    }
    QCoreApplication::processEvents();
    const int linesBefore = log->document()->blockCount();
    dialog.fields().setText(IDC_SERVER_PORT, QStringLiteral("0"));
    dialog.fields().echoBox()->setChecked(true);
    dialog.OnServerStart();
    const std::uint16_t port = dialog.server().localEndpoint().port;

    QEventLoop loop;
    BurstResult result = sendBurst(port, &loop, listedPeers > 0 ? kBurst : 1);
    dialog.OnServerStop();
    if (dialog.fields().peerCount() != listedPeers + (listedPeers > 0 ? kBurst : 1))
        printNote(std::to_string(dialog.fields().peerCount()) + " entries listed after the burst");
    result.logLines = log->document()->blockCount() - linesBefore;
    return result;
}

bool report(const char* label, const BurstResult& r, double target = 98.0)
{
    const bool hasTarget = target > 0;
    const bool met = r.rate >= target && r.echoed == kBurst;
    printRow(std::string(label) + ": datagrams/s, overhead per pass",
        format(r.rate, 1) + "/s, " + format(r.overheadMs, 3) + " ms", hasTarget ? ">= " + format(target, 0) + "/s" : "",
        met);
    if (r.echoed != kBurst || r.logLines != kBurst)
        printNote(std::to_string(r.sent) + " sent, " + std::to_string(r.echoed) + " echoed, "
                  + std::to_string(r.logLines) + " logged");
    return met;
}

} // namespace

bool passRate()
{
    printHeader("3. Pass rate: a burst of 150 datagrams worked off by udplisten, echo on (ceiling 100/s)");
    report("no window: in-memory fake, no Qt (floor)", runWithoutWindow(), 0);
    const bool empty = report("dialog, empty log", runBurst(0));
    const bool large = report("dialog, 100,000-line log", runBurst(100'000));
    // 150 new senders, each listed as it is heard: the same burst beside a
    // short list shows what the list's length adds.
    report("dialog, 150 new senders, 10 listed", runBurst(0, 10), 0);
    const bool listed = report("dialog, 150 new senders, 10,000 listed", runBurst(0, 10'000), 97.0);
    const bool decode = decodeCost();
    return empty && large && listed && decode;
}

} // namespace bench

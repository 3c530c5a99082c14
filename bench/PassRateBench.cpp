// How fast udplisten works off a backlog: a burst of datagrams queued at
// once, each logged, echoed and looked up in the peer list by the real
// dialog. The design allows one datagram per pass and a 10 ms pause per
// pass, so 100 per second is the ceiling; the rest is per-pass overhead.
#include "BenchSupport.h"
#include "Benchmarks.h"

#include "CDatagramDlg.h"
#include "MemoryWindow.h"
#include "ServerEndpoint.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <cstdio>
#include <thread>

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
// once per pass. With a window, its thread runs `loop` meanwhile.
BurstResult sendBurst(std::uint16_t port, QEventLoop* loop)
{
    BurstResult result;
    std::thread client([&] {
        LoopbackSocket socket("127.0.0.8");
        char payload[32];
        for (int i = 0; i < kBurst; ++i) {
            const int n = std::snprintf(payload, sizeof payload, "burst datagram %03d", i);
            if (socket.sendTo(payload, static_cast<std::size_t>(n), port))
                ++result.sent;
        }
        Clock::time_point first, last;
        while (result.echoed < result.sent) {
            if (!socket.receive(std::chrono::milliseconds(2000)))
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
            QMetaObject::invokeMethod(
                loop, [loop] { loop->quit(); }, Qt::QueuedConnection);
    });
    if (loop)
        loop->exec();
    client.join();
    return result;
}

BurstResult runWithoutWindow()
{
    MemoryWindow window;
    ServerEndpoint server(window);
    server.start();
    BurstResult r = sendBurst(server.localEndpoint().port, nullptr);
    server.stop();
    r.logLines = window.lines();
    return r;
}

BurstResult runBurst(int preloadedLines)
{
    CDatagramDlg dialog;
    dialog.show();
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
    BurstResult result = sendBurst(port, &loop);
    dialog.OnServerStop();
    result.logLines = log->document()->blockCount() - linesBefore;
    return result;
}

bool report(const char* label, const BurstResult& r, bool hasTarget = true)
{
    const bool met = r.rate >= 98.0 && r.echoed == kBurst;
    printRow(std::string(label) + ": datagrams/s, overhead per pass",
        format(r.rate, 1) + "/s, " + format(r.overheadMs, 3) + " ms", hasTarget ? ">= 98/s, < 0.2 ms" : "", met);
    if (r.echoed != kBurst || r.logLines != kBurst)
        printNote(std::to_string(r.sent) + " sent, " + std::to_string(r.echoed) + " echoed, "
            + std::to_string(r.logLines) + " logged");
    return met;
}

} // namespace

bool passRate()
{
    printHeader("3. Pass rate: a burst of 150 datagrams worked off by udplisten, echo on (ceiling 100/s)");
    report("no window: in-memory fake, no Qt (floor)", runWithoutWindow(), false);
    const bool empty = report("dialog, empty log", runBurst(0));
    const bool large = report("dialog, 100,000-line log", runBurst(100'000));
    return empty && large;
}

} // namespace bench

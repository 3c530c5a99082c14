// The real window, offscreen, under load: both sides stopped and started
// through their handlers while 40 senders flood them; a steady stream that
// must come through whole; and the run ended by Esc or the close sequence
// while both sides are flooded.
//
// Every loop is bounded by a count and by a time many times what an idle
// machine needs, and nothing here asserts a duration: a loaded two-core
// machine under a sanitizer may be slow, never wrong. A stop that hangs
// ends the run through the watchdog.
#include "tests/support/Flood.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/Resources.h"
#include "tests/support/SpinUntil.h"
#include "tests/support/Watchdog.h"
#include "ui/CDatagramDlg.h"
#include "ui/PeerListBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Liveness bounds, not speed targets (the benchmarks carry those): a stop
// that takes this long is stuck, and a run that needs this long is not
// going to finish. A stop waits for its receive thread to be scheduled once
// more, which on a loaded machine can take seconds.
constexpr auto kStopBound = std::chrono::seconds(60);
constexpr auto kRunBound = std::chrono::seconds(150);
constexpr int kRunBoundMs = 150'000;

// Runs the window's events for `ms` milliseconds.
void spin(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    while (timer.elapsed() < ms);
}

// A start that fails opens a modal message box, which would stall the test:
// this answers any such box at once and remembers its text.
class MessageBoxCatcher : public QObject {
public:
    MessageBoxCatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text().toStdString());
                box->accept();
            }
        });
        m_timer.start(20);
    }
    std::vector<std::string> texts;

private:
    QTimer m_timer;
};

// A dialog with the server on a port of the system's choice (kept for later
// starts) and the client bound to its own loopback address, both started
// and stopped once so that anything Qt or the runtime starts lazily exists
// before a baseline is taken.
struct Window {
    explicit Window(const char* clientAddress)
    {
        dialog.show();
        dialog.fields().echoBox()->setChecked(true);
        dialog.fields().setText(IDC_SERVER_PORT, QStringLiteral("0"));
        dialog.fields().setText(IDC_DEST_IP, QString::fromLatin1(clientAddress));
        dialog.OnServerStart();
        dialog.OnClientStart();
        port = dialog.server().localEndpoint().port;
        clientBound = dialog.client().localEndpoint().port == ClientEndpoint::kLocalPort;
        spin(20);
        dialog.OnServerStop();
        dialog.OnClientStop();
        dialog.fields().setText(IDC_SERVER_PORT, QString::number(port));
        spin(20);
    }
    int logLines(ControlId log) { return dialog.fields().log(log)->document()->blockCount(); }

    CDatagramDlg dialog;
    std::uint16_t port = 0;
    bool clientBound = false;
};

} // namespace

TEST(DialogStress, StopAndStartAHundredTimesThroughTheHandlersUnderFlood)
{
    constexpr int kCycles = 100;
    const char* const clientAddress = "127.0.0.49";
    Watchdog watchdog;
    MessageBoxCatcher boxes;
    Window w(clientAddress);
    ASSERT_NE(w.port, 0);
    const Resources before = Resources::now();

    std::mt19937 random(7);
    int cycles = 0;
    // Both sides have logged something from the flood.
    const auto reached
        = [&] { return w.logLines(IDC_SERVER_LOG) > 1 && (!w.clientBound || w.logLines(IDC_CLIENT_LOG) > 1); };
    {
        Flood flood(40, { { "127.0.0.1", w.port }, { clientAddress, ClientEndpoint::kLocalPort } }, kRunBound);
        QElapsedTimer elapsed;
        elapsed.start();
        // The senders run at the lowest priority, so on a loaded machine they
        // may get too little time to land anything in the short cycles; then
        // further cycles, with longer waits, run until they have.
        for (; (cycles < kCycles || !reached()) && elapsed.elapsed() < kRunBoundMs; ++cycles) {
            w.dialog.OnServerStart();
            w.dialog.OnClientStart();
            ASSERT_TRUE(w.dialog.server().listening()) << "cycle " << cycles;
            ASSERT_TRUE(w.dialog.client().running()) << "cycle " << cycles;
            // Mostly the window keeps up; every third cycle it is busy
            // elsewhere, so the receive threads wait on it when stopped.
            if (cycles >= kCycles)
                spin(50);
            else if (cycles % 3 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2 + random() % 5));
            else
                spin(static_cast<int>(random() % 15));
            const bool serverFirst = random() % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                const bool isServer = (side == 0) == serverFirst;
                watchdog.timed(
                    isServer ? "OnServerStop" : "OnClientStop",
                    [&] { isServer ? w.dialog.OnServerStop() : w.dialog.OnClientStop(); }, kStopBound);
            }
            EXPECT_FALSE(w.dialog.server().listening());
            EXPECT_FALSE(w.dialog.client().running());
            EXPECT_TRUE(w.dialog.control(IDC_SERVER_START)->isEnabled());
            EXPECT_TRUE(w.dialog.control(IDC_CLIENT_START)->isEnabled());
        }
    }
    // Calls the stopped threads had posted come up now and must do nothing.
    const int serverLines = w.logLines(IDC_SERVER_LOG), clientLines = w.logLines(IDC_CLIENT_LOG);
    spin(50);
    EXPECT_EQ(w.logLines(IDC_SERVER_LOG), serverLines);
    EXPECT_EQ(w.logLines(IDC_CLIENT_LOG), clientLines);

    EXPECT_GE(cycles, kCycles) << "ran out of time";
    EXPECT_TRUE(boxes.texts.empty()) << boxes.texts.front();
    EXPECT_GT(w.logLines(IDC_SERVER_LOG), 1) << "after " << cycles << " cycles";
    if (w.clientBound) {
        EXPECT_GT(w.logLines(IDC_CLIENT_LOG), 1) << "after " << cycles << " cycles";
    }
    // Every entry names one of the 40 senders, each at most once.
    auto* peers = qobject_cast<PeerListBox*>(w.dialog.control(IDC_PEER_LIST));
    QSet<QString> named;
    for (int i = 0; i < peers->rowCount(); ++i) {
        const QString entry = peers->item(i, 0)->text();
        const QStringList parts = entry.split(QLatin1Char(':'));
        ASSERT_EQ(parts.size(), 2) << entry.toStdString();
        const QStringList bytes = parts[0].split(QLatin1Char('.'));
        ASSERT_EQ(bytes.size(), 4) << entry.toStdString();
        EXPECT_EQ(bytes.mid(0, 3).join(QLatin1Char('.')), QStringLiteral("127.0.0")) << entry.toStdString();
        EXPECT_GE(bytes[3].toInt(), 5) << entry.toStdString();
        EXPECT_LE(bytes[3].toInt(), 44) << entry.toStdString();
        EXPECT_FALSE(named.contains(parts[0])) << "listed twice: " << entry.toStdString();
        named.insert(parts[0]);
    }
    const Resources after = Resources::now();
    EXPECT_EQ(after, before) << "before: " << before.describe() << "; after: " << after.describe();
}

// At 90 a second a stream stays under the one-per-pass ceiling, so nothing
// may be dropped: every datagram is logged once, in order, and echoed once.
// A loaded machine may still fall behind that pace; the sender then waits
// for echoes rather than overflow the socket's queue, which would lose
// datagrams for want of CPU instead of a fault.
TEST(DialogStress, ASteadyStreamOfAThousandIsLoggedAndEchoedExactlyOnceInOrder)
{
    constexpr int kCount = 1000;
    constexpr auto kInterval = std::chrono::microseconds(1'000'000 / 90);
    constexpr std::size_t kInFlight = 32;
    Window w("127.0.0.50");
    QPlainTextEdit* log = w.dialog.fields().log(IDC_SERVER_LOG);
    log->clear();
    w.dialog.OnServerStart();
    ASSERT_TRUE(w.dialog.server().listening());

    LoopbackPeer sender("127.0.0.51");
    ASSERT_TRUE(sender.ok());
    std::vector<std::string> sent, echoed;
    std::atomic<bool> sending { true }, abandon { false };
    std::thread stream([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCount && !abandon; ++i) {
            std::this_thread::sleep_until(start + i * kInterval);
            const auto waitUntil = std::chrono::steady_clock::now() + 30s;
            while (
                sent.size() >= echoed.size() + kInFlight && std::chrono::steady_clock::now() < waitUntil && !abandon) {
                if (auto d = sender.receive(20ms))
                    echoed.push_back(d->bytes);
            }
            char text[16];
            std::snprintf(text, sizeof text, "seq %04d", i);
            if (sender.sendTo(text, w.port))
                sent.emplace_back(text);
            // Echoes are collected between sends; the socket holds them meanwhile.
            while (auto d = sender.receive(0ms))
                echoed.push_back(d->bytes);
        }
        sending = false;
    });
    // About 11 s of sending, then the backlog (if any) drains. Past the bound
    // the sender gives up, so that joining it cannot wait on a window that
    // no longer runs its events.
    EXPECT_TRUE(spinUntil([&] { return !sending && w.logLines(IDC_SERVER_LOG) > kCount; }, kRunBoundMs));
    abandon = true;
    stream.join();
    const auto drainUntil = std::chrono::steady_clock::now() + 30s;
    while (echoed.size() < sent.size() && std::chrono::steady_clock::now() < drainUntil) {
        if (auto d = sender.receive(100ms))
            echoed.push_back(d->bytes);
        QCoreApplication::processEvents();
    }
    w.dialog.OnServerStop();

    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kCount));
    QString expected;
    for (const std::string& s : sent)
        expected += QLatin1Char('\n') + QString::fromStdString(s);
    EXPECT_EQ(log->toPlainText(), expected);
    EXPECT_EQ(echoed, sent);
    auto* peers = qobject_cast<PeerListBox*>(w.dialog.control(IDC_PEER_LIST));
    ASSERT_EQ(peers->rowCount(), 1);
    EXPECT_EQ(peers->item(0, 0)->text().toStdString(), sender.name());
}

namespace {

// Ends a modal run of a flooded window with `end` and checks that the run is
// over as a cancel, both sides stopped, and no receive thread or socket left.
// The close sequence stops the sides through their handlers, which reset
// their buttons; Esc ends the run first, and the fields change no more.
void endTheRunUnderFlood(const char* clientAddress, bool closeSequence, const std::function<void(CDatagramDlg&)>& end)
{
    Window w(clientAddress);
    Flood flood(40, { { "127.0.0.1", w.port }, { clientAddress, ClientEndpoint::kLocalPort } });
    const Resources before = Resources::now();
    w.dialog.OnServerStart();
    w.dialog.OnClientStart();
    ASSERT_TRUE(w.dialog.server().listening());
    QElapsedTimer sinceEnd;
    bool ended = false;
    QTimer::singleShot(300, &w.dialog, [&] {
        sinceEnd.start();
        end(w.dialog);
        ended = true;
    });
    // Should the run not end, fail instead of waiting for ever.
    bool forced = false;
    QTimer::singleShot(kRunBoundMs, &w.dialog, [&] {
        forced = true;
        w.dialog.done(QDialog::Accepted);
    });
    const int result = w.dialog.exec();
    ASSERT_TRUE(ended);
    EXPECT_FALSE(forced) << "the run did not end";
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(w.dialog.isVisible());

    // A thread's last steps after its stop returned may still be under way.
    Resources after = Resources::now();
    while (after != before && sinceEnd.elapsed() < kRunBoundMs) {
        std::this_thread::sleep_for(5ms);
        after = Resources::now();
    }
    EXPECT_EQ(after, before) << "after the end: " << after.describe() << "; before: " << before.describe();
    EXPECT_FALSE(w.dialog.server().listening());
    EXPECT_FALSE(w.dialog.client().running());
    if (closeSequence) {
        EXPECT_TRUE(w.dialog.control(IDC_SERVER_START)->isEnabled());
        EXPECT_TRUE(w.dialog.control(IDC_CLIENT_START)->isEnabled());
        EXPECT_FALSE(w.dialog.control(IDC_SERVER_STOP)->isEnabled());
        EXPECT_FALSE(w.dialog.control(IDC_CLIENT_STOP)->isEnabled());
    }
}

} // namespace

TEST(DialogStress, EscEndsAFloodedRunWithNoThreadOrSocketLeft)
{
    endTheRunUnderFlood("127.0.0.52", false, [](CDatagramDlg& dialog) {
        dialog.control(IDC_CLIENT_LOG)->setFocus();
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dialog.focusWidget(), &esc);
    });
}

TEST(DialogStress, TheCloseSequenceEndsAFloodedRunWithNoThreadOrSocketLeft)
{
    endTheRunUnderFlood("127.0.0.53", true, [](CDatagramDlg& dialog) { dialog.close(); });
}

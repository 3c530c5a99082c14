#include "app/CDatagramApp.h"
#include "app/PlatformChoice.h"
#include "net/ReceiveThread.h"
#include "net/UdpSocket.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/UdpPortFree.h"
#include "tests/support/Watchdog.h"
#include "tests/ui/DialogDriver.h"
#include "text/NarrowEncoding.h"
#include "ui/CAboutDlg.h"
#include "ui/PeerListBox.h"
#include "ui/QtFieldOperations.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// A port that was free a moment ago, for fields that need a fixed number.
QString freePort()
{
    LoopbackPeer probe("127.0.0.1", 0);
    return QString::number(probe.port());
}

// Receives on a test socket while the window keeps running its events
// (the server's receive thread waits on the window before it echoes).
std::optional<LoopbackPeer::Datagram> receiveSpinning(const LoopbackPeer& peer)
{
    std::optional<LoopbackPeer::Datagram> got;
    DialogDriver::waitFor([&] {
        got = peer.receive(0ms);
        return got.has_value();
    });
    return got;
}

// Answers the next modal message box, remembering what it showed.
struct MessageBoxWatcher {
    QString caption, text;
    bool seen = false;
    bool hasIcon = true;
    int buttons = 0;
    // Runs as the box is seen, under it.
    std::function<void()> whenSeen;

    void arm()
    {
        QTimer::singleShot(0, [this] { poll(0); });
    }
    void poll(int tries)
    {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen = true;
            caption = box->windowTitle();
            text = box->text();
            hasIcon = box->icon() != QMessageBox::NoIcon;
            buttons = static_cast<int>(box->buttons().size());
            if (whenSeen)
                whenSeen();
            box->accept();
        } else if (tries < 300) {
            QTimer::singleShot(10, [this, tries] { poll(tries + 1); });
        }
    }
};

using Entries = std::vector<std::string>;

Entries entries(const PeerListBox& list)
{
    Entries texts;
    for (int i = 0; i < list.rowCount(); ++i)
        texts.push_back(list.item(i, 0)->text().toStdString());
    return texts;
}

} // namespace

TEST(MainWindow, ShowsTheFieldTableWithDefaults)
{
    DialogDriver d;
    EXPECT_EQ(d.text(IDC_DEST_IP), "127.0.0.1");
    EXPECT_EQ(d.text(IDC_DEST_PORT), "3456");
    EXPECT_EQ(d.text(IDC_SERVER_IP), "localhost");
    EXPECT_EQ(d.text(IDC_SERVER_PORT), "3456");
    for (int id : { IDC_SERVER_LOG, IDC_CLIENT_LOG, IDC_CLIENT_MESSAGE, IDC_REPLY_MESSAGE })
        EXPECT_TRUE(d.text(id).isEmpty()) << id;
    EXPECT_TRUE(qobject_cast<QLineEdit*>(d.dialog.control(IDC_SERVER_IP))->isReadOnly());
    EXPECT_FALSE(qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO))->isChecked());
    EXPECT_EQ(qobject_cast<PeerListBox*>(d.dialog.control(IDC_PEER_LIST))->rowCount(), 0);

    for (int id : { IDC_SERVER_START, IDC_CLIENT_START, IDC_CLIENT_SEND, IDC_REPLY_SEND, IDC_PEER_DELETE,
             IDC_PEER_DELETE_ALL, IDC_ECHO })
        EXPECT_TRUE(d.enabled(id)) << id;
    EXPECT_FALSE(d.enabled(IDC_SERVER_STOP));
    EXPECT_FALSE(d.enabled(IDC_CLIENT_STOP));

    // Every identifier of the field table maps to one control of its kind.
    const int edits[]
        = { IDC_CLIENT_MESSAGE, IDC_DEST_IP, IDC_DEST_PORT, IDC_SERVER_IP, IDC_SERVER_PORT, IDC_REPLY_MESSAGE };
    for (int id : edits)
        EXPECT_NE(qobject_cast<QLineEdit*>(d.dialog.control(id)), nullptr) << id;
    for (int id : { IDC_SERVER_LOG, IDC_CLIENT_LOG })
        EXPECT_NE(qobject_cast<QPlainTextEdit*>(d.dialog.control(id)), nullptr) << id;
    for (int id : { IDC_SERVER_START, IDC_SERVER_STOP, IDC_CLIENT_SEND, IDC_CLIENT_START, IDC_CLIENT_STOP,
             IDC_REPLY_SEND, IDC_PEER_DELETE, IDC_PEER_DELETE_ALL })
        EXPECT_NE(qobject_cast<QPushButton*>(d.dialog.control(id)), nullptr) << id;
}

TEST(MainWindow, DefaultsComeBackOnlyWithTheProgramsOwnShow)
{
    // None of these is the program's own show or hide: what was typed stays.
    // Qt 6.8 sends non-spontaneous show events on minimise and restore.
    const struct {
        const char* name;
        std::function<void(CDatagramDlg&)> act;
    } keep[] = {
        { "minimise and restore",
            [](CDatagramDlg& w) {
                w.showMinimized();
                QCoreApplication::processEvents();
                w.showNormal();
            } },
        { "minimise twice, restore twice",
            [](CDatagramDlg& w) {
                w.showMinimized();
                w.showMinimized();
                w.showNormal();
                w.showNormal();
            } },
        { "show while shown", [](CDatagramDlg& w) { w.show(); } },
        { "About box over it",
            [](CDatagramDlg& w) {
                CAboutDlg about(&w);
                about.show();
                QCoreApplication::processEvents();
                about.hide();
            } },
        { "message box over it",
            [](CDatagramDlg& w) {
                QMessageBox box(
                    QMessageBox::Warning, QStringLiteral("Quorlin"), QStringLiteral("x"), QMessageBox::Ok, &w);
                box.show();
                QCoreApplication::processEvents();
                box.close();
            } },
        { "another window becomes active and back",
            [](CDatagramDlg& w) {
                QWidget other;
                other.show();
                other.activateWindow();
                QCoreApplication::processEvents();
                w.activateWindow();
            } },
    };
    for (const auto& row : keep) {
        DialogDriver d;
        d.type(IDC_SERVER_PORT, "4000");
        d.type(IDC_DEST_IP, "127.0.0.9");
        row.act(d.dialog);
        QCoreApplication::processEvents();
        EXPECT_EQ(d.text(IDC_SERVER_PORT), "4000") << row.name;
        EXPECT_EQ(d.text(IDC_DEST_IP), "127.0.0.9") << row.name;
    }

    // The program's own hide, and its own show again, each set all four.
    DialogDriver d;
    const auto typeAll = [&d] {
        d.type(IDC_DEST_IP, "127.0.0.9");
        d.type(IDC_DEST_PORT, "1");
        d.type(IDC_SERVER_IP, "x");
        d.type(IDC_SERVER_PORT, "2");
    };
    const auto defaults = [&d] {
        return d.text(IDC_DEST_IP) == "127.0.0.1" && d.text(IDC_DEST_PORT) == "3456"
               && d.text(IDC_SERVER_IP) == "localhost" && d.text(IDC_SERVER_PORT) == "3456";
    };
    typeAll();
    d.dialog.hide();
    EXPECT_TRUE(defaults());
    typeAll();
    d.dialog.show();
    EXPECT_TRUE(defaults());
    // A hide of the minimised window is the program's own too.
    typeAll();
    d.dialog.showMinimized();
    d.dialog.hide();
    EXPECT_TRUE(defaults());
}

TEST(MainWindow, AppendLogAddsALineBreakThenTheTextAndShowsTheTop)
{
    DialogDriver d;
    MainWindowFields& f = d.dialog.fields();
    f.appendLog(IDC_SERVER_LOG, QStringLiteral("first"));
    EXPECT_EQ(d.log(IDC_SERVER_LOG), "\nfirst");

    // Whatever the user typed stays, and the next message follows it.
    QPlainTextEdit* log = f.log(IDC_SERVER_LOG);
    log->moveCursor(QTextCursor::End);
    log->insertPlainText(QStringLiteral(" typed"));
    for (int i = 0; i < 200; ++i)
        f.appendLog(IDC_SERVER_LOG, QStringLiteral("line %1").arg(i));
    const QString text = d.log(IDC_SERVER_LOG);
    EXPECT_TRUE(text.startsWith("\nfirst typed\nline 0\nline 1\n"));
    EXPECT_TRUE(text.endsWith("\nline 199"));
    EXPECT_EQ(log->textCursor().position(), 0);
    EXPECT_EQ(log->verticalScrollBar()->value(), 0);
    EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
    EXPECT_FALSE(log->document()->isUndoAvailable());

    // A selection, a caret left mid-text and a view scrolled away all go back
    // to the first line with the next message.
    log->selectAll();
    f.appendLog(IDC_SERVER_LOG, QStringLiteral("after select"));
    EXPECT_FALSE(log->textCursor().hasSelection());
    EXPECT_EQ(log->textCursor().position(), 0);
    log->setTextCursor(QTextCursor(log->document()->findBlockByNumber(100)));
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
    log->horizontalScrollBar()->setValue(log->horizontalScrollBar()->maximum());
    f.appendLog(IDC_SERVER_LOG, QStringLiteral("after scroll"));
    EXPECT_EQ(log->textCursor().position(), 0);
    EXPECT_EQ(log->verticalScrollBar()->value(), 0);
    EXPECT_EQ(log->horizontalScrollBar()->value(), 0);
    EXPECT_TRUE(d.log(IDC_SERVER_LOG).endsWith("\nline 199\nafter select\nafter scroll"));
    EXPECT_FALSE(log->document()->isUndoAvailable());
}

TEST(MainWindow, ServerButtonsFollowStartAndStop)
{
    DialogDriver d;
    d.type(IDC_SERVER_PORT, "0");
    d.click(IDC_SERVER_START);
    EXPECT_TRUE(d.dialog.server().listening());
    EXPECT_FALSE(d.enabled(IDC_SERVER_START));
    EXPECT_TRUE(d.enabled(IDC_SERVER_STOP));
    d.click(IDC_SERVER_STOP);
    EXPECT_FALSE(d.dialog.server().listening());
    EXPECT_TRUE(d.enabled(IDC_SERVER_START));
    EXPECT_FALSE(d.enabled(IDC_SERVER_STOP));
}

TEST(MainWindow, APortInUseShowsOneMessageAndStaysStopped)
{
    LoopbackPeer holder("127.0.0.1", 0);
    ASSERT_TRUE(holder.ok());
    // The name Qt takes from the installed program file; the application
    // object must replace it before any caption shows it.
    QCoreApplication::setApplicationName(QStringLiteral("quorlin"));
    const CDatagramApp app;
    DialogDriver d;
    d.type(IDC_SERVER_PORT, QString::number(holder.port()));
    MessageBoxWatcher box;
    box.arm();
    d.click(IDC_SERVER_START);
    ASSERT_TRUE(box.seen);
    EXPECT_EQ(box.caption, "Quorlin");
    EXPECT_EQ(box.text, "can not bind address");
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.buttons, 1);
    EXPECT_FALSE(d.dialog.server().listening());
    EXPECT_TRUE(d.enabled(IDC_SERVER_START));
    EXPECT_FALSE(d.enabled(IDC_SERVER_STOP));
}

// The exchange a user makes with the defaults, driven through the window's
// own buttons and fields, with bytes checked at the far end.
TEST(MainWindow, TheWindowTalksToItselfEndToEnd)
{
    // The client side binds its fixed port, as a running Quorlin's does.
    if (!udpPortFree(ClientEndpoint::kLocalPort, "127.0.0.1"))
        GTEST_SKIP() << "port 50001 is held by another program";
    DialogDriver d;
    // A free server port keeps the test clear of anything on 3456.
    const QString port = freePort();
    LoopbackPeer probe("127.0.0.200", 0);
    d.type(IDC_SERVER_PORT, port);
    d.type(IDC_DEST_PORT, port);

    d.click(IDC_SERVER_START);
    d.click(IDC_CLIENT_START);
    ASSERT_TRUE(d.dialog.server().listening());
    ASSERT_TRUE(d.dialog.client().running());
    EXPECT_EQ(d.dialog.client().localEndpoint().port, 50001);

    qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO))->setChecked(true);
    d.type(IDC_CLIENT_MESSAGE, QStringLiteral("hello 你好"));
    d.click(IDC_CLIENT_SEND);
    ASSERT_TRUE(DialogDriver::waitFor([&] { return d.log(IDC_CLIENT_LOG) == "\nhello 你好"; }));
    EXPECT_EQ(d.log(IDC_SERVER_LOG), "\nhello 你好");
    EXPECT_EQ(d.text(IDC_CLIENT_MESSAGE), "hello 你好");

    // The sender is listed after its echo has gone out.
    auto* peers = qobject_cast<PeerListBox*>(d.dialog.control(IDC_PEER_LIST));
    ASSERT_TRUE(DialogDriver::waitFor([&] { return peers->rowCount() == 1; }));
    EXPECT_EQ(peers->item(0, 0)->text(), "127.0.0.1:50001");

    // A third party is listed and gets its echo too.
    ASSERT_TRUE(probe.sendTo("ping", static_cast<std::uint16_t>(port.toInt())));
    auto echo = receiveSpinning(probe);
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->bytes, "ping");
    ASSERT_TRUE(DialogDriver::waitFor([&] { return peers->rowCount() == 2; }));
    EXPECT_EQ(peers->item(1, 0)->text(), QStringLiteral("127.0.0.200:%1").arg(probe.port()));

    // Reply to the selected sender, from the server's port.
    peers->selectRow(1);
    d.type(IDC_REPLY_MESSAGE, QStringLiteral("hi"));
    d.click(IDC_REPLY_SEND);
    auto reply = receiveSpinning(probe);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->bytes, "hi");
    EXPECT_EQ(reply->fromPort, port.toInt());

    peers->selectRow(0);
    d.click(IDC_REPLY_SEND);
    ASSERT_TRUE(DialogDriver::waitFor([&] { return d.log(IDC_CLIENT_LOG).endsWith("\nhi"); }));

    d.click(IDC_PEER_DELETE);
    ASSERT_EQ(peers->rowCount(), 1);
    EXPECT_EQ(peers->selectedItems().size(), 0);
    d.click(IDC_PEER_DELETE);
    EXPECT_EQ(peers->rowCount(), 1);
    d.click(IDC_PEER_DELETE_ALL);
    EXPECT_EQ(peers->rowCount(), 0);

    d.click(IDC_CLIENT_STOP);
    d.click(IDC_SERVER_STOP);
    EXPECT_FALSE(d.dialog.client().running());
    EXPECT_FALSE(d.dialog.server().listening());
}

TEST(MainWindow, UndecodableBytesAreShownReplacedAndEchoedUnchanged)
{
    DialogDriver d;
    d.type(IDC_SERVER_PORT, "0");
    d.click(IDC_SERVER_START);
    qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO))->setChecked(true);
    const std::uint16_t port = d.dialog.server().localEndpoint().port;
    LoopbackPeer peer("127.0.0.7");
    const std::string bytes("ok\xff\xfe\xc3", 5);
    ASSERT_TRUE(peer.sendTo(bytes, port));
    ASSERT_TRUE(DialogDriver::waitFor([&] { return !d.log(IDC_SERVER_LOG).isEmpty(); }));
    EXPECT_EQ(d.log(IDC_SERVER_LOG), QStringLiteral("\nok\uFFFD\uFFFD\uFFFD"));
    auto echo = receiveSpinning(peer);
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->bytes, bytes);
}

// The echo box is read afresh for each datagram on the real window: the
// user's toggles between datagrams decide which are echoed.
TEST(MainWindow, TheEchoBoxToggledBetweenDatagramsDecidesEachEcho)
{
    DialogDriver d;
    d.type(IDC_SERVER_PORT, "0");
    d.click(IDC_SERVER_START);
    ASSERT_TRUE(d.dialog.server().listening());
    const std::uint16_t port = d.dialog.server().localEndpoint().port;
    auto* box = qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO));
    PeerListBox& list = *d.dialog.fields().peerList();
    const bool echoFor[] = { true, false, true, true, false };
    for (std::size_t i = 0; i < std::size(echoFor); ++i) {
        SCOPED_TRACE(i);
        // As the user does it: a click, which toggles the box.
        if (box->isChecked() != echoFor[i])
            box->click();
        ASSERT_EQ(box->isChecked(), echoFor[i]);
        LoopbackPeer sender("127.0.0." + std::to_string(30 + i));
        ASSERT_TRUE(sender.sendTo("e" + std::to_string(i), port));
        // The sender is listed after its echo went out, or did not.
        ASSERT_TRUE(DialogDriver::waitFor([&] { return list.rowCount() == int(i) + 1; }));
        const auto echo = sender.receive(echoFor[i] ? 5000ms : 100ms);
        EXPECT_EQ(echo.has_value(), echoFor[i]);
    }
    d.click(IDC_SERVER_STOP);
}

// Senders as a running server lists them on the real list: once each, in
// the order first heard, by whole text (127.0.0.9:4000 is a prefix of
// 127.0.0.9:40001, yet they are two senders, whichever comes first).
TEST(MainWindow, TheServerListsEachSenderOnceInTheOrderFirstHeard)
{
    for (const bool longFirst : { false, true }) {
        SCOPED_TRACE(longFirst ? ":40001 first" : ":4000 first");
        DialogDriver d;
        d.type(IDC_SERVER_PORT, "0");
        d.click(IDC_SERVER_START);
        ASSERT_TRUE(d.dialog.server().listening());
        const std::uint16_t port = d.dialog.server().localEndpoint().port;
        LoopbackPeer a("127.0.0.5"), b("127.0.0.6"), c("127.0.0.7");
        LoopbackPeer shortPort("127.0.0.9", 4000), longPort("127.0.0.9", 40001);
        if (!shortPort.ok() || !longPort.ok())
            GTEST_SKIP() << "127.0.0.9:4000 or :40001 is in use";
        const LoopbackPeer* first = longFirst ? &longPort : &shortPort;
        const LoopbackPeer* second = longFirst ? &shortPort : &longPort;
        const LoopbackPeer* order[] = { &b, &a, &b, first, &c, second, &a, first, &b, second };
        for (std::size_t i = 0; i < std::size(order); ++i) {
            ASSERT_TRUE(order[i]->sendTo("n" + std::to_string(i), port));
            // One pass at a time, so the order heard is the order sent.
            ASSERT_TRUE(DialogDriver::waitFor(
                [&] { return d.dialog.fields().log(IDC_SERVER_LOG)->document()->blockCount() == int(i) + 2; }));
        }
        // A last new sender shows when the passes before it are over.
        LoopbackPeer marker("127.0.0.8");
        ASSERT_TRUE(marker.sendTo("m", port));
        PeerListBox& list = *d.dialog.fields().peerList();
        ASSERT_TRUE(DialogDriver::waitFor([&] { return list.rowCount() == 6; }));
        EXPECT_EQ(
            entries(list), (Entries { b.name(), a.name(), first->name(), c.name(), second->name(), marker.name() }));
        d.click(IDC_SERVER_STOP);
    }
}

// The list keeps an index of its entries beside it: whatever takes rows
// away, a sender heard again is listed again, once, at the end.
TEST(MainWindow, ASenderRemovedFromTheListIsListedAgainAtTheEnd)
{
    DialogDriver d;
    MainWindowFields& f = d.dialog.fields();
    PeerListBox& list = *f.peerList();
    // A whole-text match: one is a prefix of the other, yet they are two senders.
    for (const char* e : { "10.0.0.5:40001", "10.0.0.5:4000", "127.0.0.1:1", "10.0.0.5:4000", "10.0.0.5:40001" })
        f.peerRegister(e);
    ASSERT_EQ(entries(list), (Entries { "10.0.0.5:40001", "10.0.0.5:4000", "127.0.0.1:1" }));

    const std::pair<const char*, std::function<void()>> removals[] = {
        { "delete button", [&] { list.selectRow(0), d.click(IDC_PEER_DELETE); } },
        { "remove from the widget", [&] { list.removeRow(0); } },
        { "delete all", [&] { d.click(IDC_PEER_DELETE_ALL); } },
        { "empty the widget", [&] { list.setRowCount(0); } },
    };
    for (const auto& [how, remove] : removals) {
        const std::string first = list.item(0, 0)->text().toStdString();
        Entries expected = entries(list);
        remove();
        if (list.rowCount() == 0)
            expected.clear();
        expected.erase(std::remove(expected.begin(), expected.end(), first), expected.end());
        expected.push_back(first);
        f.peerRegister(QString::fromStdString(first));
        f.peerRegister(QString::fromStdString(first));
        EXPECT_EQ(entries(list), expected) << how;
        for (const std::string& e : expected)
            f.peerRegister(QString::fromStdString(e));
        EXPECT_EQ(entries(list), expected) << how << ": listed twice";
        f.peerRegister(QStringLiteral("127.0.0.%1:2").arg(list.rowCount()));
    }
}

// Registration is one step on the window's thread, so the user's deletes
// land between registrations, never inside one.
TEST(FieldOperationsOnTheWindow, RegisteringWhileTheUserDeletesListsEachSenderOnceAndLosesNone)
{
    DialogDriver d;
    QtFieldOperations ops(d.dialog.fields());
    PeerListBox& list = *d.dialog.fields().peerList();
    constexpr int kSenders = 40, kRounds = 6, kMaxRounds = 1000;
    const auto name = [](int i) { return "127.0.1." + std::to_string(i + 1) + ":4000"; };
    std::atomic<bool> done { false };
    std::atomic<int> deletes { 0 };
    // How the two interleave depends on scheduling, so the receiver goes on
    // (bounded) until the user has deleted plenty among its registrations.
    std::thread receiver([&] {
        for (int r = 0; r < kMaxRounds && (r < kRounds || deletes.load() <= 2 * kSenders); ++r) {
            for (int i = 0; i < kSenders; ++i)
                ops.peerRegister(name((i * 7 + r * 13) % kSenders));
        }
        done = true;
    });
    // The user's deletes queue up among the posted registrations, so the two
    // take turns on the window's thread.
    int ticks = 0;
    std::function<void()> userDeletes = [&] {
        if (done)
            return;
        if (++ticks % 3 == 0 && list.rowCount() > 0) {
            list.selectRow(ticks % list.rowCount());
            d.click(IDC_PEER_DELETE);
            ++deletes;
        }
        QMetaObject::invokeMethod(&list, userDeletes, Qt::QueuedConnection);
    };
    userDeletes();
    const bool finished = DialogDriver::waitFor([&] { return done.load(); }, 30'000);
    if (!finished)
        ops.cancelWaits();
    receiver.join();
    QCoreApplication::processEvents();
    ASSERT_TRUE(finished);
    EXPECT_GT(deletes.load(), 2 * kSenders);

    const Entries listed = entries(list);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()).size(), listed.size()) << "an entry is listed twice";
    // Registering everyone again lists exactly the missing ones, after the rest.
    for (int i = 0; i < kSenders; ++i)
        d.dialog.fields().peerRegister(QString::fromStdString(name(i)));
    const Entries all = entries(list);
    EXPECT_EQ(std::set<std::string>(all.begin(), all.end()).size(), std::size_t(kSenders));
    ASSERT_EQ(all.size(), std::size_t(kSenders));
    EXPECT_EQ(Entries(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(listed.size())), listed);
}

// A message box is open on the window's thread (its own event loop serves
// the receive thread's calls meanwhile) when that side is stopped from
// inside it, as the close sequence or the end of the run would be: the stop
// returns while the box is still open, with the receive thread's call
// pending or not, and the box closes normally.
TEST(FieldOperationsOnTheWindow, AStopWhileAMessageBoxIsOpenDoesNotWaitForIt)
{
    Watchdog watchdog;
    watchdog.arm("a stop under a message box", 30s);
    DialogDriver d;
    QtFieldOperations ops(d.dialog.fields());
    UdpSocket socket;
    ASSERT_TRUE(socket.open() && socket.bind(Ipv4Endpoint { htonl(INADDR_LOOPBACK), 0 }));
    ReceiveThread side;
    std::atomic<int> passes { 0 };
    ASSERT_TRUE(side.start(socket, ops, [&](const char* data, std::size_t, const Ipv4Endpoint&) {
        ops.appendLog(IDC_SERVER_LOG, data);
        ++passes;
    }));
    LoopbackPeer peer("127.0.0.5");
    bool stoppedUnderTheBox = false;
    MessageBoxWatcher box;
    box.whenSeen = [&] {
        // Logged under the box; then a flood, so that a call may be pending.
        ASSERT_TRUE(peer.sendTo("under", socket.localEndpoint().port));
        ASSERT_TRUE(DialogDriver::waitFor([&] { return passes.load() == 1; }, 10'000));
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(peer.sendTo("more", socket.localEndpoint().port));
        side.stop();
        stoppedUnderTheBox = !side.running();
    };
    box.arm();
    ops.showError("boxed");
    watchdog.disarm();
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.text, "boxed");
    EXPECT_TRUE(stoppedUnderTheBox);
    QCoreApplication::processEvents();
    EXPECT_TRUE(d.log(IDC_SERVER_LOG).startsWith("\nunder"));
}

// --- text in the locale's encoding
//
// The encoding is read once, at start-up, so each locale's rows run in a
// program of their own: the ctest entries named after the locale start this
// program under it (tests/ui/CMakeLists.txt). Elsewhere they skip.

namespace {

bool runsUnder(const char* encoding)
{
    return NarrowEncoding::process().name() == encoding;
}

std::string skipNote(const char* locale)
{
    return std::string("runs under LANG=") + locale + " (its own ctest entry, which skips where localedef or the "
           + "charmap is missing); the encoding here is " + NarrowEncoding::process().name();
}

// A listening server with echo on, one sender listed and selected.
struct ServedWindow {
    DialogDriver d;
    LoopbackPeer peer { "127.0.0.9" };
    std::uint16_t port = 0;
    QtFieldOperations ops { d.dialog.fields() };

    ServedWindow()
    {
        d.type(IDC_SERVER_PORT, "0");
        d.click(IDC_SERVER_START);
        qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO))->setChecked(true);
        port = d.dialog.server().localEndpoint().port;
    }
    // What the log shows of `bytes`; `echo` gets what came back.
    QString shown(const std::string& bytes, std::string* echo = nullptr)
    {
        const QString before = d.log(IDC_SERVER_LOG);
        if (!peer.sendTo(bytes, port) || !DialogDriver::waitFor([&] { return d.log(IDC_SERVER_LOG) != before; }))
            return QStringLiteral("<nothing logged>");
        auto back = receiveSpinning(peer);
        if (echo)
            *echo = back ? back->bytes : "<no echo>";
        return d.log(IDC_SERVER_LOG).mid(before.size() + 1);
    }
    // What a reply typed as `text` sends to the selected sender.
    std::string replied(const QString& text)
    {
        auto* peers = qobject_cast<PeerListBox*>(d.dialog.control(IDC_PEER_LIST));
        if (peers->rowCount() == 0) {
            shown("hi");
            DialogDriver::waitFor([&] { return peers->rowCount() == 1; });
        }
        peers->selectRow(0);
        d.type(IDC_REPLY_MESSAGE, text);
        d.click(IDC_REPLY_SEND);
        auto got = receiveSpinning(peer);
        return got ? got->bytes : "<nothing sent>";
    }
    // What the client's Send reads from a message typed as `text`.
    std::string message(const QString& text)
    {
        d.type(IDC_CLIENT_MESSAGE, text);
        return ops.readField(IDC_CLIENT_MESSAGE, 1024);
    }
};

const QString kNi = QStringLiteral("你");

} // namespace

TEST(TextInGb18030, ShowsSendsAndCutsInGb18030)
{
    if (!runsUnder("GB18030"))
        GTEST_SKIP() << skipNote("zh_CN.GB18030");
    ServedWindow w;
    EXPECT_EQ(w.shown("\xC4\xE3\xBA\xC3"), QStringLiteral("你好"));
    EXPECT_EQ(w.message(QStringLiteral("你好")), "\xC4\xE3\xBA\xC3");
    // U+0080 takes four bytes, two of them ASCII digits.
    EXPECT_EQ(w.message(QStringLiteral("\u0080")), "\x81\x30\x81\x30");
    EXPECT_EQ(w.message(QString(1021, QChar('a')) + kNi), std::string(1021, 'a') + "\xC4\xE3");
    EXPECT_EQ(w.message(QString(1022, QChar('a')) + kNi), std::string(1022, 'a'));
    EXPECT_EQ(w.replied(QString(97, QChar('a')) + kNi), std::string(97, 'a') + "\xC4\xE3");
    EXPECT_EQ(w.replied(QString(98, QChar('a')) + kNi), std::string(98, 'a'));
    EXPECT_EQ(w.replied(QString(95, QChar('a')) + QStringLiteral("\u0080")), std::string(95, 'a') + "\x81\x30\x81\x30");
    EXPECT_EQ(w.replied(QString(96, QChar('a')) + QStringLiteral("\u0080")), std::string(96, 'a'));
}

TEST(TextInGb18030, AnInvalidSequenceShowsReplacedAndIsEchoedUnchanged)
{
    if (!runsUnder("GB18030"))
        GTEST_SKIP() << skipNote("zh_CN.GB18030");
    ServedWindow w;
    const std::string bytes("ok\x81\x20\xC4\xE3\xFF\x81", 8);
    std::string echo;
    EXPECT_EQ(w.shown(bytes, &echo), QStringLiteral("ok\uFFFD 你\uFFFD\uFFFD"));
    EXPECT_EQ(echo, bytes);
}

TEST(TextInGbk, SendsWhatGbkLacksAsAQuestionMarkAndCutsWholeCharacters)
{
    if (!runsUnder("GBK"))
        GTEST_SKIP() << skipNote("zh_CN.GBK");
    ServedWindow w;
    EXPECT_EQ(w.message(QStringLiteral("a\U00020000b")), "a?b");
    EXPECT_EQ(w.message(QString(1021, QChar('a')) + kNi), std::string(1021, 'a') + "\xC4\xE3");
    EXPECT_EQ(w.message(QString(1022, QChar('a')) + kNi), std::string(1022, 'a'));
    // A question mark counts as the one byte it is.
    EXPECT_EQ(w.replied(QString(98, QChar('a')) + QStringLiteral("\U00020000")), std::string(98, 'a') + "?");
    EXPECT_EQ(w.shown("\xC4\xE3"), kNi);
}

TEST(TextInLatin1, ABytePast0x7FShowsAsItsLatin1CharacterAndIsEchoedUnchanged)
{
    if (!runsUnder("ISO-8859-1"))
        GTEST_SKIP() << skipNote("en_US.ISO-8859-1");
    ServedWindow w;
    std::string echo;
    EXPECT_EQ(w.shown("caf\xE9 \xE8\xFF", &echo), QStringLiteral("café èÿ"));
    EXPECT_EQ(echo, "caf\xE9 \xE8\xFF");
    EXPECT_EQ(w.message(QStringLiteral("é你")), "\xE9?");
}

// C and C.UTF-8 (and any UTF-8 locale): UTF-8 throughout.
TEST(TextInUtf8, ShowsSendsAndCutsInUtf8)
{
    if (!runsUnder("UTF-8"))
        GTEST_SKIP() << skipNote("C.UTF-8");
    ServedWindow w;
    EXPECT_EQ(w.shown("\xE4\xBD\xA0\xE5\xA5\xBD"), QStringLiteral("你好"));
    EXPECT_EQ(w.shown("\xC4\xE3\xBA\xC3"), QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD"));
    EXPECT_EQ(w.message(QStringLiteral("你好")), "\xE4\xBD\xA0\xE5\xA5\xBD");
    EXPECT_EQ(w.message(QString(1020, QChar('a')) + kNi), std::string(1020, 'a') + "\xE4\xBD\xA0");
    EXPECT_EQ(w.message(QString(1021, QChar('a')) + kNi), std::string(1021, 'a'));
    // 98 ASCII bytes then a three-byte character: only the ASCII fits in 99.
    EXPECT_EQ(w.replied(QString(98, QChar('a')) + kNi), std::string(98, 'a'));
    EXPECT_EQ(w.replied(QString(96, QChar('a')) + kNi), std::string(96, 'a') + "\xE4\xBD\xA0");
}

// XWayland stands in for Wayland only where Qt's Wayland plugin can crash and
// only when the user left the platform to the program.
TEST(StartUp, FallsBackToXWaylandOnlyForAnAffectedQtInASessionThatOffersIt)
{
    struct Case {
        bool wayland, x11, chosen;
        int major, minor;
        const char* platform;
    };
    const Case kCases[] = {
        { true, true, false, 6, 4, "xcb" }, // Qt before 6.6 goes through XWayland
        { true, true, false, 6, 5, "xcb" }, // the last of those
        { true, true, false, 6, 6, "" }, // from 6.6 on, natively
        { true, true, false, 7, 0, "" }, // a later major too
        { true, true, true, 6, 4, "" }, // the user's own choice stands
        { true, false, false, 6, 4, "" }, // no XWayland to fall back to
        { false, true, false, 6, 4, "" }, // an X11 session
        { false, false, false, 6, 4, "" }, // nothing to show a window on: Qt reports it
    };
    for (const Case& c : kCases) {
        const PlatformChoice::Session session { c.wayland, c.x11, c.chosen, c.major, c.minor };
        EXPECT_EQ(PlatformChoice::platformFor(session), QByteArray(c.platform))
            << c.wayland << c.x11 << c.chosen << " Qt " << c.major << "." << c.minor;
    }
}

TEST(StartUp, SeesTheUsersOwnPlatformChoiceInTheEnvironmentAndTheArguments)
{
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    char name[] = "quorlin";
    char option[] = "-platform";
    char longOption[] = "--platform";
    char value[] = "xcb";
    char other[] = "-reverse";
    char* bare[] = { name, other };
    char* withOption[] = { name, option, value };
    char* withLongOption[] = { name, longOption, value };

    qunsetenv("QT_QPA_PLATFORM");
    EXPECT_FALSE(PlatformChoice::current(2, bare).platformChosen);
    EXPECT_TRUE(PlatformChoice::current(3, withOption).platformChosen);
    EXPECT_TRUE(PlatformChoice::current(3, withLongOption).platformChosen);
    qputenv("QT_QPA_PLATFORM", "wayland");
    EXPECT_TRUE(PlatformChoice::current(2, bare).platformChosen);
    const PlatformChoice::Session session = PlatformChoice::current(1, bare);
    EXPECT_EQ(QStringLiteral("%1.%2").arg(session.qtMajor).arg(session.qtMinor),
        QLatin1String(qVersion()).left(QLatin1String(qVersion()).lastIndexOf(QLatin1Char('.'))));
    qputenv("QT_QPA_PLATFORM", saved);
}

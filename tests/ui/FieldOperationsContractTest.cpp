#include "tests/support/FakeFieldOperations.h"
#include "tests/ui/DialogDriver.h"
#include "ui/PeerListBox.h"
#include "ui/QtFieldOperations.h"

#include <QCheckBox>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// The field operations' contract, run against the in-memory window the
// endpoint tests use and against the real adapter on the real widgets, so
// the two cannot drift apart. The test's thread is the window's thread.

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

constexpr int kWaitMs = 10'000;

// Waits without running the window's events.
bool waitIdle(const std::function<bool()>& done, int ms = kWaitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        std::this_thread::sleep_for(1ms);
    return done();
}

struct FakeWindow {
    FakeFieldOperations ops;
    // A window's thread busy elsewhere: receive-thread calls are not taken.
    void busy() { ops.holdCalls(true); }
    bool serveUntil(const std::function<bool()>& done, int ms = kWaitMs)
    {
        ops.holdCalls(false);
        return waitIdle(done, ms);
    }
    Lines log(ControlId id) const { return ops.logLines(id); }
    Lines peers() const { return ops.peers(); }
    bool enabled(ControlId id) const { return ops.enabled(id); }
    void setEcho(bool on) { ops.setEcho(on); }
    void select(int index) { ops.select(index); }
};

struct QtWindow {
    DialogDriver d;
    QtFieldOperations ops { d.dialog.fields() };
    // The window's thread takes nothing while it runs no events.
    void busy() {}
    bool serveUntil(const std::function<bool()>& done, int ms = kWaitMs) { return spinUntil(done, ms); }
    Lines log(ControlId id) const
    {
        Lines lines;
        const QStringList all = d.log(id).split('\n');
        for (qsizetype i = 1; i < all.size(); ++i)
            lines.push_back(all[i].toStdString());
        return lines;
    }
    Lines peers() const
    {
        const PeerListBox& list = *d.dialog.fields().peerList();
        Lines texts;
        for (int i = 0; i < list.rowCount(); ++i)
            texts.push_back(list.item(i, 0)->text().toStdString());
        return texts;
    }
    bool enabled(ControlId id) const { return d.enabled(id); }
    void setEcho(bool on) { qobject_cast<QCheckBox*>(d.dialog.control(IDC_ECHO))->setChecked(on); }
    void select(int index) { d.dialog.fields().peerList()->selectRow(index); }
};

template <class Window> class FieldOperationsContract : public ::testing::Test {
protected:
    Window w;
};

using Windows = ::testing::Types<FakeWindow, QtWindow>;
struct WindowName {
    template <class Window> static std::string GetName(int)
    {
        return std::is_same_v<Window, FakeWindow> ? "InMemory" : "RealWidgets";
    }
};
TYPED_TEST_SUITE(FieldOperationsContract, Windows, WindowName);

} // namespace

// On the window's thread every operation runs at once.
TYPED_TEST(FieldOperationsContract, OnTheWindowsThreadEveryOperationRunsAtOnce)
{
    auto& w = this->w;
    auto& ops = w.ops;
    EXPECT_EQ(ops.readWholeField(IDC_DEST_PORT), "3456");
    ops.setField(IDC_DEST_IP, "10.1.2.3");
    EXPECT_EQ(ops.readWholeField(IDC_DEST_IP), "10.1.2.3");
    EXPECT_EQ(ops.readField(IDC_DEST_IP, 5), "10.1");
    ops.appendLog(IDC_SERVER_LOG, "a");
    ops.appendLog(IDC_SERVER_LOG, "");
    EXPECT_EQ(w.log(IDC_SERVER_LOG), (Lines { "a", "" }));
    EXPECT_TRUE(w.log(IDC_CLIENT_LOG).empty());

    // Whole-text matches: one entry is a prefix of the other.
    for (const char* entry : { "10.0.0.5:40001", "10.0.0.5:4000", "10.0.0.5:40001", "127.0.0.1:1" })
        ops.peerRegister(entry);
    EXPECT_EQ(w.peers(), (Lines { "10.0.0.5:40001", "10.0.0.5:4000", "127.0.0.1:1" }));
    EXPECT_EQ(ops.peerCount(), 3);
    EXPECT_EQ(ops.peerText(1), "10.0.0.5:4000");
    EXPECT_EQ(ops.peerText(3), "");
    EXPECT_EQ(ops.peerSelection(), FieldOperations::kNone);
    w.select(2);
    EXPECT_EQ(ops.peerSelection(), 2);
    ops.peerDelete(FieldOperations::kNone);
    ops.peerDelete(3);
    ops.peerDelete(0);
    EXPECT_EQ(w.peers(), (Lines { "10.0.0.5:4000", "127.0.0.1:1" }));
    EXPECT_EQ(ops.peerSelection(), 1) << "the selection moves with its entry";
    ops.peerDelete(1);
    EXPECT_EQ(ops.peerSelection(), FieldOperations::kNone);

    EXPECT_FALSE(w.enabled(IDC_SERVER_STOP));
    ops.enableButton(IDC_SERVER_STOP, true);
    ops.enableButton(IDC_SERVER_START, false);
    EXPECT_TRUE(w.enabled(IDC_SERVER_STOP));
    EXPECT_FALSE(w.enabled(IDC_SERVER_START));

    EXPECT_FALSE(ops.echoChecked());
    w.setEcho(true);
    EXPECT_TRUE(ops.echoChecked());
}

// From a receive thread: the echo box is read without waiting for the
// window; a line or a sender waits until the window's thread takes it, and
// then stands in the window, in the order handed over.
TYPED_TEST(FieldOperationsContract, AReceiveThreadWaitsOnlyUntilItsCallsAreTaken)
{
    auto& w = this->w;
    auto& ops = w.ops;
    w.setEcho(true);
    w.busy();
    std::atomic<bool> echo { false }, echoRead { false }, logged { false }, done { false };
    std::thread receiver([&] {
        echo = ops.echoChecked();
        echoRead = true;
        ops.appendLog(IDC_SERVER_LOG, "one");
        logged = true;
        ops.peerRegister("127.0.0.9:1");
        ops.peerRegister("127.0.0.9:1");
        ops.appendLog(IDC_SERVER_LOG, "two");
        ops.peerRegister("127.0.0.9:2");
        done = true;
    });
    EXPECT_TRUE(waitIdle([&] { return echoRead.load(); })) << "the echo box waited for the window";
    EXPECT_TRUE(echo.load());
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(logged.load()) << "a line not yet taken counted as carried out";
    EXPECT_TRUE(w.log(IDC_SERVER_LOG).empty());
    EXPECT_TRUE(w.serveUntil([&] { return done.load(); }));
    receiver.join();
    EXPECT_TRUE(w.serveUntil([&] { return w.peers().size() == 2; }));
    EXPECT_EQ(w.log(IDC_SERVER_LOG), (Lines { "one", "two" }));
    EXPECT_EQ(w.peers(), (Lines { "127.0.0.9:1", "127.0.0.9:2" }));
}

// cancelWaits() releases a receive thread's call that the window's thread
// has not taken; it never shows, and until resumeWaits() every call does
// nothing at once and the echo box reads unchecked. The window's own calls
// go on meanwhile.
TYPED_TEST(FieldOperationsContract, ACancelDropsWhatWasNotTakenUntilResumed)
{
    auto& w = this->w;
    auto& ops = w.ops;
    w.setEcho(true);
    w.busy();
    std::atomic<bool> returned { false };
    std::thread held([&] {
        ops.appendLog(IDC_CLIENT_LOG, "late");
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned.load());
    ops.cancelWaits();
    held.join();
    bool echo = true;
    std::thread refused([&] {
        ops.appendLog(IDC_CLIENT_LOG, "refused");
        ops.peerRegister("127.0.0.9:1");
        echo = ops.echoChecked();
    });
    refused.join();
    EXPECT_FALSE(echo);
    ops.appendLog(IDC_SERVER_LOG, "own");
    w.serveUntil([] { return false; }, 100);
    EXPECT_TRUE(w.log(IDC_CLIENT_LOG).empty());
    EXPECT_TRUE(w.peers().empty());
    EXPECT_EQ(w.log(IDC_SERVER_LOG), Lines { "own" });

    ops.resumeWaits();
    std::thread again([&] { ops.appendLog(IDC_CLIENT_LOG, "now"); });
    EXPECT_TRUE(w.serveUntil([&] { return w.log(IDC_CLIENT_LOG) == Lines { "now" }; }));
    again.join();
}

#include "FakeFieldOperations.h"
#include "LoopbackPeer.h"
#include "ServerEndpoint.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Bounds for waits only; nothing asserts how fast anything is.
constexpr auto kWait = 5s;
// Loopback delivery happens inside sendto, so once the server has finished a
// later pass, anything an earlier pass sent is already queued: a short quiet
// check is enough.
constexpr auto kQuiet = 100ms;

std::size_t openDescriptors()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// Runs `action` on this (the window's) thread. If it has not returned within
// the bound, held window calls are released so the test fails instead of
// hanging. Returns whether it returned in time.
bool returnsWithin(std::chrono::milliseconds bound, FakeFieldOperations& ops, const std::function<void()>& action)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool late = false;
    std::thread guard([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, bound, [&] { return done; })) {
            late = true;
            lock.unlock();
            ops.holdCalls(false);
        }
    });
    action();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    cv.notify_all();
    guard.join();
    return !late;
}

std::string entryOf(const LoopbackPeer& peer) { return peer.address() + ":" + std::to_string(peer.port()); }

// A server started on a free port chosen by the system ("0").
struct ListeningServer {
    FakeFieldOperations ops;
    ServerEndpoint server{ops};
    std::uint16_t port = 0;

    ListeningServer()
    {
        ops.setField(IDC_SERVER_PORT, "0");
        server.start();
        port = server.localEndpoint().port;
    }
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(s.server.listening());
        ASSERT_NE(s.port, 0);
    }

    ListeningServer s;
};

} // namespace

TEST_F(ServerTest, LogsEchoesAndListsADatagram)
{
    s.ops.setEcho(true);
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.sendTo("hello", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(1, kWait));
    EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), std::vector<std::string>{"hello"});
    auto echo = peer.receive(kWait);
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->bytes, "hello");
    EXPECT_EQ(echo->fromPort, s.port);
    EXPECT_EQ(s.ops.peers(), std::vector<std::string>{"127.0.0.5:" + std::to_string(peer.port())});
    EXPECT_FALSE(s.ops.enabled(IDC_SERVER_START));
    EXPECT_TRUE(s.ops.enabled(IDC_SERVER_STOP));
    EXPECT_TRUE(s.ops.errors().empty());
}

// --- what a pass does with one datagram

namespace {

struct DatagramCase {
    const char* name;
    std::string payload;
    bool handled; // logged, echoed whole and listed
    std::string logText;
};

void PrintTo(const DatagramCase& c, std::ostream* os) { *os << c.name; }

class ServerDatagramTest : public ServerTest, public ::testing::WithParamInterface<DatagramCase> {};

} // namespace

TEST_P(ServerDatagramTest, HandlesOrDropsTheDatagramWhole)
{
    const DatagramCase& c = GetParam();
    s.ops.setEcho(true);
    LoopbackPeer sender("127.0.0.5");
    LoopbackPeer marker("127.0.0.6");
    ASSERT_TRUE(sender.ok() && marker.ok());

    ASSERT_TRUE(sender.sendTo(c.payload, s.port));
    ASSERT_TRUE(marker.sendTo("end", s.port));
    // The marker's entry is the last thing its pass does, and passes run in
    // order, so the payload's pass is complete once it shows.
    ASSERT_TRUE(s.ops.waitForPeers(c.handled ? 2 : 1, kWait));

    if (c.handled) {
        EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), (std::vector<std::string>{c.logText, "end"}));
        EXPECT_EQ(s.ops.peers(), (std::vector<std::string>{entryOf(sender), entryOf(marker)}));
        auto echo = sender.receive(kWait);
        ASSERT_TRUE(echo.has_value());
        EXPECT_EQ(echo->bytes, c.payload);
        EXPECT_EQ(echo->fromPort, s.port);
    } else {
        EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), std::vector<std::string>{"end"});
        EXPECT_EQ(s.ops.peers(), std::vector<std::string>{entryOf(marker)});
        EXPECT_TRUE(sender.nothingWithin(kQuiet));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ServerDatagramTest,
    ::testing::Values(DatagramCase{"empty", "", false, ""}, DatagramCase{"one_byte", "x", true, "x"},
                      DatagramCase{"exactly_1000", std::string(1000, 'k'), true, std::string(1000, 'k')},
                      DatagramCase{"over_by_one_1001", std::string(1001, 'k'), false, ""},
                      DatagramCase{"largest_udp", std::string(65507, 'k'), false, ""},
                      DatagramCase{"zero_inside", std::string("ab\0cd", 5), true, "ab"},
                      DatagramCase{"zero_first", std::string("\0xyz", 4), true, ""},
                      DatagramCase{"utf8", "\xE4\xBD\xA0\xE5\xA5\xBD", true, "\xE4\xBD\xA0\xE5\xA5\xBD"}),
    [](const ::testing::TestParamInfo<DatagramCase>& info) { return std::string(info.param.name); });

TEST_F(ServerTest, EchoBoxIsReadAnewForEachDatagram)
{
    const bool echoFor[] = {false, true, false, true};
    std::vector<std::unique_ptr<LoopbackPeer>> senders;
    for (std::size_t i = 0; i < std::size(echoFor); ++i) {
        senders.push_back(std::make_unique<LoopbackPeer>("127.0.0." + std::to_string(20 + i)));
        ASSERT_TRUE(senders.back()->ok());
        s.ops.setEcho(echoFor[i]);
        ASSERT_TRUE(senders.back()->sendTo("m" + std::to_string(i), s.port));
        ASSERT_TRUE(s.ops.waitForPeers(i + 1, kWait)) << "datagram " << i;
    }
    for (std::size_t i = 0; i < std::size(echoFor); ++i) {
        if (echoFor[i]) {
            auto echo = senders[i]->receive(kWait);
            ASSERT_TRUE(echo.has_value()) << "datagram " << i;
            EXPECT_EQ(echo->bytes, "m" + std::to_string(i));
        } else {
            EXPECT_TRUE(senders[i]->nothingWithin(kQuiet)) << "datagram " << i;
        }
    }
}

TEST_F(ServerTest, ListsEachSenderOnceInTheOrderFirstHeard)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6"), c("127.0.0.7");
    ASSERT_TRUE(a.ok() && b.ok() && c.ok());
    const LoopbackPeer* order[] = {&b, &a, &b, &c, &a, &b};
    for (std::size_t i = 0; i < std::size(order); ++i) {
        ASSERT_TRUE(order[i]->sendTo("n" + std::to_string(i), s.port));
        ASSERT_TRUE(s.ops.waitForLogLines(IDC_SERVER_LOG, i + 1, kWait));
    }
    // The last datagram came from a known sender, so its pass adds nothing;
    // a later marker proves that pass is over before the list is read.
    LoopbackPeer marker("127.0.0.8");
    ASSERT_TRUE(marker.sendTo("end", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(4, kWait));
    EXPECT_EQ(s.ops.peers(), (std::vector<std::string>{entryOf(b), entryOf(a), entryOf(c), entryOf(marker)}));
    EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG).size(), std::size(order) + 1);
}

namespace {

class ServerPortPrefixTest : public ServerTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

} // namespace

// 127.0.0.9:4000 is a prefix of 127.0.0.9:40001, yet they are two senders.
TEST_P(ServerPortPrefixTest, SendersDifferingOnlyInPortAreBothListed)
{
    LoopbackPeer first("127.0.0.9", static_cast<std::uint16_t>(GetParam().first));
    LoopbackPeer second("127.0.0.9", static_cast<std::uint16_t>(GetParam().second));
    if (!first.ok() || !second.ok())
        GTEST_SKIP() << "127.0.0.9:4000 or :40001 is in use";
    ASSERT_TRUE(first.sendTo("1", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(1, kWait));
    ASSERT_TRUE(second.sendTo("2", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(2, kWait));
    EXPECT_EQ(s.ops.peers(), (std::vector<std::string>{entryOf(first), entryOf(second)}));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ServerPortPrefixTest,
                         ::testing::Values(std::pair<int, int>{40001, 4000}, std::pair<int, int>{4000, 40001}));

// --- start

namespace {

struct PortTextCase {
    const char* text;
    std::uint16_t port;
};

void PrintTo(const PortTextCase& c, std::ostream* os) { *os << '"' << c.text << "\" -> " << c.port; }

class ServerPortTextTest : public ::testing::TestWithParam<PortTextCase> {};

} // namespace

TEST_P(ServerPortTextTest, BindsThePortTheTextNames)
{
    {
        LoopbackPeer probe("127.0.0.1", GetParam().port);
        if (!probe.ok())
            GTEST_SKIP() << "port " << GetParam().port << " is in use";
    }
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    ops.setField(IDC_SERVER_PORT, GetParam().text);
    server.start();
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(server.localEndpoint().port, GetParam().port);
    EXPECT_EQ(server.localEndpoint().addressNet, 0u);

    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("on " + std::to_string(GetParam().port), GetParam().port));
    ASSERT_TRUE(ops.waitForLogLines(IDC_SERVER_LOG, 1, kWait));
    EXPECT_TRUE(ops.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(FixedPorts, ServerPortTextTest,
                         ::testing::Values(PortTextCase{"3456", 3456}, PortTextCase{"70000", 4464},
                                           PortTextCase{" +3460x", 3460}));

TEST(ServerStart, TextWithoutDigitsBindsASystemChosenPortSilently)
{
    for (const char* text : {"abc", ""}) {
        FakeFieldOperations ops;
        ServerEndpoint server(ops);
        ops.setField(IDC_SERVER_PORT, text);
        server.start();
        EXPECT_TRUE(server.listening()) << '"' << text << '"';
        EXPECT_NE(server.localEndpoint().port, 0) << '"' << text << '"';
        EXPECT_TRUE(ops.errors().empty());
    }
}

TEST(ServerStart, PortInUseReportsOnceClosesItsSocketAndCanBeRetried)
{
    auto holder = std::make_unique<LoopbackPeer>("127.0.0.1");
    ASSERT_TRUE(holder->ok());
    const std::uint16_t port = holder->port();

    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    ops.setField(IDC_SERVER_PORT, std::to_string(port));
    const std::size_t before = openDescriptors();
    server.start();
    EXPECT_EQ(openDescriptors(), before) << "the failed start left a descriptor open";
    EXPECT_EQ(ops.errors(), std::vector<std::string>{"can not bind address"});
    EXPECT_FALSE(server.listening());
    EXPECT_TRUE(ops.enabled(IDC_SERVER_START));
    EXPECT_FALSE(ops.enabled(IDC_SERVER_STOP));

    // No socket is left to reply through.
    LoopbackPeer target("127.0.0.5");
    ops.peerInsert(0, entryOf(target));
    ops.select(0);
    ops.setField(IDC_REPLY_MESSAGE, "after failed start");
    server.sendReply();
    EXPECT_TRUE(target.nothingWithin(kQuiet));

    holder.reset();
    server.start();
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(server.localEndpoint().port, port);
    EXPECT_EQ(ops.errors().size(), 1u);
}

// --- stop

TEST(ServerStop, OnANeverStartedSideOnlyResetsTheButtons)
{
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    ops.enableButton(IDC_SERVER_START, false);
    ops.enableButton(IDC_SERVER_STOP, true);
    server.stop();
    server.stop();
    EXPECT_TRUE(ops.enabled(IDC_SERVER_START));
    EXPECT_FALSE(ops.enabled(IDC_SERVER_STOP));
    EXPECT_TRUE(ops.errors().empty());
}

TEST_F(ServerTest, StopWhileBlockedInReceiveEndsEverything)
{
    s.ops.setEcho(true);
    ASSERT_TRUE(returnsWithin(kWait, s.ops, [&] { s.server.stop(); }));
    EXPECT_FALSE(s.server.listening());
    EXPECT_TRUE(s.ops.enabled(IDC_SERVER_START));
    EXPECT_FALSE(s.ops.enabled(IDC_SERVER_STOP));

    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("too late", s.port));
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(s.ops.logLines(IDC_SERVER_LOG).empty());
    EXPECT_TRUE(s.ops.peers().empty());
}

TEST_F(ServerTest, StopWhileTheThreadWaitsForTheWindowDropsTheHeldCall)
{
    s.ops.setEcho(true);
    s.ops.holdCalls(true);
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("first", s.port));
    ASSERT_TRUE(peer.sendTo("second", s.port));
    ASSERT_TRUE(s.ops.waitUntilCallHeld(kWait));

    EXPECT_TRUE(returnsWithin(kWait, s.ops, [&] { s.server.stop(); })) << "stop waited for the window";
    s.ops.holdCalls(false);
    EXPECT_GE(s.ops.callsDroppedByCancel(), 1);
    EXPECT_TRUE(s.ops.logLines(IDC_SERVER_LOG).empty());
    EXPECT_TRUE(s.ops.peers().empty());
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "echoed after the window call was dropped";

    // The next start gets a window that answers again.
    s.ops.setField(IDC_SERVER_PORT, "0");
    s.server.start();
    ASSERT_TRUE(s.server.listening());
    ASSERT_TRUE(peer.sendTo("third", s.server.localEndpoint().port));
    ASSERT_TRUE(s.ops.waitForPeers(1, kWait));
    EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), std::vector<std::string>{"third"});
}

// Stop must not depend on where the loop is: receive, pause or a window call.
TEST_F(ServerTest, StopAnywhereInTheLoopReturns)
{
    s.ops.setEcho(true);
    LoopbackPeer peer("127.0.0.5");
    for (int round = 0; round < 30; ++round) {
        s.ops.setField(IDC_SERVER_PORT, "0");
        s.server.start();
        ASSERT_TRUE(s.server.listening()) << "round " << round;
        const std::uint16_t port = s.server.localEndpoint().port;
        for (int i = 0; i <= round % 3; ++i)
            peer.sendTo("r" + std::to_string(round), port);
        if (round % 2)
            s.ops.waitForLogLines(IDC_SERVER_LOG, s.ops.logLines(IDC_SERVER_LOG).size() + 1, 50ms);
        ASSERT_TRUE(returnsWithin(kWait, s.ops, [&] { s.server.stop(); })) << "round " << round;
        const std::size_t lines = s.ops.logLines(IDC_SERVER_LOG).size();
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG).size(), lines) << "logged after stop, round " << round;
    }
    EXPECT_TRUE(s.ops.errors().empty());
}

TEST_F(ServerTest, StopTwiceClosesNothingItNoLongerOwns)
{
    s.server.stop();
    // Likely to reuse a number the first stop freed.
    LoopbackPeer later("127.0.0.5");
    ASSERT_TRUE(later.ok());
    s.server.stop();
    ASSERT_TRUE(later.sendTo("still open", later.port(), "127.0.0.5"));
    auto got = later.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "still open");
    EXPECT_TRUE(s.ops.enabled(IDC_SERVER_START));
    EXPECT_FALSE(s.ops.enabled(IDC_SERVER_STOP));
}

TEST_F(ServerTest, StopThenStartOnTheSamePortKeepsListAndLog)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6");
    ASSERT_TRUE(a.sendTo("before", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(1, kWait));
    s.server.stop();
    EXPECT_EQ(s.ops.peers(), std::vector<std::string>{entryOf(a)});

    s.ops.setField(IDC_SERVER_PORT, std::to_string(s.port));
    s.server.start();
    ASSERT_TRUE(s.server.listening());
    EXPECT_EQ(s.server.localEndpoint().port, s.port);
    EXPECT_FALSE(s.ops.enabled(IDC_SERVER_START));
    EXPECT_TRUE(s.ops.enabled(IDC_SERVER_STOP));
    ASSERT_TRUE(b.sendTo("after", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(2, kWait));
    EXPECT_EQ(s.ops.peers(), (std::vector<std::string>{entryOf(a), entryOf(b)}));
    EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), (std::vector<std::string>{"before", "after"}));
    EXPECT_TRUE(s.ops.errors().empty());
}

// --- replies and the peer list

TEST_F(ServerTest, ReplyGoesToTheSelectedSenderFromTheServerPort)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6"), c("127.0.0.7");
    for (const LoopbackPeer* p : {&a, &b, &c}) {
        ASSERT_TRUE(p->sendTo("hello", s.port));
        ASSERT_TRUE(s.ops.waitForPeers(s.ops.peers().size() + 1, kWait));
    }
    s.ops.select(1);
    s.ops.setField(IDC_REPLY_MESSAGE, "hi");
    s.server.sendReply();
    auto got = b.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "hi");
    EXPECT_EQ(got->fromPort, s.port);
    EXPECT_TRUE(a.nothingWithin(kQuiet));
    EXPECT_TRUE(c.nothingWithin(kQuiet));
}

TEST_F(ServerTest, ReplySendsAtMost99BytesOfTheReplyField)
{
    LoopbackPeer peer("127.0.0.5");
    s.ops.peerInsert(0, entryOf(peer));
    s.ops.select(0);
    const std::string han = "\xE4\xB8\xAD";
    const std::pair<std::string, std::string> rows[] = {
        {"", ""}, // a datagram of length zero
        {"hi", "hi"},
        {std::string(99, 'r'), std::string(99, 'r')},
        {std::string(150, 'r'), std::string(99, 'r')},
        {std::string(97, 'r') + han, std::string(97, 'r')},
    };
    for (const auto& [field, sent] : rows) {
        s.ops.setField(IDC_REPLY_MESSAGE, field);
        s.server.sendReply();
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value()) << field.size() << " bytes in the field";
        EXPECT_EQ(got->bytes, sent);
        EXPECT_EQ(s.ops.readWholeField(IDC_REPLY_MESSAGE), field) << "the field keeps its text";
    }
}

TEST_F(ServerTest, ReplyWithoutSelectionOrAfterStopSendsNothing)
{
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("hello", s.port));
    ASSERT_TRUE(s.ops.waitForPeers(1, kWait));
    s.ops.setField(IDC_REPLY_MESSAGE, "hi");

    s.server.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "sent with nothing selected";

    s.ops.select(0);
    s.server.stop();
    s.server.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "sent after stop";
    EXPECT_EQ(s.ops.peers(), std::vector<std::string>{entryOf(peer)});
    EXPECT_TRUE(s.ops.errors().empty());
}

TEST(ServerReply, BeforeAnyStartSendsNothing)
{
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    LoopbackPeer peer("127.0.0.5");
    ops.peerInsert(0, entryOf(peer));
    ops.select(0);
    ops.setField(IDC_REPLY_MESSAGE, "hi");
    server.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(ops.errors().empty());
}

TEST(ServerPeerList, DeleteSelectedAndDeleteAll)
{
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    for (int i = 0; i < 5; ++i)
        ops.peerInsert(i, "127.0.0." + std::to_string(i + 1) + ":4000");

    server.deleteSelectedPeer(); // nothing selected
    EXPECT_EQ(ops.peers().size(), 5u);

    ops.select(2);
    server.deleteSelectedPeer();
    EXPECT_EQ(ops.peers(),
              (std::vector<std::string>{"127.0.0.1:4000", "127.0.0.2:4000", "127.0.0.4:4000", "127.0.0.5:4000"}));
    EXPECT_EQ(ops.peerSelection(), FieldOperations::kNone);
    server.deleteSelectedPeer();
    EXPECT_EQ(ops.peers().size(), 4u);

    server.deleteAllPeers();
    EXPECT_TRUE(ops.peers().empty());
    server.deleteAllPeers();
    EXPECT_TRUE(ops.peers().empty());
}

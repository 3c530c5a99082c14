#include "net/ServerEndpoint.h"
#include "net/AddressText.h"
#include "net/OwnAddress.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/UdpPortFree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

// Bounds for waits only; nothing asserts how fast anything is.
constexpr auto kWait = 5s;
// Loopback delivery happens inside sendto, so once a later pass of the server
// is over, whatever an earlier pass sent is already queued: a short quiet
// check is enough.
constexpr auto kQuiet = 100ms;

std::size_t openDescriptors()
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// A server listening on a port chosen by the system ("0").
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ops.setField(IDC_SERVER_PORT, "0");
        server.start();
        ASSERT_TRUE(server.listening());
        port = server.localEndpoint().port;
        ASSERT_NE(port, 0);
    }

    FakeFieldOperations ops;
    ServerEndpoint server { ops };
    std::uint16_t port = 0;
};

struct DatagramCase {
    const char* name;
    std::string payload;
    bool handled; // logged, echoed whole and listed
    std::string logText;
};

void PrintTo(const DatagramCase& c, std::ostream* os)
{
    *os << c.name;
}

class ServerDatagramTest : public ServerTest, public ::testing::WithParamInterface<DatagramCase> { };

} // namespace

TEST_P(ServerDatagramTest, HandlesOrDropsTheDatagramWhole)
{
    const DatagramCase& c = GetParam();
    ops.setEcho(true);
    LoopbackPeer sender("127.0.0.5"), marker("127.0.0.6");
    ASSERT_TRUE(sender.sendTo(c.payload, port));
    ASSERT_TRUE(marker.sendTo("end", port));
    // Listing the marker ends its pass, and passes run in order.
    ASSERT_TRUE(ops.waitForPeers(c.handled ? 2 : 1, kWait));

    if (c.handled) {
        EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), (Lines { c.logText, "end" }));
        EXPECT_EQ(ops.peers(), (Lines { sender.name(), marker.name() }));
        auto echo = sender.receive(kWait);
        ASSERT_TRUE(echo.has_value());
        EXPECT_EQ(echo->bytes, c.payload);
        EXPECT_EQ(echo->fromPort, port);
    } else {
        EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), Lines { "end" });
        EXPECT_EQ(ops.peers(), Lines { marker.name() });
        EXPECT_TRUE(sender.nothingWithin(kQuiet));
    }
    EXPECT_FALSE(ops.enabled(IDC_SERVER_START));
    EXPECT_TRUE(ops.enabled(IDC_SERVER_STOP));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ServerDatagramTest,
    ::testing::Values(DatagramCase { "empty", "", false, "" }, DatagramCase { "one_byte", "x", true, "x" },
        DatagramCase { "exactly_1000", std::string(1000, 'k'), true, std::string(1000, 'k') },
        DatagramCase { "over_by_one_1001", std::string(1001, 'k'), false, "" },
        DatagramCase { "largest_udp", std::string(65507, 'k'), false, "" },
        DatagramCase { "zero_inside", std::string("ab\0cd", 5), true, "ab" },
        DatagramCase { "zero_first", std::string("\0xyz", 4), true, "" },
        DatagramCase { "utf8", "\xE4\xBD\xA0\xE5\xA5\xBD", true, "\xE4\xBD\xA0\xE5\xA5\xBD" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ServerTest, EchoBoxIsReadAnewForEachDatagram)
{
    const bool echoFor[] = { false, true, false, true };
    std::vector<std::unique_ptr<LoopbackPeer>> senders;
    for (std::size_t i = 0; i < std::size(echoFor); ++i) {
        senders.push_back(std::make_unique<LoopbackPeer>("127.0.0." + std::to_string(20 + i)));
        ops.setEcho(echoFor[i]);
        ASSERT_TRUE(senders[i]->sendTo("m" + std::to_string(i), port));
        ASSERT_TRUE(ops.waitForPeers(i + 1, kWait)) << "datagram " << i;
    }
    for (std::size_t i = 0; i < std::size(echoFor); ++i) {
        auto echo = senders[i]->receive(echoFor[i] ? kWait : kQuiet);
        EXPECT_EQ(echo.has_value(), echoFor[i]) << "datagram " << i;
    }
}

// One datagram per pass and a full 10 ms pause after each: a queued burst is
// worked off no faster than that, however the pause is slept. (A lower
// bound only; how close to it the passes come is the benchmark's business.)
TEST_F(ServerTest, QueuedDatagramsAreTakenOnePerPassWithAFullPauseBetween)
{
    constexpr int kBurst = 12;
    ops.setEcho(true);
    LoopbackPeer sender("127.0.0.5");
    // Taken before the first datagram can arrive, so no delay on this side
    // can make the passes look shorter than they were.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBurst; ++i)
        ASSERT_TRUE(sender.sendTo("p" + std::to_string(i), port));
    for (int i = 0; i < kBurst; ++i)
        ASSERT_TRUE(sender.receive(kWait).has_value()) << "echo " << i;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took.count(), (kBurst - 1) * 10.0) << "ms for " << kBurst << " passes";
}

TEST_F(ServerTest, ListsEachSenderOnceInTheOrderFirstHeard)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6"), c("127.0.0.7"), marker("127.0.0.8");
    const LoopbackPeer* order[] = { &b, &a, &b, &c, &a, &b, &marker };
    for (std::size_t i = 0; i < std::size(order); ++i) {
        ASSERT_TRUE(order[i]->sendTo("n" + std::to_string(i), port));
        ASSERT_TRUE(ops.waitForLogLines(IDC_SERVER_LOG, i + 1, kWait));
    }
    // The marker, a new sender, shows when the last repeat's pass is over.
    ASSERT_TRUE(ops.waitForPeers(4, kWait));
    EXPECT_EQ(ops.peers(), (Lines { b.name(), a.name(), c.name(), marker.name() }));
}

// A pass is log, echo, register: held at registration, the line is logged
// and the echo is already out.
TEST_F(ServerTest, APassLogsThenEchoesThenRegisters)
{
    ops.setEcho(true);
    ops.holdCalls(true, "peerRegister");
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("ordered", port));
    ASSERT_TRUE(ops.waitUntilCallHeld(kWait));
    EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), Lines { "ordered" });
    EXPECT_TRUE(peer.receive(kWait).has_value()) << "not echoed before registering";
    EXPECT_TRUE(ops.peers().empty());
    ops.holdCalls(false);
    ASSERT_TRUE(ops.waitForPeers(1, kWait));
    EXPECT_EQ(ops.peers(), Lines { peer.name() });
}

// Echoing a datagram from the server's own address and port would send it
// back to the server, which would echo it again, for ever.
TEST_F(ServerTest, ADatagramFromItsOwnAddressAndPortIsLoggedAndListedButNotEchoed)
{
    ops.setEcho(true);
    const auto forged = LoopbackPeer::sendForged("self", "127.0.0.1", port, "127.0.0.1", port);
    if (forged == LoopbackPeer::Forged::NotPermitted)
        GTEST_SKIP() << "forging a source needs CAP_NET_RAW (root); OwnAddress.DecidesWhichSourcesAreTheServersOwn "
                        "still tests the rule";
    ASSERT_EQ(forged, LoopbackPeer::Forged::Sent);
    // Once it is listed its pass is over: an echo would be queued already.
    ASSERT_TRUE(ops.waitForPeers(1, kWait));

    LoopbackPeer otherPort("127.0.0.1");
    ASSERT_TRUE(otherPort.sendTo("other", port));
    auto echo = otherPort.receive(kWait);
    ASSERT_TRUE(echo.has_value()) << "another port of this host was not echoed";
    EXPECT_EQ(echo->bytes, "other");
    ASSERT_TRUE(ops.waitForPeers(2, kWait));
    EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), (Lines { "self", "other" }));
    EXPECT_EQ(ops.peers(), (Lines { "127.0.0.1:" + std::to_string(port), otherPort.name() }));
}

namespace {

struct OwnSourceCase {
    const char* source;
    bool samePort;
    std::vector<const char*> interfaces;
    bool fromItself;
};

void PrintTo(const OwnSourceCase& c, std::ostream* os)
{
    *os << c.source << (c.samePort ? " same port" : " other port");
}

class OwnAddressTest : public ::testing::TestWithParam<OwnSourceCase> { };

} // namespace

TEST_P(OwnAddressTest, DecidesWhichSourcesAreTheServersOwn)
{
    const OwnSourceCase& c = GetParam();
    constexpr std::uint16_t kOwnPort = 3456;
    int asked = 0;
    const OwnAddress::HostAddresses interfaces = [&] {
        ++asked;
        std::vector<std::uint32_t> addresses;
        for (const char* a : c.interfaces)
            addresses.push_back(AddressText::toAddress(a));
        return addresses;
    };
    const Ipv4Endpoint source { AddressText::toAddress(c.source), c.samePort ? kOwnPort : std::uint16_t(kOwnPort + 1) };
    EXPECT_EQ(OwnAddress::isFromItself(source, kOwnPort, interfaces), c.fromItself);
    if (!c.samePort) {
        EXPECT_EQ(asked, 0) << "looked the interfaces up for a port that is not ours";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, OwnAddressTest,
    ::testing::Values(OwnSourceCase { "127.0.0.1", true, {}, true },
        OwnSourceCase { "127.255.255.254", true, {}, true }, OwnSourceCase { "0.0.0.0", true, {}, true },
        OwnSourceCase { "192.0.2.1", true, {}, false }, OwnSourceCase { "192.0.2.1", true, { "192.0.2.1" }, true },
        OwnSourceCase { "192.0.2.2", true, { "192.0.2.1", "10.0.0.5" }, false },
        OwnSourceCase { "126.255.255.255", true, {}, false }, OwnSourceCase { "128.0.0.1", true, {}, false },
        OwnSourceCase { "10.0.0.127", true, {}, false }, OwnSourceCase { "127.0.0.1", false, {}, false },
        OwnSourceCase { "192.0.2.1", false, { "192.0.2.1" }, false }));

namespace {
class ServerPortPrefixTest : public ServerTest, public ::testing::WithParamInterface<std::pair<int, int>> { };
} // namespace

// 127.0.0.9:4000 is a prefix of 127.0.0.9:40001, yet they are two senders.
TEST_P(ServerPortPrefixTest, SendersDifferingOnlyInPortAreBothListed)
{
    LoopbackPeer first("127.0.0.9", static_cast<std::uint16_t>(GetParam().first));
    LoopbackPeer second("127.0.0.9", static_cast<std::uint16_t>(GetParam().second));
    if (!first.ok() || !second.ok())
        GTEST_SKIP() << "127.0.0.9:4000 or :40001 is in use";
    ASSERT_TRUE(first.sendTo("1", port));
    ASSERT_TRUE(ops.waitForPeers(1, kWait));
    ASSERT_TRUE(second.sendTo("2", port));
    ASSERT_TRUE(ops.waitForPeers(2, kWait));
    EXPECT_EQ(ops.peers(), (Lines { first.name(), second.name() }));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ServerPortPrefixTest,
    ::testing::Values(std::pair<int, int> { 40001, 4000 }, std::pair<int, int> { 4000, 40001 }));

// --- start

namespace {
class ServerPortTextTest : public ::testing::TestWithParam<std::pair<const char*, std::uint16_t>> { };
} // namespace

TEST_P(ServerPortTextTest, BindsThePortTheTextNamesOnEveryAddress)
{
    const auto [text, expected] = GetParam();
    if (!udpPortFree(expected))
        GTEST_SKIP() << "port " << expected << " is held by another program";
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    ops.setField(IDC_SERVER_PORT, text);
    server.start();
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(server.localEndpoint().port, expected);
    EXPECT_EQ(server.localEndpoint().addressNet, 0u);
    ASSERT_TRUE(LoopbackPeer("127.0.0.5").sendTo("hi", expected));
    EXPECT_TRUE(ops.waitForLogLines(IDC_SERVER_LOG, 1, kWait));
}

INSTANTIATE_TEST_SUITE_P(FixedPorts, ServerPortTextTest,
    ::testing::Values(std::pair<const char*, std::uint16_t> { "3456", 3456 },
        std::pair<const char*, std::uint16_t> { "70000", 4464 },
        std::pair<const char*, std::uint16_t> { " +3460x", 3460 }));

TEST(ServerStart, TextWithoutDigitsLetsTheSystemChooseSilently)
{
    for (const char* text : { "abc", "" }) {
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
    const std::uint16_t port = holder->port();
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    ops.setField(IDC_SERVER_PORT, std::to_string(port));
    const std::size_t before = openDescriptors();
    server.start();
    EXPECT_EQ(openDescriptors(), before) << "the failed start left a descriptor open";
    EXPECT_EQ(ops.errors(), Lines { "can not bind address" });
    EXPECT_FALSE(server.listening());
    EXPECT_TRUE(ops.enabled(IDC_SERVER_START));
    EXPECT_FALSE(ops.enabled(IDC_SERVER_STOP));

    LoopbackPeer target("127.0.0.5");
    ops.peerRegister(target.name());
    ops.select(0);
    server.sendReply();
    EXPECT_TRUE(target.nothingWithin(kQuiet)) << "replied through the failed start's socket";

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

TEST_F(ServerTest, StopWhileTheThreadWaitsForTheWindowDropsTheHeldCall)
{
    ops.setEcho(true);
    ops.holdCalls(true);
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("first", port));
    ASSERT_TRUE(peer.sendTo("second", port));
    ASSERT_TRUE(ops.waitUntilCallHeld(kWait));

    EXPECT_TRUE(ops.returnsWithin(kWait, [&] { server.stop(); })) << "stop waited for the window";
    ops.holdCalls(false);
    EXPECT_GE(ops.callsDroppedByCancel(), 1);
    EXPECT_TRUE(ops.logLines(IDC_SERVER_LOG).empty());
    EXPECT_TRUE(ops.peers().empty());
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "echoed after the window call was dropped";

    // The next start gets a window that answers again.
    server.start();
    ASSERT_TRUE(server.listening());
    ASSERT_TRUE(peer.sendTo("third", server.localEndpoint().port));
    ASSERT_TRUE(ops.waitForPeers(1, kWait));
    EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), Lines { "third" });
}

// Stop must not depend on where the loop is: blocked receive, pause or a
// window call; after it returns nothing more is logged or echoed.
TEST_F(ServerTest, StopAnywhereInTheLoopReturnsAndEndsEverything)
{
    ops.setEcho(true);
    LoopbackPeer peer("127.0.0.5");
    for (int round = 0; round < 30; ++round) {
        if (round > 0)
            server.start();
        ASSERT_TRUE(server.listening()) << "round " << round;
        const std::uint16_t roundPort = server.localEndpoint().port;
        for (int i = 0; i < round % 3; ++i)
            peer.sendTo("r", roundPort);
        if (round % 2)
            ops.waitForLogLines(IDC_SERVER_LOG, ops.logLines(IDC_SERVER_LOG).size() + 1, 50ms);
        ASSERT_TRUE(ops.returnsWithin(kWait, [&] { server.stop(); })) << "round " << round;
        EXPECT_FALSE(server.listening());

        const std::size_t lines = ops.logLines(IDC_SERVER_LOG).size();
        while (peer.receive(0ms)) { }
        peer.sendTo("after stop", roundPort);
        EXPECT_TRUE(peer.nothingWithin(10ms)) << "echoed after stop, round " << round;
        EXPECT_EQ(ops.logLines(IDC_SERVER_LOG).size(), lines) << "logged after stop, round " << round;
    }
    EXPECT_TRUE(ops.errors().empty());
}

TEST_F(ServerTest, StopTwiceClosesNothingItNoLongerOwns)
{
    server.stop();
    LoopbackPeer later("127.0.0.5"); // likely to reuse a number the first stop freed
    server.stop();
    ASSERT_TRUE(later.sendTo("still open", later.port(), "127.0.0.5"));
    EXPECT_TRUE(later.receive(kWait).has_value());
}

TEST_F(ServerTest, StopThenStartOnTheSamePortKeepsListAndLog)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6");
    ASSERT_TRUE(a.sendTo("before", port));
    ASSERT_TRUE(ops.waitForPeers(1, kWait));
    server.stop();
    ops.setField(IDC_SERVER_PORT, std::to_string(port));
    server.start();
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(server.localEndpoint().port, port);
    ASSERT_TRUE(b.sendTo("after", port));
    ASSERT_TRUE(ops.waitForPeers(2, kWait));
    EXPECT_EQ(ops.peers(), (Lines { a.name(), b.name() }));
    EXPECT_EQ(ops.logLines(IDC_SERVER_LOG), (Lines { "before", "after" }));
}

// --- replies and the peer list

TEST_F(ServerTest, ReplyGoesToTheSelectedSenderFromTheServerPort)
{
    LoopbackPeer a("127.0.0.5"), b("127.0.0.6"), c("127.0.0.7");
    std::size_t listed = 0;
    for (const LoopbackPeer* p : { &a, &b, &c }) {
        ASSERT_TRUE(p->sendTo("hello", port));
        ASSERT_TRUE(ops.waitForPeers(++listed, kWait));
    }
    ops.select(1);
    ops.setField(IDC_REPLY_MESSAGE, "hi");
    server.sendReply();
    auto got = b.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "hi");
    EXPECT_EQ(got->fromPort, port);
    EXPECT_TRUE(a.nothingWithin(kQuiet));
    EXPECT_TRUE(c.nothingWithin(kQuiet));
}

TEST_F(ServerTest, ReplySendsAtMost99BytesOfTheReplyField)
{
    LoopbackPeer peer("127.0.0.5");
    ops.peerRegister(peer.name());
    ops.select(0);
    const std::pair<std::string, std::string> rows[] = {
        { "", "" }, // a datagram of length zero
        { std::string(99, 'r'), std::string(99, 'r') },
        { std::string(150, 'r'), std::string(99, 'r') },
        { std::string(97, 'r') + "\xE4\xB8\xAD", std::string(97, 'r') },
    };
    for (const auto& [field, sent] : rows) {
        ops.setField(IDC_REPLY_MESSAGE, field);
        server.sendReply();
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value()) << field.size() << " bytes in the field";
        EXPECT_EQ(got->bytes, sent);
    }
}

TEST_F(ServerTest, ReplyWithoutSelectionOrWithoutSocketSendsNothing)
{
    LoopbackPeer peer("127.0.0.5");
    ops.peerRegister(peer.name());
    ops.setField(IDC_REPLY_MESSAGE, "hi");
    server.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "sent with nothing selected";

    ops.select(0);
    server.stop();
    server.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "sent after stop";
    EXPECT_EQ(ops.peers(), Lines { peer.name() });

    FakeFieldOperations freshOps;
    ServerEndpoint neverStarted(freshOps);
    freshOps.peerRegister(peer.name());
    freshOps.select(0);
    neverStarted.sendReply();
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "sent before any start";
    EXPECT_TRUE(ops.errors().empty() && freshOps.errors().empty());
}

TEST(ServerPeerList, DeleteSelectedAndDeleteAll)
{
    FakeFieldOperations ops;
    ServerEndpoint server(ops);
    for (int i = 0; i < 5; ++i)
        ops.peerRegister("127.0.0." + std::to_string(i + 1) + ":4000");
    server.deleteSelectedPeer(); // nothing selected
    EXPECT_EQ(ops.peers().size(), 5u);
    ops.select(2);
    server.deleteSelectedPeer();
    EXPECT_EQ(ops.peers(), (Lines { "127.0.0.1:4000", "127.0.0.2:4000", "127.0.0.4:4000", "127.0.0.5:4000" }));
    EXPECT_EQ(ops.peerSelection(), FieldOperations::kNone);
    server.deleteAllPeers();
    EXPECT_TRUE(ops.peers().empty());
    server.deleteAllPeers();
    EXPECT_TRUE(ops.peers().empty());
}

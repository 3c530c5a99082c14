#include "net/ClientEndpoint.h"
#include "net/PeerEntry.h"
#include "net/ServerEndpoint.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/UdpPortFree.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Found by gtest through the type's (global) namespace.
static void PrintTo(const Ipv4Endpoint& e, std::ostream* os)
{
    *os << PeerEntry::format(e);
}

namespace {

// Bounds for waits only; nothing asserts how fast anything is.
constexpr auto kWait = 5s;
// Loopback delivery happens inside sendto: a short quiet check is enough.
constexpr auto kQuiet = 100ms;
// The client side's written local port, not the product's constant: a wrong
// constant must fail here.
constexpr std::uint16_t kPort = 50001;

Ipv4Endpoint endpoint(const char* address, std::uint16_t port)
{
    return Ipv4Endpoint { ::inet_addr(address), port };
}

// Most tests aim at a peer on 127.0.0.2, so the client binds 127.0.0.2:50001
// and stays clear of anything else on 127.0.0.1:50001.
class ClientTest : public ::testing::Test {
protected:
    void aimAt(const LoopbackPeer& target)
    {
        ops.setField(IDC_DEST_IP, target.address());
        ops.setField(IDC_DEST_PORT, std::to_string(target.port()));
    }
    void send(const std::string& message)
    {
        ops.setField(IDC_CLIENT_MESSAGE, message);
        client.send();
    }
    void startAimedAtPeer()
    {
        aimAt(peer);
        client.start();
        ASSERT_TRUE(client.running());
        ASSERT_EQ(client.localEndpoint(), endpoint("127.0.0.2", kPort));
    }

    FakeFieldOperations ops;
    ClientEndpoint client { ops };
    LoopbackPeer peer { "127.0.0.2" };
};

} // namespace

// The exchange a user makes with the default fields; each side has its own
// window calls, as in the program.
TEST(ClientAndServer, WithDefaultsTalkToEachOtherFrom127001Port50001)
{
    if (!udpPortFree(kPort, "127.0.0.1"))
        GTEST_SKIP() << "port 50001 is held by another program";
    FakeFieldOperations serverOps, clientOps;
    ServerEndpoint server(serverOps);
    ClientEndpoint client(clientOps);
    serverOps.setField(IDC_SERVER_PORT, "0");
    server.start();
    ASSERT_TRUE(server.listening());
    serverOps.setEcho(true);

    clientOps.setField(IDC_DEST_PORT, std::to_string(server.localEndpoint().port));
    client.start();
    ASSERT_TRUE(client.running());
    EXPECT_EQ(client.localEndpoint(), endpoint("127.0.0.1", kPort));
    EXPECT_FALSE(clientOps.enabled(IDC_CLIENT_START));
    EXPECT_TRUE(clientOps.enabled(IDC_CLIENT_STOP));

    clientOps.setField(IDC_CLIENT_MESSAGE, "hello");
    client.send();
    ASSERT_TRUE(serverOps.waitForPeers(1, kWait));
    EXPECT_EQ(serverOps.peers(), Lines { "127.0.0.1:50001" });
    EXPECT_EQ(serverOps.logLines(IDC_SERVER_LOG), Lines { "hello" });
    ASSERT_TRUE(clientOps.waitForLogLines(IDC_CLIENT_LOG, 1, kWait)) << "echo not logged";

    serverOps.select(0);
    serverOps.setField(IDC_REPLY_MESSAGE, "hi");
    server.sendReply();
    ASSERT_TRUE(clientOps.waitForLogLines(IDC_CLIENT_LOG, 2, kWait)) << "reply not logged";
    EXPECT_EQ(clientOps.logLines(IDC_CLIENT_LOG), (Lines { "hello", "hi" }));

    server.stop(); // the client side goes on
    ASSERT_TRUE(LoopbackPeer("127.0.0.5").sendTo("still here", kPort));
    EXPECT_TRUE(clientOps.waitForLogLines(IDC_CLIENT_LOG, 3, kWait));
    EXPECT_TRUE(clientOps.errors().empty() && serverOps.errors().empty());
}

// When the bind fails (50001 taken, or the destination is no address of this
// host) the client goes on silently and unbound; its first send picks a port
// and replies to that port are logged. 127.255.255.255 is the loopback
// network's broadcast address.
TEST(ClientStart, FailedBindGoesOnUnboundAndLogsRepliesToTheChosenPort)
{
    LoopbackPeer peer("127.0.0.2");
    const char* startDestinations[]
        = { "127.0.0.1 (port taken)", "localhost", "255.255.255.255", "127.255.255.255", "224.0.0.1", "239.255.0.1" };
    for (const std::string destination : startDestinations) {
        SCOPED_TRACE(destination);
        // Should the holder fail to bind, someone else holds the port: just as good.
        std::unique_ptr<LoopbackPeer> holder;
        if (destination.find("taken") != std::string::npos)
            holder = std::make_unique<LoopbackPeer>("127.0.0.1", kPort);
        FakeFieldOperations ops;
        ClientEndpoint client(ops);
        ops.setField(IDC_DEST_IP, destination.substr(0, destination.find(' ')));
        client.start();
        ASSERT_TRUE(client.running());
        EXPECT_TRUE(ops.errors().empty());
        EXPECT_EQ(client.localEndpoint(), Ipv4Endpoint {}) << "bound at start";

        ops.setField(IDC_DEST_IP, peer.address());
        ops.setField(IDC_DEST_PORT, std::to_string(peer.port()));
        ops.setField(IDC_CLIENT_MESSAGE, "out");
        client.send();
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value());
        EXPECT_NE(got->fromPort, kPort);
        ASSERT_TRUE(peer.sendTo("in", got->fromPort, got->fromAddress));
        EXPECT_TRUE(ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait)) << "reply to the sending port not logged";
    }
}

// "localhost" gives 255.255.255.255, which the system refuses to send to
// without broadcast permission; nothing is reported.
TEST_F(ClientTest, LocalhostDestinationSendsNothingAndSaysNothing)
{
    aimAt(peer);
    ops.setField(IDC_DEST_IP, "localhost");
    client.start();
    ASSERT_TRUE(client.running());
    send("nowhere");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(ops.errors().empty());
}

TEST_F(ClientTest, BindAddressIsTheDestinationAtStart)
{
    startAimedAtPeer();
    LoopbackPeer second("127.0.0.3");
    aimAt(second);
    send("moved");
    auto got = second.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "moved");
    EXPECT_EQ(got->fromAddress, "127.0.0.2");
    EXPECT_EQ(got->fromPort, kPort);
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
}

TEST_F(ClientTest, SendsAtMost1023BytesOfTheMessage)
{
    startAimedAtPeer();
    const std::pair<std::string, std::string> rows[] = {
        { "", "" }, // a datagram of length zero
        { std::string(1023, 'm'), std::string(1023, 'm') },
        { std::string(1500, 'm'), std::string(1023, 'm') },
    };
    for (const auto& [field, sent] : rows) {
        send(field);
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value()) << field.size() << " bytes in the field";
        EXPECT_EQ(got->bytes, sent) << field.size() << " bytes in the field";
    }
    EXPECT_EQ(ops.readWholeField(IDC_CLIENT_MESSAGE), rows[2].first) << "the field keeps its text";
}

TEST_F(ClientTest, SendBeforeStartAndAfterStopSendsNothing)
{
    aimAt(peer);
    send("too early");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    startAimedAtPeer();
    send("in time");
    EXPECT_TRUE(peer.receive(kWait).has_value());
    client.stop();
    send("too late");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(ops.errors().empty());
}

// --- stop

#include "ClientEndpoint.h"
#include "FakeFieldOperations.h"
#include "LoopbackPeer.h"
#include "PeerEntry.h"
#include "ServerEndpoint.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

// Found by gtest through the type's (global) namespace.
static void PrintTo(const Ipv4Endpoint& e, std::ostream* os) { *os << PeerEntry::format(e); }

namespace {

// Bounds for waits only; nothing asserts how fast anything is.
constexpr auto kWait = 5s;
// Loopback delivery happens inside sendto: a short quiet check is enough.
constexpr auto kQuiet = 100ms;

// Runs `action` on this (the window's) thread; if it has not returned within
// the bound, held window calls are released so the test fails, not hangs.
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

Ipv4Endpoint loopback(const char* address, std::uint16_t port) { return Ipv4Endpoint{::inet_addr(address), port}; }

// A client whose destination is a test peer. Bound addresses other than
// 127.0.0.1 keep these tests clear of anything else on 127.0.0.1:50001.
struct Client {
    FakeFieldOperations ops;
    ClientEndpoint client{ops};

    void aimAt(const LoopbackPeer& peer)
    {
        ops.setField(IDC_DEST_IP, peer.address());
        ops.setField(IDC_DEST_PORT, std::to_string(peer.port()));
    }
    void send(const std::string& message)
    {
        ops.setField(IDC_CLIENT_MESSAGE, message);
        client.send();
    }
};

} // namespace

TEST(ClientStart, WithDefaultsBindsTo127001Port50001)
{
    {
        LoopbackPeer probe("127.0.0.1", ClientEndpoint::kLocalPort);
        if (!probe.ok())
            GTEST_SKIP() << "127.0.0.1:50001 is in use";
    }
    Client c;
    LoopbackPeer peer("127.0.0.1");
    ASSERT_TRUE(peer.ok());
    c.ops.setField(IDC_DEST_PORT, std::to_string(peer.port()));
    c.client.start();
    ASSERT_TRUE(c.client.running());
    EXPECT_EQ(c.client.localEndpoint(), loopback("127.0.0.1", 50001));
    EXPECT_FALSE(c.ops.enabled(IDC_CLIENT_START));
    EXPECT_TRUE(c.ops.enabled(IDC_CLIENT_STOP));

    c.send("hello");
    auto got = peer.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "hello");
    EXPECT_EQ(got->fromAddress, "127.0.0.1");
    EXPECT_EQ(got->fromPort, 50001);
    EXPECT_EQ(c.ops.readWholeField(IDC_CLIENT_MESSAGE), "hello") << "the field keeps its text";

    ASSERT_TRUE(peer.sendTo("back", 50001));
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait));
    EXPECT_EQ(c.ops.logLines(IDC_CLIENT_LOG), std::vector<std::string>{"back"});
    EXPECT_TRUE(c.ops.errors().empty());
}

// The exchange a user makes with the default fields, each side with its own window calls.
TEST(ClientAndServer, TalkToEachOtherOnLoopback)
{
    {
        LoopbackPeer probe("127.0.0.1", ClientEndpoint::kLocalPort);
        if (!probe.ok())
            GTEST_SKIP() << "127.0.0.1:50001 is in use";
    }
    FakeFieldOperations serverOps;
    ServerEndpoint server(serverOps);
    serverOps.setField(IDC_SERVER_PORT, "0");
    server.start();
    ASSERT_TRUE(server.listening());
    serverOps.setEcho(true);

    Client c;
    c.ops.setField(IDC_DEST_PORT, std::to_string(server.localEndpoint().port));
    c.client.start();
    ASSERT_TRUE(c.client.running());
    c.send("hello");
    ASSERT_TRUE(serverOps.waitForPeers(1, kWait));
    EXPECT_EQ(serverOps.peers(), std::vector<std::string>{"127.0.0.1:50001"});
    EXPECT_EQ(serverOps.logLines(IDC_SERVER_LOG), std::vector<std::string>{"hello"});
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait)) << "echo not logged";

    serverOps.select(0);
    serverOps.setField(IDC_REPLY_MESSAGE, "hi");
    server.sendReply();
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 2, kWait)) << "reply not logged";
    EXPECT_EQ(c.ops.logLines(IDC_CLIENT_LOG), (std::vector<std::string>{"hello", "hi"}));

    // Stopping one side leaves the other running.
    server.stop();
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.sendTo("still here", 50001));
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 3, kWait));
}

TEST(ClientStart, PortTakenGoesOnUnboundAndSendsFromASystemChosenPort)
{
    LoopbackPeer holder("127.0.0.1", ClientEndpoint::kLocalPort);
    if (!holder.ok())
        GTEST_SKIP() << "127.0.0.1:50001 is in use elsewhere";
    Client c;
    LoopbackPeer peer("127.0.0.1");
    c.aimAt(peer);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    EXPECT_TRUE(c.ops.errors().empty());
    EXPECT_EQ(c.client.localEndpoint().port, 0) << "not bound before the first send";

    c.send("from somewhere");
    auto got = peer.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "from somewhere");
    EXPECT_NE(got->fromPort, 0);
    EXPECT_NE(got->fromPort, ClientEndpoint::kLocalPort);
    EXPECT_EQ(c.client.localEndpoint().port, got->fromPort);
    EXPECT_TRUE(holder.nothingWithin(kQuiet));

    ASSERT_TRUE(peer.sendTo("reply", got->fromPort));
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait)) << "reply to the chosen port not logged";
    EXPECT_EQ(c.ops.logLines(IDC_CLIENT_LOG), std::vector<std::string>{"reply"});
}

TEST(ClientStart, BindAddressIsTheDestinationAtStart)
{
    Client c;
    LoopbackPeer first("127.0.0.2"), second("127.0.0.3");
    ASSERT_TRUE(first.ok() && second.ok());
    c.aimAt(first);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    ASSERT_EQ(c.client.localEndpoint(), loopback("127.0.0.2", 50001));

    c.aimAt(second);
    c.send("moved");
    auto got = second.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "moved");
    EXPECT_EQ(got->fromAddress, "127.0.0.2");
    EXPECT_EQ(got->fromPort, 50001);
    EXPECT_TRUE(first.nothingWithin(kQuiet));
    EXPECT_EQ(c.client.localEndpoint(), loopback("127.0.0.2", 50001));
}

TEST(ClientSend, SendsAtMost1023BytesOfTheMessage)
{
    Client c;
    LoopbackPeer peer("127.0.0.2");
    c.aimAt(peer);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    const std::string han = "\xE4\xB8\xAD";
    const std::pair<std::string, std::string> rows[] = {
        {"", ""}, // a datagram of length zero
        {"hello", "hello"},
        {std::string(1023, 'm'), std::string(1023, 'm')},
        {std::string(1024, 'm'), std::string(1023, 'm')},
        {std::string(1500, 'm'), std::string(1023, 'm')},
        {std::string(1020, 'a') + han, std::string(1020, 'a') + han},
        {std::string(1022, 'a') + han, std::string(1022, 'a')},
    };
    for (const auto& [field, sent] : rows) {
        c.send(field);
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value()) << field.size() << " bytes in the field";
        EXPECT_EQ(got->bytes, sent) << field.size() << " bytes in the field";
    }
}

TEST(ClientReceive, LogsDatagramsUpTo1000BytesAsTextToTheFirstZero)
{
    Client c;
    LoopbackPeer peer("127.0.0.2");
    c.aimAt(peer);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    // Dropped and empty datagrams sit between logged ones, so their absence
    // shows once the datagram after them is logged.
    const std::string sent[] = {std::string(1000, 'k'), std::string(1001, 'k'), "",
                                std::string("ab\0cd", 5), std::string("\0z", 2), "end"};
    for (const std::string& d : sent)
        ASSERT_TRUE(peer.sendTo(d, 50001, "127.0.0.2"));
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 4, kWait));
    EXPECT_EQ(c.ops.logLines(IDC_CLIENT_LOG), (std::vector<std::string>{std::string(1000, 'k'), "ab", "", "end"}));
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "the client never echoes";
}

// None of these is an address of this host (127.255.255.255 is the broadcast
// address of the loopback network), so the bind must leave the
// socket unbound: its first send then picks a port, and replies to that port
// are logged (also after the destination has been changed to a real one).
TEST(ClientStart, DestinationNotOfThisHostLeavesTheSocketUnbound)
{
    for (const char* destination : {"localhost", "255.255.255.255", "127.255.255.255", "224.0.0.1", "239.255.0.1"}) {
        SCOPED_TRACE(destination);
        Client c;
        c.ops.setField(IDC_DEST_IP, destination);
        c.client.start();
        ASSERT_TRUE(c.client.running());
        EXPECT_TRUE(c.ops.errors().empty());
        EXPECT_EQ(c.client.localEndpoint(), Ipv4Endpoint{}) << "bound at start";

        LoopbackPeer peer("127.0.0.2");
        c.aimAt(peer);
        c.send("out");
        auto got = peer.receive(kWait);
        ASSERT_TRUE(got.has_value());
        EXPECT_NE(got->fromPort, ClientEndpoint::kLocalPort);
        ASSERT_TRUE(peer.sendTo("in", got->fromPort, got->fromAddress));
        EXPECT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait)) << "reply to the sending port not logged";
    }
}

// "localhost" is no address: the bind fails and every send is refused for
// want of broadcast permission, all without a word.
TEST(ClientSend, LocalhostDestinationSendsNothingAndSaysNothing)
{
    Client c;
    LoopbackPeer peer("127.0.0.1");
    c.aimAt(peer);
    c.ops.setField(IDC_DEST_IP, "localhost");
    c.client.start();
    ASSERT_TRUE(c.client.running());
    c.send("nowhere");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(c.ops.errors().empty());
}

TEST(ClientSend, BeforeStartAndAfterStopSendsNothing)
{
    Client c;
    LoopbackPeer peer("127.0.0.2");
    c.aimAt(peer);
    c.send("too early");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));

    c.client.start();
    ASSERT_TRUE(c.client.running());
    c.send("in time");
    auto got = peer.receive(kWait);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->bytes, "in time");

    c.client.stop();
    c.send("too late");
    EXPECT_TRUE(peer.nothingWithin(kQuiet));
    EXPECT_TRUE(c.ops.errors().empty());
}

// --- stop

TEST(ClientStop, OnANeverStartedSideOnlyResetsTheButtonsAndTwiceIsFine)
{
    Client c;
    c.ops.enableButton(IDC_CLIENT_START, false);
    c.ops.enableButton(IDC_CLIENT_STOP, true);
    c.client.stop();
    c.client.stop();
    EXPECT_TRUE(c.ops.enabled(IDC_CLIENT_START));
    EXPECT_FALSE(c.ops.enabled(IDC_CLIENT_STOP));
    EXPECT_TRUE(c.ops.errors().empty());
}

TEST(ClientStop, WhileBlockedInReceiveFreesThePortAndLogsNothingMore)
{
    Client c;
    LoopbackPeer peer("127.0.0.2");
    c.aimAt(peer);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    ASSERT_TRUE(returnsWithin(kWait, c.ops, [&] { c.client.stop(); }));
    EXPECT_FALSE(c.client.running());
    EXPECT_TRUE(c.ops.enabled(IDC_CLIENT_START));
    EXPECT_FALSE(c.ops.enabled(IDC_CLIENT_STOP));

    ASSERT_TRUE(peer.sendTo("too late", 50001, "127.0.0.2"));
    EXPECT_TRUE(c.ops.logLines(IDC_CLIENT_LOG).empty());
    LoopbackPeer rebind("127.0.0.2", ClientEndpoint::kLocalPort);
    EXPECT_TRUE(rebind.ok()) << "the socket still holds its port after stop";
}

TEST(ClientStop, WhileTheThreadWaitsForTheWindowDropsTheHeldLog)
{
    Client c;
    LoopbackPeer peer("127.0.0.2");
    c.aimAt(peer);
    c.client.start();
    ASSERT_TRUE(c.client.running());
    c.ops.holdCalls(true);
    ASSERT_TRUE(peer.sendTo("first", 50001, "127.0.0.2"));
    ASSERT_TRUE(peer.sendTo("second", 50001, "127.0.0.2"));
    ASSERT_TRUE(c.ops.waitUntilCallHeld(kWait));

    EXPECT_TRUE(returnsWithin(kWait, c.ops, [&] { c.client.stop(); })) << "stop waited for the window";
    c.ops.holdCalls(false);
    EXPECT_GE(c.ops.callsDroppedByCancel(), 1);
    EXPECT_TRUE(c.ops.logLines(IDC_CLIENT_LOG).empty());

    // Stop, then start again: the new thread's calls get through.
    c.client.start();
    ASSERT_TRUE(c.client.running());
    ASSERT_TRUE(peer.sendTo("third", 50001, "127.0.0.2"));
    ASSERT_TRUE(c.ops.waitForLogLines(IDC_CLIENT_LOG, 1, kWait));
    EXPECT_EQ(c.ops.logLines(IDC_CLIENT_LOG), std::vector<std::string>{"third"});
}

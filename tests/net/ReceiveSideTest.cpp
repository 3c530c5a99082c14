#include "net/ClientEndpoint.h"
#include "net/ServerEndpoint.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/LoopbackPeer.h"
#include "tests/support/Resources.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

// What both sides' receive threads do alike, run once over each side; each
// side's own rules are in its own file.

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

constexpr auto kWait = 5s;
constexpr auto kQuiet = 100ms;

enum class Kind { Server, Client };

// One side with its in-memory window. The server listens on a port of the
// system's choice; the client binds 127.0.0.2:50001, clear of 127.0.0.1.
struct Side {
    explicit Side(Kind kind)
        : kind(kind)
    {
        ops.setField(IDC_SERVER_PORT, "0");
        ops.setField(IDC_DEST_IP, "127.0.0.2");
        if (kind == Kind::Server)
            server = std::make_unique<ServerEndpoint>(ops);
        else
            client = std::make_unique<ClientEndpoint>(ops);
    }
    void start() { server ? server->start() : client->start(); }
    void stop() { server ? server->stop() : client->stop(); }
    bool running() const { return server ? server->listening() : client->running(); }
    Ipv4Endpoint local() const { return server ? server->localEndpoint() : client->localEndpoint(); }
    // Where a peer sends to reach it.
    const char* address() const { return server ? "127.0.0.1" : "127.0.0.2"; }
    ControlId log() const { return server ? IDC_SERVER_LOG : IDC_CLIENT_LOG; }
    ControlId startButton() const { return server ? IDC_SERVER_START : IDC_CLIENT_START; }
    ControlId stopButton() const { return server ? IDC_SERVER_STOP : IDC_CLIENT_STOP; }
    const char* threadError() const
    {
        return server ? "can not create udplisten thread" : "can not create thread clientrecv";
    }
    bool sendFrom(const LoopbackPeer& peer, const std::string& bytes) const
    {
        return peer.sendTo(bytes, local().port, address());
    }

    Kind kind;
    FakeFieldOperations ops;
    std::unique_ptr<ServerEndpoint> server;
    std::unique_ptr<ClientEndpoint> client;
};

std::string sideName(Kind kind)
{
    return kind == Kind::Server ? "Server" : "Client";
}

class SideTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        side.start();
        ASSERT_TRUE(side.running());
        if (side.local().port == 0)
            GTEST_SKIP() << "127.0.0.2:50001 is held by another program";
        ops.setEcho(true);
    }

    Side side { GetParam() };
    FakeFieldOperations& ops = side.ops;
};

struct DatagramCase {
    const char* name;
    std::string payload;
    bool handled; // logged (and on the server echoed whole and listed)
    std::string logText;
};

class SideDatagramTest : public ::testing::TestWithParam<std::tuple<Kind, DatagramCase>> {};

} // namespace

// Shown up to the first zero byte, echoed whole; empty and over-long
// datagrams are dropped whole, as a failed receive is.
TEST_P(SideDatagramTest, HandlesOrDropsTheDatagramWhole)
{
    const auto& [kind, c] = GetParam();
    Side side(kind);
    side.start();
    ASSERT_TRUE(side.running());
    if (side.local().port == 0)
        GTEST_SKIP() << "127.0.0.2:50001 is held by another program";
    side.ops.setEcho(true);
    LoopbackPeer sender("127.0.0.5"), marker("127.0.0.6");
    ASSERT_TRUE(side.sendFrom(sender, c.payload));
    ASSERT_TRUE(side.sendFrom(marker, "end"));
    // The marker's line ends its pass (its listing too), and passes run in order.
    ASSERT_TRUE(side.ops.waitForLogLines(side.log(), c.handled ? 2 : 1, kWait));
    EXPECT_EQ(side.ops.logLines(side.log()), (c.handled ? Lines { c.logText, "end" } : Lines { "end" }));
    if (kind == Kind::Client) {
        EXPECT_TRUE(sender.nothingWithin(kQuiet)) << "the client never echoes";
        return;
    }
    ASSERT_TRUE(side.ops.waitForPeers(c.handled ? 2 : 1, kWait));
    EXPECT_EQ(side.ops.peers(), (c.handled ? Lines { sender.name(), marker.name() } : Lines { marker.name() }));
    if (c.handled) {
        auto echo = sender.receive(kWait);
        ASSERT_TRUE(echo.has_value());
        EXPECT_EQ(echo->bytes, c.payload);
        EXPECT_EQ(echo->fromPort, side.local().port);
    } else {
        EXPECT_TRUE(sender.nothingWithin(kQuiet));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SideDatagramTest,
    ::testing::Combine(::testing::Values(Kind::Server, Kind::Client),
        ::testing::Values(DatagramCase { "empty", "", false, "" }, DatagramCase { "one_byte", "x", true, "x" },
            DatagramCase { "exactly_1000", std::string(1000, 'k'), true, std::string(1000, 'k') },
            DatagramCase { "over_by_one_1001", std::string(1001, 'k'), false, "" },
            DatagramCase { "largest_udp", std::string(65507, 'k'), false, "" },
            DatagramCase { "zero_inside", std::string("ab\0cd", 5), true, "ab" },
            DatagramCase { "zero_first", std::string("\0z", 2), true, "" },
            DatagramCase { "utf8", "\xE4\xBD\xA0\xE5\xA5\xBD", true, "\xE4\xBD\xA0\xE5\xA5\xBD" })),
    [](const auto& info) { return sideName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

// Held at the window, the receive thread's call is dropped by the stop,
// which does not wait for it; nothing of that datagram shows or is echoed,
// and the next start gets a window that answers again.
TEST_P(SideTest, StopWhileTheThreadWaitsForTheWindowDropsTheHeldCall)
{
    ops.holdCalls(true);
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(side.sendFrom(peer, "first"));
    ASSERT_TRUE(side.sendFrom(peer, "second"));
    ASSERT_TRUE(ops.waitUntilCallHeld(kWait));

    EXPECT_TRUE(ops.returnsWithin(kWait, [&] { side.stop(); })) << "stop waited for the window";
    ops.holdCalls(false);
    EXPECT_GE(ops.callsDroppedByCancel(), 1);
    EXPECT_TRUE(ops.logLines(side.log()).empty());
    EXPECT_TRUE(ops.peers().empty());
    EXPECT_TRUE(peer.nothingWithin(kQuiet)) << "echoed after the window call was dropped";

    side.start();
    ASSERT_TRUE(side.running());
    ASSERT_TRUE(side.sendFrom(peer, "third"));
    ASSERT_TRUE(ops.waitForLogLines(side.log(), 1, kWait));
    EXPECT_EQ(ops.logLines(side.log()), Lines { "third" });
}

// Stop must not depend on where the loop is: blocked receive, pause or a
// window call; after it returns nothing more is logged or echoed, and the
// port is free again.
TEST_P(SideTest, StopAnywhereInTheLoopReturnsAndEndsEverything)
{
    LoopbackPeer peer("127.0.0.5");
    for (int round = 0; round < 30; ++round) {
        if (round > 0)
            side.start();
        ASSERT_TRUE(side.running()) << "round " << round;
        const Ipv4Endpoint local = side.local();
        for (int i = 0; i < round % 3; ++i)
            side.sendFrom(peer, "r");
        if (round % 2)
            ops.waitForLogLines(side.log(), ops.logLines(side.log()).size() + 1, 50ms);
        ASSERT_TRUE(ops.returnsWithin(kWait, [&] { side.stop(); })) << "round " << round;
        EXPECT_FALSE(side.running());
        EXPECT_TRUE(ops.enabled(side.startButton()));
        EXPECT_FALSE(ops.enabled(side.stopButton()));

        const std::size_t lines = ops.logLines(side.log()).size();
        while (peer.receive(0ms)) {}
        peer.sendTo("after stop", local.port, side.address());
        EXPECT_TRUE(peer.nothingWithin(10ms)) << "echoed after stop, round " << round;
        EXPECT_EQ(ops.logLines(side.log()).size(), lines) << "logged after stop, round " << round;
        EXPECT_TRUE(LoopbackPeer(side.address(), local.port).ok()) << "the port is still held, round " << round;
    }
    EXPECT_TRUE(ops.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Sides, SideTest, ::testing::Values(Kind::Server, Kind::Client),
    [](const auto& info) { return sideName(info.param); });

// A side never started, or stopped already, holds nothing: its stop only
// resets its buttons.
TEST(SideStop, OnANeverStartedSideOnlyResetsTheButtons)
{
    for (const Kind kind : { Kind::Server, Kind::Client }) {
        SCOPED_TRACE(sideName(kind));
        Side side(kind);
        side.ops.enableButton(side.startButton(), false);
        side.ops.enableButton(side.stopButton(), true);
        side.stop();
        side.stop();
        EXPECT_TRUE(side.ops.enabled(side.startButton()));
        EXPECT_FALSE(side.ops.enabled(side.stopButton()));
        EXPECT_TRUE(side.ops.errors().empty());
    }
}

// No thread left to make: the Start fails with the side's message, or is
// abandoned when not even that can be shown; never an exception out of
// start(), never a socket left holding its port. Each row runs in a child
// that may make no more threads (root's own limit is not enforced, so the
// child gives root up first).
TEST(SideStart, AFailedThreadIsAFailedStart)
{
    for (const Kind kind : { Kind::Server, Kind::Client }) {
        for (const bool boxFails : { false, true }) {
            SCOPED_TRACE(sideName(kind));
            SCOPED_TRACE(boxFails ? "no box either" : "box shown");
            EXPECT_EXIT(
                {
                    const auto check = [](bool ok, const char* what) {
                        if (!ok) {
                            std::fprintf(stderr, "failed: %s\n", what);
                            std::_Exit(1);
                        }
                    };
                    Side side(kind);
                    side.ops.failErrorBoxes(boxFails);
                    const int before = Resources::allDescriptors();
                    const rlimit none {};
                    check(::getuid() != 0
                              || (::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0),
                        "give up root");
                    check(::setrlimit(RLIMIT_NPROC, &none) == 0, "no more threads");
                    try {
                        side.start();
                    } catch (...) {
                        check(false, "start() threw");
                    }
                    check(!side.running(), "not running");
                    check(side.local() == Ipv4Endpoint {}, "the socket was kept");
                    check(Resources::allDescriptors() == before, "the failed start left a descriptor open");
                    check(side.ops.errors() == (boxFails ? Lines {} : Lines { side.threadError() }), "the message");
                    check(side.ops.enabled(side.startButton()), "start enabled");
                    check(!side.ops.enabled(side.stopButton()), "stop disabled");
                    std::_Exit(0);
                },
                ::testing::ExitedWithCode(0), "");
        }
    }
}

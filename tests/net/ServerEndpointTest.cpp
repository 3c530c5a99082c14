#include "FakeFieldOperations.h"
#include "LoopbackPeer.h"
#include "ServerEndpoint.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

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

} // namespace

TEST(ServerEndpoint, LogsEchoesAndListsADatagram)
{
    ListeningServer s;
    ASSERT_TRUE(s.server.listening());
    ASSERT_NE(s.port, 0);
    s.ops.setEcho(true);
    LoopbackPeer peer("127.0.0.5");
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(peer.sendTo(std::string("ab\0cd", 5), s.port));
    ASSERT_TRUE(s.ops.waitForPeers(1, 2s));
    EXPECT_EQ(s.ops.logLines(IDC_SERVER_LOG), std::vector<std::string>{"ab"});
    auto echo = peer.receive(2s);
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(echo->bytes, std::string("ab\0cd", 5));
    EXPECT_EQ(echo->fromPort, s.port);
    EXPECT_EQ(s.ops.peers(), std::vector<std::string>{"127.0.0.5:" + std::to_string(peer.port())});
    EXPECT_FALSE(s.ops.enabled(IDC_SERVER_START));
    EXPECT_TRUE(s.ops.enabled(IDC_SERVER_STOP));
}

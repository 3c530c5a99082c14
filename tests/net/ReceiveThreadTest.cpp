#include "net/ReceiveThread.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// A failed receive is skipped like an empty datagram: the loop pauses and
// receives again, and every datagram after it is logged, in order.
TEST(ReceiveLoop, GoesOnLoggingAfterAFailedReceive)
{
    FakeFieldOperations ops;
    UdpSocket socket;
    ASSERT_TRUE(socket.open());
    ASSERT_TRUE(socket.bind(Ipv4Endpoint { ::inet_addr("127.0.0.1"), 0 }));
    ReceiveThread loop;
    std::atomic<int> failed { 0 };
    // Every other receive fails before it reaches the socket.
    loop.receiveThrough([&, calls = 0](const UdpSocket& s, char* buffer, std::size_t capacity) mutable {
        if (calls++ % 2 == 0) {
            ++failed;
            return UdpSocket::Received { UdpSocket::Status::Failed, 0, {} };
        }
        return s.receive(buffer, capacity);
    });
    ASSERT_TRUE(loop.start(socket, ops, [&](const char* data, std::size_t length, const Ipv4Endpoint&) {
        ops.appendLog(IDC_CLIENT_LOG, std::string(data, length));
    }));
    LoopbackPeer peer("127.0.0.5");
    for (const char* text : { "one", "two", "three" }) {
        ASSERT_TRUE(peer.sendTo(text, socket.localEndpoint().port));
        ASSERT_TRUE(ops.waitForLogLines(IDC_CLIENT_LOG, ops.logLines(IDC_CLIENT_LOG).size() + 1, 5s)) << text;
    }
    loop.stop();
    EXPECT_EQ(ops.logLines(IDC_CLIENT_LOG), (Lines { "one", "two", "three" }));
    EXPECT_GE(failed.load(), 3);
}

// Both endpoints, on the in-memory window, stopped and started over and over
// while 40 senders flood them. No Qt here, so the whole run is ours to
// instrument.
#include "net/ClientEndpoint.h"
#include "net/ServerEndpoint.h"
#include "tests/support/FakeFieldOperations.h"
#include "tests/support/Flood.h"
#include "tests/support/Resources.h"
#include "tests/support/Watchdog.h"

#include <gtest/gtest.h>

#include <random>

using namespace std::chrono_literals;

namespace {

constexpr int kCycles = 100;
// Liveness bounds, not speed targets (the benchmarks carry those), many times
// what an idle machine needs: a stop that takes this long is stuck. A stop
// waits for its receive thread to be scheduled once more, which on a loaded
// machine under a sanitizer can take seconds.
constexpr auto kTimeLimit = 150s;
constexpr auto kStopBound = 30s;
const char* const kClientAddress = "127.0.0.48";

} // namespace

TEST(EndpointFlood, StopAndStartAHundredTimesUnderFloodLeavesNothingBehind)
{
    Watchdog watchdog;
    FakeFieldOperations serverOps, clientOps;
    ServerEndpoint server(serverOps);
    ClientEndpoint client(clientOps);
    serverOps.setEcho(true);
    serverOps.setField(IDC_SERVER_PORT, "0");
    clientOps.setField(IDC_DEST_IP, kClientAddress);

    // One quiet round first: whatever the runtime starts lazily is then
    // part of the baseline.
    server.start();
    client.start();
    ASSERT_TRUE(server.listening());
    const std::uint16_t port = server.localEndpoint().port;
    // Another program holding the port would leave the client unbound and deaf.
    const bool clientBound = client.localEndpoint().port == ClientEndpoint::kLocalPort;
    server.stop();
    client.stop();
    serverOps.setField(IDC_SERVER_PORT, std::to_string(port));
    const Resources before = Resources::now();

    std::mt19937 random(42);
    int cycles = 0, heldStops = 0;
    {
        Flood flood(40, { { "127.0.0.1", port }, { kClientAddress, ClientEndpoint::kLocalPort } }, kTimeLimit);
        const auto deadline = std::chrono::steady_clock::now() + kTimeLimit;
        // The senders run at the lowest priority, so on a loaded machine they
        // may get too little time to land anything in the short cycles; then
        // further cycles, with longer waits, run until they have reached both
        // sides and one stop has found its thread held.
        const auto reached = [&] {
            return heldStops > 0 && !serverOps.peers().empty()
                   && (!clientBound || !clientOps.logLines(IDC_CLIENT_LOG).empty());
        };
        for (; (cycles < kCycles || !reached()) && std::chrono::steady_clock::now() < deadline; ++cycles) {
            server.start();
            client.start();
            ASSERT_TRUE(server.listening()) << "cycle " << cycles;
            ASSERT_TRUE(client.running()) << "cycle " << cycles;
            std::this_thread::sleep_for(std::chrono::milliseconds(cycles < kCycles ? random() % 15 : 50));

            // Every third cycle one side's thread is made to wait on its
            // window, as if the window were busy, when its stop comes.
            FakeFieldOperations& held = cycles % 2 ? serverOps : clientOps;
            const bool hold = cycles % 3 == 0;
            if (hold) {
                held.holdCalls(true);
                heldStops += held.waitUntilCallHeld(200ms) ? 1 : 0;
            }
            const bool serverFirst = random() % 2 == 0;
            for (int side = 0; side < 2; ++side) {
                const bool isServer = (side == 0) == serverFirst;
                FakeFieldOperations& ops = isServer ? serverOps : clientOps;
                const bool inTime = ops.returnsWithin(kStopBound, [&] {
                    watchdog.timed(
                        isServer ? "server stop" : "client stop", [&] { isServer ? server.stop() : client.stop(); },
                        2 * kStopBound);
                });
                EXPECT_TRUE(inTime) << (isServer ? "server" : "client") << " stop stuck on the window, cycle "
                                    << cycles;
            }
            if (hold)
                held.holdCalls(false);
            EXPECT_FALSE(server.listening());
            EXPECT_FALSE(client.running());
        }
        EXPECT_GT(flood.sent(), 0u);
    }
    EXPECT_GE(cycles, kCycles) << "ran out of time";
    EXPECT_GT(heldStops, 0) << "no stop in " << cycles << " cycles found its thread waiting on the window";
    EXPECT_TRUE(serverOps.errors().empty());
    EXPECT_TRUE(clientOps.errors().empty());
    // The flood reached both sides; what got through is their business.
    EXPECT_FALSE(serverOps.peers().empty());
    if (clientBound) {
        EXPECT_FALSE(clientOps.logLines(IDC_CLIENT_LOG).empty());
    }

    const Resources after = Resources::now();
    EXPECT_EQ(after, before) << "before: " << before.describe() << "; after: " << after.describe();
}

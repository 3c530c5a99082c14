#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

// Senders on their own loopback addresses (127.0.0.5 and up), sending
// datagrams of 0 to 1500 arbitrary bytes to the targets as fast as they
// can, spread over a few threads at the lowest priority. Runs until
// destroyed or `limit` passes.
class Flood {
public:
    struct Target {
        std::string address;
        std::uint16_t port = 0;
    };

    Flood(int senders, std::vector<Target> targets, std::chrono::seconds limit = std::chrono::seconds(120));
    ~Flood();
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    std::uint64_t sent() const { return m_sent.load(); }

private:
    std::vector<int> m_sockets;
    std::atomic<bool> m_stop { false };
    std::atomic<std::uint64_t> m_sent { 0 };
    std::vector<std::thread> m_threads;
};

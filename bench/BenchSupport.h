#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double microsecondsBetween(Clock::time_point a, Clock::time_point b);

// Summary of a set of samples (any unit; the caller names it).
struct Stats {
    std::size_t count = 0;
    double median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};
Stats summarise(std::vector<double> samples);

// One line of the result table: what was measured, the figure, the target.
void printHeader(const std::string& section);
void printRow(const std::string& figure, const std::string& measured, const std::string& target, bool met);
void printNote(const std::string& text);
std::string format(double value, int decimals = 1);

// A plain UDP socket on a loopback address. Refuses any destination outside
// 127.0.0.0/8 so a benchmark can never send anywhere else.
class LoopbackSocket {
public:
    explicit LoopbackSocket(const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    bool ok() const { return m_fd >= 0; }
    std::uint16_t port() const;
    bool sendTo(const void* data, std::size_t length, std::uint16_t port, const std::string& address = "127.0.0.1") const;
    // Waits at most `timeout` for one datagram; its length, or nothing.
    std::optional<std::size_t> receive(std::chrono::milliseconds timeout, char* buffer = nullptr,
                                       std::size_t capacity = 0) const;
    // Blocks for one datagram and sends it straight back: the bare echo loop.
    // False once the socket has been shut down.
    bool echoOne() const;
    void shutdown() const;

private:
    int m_fd = -1;
};

// Resident set size of this process in KiB (VmRSS).
long residentKiB();
// Entries in /proc/self/task.
int threadCount();

} // namespace bench

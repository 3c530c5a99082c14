#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stress {

// What the process holds, from /proc/self. Qt's own pool workers (which
// paint in parallel and come and go on their own) are left out of threads.
struct Resources {
    int descriptors = 0;
    int sockets = 0;
    int threads = 0;

    static Resources now();
    std::string describe() const;
    friend bool operator==(const Resources& a, const Resources& b)
    {
        return a.descriptors == b.descriptors && a.sockets == b.sockets && a.threads == b.threads;
    }
};

struct Target {
    std::string address;
    std::uint16_t port = 0;
};

// Senders on their own loopback addresses (127.0.0.5 and up), sending
// datagrams of 0 to 1500 arbitrary bytes to the targets as fast as they
// can, spread over a few threads. Runs until destroyed or `limit` passes.
class Flood {
public:
    Flood(int senders, std::vector<Target> targets, std::chrono::seconds limit = std::chrono::seconds(120));
    ~Flood();
    Flood(const Flood&) = delete;
    Flood& operator=(const Flood&) = delete;

    std::uint64_t sent() const { return m_sent.load(); }

private:
    std::vector<int> m_sockets;
    std::vector<Target> m_targets;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_sent{0};
    std::vector<std::thread> m_threads;
};

// Ends the process with a message if an armed section overruns its bound,
// so that a deadlock fails the test at once instead of hanging the suite.
class Watchdog {
public:
    Watchdog();
    ~Watchdog();
    void arm(const std::string& what, std::chrono::milliseconds bound);
    void disarm();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_what;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_armed = false;
    bool m_quit = false;
    std::thread m_thread;
};

// Times `action`, guarded by the watchdog; returns milliseconds.
template <class Action>
double timedStop(Watchdog& watchdog, const std::string& what, Action action)
{
    watchdog.arm(what, std::chrono::seconds(10));
    const auto t0 = std::chrono::steady_clock::now();
    action();
    const auto t1 = std::chrono::steady_clock::now();
    watchdog.disarm();
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

} // namespace stress

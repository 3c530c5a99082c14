#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Ends the process with a message if an armed section overruns its bound,
// so that a deadlock fails the test at once instead of hanging the suite.
class Watchdog {
public:
    Watchdog();
    ~Watchdog();
    void arm(const std::string& what, std::chrono::milliseconds bound);
    void disarm();

    // Times `action`, guarded for `bound`; returns milliseconds.
    template <class Action>
    double timed(const std::string& what, Action action, std::chrono::milliseconds bound = std::chrono::seconds(10))
    {
        arm(what, bound);
        const auto t0 = std::chrono::steady_clock::now();
        action();
        const auto t1 = std::chrono::steady_clock::now();
        disarm();
        return std::chrono::duration<double, std::milli>(t1 - t0).count();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_what;
    std::chrono::steady_clock::time_point m_deadline {};
    bool m_armed = false;
    bool m_quit = false;
    std::thread m_thread;
};

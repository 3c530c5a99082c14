#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace bench {

// A thread that carries out a no-op for whoever asks, then sleeps until the
// next ask: the least that handing a step to another sleeping thread costs.
class NoOpPartner {
public:
    NoOpPartner();
    ~NoOpPartner();
    NoOpPartner(const NoOpPartner&) = delete;
    NoOpPartner& operator=(const NoOpPartner&) = delete;

    // Has the partner run its no-op, and waits until it has.
    void trip();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_asked = 0, m_done = 0;
    bool m_over = false;
    std::thread m_thread;
};

} // namespace bench

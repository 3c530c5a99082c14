#include "tests/support/Watchdog.h"

#include <cstdio>
#include <cstdlib>

Watchdog::Watchdog()
    : m_thread([this] {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed
                && std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "watchdog: %s did not finish in time; giving up\n", m_what.c_str());
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    })
{}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void Watchdog::arm(const std::string& what, std::chrono::milliseconds bound)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_what = what;
        m_deadline = std::chrono::steady_clock::now() + bound;
        m_armed = true;
    }
    m_changed.notify_all();
}

void Watchdog::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
}

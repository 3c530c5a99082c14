#include "bench/NoOpPartner.h"

namespace bench {

NoOpPartner::NoOpPartner()
    : m_thread([this] { run(); })
{}

NoOpPartner::~NoOpPartner()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_over = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void NoOpPartner::trip()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_asked;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_done == m_asked; });
}

void NoOpPartner::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_over || m_done < m_asked; });
        if (m_over)
            return;
        ++m_done;
        m_changed.notify_all();
    }
}

} // namespace bench

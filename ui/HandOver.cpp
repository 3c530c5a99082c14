#include "ui/HandOver.h"

#include <QThread>

#include <vector>

HandOver::~HandOver()
{
    refuse(true); // on the window's thread, which it checks
    // A released caller may still be on its way out.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_callers == 0; });
}

void HandOver::run(std::function<void()> function)
{
    if (QThread::currentThread() == thread())
        return function();
    Call call { std::move(function) };
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_refusing)
        return;
    ++m_callers;
    m_waiting.push_back(&call);
    // By name, so the event holds nothing of ours and dies with this object.
    QMetaObject::invokeMethod(this, "serve", Qt::QueuedConnection);
    // Wakes the window's thread if it lingers.
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return call.released; });
    --m_callers;
    m_changed.notify_all();
}

void HandOver::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // Every call posted a wake-up of its own: one that takes at most
    // kMostTaken leaves the rest behind whatever else is queued, so callers
    // that never pause cannot starve the window.
    std::vector<std::function<void()>> taken;
    while (taken.size() < kMostTaken) {
        if (m_waiting.empty() && !taken.empty()) {
            // A server pass hands over its sender some tens of microseconds
            // after its log line. Waiting for it takes both in one wake-up,
            // and the layout and repaint wait until the pass has echoed and
            // the echo's receiver has had a core: on 2 cores, without this
            // wait the pass rate fell by 5-7/s and the echo took twice as long.
            m_changed.wait_for(lock, kLinger, [this] { return !m_waiting.empty() || m_refusing; });
        }
        if (m_waiting.empty())
            break;
        Call* call = m_waiting.front();
        m_waiting.pop_front();
        taken.push_back(std::move(call->run));
        call->released = true;
        m_changed.notify_all();
    }
    // Before anything else, the user's events included, can see the window.
    lock.unlock();
    for (const auto& call : taken)
        call();
}

void HandOver::refuse(bool on)
{
    Q_ASSERT(QThread::currentThread() == thread());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusing = on;
    if (!on)
        return;
    for (Call* call : m_waiting)
        call->released = true;
    m_waiting.clear();
    m_changed.notify_all();
}

bool HandOver::refusing() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_refusing;
}

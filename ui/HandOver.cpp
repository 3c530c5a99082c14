#include "ui/HandOver.h"

#include <QThread>

#include <vector>

HandOver::~HandOver()
{
    close();
}

bool HandOver::run(std::function<void()> function, Until until)
{
    if (QThread::currentThread() == thread()) {
        if (refuses())
            return false;
        function();
        return true;
    }
    const auto call = std::make_shared<Call>(Call { std::move(function), until });
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled || m_closed)
        return false;
    m_waiting.push_back(call);
    // Posted under the lock, so close() and the destructor cannot pass a
    // post under way. By name, so the event holds nothing of ours.
    QMetaObject::invokeMethod(this, "serve", Qt::QueuedConnection);
    // Wakes the window's thread if it lingers for this call.
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return call->done || m_cancelled || m_closed; });
    return call->done;
}

void HandOver::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // One wake-up carries out one call waited for, or takes up to
    // kMostTaken calls that need only taking, and goes back to its events:
    // each call posted a wake-up of its own, so what is left gets its turn
    // behind whatever else is queued, and a caller that never pauses cannot
    // starve the window.
    std::vector<std::shared_ptr<Call>> taken;
    while (taken.size() < kMostTaken) {
        if (m_waiting.empty() && !taken.empty()) {
            // A server pass hands over its sender some tens of microseconds
            // after its log line. Waiting for the next call takes both in one
            // wake-up, and the layout and repaint wait until the pass has
            // echoed and the echo's receiver has had a core to take it.
            m_changed.wait_for(lock, m_linger, [&] { return !m_waiting.empty() || m_cancelled || m_closed; });
        }
        if (m_waiting.empty())
            break;
        const std::shared_ptr<Call> call = m_waiting.front();
        if (call->until == Until::Done) {
            if (taken.empty()) {
                m_waiting.pop_front();
                carryOut(lock, call);
            }
            break;
        }
        m_waiting.pop_front();
        call->done = true;
        m_changed.notify_all();
        taken.push_back(call);
    }
    for (const auto& call : taken)
        carryOut(lock, call);
}

void HandOver::carryOut(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Call>& call)
{
    lock.unlock();
    call->run();
    lock.lock();
    call->done = true;
    m_changed.notify_all();
}

void HandOver::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // A running call stays with the window's thread, which finishes it.
    m_waiting.clear();
    m_changed.notify_all();
}

void HandOver::resume()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = false;
}

void HandOver::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    m_waiting.clear();
    m_changed.notify_all();
}

bool HandOver::refuses() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A stop cancels only the other threads' waits; the window's own calls
    // go on until the run ends.
    return m_closed || (m_cancelled && QThread::currentThread() != thread());
}

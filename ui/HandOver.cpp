#include "ui/HandOver.h"

#include <QThread>

#include <algorithm>

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
    m_calls.push_back(call);
    // Posted under the lock, so close() and the destructor cannot pass a
    // post under way. By name, so the event holds nothing of ours.
    QMetaObject::invokeMethod(this, "serve", Qt::QueuedConnection);
    // Wakes the window's thread if it lingers for this call.
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return call->released; });
    return call->carriedOut;
}

void HandOver::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto untaken
        = [&] { return std::find_if(m_calls.begin(), m_calls.end(), [](const auto& c) { return !c->taken; }); };
    // One wake-up carries out one call waited for, or takes every call
    // that needs only taking, and then goes back to its events: each call
    // posted a wake-up of its own, so what is left gets its turn behind
    // whatever else is queued, and a caller that never pauses cannot
    // starve the window.
    std::vector<std::shared_ptr<Call>> taken;
    bool lingered = false;
    for (;;) {
        auto next = untaken();
        if (next == m_calls.end() && !taken.empty() && !lingered) {
            // A server pass hands over its sender some tens of microseconds
            // after its log line. Waiting for it takes both in one wake-up,
            // and the layout runs once the pass has echoed, in its pause.
            lingered = true;
            m_changed.wait_for(lock, m_linger, [&] { return untaken() != m_calls.end() || m_cancelled || m_closed; });
            next = untaken();
        }
        if (next == m_calls.end() || (*next)->until == Until::Done) {
            if (taken.empty() && next != m_calls.end())
                carryOut(lock, *next);
            break;
        }
        (*next)->taken = true;
        release(**next, true);
        taken.push_back(*next);
    }
    for (const auto& call : taken)
        carryOut(lock, call);
}

void HandOver::carryOut(std::unique_lock<std::mutex>& lock, std::shared_ptr<Call> call)
{
    call->taken = true;
    lock.unlock();
    call->run();
    lock.lock();
    release(*call, true);
    m_calls.erase(std::remove(m_calls.begin(), m_calls.end(), call), m_calls.end());
}

void HandOver::release(Call& call, bool carriedOut)
{
    if (call.released)
        return;
    call.released = true;
    call.carriedOut = carriedOut;
    m_changed.notify_all();
}

void HandOver::releaseAll()
{
    // A running call stays with the window's thread, which finishes it.
    for (const auto& call : m_calls)
        release(*call, false);
    m_calls.clear();
    // Also ends a linger, which waits for calls, not for a release.
    m_changed.notify_all();
}

void HandOver::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    releaseAll();
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
    releaseAll();
}

bool HandOver::refuses() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A stop cancels only the other threads' waits; the window's own calls
    // go on until the run ends.
    return m_closed || (m_cancelled && QThread::currentThread() != thread());
}

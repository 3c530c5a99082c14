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
    m_released.wait(lock, [&] { return call->released; });
    return call->carriedOut;
}

void HandOver::serve()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // Everything handed over by now, so a pass's next call does not wait
    // behind the repaint its last one caused.
    for (;;) {
        const auto next = std::find_if(m_calls.begin(), m_calls.end(), [](const auto& c) { return !c->taken; });
        if (next == m_calls.end())
            return;
        const std::shared_ptr<Call> call = *next;
        call->taken = true;
        if (call->until == Until::Taken)
            release(*call, true);
        lock.unlock();
        call->run();
        lock.lock();
        release(*call, true);
        m_calls.erase(std::remove(m_calls.begin(), m_calls.end(), call), m_calls.end());
    }
}

void HandOver::release(Call& call, bool carriedOut)
{
    if (call.released)
        return;
    call.released = true;
    call.carriedOut = carriedOut;
    m_released.notify_all();
}

void HandOver::releaseAll()
{
    // A running call stays with the window's thread, which finishes it.
    for (const auto& call : m_calls)
        release(*call, false);
    m_calls.clear();
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

#include "tests/support/FakeFieldOperations.h"

#include "net/ControlId.h"

#include <algorithm>
#include <cassert>
#include <new>

FakeFieldOperations::FakeFieldOperations()
    : m_ownerThread(std::this_thread::get_id())
{
    for (int id :
        { IDC_SERVER_START, IDC_CLIENT_START, IDC_CLIENT_SEND, IDC_REPLY_SEND, IDC_PEER_DELETE, IDC_PEER_DELETE_ALL })
        m_enabled[id] = true;
    m_enabled[IDC_SERVER_STOP] = false;
    m_enabled[IDC_CLIENT_STOP] = false;
    m_fields[IDC_DEST_IP] = "127.0.0.1";
    m_fields[IDC_DEST_PORT] = "3456";
    m_fields[IDC_SERVER_IP] = "localhost";
    m_fields[IDC_SERVER_PORT] = "3456";
}

bool FakeFieldOperations::passGate(std::unique_lock<std::mutex>& lock, const char* operation)
{
    if (std::this_thread::get_id() == m_ownerThread)
        return true;
    if (m_cancelled) {
        ++m_dropped;
        return false;
    }
    if (!m_hold || (!m_holdOnly.empty() && m_holdOnly != operation))
        return true;
    ++m_heldCalls;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_hold || m_cancelled; });
    --m_heldCalls;
    if (m_cancelled) {
        ++m_dropped;
        return false;
    }
    return true;
}

void FakeFieldOperations::onWindowsThread() const
{
    assert(std::this_thread::get_id() == m_ownerThread && "a window-thread operation called from another thread");
}

void FakeFieldOperations::cancelWaits()
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    m_changed.notify_all();
}

void FakeFieldOperations::resumeWaits()
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = false;
}

std::string FakeFieldOperations::readWholeField(ControlId id)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fields[id];
}

void FakeFieldOperations::setField(ControlId id, const std::string& text)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fields[id] = text;
}

void FakeFieldOperations::appendLog(ControlId log, const std::string& text)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!passGate(lock, "appendLog"))
        return;
    m_logs[log].push_back(text);
    m_changed.notify_all();
}

bool FakeFieldOperations::echoChecked()
{
    // Never held: the box is read without a trip.
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_cancelled && m_echo;
}

void FakeFieldOperations::peerRegister(const std::string& entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!passGate(lock, "peerRegister"))
        return;
    if (std::find(m_peers.begin(), m_peers.end(), entry) == m_peers.end())
        m_peers.push_back(entry);
    m_changed.notify_all();
}

int FakeFieldOperations::peerCount()
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_peers.size());
}

int FakeFieldOperations::peerSelection()
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_selection;
}

std::string FakeFieldOperations::peerText(int index)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_peers.size()))
        return std::string();
    return m_peers[static_cast<std::size_t>(index)];
}

void FakeFieldOperations::peerDelete(int index)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || index >= static_cast<int>(m_peers.size()))
        return;
    m_peers.erase(m_peers.begin() + index);
    if (m_selection == index)
        m_selection = kNone;
    else if (m_selection > index)
        --m_selection;
}

void FakeFieldOperations::enableButton(ControlId id, bool on)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_enabled[id] = on;
}

void FakeFieldOperations::showError(const std::string& text)
{
    onWindowsThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failErrorBoxes)
        throw std::bad_alloc();
    m_errors.push_back(text);
}

void FakeFieldOperations::failErrorBoxes(bool on)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_failErrorBoxes = on;
}

void FakeFieldOperations::setEcho(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_echo = on;
}

void FakeFieldOperations::select(int index)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_selection = index;
}

void FakeFieldOperations::holdCalls(bool hold, const std::string& only)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hold = hold;
    m_holdOnly = only;
    m_changed.notify_all();
}

bool FakeFieldOperations::waitUntilCallHeld(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_heldCalls > 0; });
}

bool FakeFieldOperations::returnsWithin(std::chrono::milliseconds bound, const std::function<void()>& action)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool late = false;
    std::thread guard([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!cv.wait_for(lock, bound, [&] { return done; })) {
            late = true;
            lock.unlock();
            holdCalls(false);
        }
    });
    action();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    cv.notify_all();
    guard.join();
    return !late;
}

std::vector<std::string> FakeFieldOperations::logLines(ControlId log) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_logs.find(log);
    return it == m_logs.end() ? std::vector<std::string>() : it->second;
}

bool FakeFieldOperations::waitForLogLines(ControlId log, std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        auto it = m_logs.find(log);
        return it != m_logs.end() && it->second.size() >= count;
    });
}

std::vector<std::string> FakeFieldOperations::peers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peers;
}

bool FakeFieldOperations::waitForPeers(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_peers.size() >= count; });
}

std::vector<std::string> FakeFieldOperations::errors() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
}

bool FakeFieldOperations::enabled(ControlId id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_enabled.find(id);
    return it != m_enabled.end() && it->second;
}

int FakeFieldOperations::callsDroppedByCancel() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

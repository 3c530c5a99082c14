#pragma once

#include "net/FieldOperations.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An in-memory window for the endpoints: fields, two logs, the echo box and
// the peer list, with the field operations' thread rules (the thread that
// builds it is the window's). Logs are kept as lists of appended texts. A
// receive thread's appendLog and peerRegister can be held, as a window's
// thread busy elsewhere has not taken them, to test stopping a side while
// its receive thread waits for the window.
class FakeFieldOperations : public FieldOperations {
public:
    FakeFieldOperations();

    // --- FieldOperations
    void cancelWaits() override;
    void resumeWaits() override;
    std::string readWholeField(ControlId id) override;
    void setField(ControlId id, const std::string& text) override;
    void appendLog(ControlId log, const std::string& text) override;
    bool echoChecked() override;
    void peerRegister(const std::string& entry) override;
    int peerCount() override;
    int peerSelection() override;
    std::string peerText(int index) override;
    void peerDelete(int index) override;
    void enableButton(ControlId id, bool on) override;
    void showError(const std::string& text) override;

    // --- test controls
    void setEcho(bool on);
    void select(int index);
    // While held, appendLog and peerRegister from other threads wait until
    // released or cancelled (a cancelled call does nothing). With `only`
    // ("peerRegister"), that one operation alone is held.
    void holdCalls(bool hold, const std::string& only = std::string());
    // While on, showError throws std::bad_alloc, as an error box does when
    // memory runs out, and records nothing.
    void failErrorBoxes(bool on);
    // True once some call is blocked by holdCalls.
    bool waitUntilCallHeld(std::chrono::milliseconds timeout);
    // Runs `action` on the calling (window's) thread. Should it not return
    // within `bound`, held calls are released so that a stop stuck on the
    // window fails the test instead of hanging it. True when it returned in time.
    bool returnsWithin(std::chrono::milliseconds bound, const std::function<void()>& action);

    std::vector<std::string> logLines(ControlId log) const;
    // Waits until the log holds at least `count` appended texts.
    bool waitForLogLines(ControlId log, std::size_t count, std::chrono::milliseconds timeout) const;
    std::vector<std::string> peers() const;
    bool waitForPeers(std::size_t count, std::chrono::milliseconds timeout) const;
    std::vector<std::string> errors() const;
    bool enabled(ControlId id) const;
    int callsDroppedByCancel() const;

private:
    // Blocks a held receive-thread call; false when it must give up (cancelled).
    bool passGate(std::unique_lock<std::mutex>& lock, const char* operation);
    void onWindowsThread() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<int, std::string> m_fields;
    std::map<int, std::vector<std::string>> m_logs;
    std::map<int, bool> m_enabled;
    std::vector<std::string> m_peers;
    std::vector<std::string> m_errors;
    int m_selection = kNone;
    bool m_echo = false;
    bool m_cancelled = false;
    bool m_hold = false;
    bool m_failErrorBoxes = false;
    std::string m_holdOnly;
    int m_heldCalls = 0;
    int m_dropped = 0;
    std::thread::id m_ownerThread;
};

#pragma once

#include "FieldOperations.h"
#include "WakeUpTarget.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class MainWindowFields;

// The field operations on the real widgets, for one side of the window.
// A call from the window's thread runs at once; a call from a receive thread
// is handed to the window's thread and waited for until it is done, the side
// cancels its waits (stop) or the modal run ends. A call given up on is
// dropped before it runs. Once the run has ended every
// call returns an empty result at once. The echo box alone is read from a
// mirror that the window's thread keeps current.
class QtFieldOperations final : public FieldOperations {
public:
    explicit QtFieldOperations(MainWindowFields& fields);
    ~QtFieldOperations() override;

    // The modal run is over: release every waiting call, refuse new ones.
    void endRun();
    bool runEnded() const;

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

private:
    template <class Result, class Function> Result call(Result empty, Function function);
    template <class Function> void callVoid(Function function);

    // One call handed from a receive thread; it lives on the caller's stack.
    struct Request {
        const std::function<void()>* run = nullptr;
        bool running = false;
        std::atomic<bool> done { false };
    };
    // Receive thread: has `run` carried out on the window's thread; true once
    // it was, false when the call was given up on and never ran.
    bool handOver(const std::function<void()>& run);
    // Window's thread: carries out the request waiting in the slot, if any.
    void serve();

    MainWindowFields& m_fields;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
    bool m_runEnded = false;
    std::uint64_t m_generation = 0;
    // The request slot: requests and results pass between the threads only
    // through it, under m_mutex. Qt's queue carries a bare wake-up, posted
    // only when none is on its way already and the window's thread is not
    // lingering for the next request.
    Request* m_request = nullptr;
    bool m_slotWatched = false;
    static constexpr std::chrono::microseconds kLinger { 250 };
    static constexpr int kMostPerWakeUp = 4;
    // The echo box's state, kept by the window's thread as it changes, so
    // udplisten reads it without a round trip between logging and echoing.
    std::atomic<bool> m_echoChecked { false };
    // Declared last, so it goes first: a queued wake-up dies with it.
    WakeUpTarget m_wakeUp { [this] { serve(); } };
};

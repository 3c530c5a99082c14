#pragma once

#include "net/FieldOperations.h"
#include "ui/WakeUpTarget.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class MainWindowFields;

// The field operations on the real widgets, for one side of the window.
// A call from the window's thread runs at once; a call from a receive thread
// is handed to the window's thread and waited for until it is done, the side
// cancels its waits (stop) or the modal run ends. A call given up on is
// dropped before it runs. Once the run has ended every
// call returns an empty result at once. The echo box alone is read from a
// mirror that the window's thread keeps current.
//
// A log line or a sender handed over is taken into a queue on the window's
// thread and the caller goes on at once; the queue is put into the widgets
// on that thread before it runs any other call or returns to its events, so
// nothing, the user included, ever sees the window without them. So a
// pass's echo no longer waits on the text layout and the repaint.
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
    bool onWindowThread() const;
    template <class Result, class Function> Result call(Result empty, Function function, bool queues = false);
    template <class Function> void callVoid(Function function, bool queues = false);

    // One call handed from a receive thread; it lives on the caller's stack.
    struct Request {
        const std::function<void()>* run = nullptr;
        // Only takes something into the queue, so the queue may stay.
        bool queues = false;
        bool running = false;
        std::atomic<bool> done { false };
    };
    // Receive thread: has `run` carried out on the window's thread; true once
    // it was, false when the call was given up on and never ran.
    bool handOver(const std::function<void()>& run, bool queues);
    // Window's thread: carries out the request waiting in the slot, if any.
    void serve();
    // Window's thread: puts the queued lines and senders into the widgets.
    void commitQueued();

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
    // Window's thread only: what handed-over calls left to put in place, in
    // the order they came. Consecutive lines for one log are one entry.
    struct Queued {
        ControlId target; // a log, or the peer list for a sender
        QString text;
    };
    std::vector<Queued> m_queued;
    // Declared last, so it goes first: a queued wake-up dies with it.
    WakeUpTarget m_wakeUp { [this] { serve(); } };
};

#pragma once

#include "FieldOperations.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class MainWindowFields;

// The field operations on the real widgets, for one side of the window.
// A call from the window's thread runs at once; a call from a receive thread
// is posted to the window's thread and waited for until it is done, the side
// cancels its waits (stop) or the modal run ends. A posted call that was
// given up on does nothing when it comes up. Once the run has ended every
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
    template <class Result, class Function>
    Result call(Result empty, Function function);
    template <class Function>
    void callVoid(Function function);

    MainWindowFields& m_fields;
    // Posted calls are bound to this object, so they vanish with it.
    QObject m_context;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
    bool m_runEnded = false;
    std::uint64_t m_generation = 0;
    // The echo box's state, kept by the window's thread as it changes, so
    // udplisten reads it without a round trip between logging and echoing.
    std::atomic<bool> m_echoChecked{false};
};

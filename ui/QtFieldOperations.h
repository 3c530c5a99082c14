#pragma once

#include "net/FieldOperations.h"
#include "ui/HandOver.h"

#include <atomic>

class MainWindowFields;

// The field operations on the real widgets, for one side of the window: what
// each operation does to the widgets. How a call from a receive thread
// reaches the window's thread, and what its caller waits for, is the
// hand-over's business; every operation but the echo box goes that way.
class QtFieldOperations final : public FieldOperations {
public:
    explicit QtFieldOperations(MainWindowFields& fields);

    // The modal run is over: release every waiting call, refuse new ones.
    void endRun();

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
    template <class Result, class Function> Result ask(Result empty, Function function);

    MainWindowFields& m_fields;
    // The echo box as the window's thread last saw it change.
    std::atomic<bool> m_echoChecked { false };
    // Declared last, so it goes first: it closes, and a queued wake-up dies
    // with it.
    HandOver m_handOver;
};

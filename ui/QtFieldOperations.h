#pragma once

#include "net/FieldOperations.h"
#include "ui/HandOver.h"

#include <atomic>

class MainWindowFields;

// The field operations on the real widgets, for one side of the window.
// Only the three a receive thread may call come from another thread.
class QtFieldOperations final : public FieldOperations {
public:
    explicit QtFieldOperations(MainWindowFields& fields);

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
    MainWindowFields& onWindowsThread();

    MainWindowFields& m_fields;
    // The echo box as the window's thread last saw it change.
    std::atomic<bool> m_echoChecked { false };
    // Declared last, so it goes first, with its queued wake-ups.
    HandOver m_handOver;
};

#pragma once

#include "FieldOperations.h"

#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

// A window that costs nothing: the endpoints' floor, without Qt. The echo
// box is checked; fields hold what was set.
class MemoryWindow final : public FieldOperations {
public:
    void cancelWaits() override { }
    void resumeWaits() override { }
    std::string readWholeField(ControlId id) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return id == IDC_SERVER_PORT ? m_serverPort : std::string();
    }
    void setField(ControlId id, const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (id == IDC_SERVER_PORT)
            m_serverPort = text;
    }
    void appendLog(ControlId, const std::string&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_lines;
    }
    bool echoChecked() override { return true; }
    void peerRegister(const std::string& entry) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_peers.insert(entry).second)
            m_order.push_back(entry);
    }
    int peerCount() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_order.size());
    }
    int peerSelection() override { return kNone; }
    std::string peerText(int) override { return std::string(); }
    void peerDelete(int) override { }
    void enableButton(ControlId, bool) override { }
    void showError(const std::string&) override { }

    int lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

private:
    std::mutex m_mutex;
    std::string m_serverPort = "0";
    int m_lines = 0;
    std::unordered_set<std::string> m_peers;
    std::vector<std::string> m_order;
};

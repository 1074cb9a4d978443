#pragma once

#include "app/logic/DialogControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <atomic>
#include <map>
#include <utility>
#include <vector>

// The main window's controls for a program without a window: message lines and
// the configuration in use go to the log, everything else is only remembered.
// Requests from other threads wake the main loop through the channel.
class ConsoleControls : public DialogControls {
public:
    ConsoleControls(ConsoleLog& log, WakeUpChannel& wakeUp, std::string settingsFile)
        : m_Log(log), m_WakeUp(wakeUp), m_SettingsFile(std::move(settingsFile)) {}

    bool HasWindow() const override { return true; }
    void SetEditText(int id, const std::string& text) override;

    void ResetComboBox() override {
        m_ComboItems.clear();
        m_Selection = -1;
    }
    int InsertComboItem(int index, const std::string& text) override;
    void SetComboItemData(int index, std::int64_t data) override;
    std::int64_t ComboItemData(int index) const override;
    int ComboItemCount() const override { return static_cast<int>(m_ComboItems.size()); }
    int ComboCurrentSelection() const override { return m_Selection; }
    void SetComboCurrentSelection(int index) override;

    void SetCheck(int id, bool checked) override { m_Checks[id] = checked; }
    bool IsChecked(int id) const override;
    void EnableControl(int, bool) override {}
    void ShowControl(int, bool) override {}

    int AppendMessageLine(const std::string& text) override;
    void RemoveMessageLine(int) override { --m_MessageLines; }
    void SelectMessageLine(int) override {}
    void ClearMessageLines() override { m_MessageLines = 0; }

    void Minimize() override {}
    std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}

    void PostMessageDelivery() override;
    void PostCallCountRefresh() override;

    // What the main loop has to do after a wake-up.
    bool TakeMessageDelivery() { return m_MessagesPosted.exchange(false); }
    bool TakeCallCountRefresh() { return m_CallCountsPosted.exchange(false); }

private:
    ConsoleLog& m_Log;
    WakeUpChannel& m_WakeUp;
    std::string m_SettingsFile;
    std::vector<std::pair<std::string, std::int64_t>> m_ComboItems;
    int m_Selection = -1;
    std::map<int, bool> m_Checks;
    int m_MessageLines = 0;
    std::atomic<bool> m_MessagesPosted{false};
    std::atomic<bool> m_CallCountsPosted{false};
};

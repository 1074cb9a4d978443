#include "tools/eventmanager-headless/ConsoleControls.h"

void ConsoleControls::SetEditText(int id, const std::string& text) {
    if (id == IDC_CONFIGURATION_PATH)
        m_Log.WriteLine("Configuration file: " + text);
}

int ConsoleControls::InsertComboItem(int index, const std::string& text) {
    if (index < 0 || index > ComboItemCount())
        return -1;
    m_ComboItems.insert(m_ComboItems.begin() + index, {text, 0});
    return index;
}

void ConsoleControls::SetComboItemData(int index, std::int64_t data) {
    if (index >= 0 && index < ComboItemCount())
        m_ComboItems[static_cast<std::size_t>(index)].second = data;
}

std::int64_t ConsoleControls::ComboItemData(int index) const {
    if (index < 0 || index >= ComboItemCount())
        return -1;
    return m_ComboItems[static_cast<std::size_t>(index)].second;
}

void ConsoleControls::SetComboCurrentSelection(int index) {
    if (index < 0 || index >= ComboItemCount()) {
        m_Selection = -1;
        return;
    }
    m_Selection = index;
    const auto& [text, data] = m_ComboItems[static_cast<std::size_t>(index)];
    m_Log.WriteLine("Configuration in use: " + text + " (UniqueID " + std::to_string(data) + ")");
}

bool ConsoleControls::IsChecked(int id) const {
    const auto it = m_Checks.find(id);
    return it != m_Checks.end() && it->second;
}

int ConsoleControls::AppendMessageLine(const std::string& text) {
    m_Log.WriteLine(text);
    return m_MessageLines++;
}

std::optional<std::string> ConsoleControls::ChooseOpenFile(const OpenFileRequest&) {
    m_Log.WriteLine("No project file can be chosen without a window: set PathToKavelCfg in section "
                    "[Configuration] of " +
                    m_SettingsFile + " (the window program does it when a file is chosen there)");
    return std::nullopt;
}

void ConsoleControls::PostMessageDelivery() {
    m_MessagesPosted = true;
    m_WakeUp.Signal();
}

void ConsoleControls::PostCallCountRefresh() {
    m_CallCountsPosted = true;
    m_WakeUp.Signal();
}

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

namespace {

bool IsPowerOfTen(long long value) {
    while (value >= 10 && value % 10 == 0)
        value /= 10;
    return value == 1;
}

std::string RepeatLine(long long repeats, bool goingOn) {
    return "(last message repeated " + std::to_string(repeats) + (repeats == 1 ? " time" : " times") +
           (goingOn ? " so far)" : ")");
}

} // namespace

int ConsoleControls::AppendMessageLine(const std::string& text) {
    if (!m_LastLine.empty() && text == m_LastLine) {
        // Still visible now and then: at 10, 100, 1000, ... repeats.
        if (IsPowerOfTen(++m_Repeats) && m_Repeats >= 10) {
            m_Log.WriteLine(RepeatLine(m_Repeats, true));
            m_RepeatsLogged = m_Repeats;
        }
        return m_MessageLines++;
    }
    FinishRepeats();
    m_Log.WriteLine(text);
    m_LastLine = text;
    return m_MessageLines++;
}

void ConsoleControls::FinishRepeats() {
    if (m_Repeats > m_RepeatsLogged)
        m_Log.WriteLine(RepeatLine(m_Repeats, false));
    m_Repeats = 0;
    m_RepeatsLogged = 0;
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

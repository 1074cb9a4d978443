#include "tools/qrix-emulator/LineReader.h"

std::optional<std::string> LineReader::NextLine() {
    const auto end = m_Pending.find('\n');
    if (end == std::string::npos) {
        if (m_Pending.size() > MaxLineLength) {
            m_Pending.clear();
            m_Discarding = true;
        }
        return std::nullopt;
    }
    std::string line = m_Pending.substr(0, end);
    m_Pending.erase(0, end + 1);
    if (m_Discarding || line.size() > MaxLineLength) {
        m_Discarding = false;
        return std::string("<line too long>");
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

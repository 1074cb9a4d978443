#include "tools/qrix-emulator/LineReader.h"

#include <unistd.h>

#include <array>
#include <cerrno>

bool LineReader::Fill() {
    std::array<char, 4096> buffer{};
    const ssize_t got = ::read(m_Fd, buffer.data(), buffer.size());
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0)
        return false;
    m_Pending.append(buffer.data(), static_cast<std::size_t>(got));
    return true;
}

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

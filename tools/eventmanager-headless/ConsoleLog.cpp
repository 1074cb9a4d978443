#include "tools/eventmanager-headless/ConsoleLog.h"

#include <array>
#include <ctime>

std::string LocalTimeStamp() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    std::array<char, 32> date{};
    std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 48> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%s.%03ld", date.data(), now.tv_nsec / 1000000);
    return stamp.data();
}

void ConsoleLog::WriteLine(const std::string& text) {
    // One write per line, so that a reader never sees half a line.
    const std::string line = LocalTimeStamp() + "  " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), m_Stream);
    std::fflush(m_Stream);
}

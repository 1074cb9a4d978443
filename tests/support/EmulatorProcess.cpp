#include "tests/support/EmulatorProcess.h"

#include <algorithm>
#include <charconv>

namespace {

std::vector<std::string> CommandLine(const std::string& address, const std::vector<std::string>& arguments) {
#ifdef QRIX_EMULATOR_PATH
    std::vector<std::string> words{QRIX_EMULATOR_PATH, "--address", address};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return words;
#else
    (void)address;
    (void)arguments;
    return {};
#endif
}

} // namespace

EmulatorProcess::EmulatorProcess(const std::string& address, const std::vector<std::string>& arguments)
    : m_Process(CommandLine(address, arguments), "", ChildProcess::ErrorOutput::Inherited) {
    if (m_Process.Started())
        m_Serving = WaitForLine("qrix-emulator: serving", Milliseconds(10000)).has_value();
}

bool EmulatorProcess::Available() {
#ifdef QRIX_EMULATOR_PATH
    return true;
#else
    return false;
#endif
}

std::string EmulatorProcess::Command(const std::string& line, Milliseconds timeout) {
    if (m_Killed || !m_Process.Write(line + "\n"))
        return "<not running>";
    return m_Process.ReadLine(timeout).value_or("<no answer>");
}

std::optional<std::uint32_t> EmulatorProcess::OutputValue(const std::string& name) {
    // The answer reads "out NAME = 8 (0x00000008)".
    const std::string answer = Command("get out " + name);
    const std::size_t equals = answer.find(" = ");
    if (equals == std::string::npos)
        return std::nullopt;
    std::uint32_t value = 0;
    const char* first = answer.data() + equals + 3;
    const char* last = answer.data() + answer.size();
    if (std::from_chars(first, last, value).ec != std::errc())
        return std::nullopt;
    return value;
}

std::optional<std::string> EmulatorProcess::WaitForLine(const std::string& prefix, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
        auto line = m_Process.ReadLine(std::max(left, Milliseconds(0)));
        if (!line || line->starts_with(prefix))
            return line;
    }
}

std::optional<int> EmulatorProcess::WaitForExit(Milliseconds timeout) {
    if (m_Killed)
        return std::nullopt;
    return m_Process.WaitForExit(timeout);
}

void EmulatorProcess::Kill() {
    m_Process.Kill();
    m_Killed = true;
    m_Serving = false;
}

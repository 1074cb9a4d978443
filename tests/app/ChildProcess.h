#pragma once

#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// A program started by a test, with its standard output and error on a pipe that
// the test reads. Whatever still runs when the object goes is killed and reaped.
class ChildProcess {
public:
    // argv[0] is the program's path; `workingDirectory` empty: the test's own.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    void Signal(int signal) const;

    // The exit code (128 + the signal for a killed process), or nothing when it
    // still runs after `timeoutMs`.
    std::optional<int> WaitForExit(int timeoutMs);
    // Everything written so far.
    const std::string& Output();
    // Waits until the output holds `text` (found after `from`); its position, or nothing.
    std::optional<std::size_t> WaitForOutput(const std::string& text, int timeoutMs, std::size_t from = 0);

private:
    void Pump(int timeoutMs);

    pid_t m_Pid = -1;
    UniqueFd m_Output;
    UniqueFd m_Input;
    std::string m_Text;
    std::optional<int> m_ExitCode;
};

#pragma once

#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A program started by a test, its standard input and output on pipes that the
// test drives. It dies with the test program; whatever still runs when the
// object goes is killed and reaped.
class ChildProcess {
public:
    using Milliseconds = std::chrono::milliseconds;
    enum class ErrorOutput { Captured, Inherited };
    // Who reads its standard output: the test; nobody, as the reader closed at
    // once (writes fail); nobody, on a pipe of one page that fills (writes block).
    enum class OutputReader { Test, Gone, Never };
    struct Options {
        std::string WorkingDirectory; // empty: the test's own
        ErrorOutput Errors = ErrorOutput::Captured;
        OutputReader Output = OutputReader::Test;
        std::vector<int> ClosedDescriptors; // among 0 to 2, closed when it starts
    };

    // argv[0] is the program's path; `workingDirectory` empty: the test's own.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& workingDirectory = "",
                          ErrorOutput errors = ErrorOutput::Captured);
    ChildProcess(const std::vector<std::string>& argv, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False also when the program could not be executed.
    bool Started() const { return m_Pid > 0; }
    pid_t Pid() const { return m_Pid; }
    void Signal(int signal) const;
    void Kill();

    // The exit code (128 + the signal for a killed process), or nothing when it
    // still runs after `timeout`.
    std::optional<int> WaitForExit(Milliseconds timeout);
    // True once it ended through a signal rather than by exiting.
    bool EndedBySignal() const { return m_EndedBySignal; }
    // Everything written so far.
    const std::string& Output();
    // Waits until the output holds `text` (found after `from`); its position, or nothing.
    std::optional<std::size_t> WaitForOutput(const std::string& text, Milliseconds timeout,
                                             std::size_t from = 0);
    // The next whole line not read before, or nothing when none comes in time.
    std::optional<std::string> ReadLine(Milliseconds timeout);
    // Writes all of `text` to its standard input; false when it no longer reads.
    bool Write(const std::string& text);

private:
    void Pump(int timeoutMs);

    pid_t m_Pid = -1;
    UniqueFd m_Output;
    UniqueFd m_Input;
    bool m_OutputEnded = false;
    bool m_Unread = false;
    std::string m_Text;
    std::size_t m_LineStart = 0;
    std::optional<int> m_ExitCode;
    bool m_EndedBySignal = false;
};

// True when the process is gone or only a zombie is left of it.
bool ProcessEnded(pid_t processId);

#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// One qrix-emulator for a test, on a loopback address of its own, driven
// through its command channel. It is killed and reaped when it goes; it also
// dies with the test program.
class EmulatorProcess {
public:
    using Milliseconds = std::chrono::milliseconds;

    EmulatorProcess(const std::string& address, const std::vector<std::string>& arguments);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // True once it printed that it serves (false when it ended or took too long).
    bool Serving() const { return m_Serving; }
    // Everything it printed so far, for failure messages.
    const std::string& Output() const { return m_Output; }

    // Sends one command and gives the next line it prints.
    std::string Command(const std::string& line, Milliseconds timeout = Milliseconds(5000));
    // The next line that starts with prefix, skipping others.
    std::optional<std::string> WaitForLine(const std::string& prefix, Milliseconds timeout);
    // The exit status once it ended by itself, or none within the time.
    std::optional<int> WaitForExit(Milliseconds timeout);
    void Kill();

    static std::string Address(int n) { return "127.0.10." + std::to_string(n); }

private:
    std::optional<std::string> NextLine(std::chrono::steady_clock::time_point deadline);

    pid_t m_Pid = -1;
    int m_Input = -1;
    int m_OutputFd = -1;
    std::string m_Pending;
    std::string m_Output;
    bool m_Serving = false;
};

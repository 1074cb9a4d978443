#pragma once

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One qrix-emulator for a test, on a loopback address of its own, driven
// through its command channel. Its error output goes to the test's.
class EmulatorProcess {
public:
    using Milliseconds = std::chrono::milliseconds;

    // Starts it and waits until it serves (at most ten seconds).
    EmulatorProcess(const std::string& address, const std::vector<std::string>& arguments);

    // False when the build made no emulator.
    static bool Available();
    // Host `n` of a test program's own network, e.g. Address("127.0.10", 4).
    static std::string Address(std::string_view network, int n) {
        return std::string(network) + "." + std::to_string(n);
    }

    // True once it printed that it serves (false when it ended or took too long).
    bool Serving() const { return m_Serving; }
    // Everything it printed so far, for failure messages.
    const std::string& Output() { return m_Process.Output(); }

    // Sends one command and gives the next line it prints.
    std::string Command(const std::string& line, Milliseconds timeout = Milliseconds(5000));
    // The 32-bit value of a variable in the output image (none on failure).
    std::optional<std::uint32_t> OutputValue(const std::string& name);
    // The next line that starts with prefix, skipping others.
    std::optional<std::string> WaitForLine(const std::string& prefix, Milliseconds timeout);
    // The exit status once it ended by itself, or none within the time.
    std::optional<int> WaitForExit(Milliseconds timeout);
    void Kill();

private:
    ChildProcess m_Process;
    bool m_Killed = false;
    bool m_Serving = false;
};

#pragma once

#include "platform/UniqueFd.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The controller emulator as a child process, driven through its command
// channel. Killed and reaped when the object goes.
class EmulatorProcess {
public:
    EmulatorProcess(std::string address, std::string summaryPath);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Starts it and waits until it serves; false when it does not within the time.
    bool Start();
    void Kill();
    // Sends one command and gives its answer line (none on time-out).
    std::optional<std::string> Command(const std::string& line);
    // The 32-bit value of a variable in the output image (none on failure).
    std::optional<std::uint32_t> OutputValue(const std::string& name);

private:
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);

    std::string m_Address;
    std::string m_SummaryPath;
    pid_t m_ProcessId = 0;
    UniqueFd m_Input;
    UniqueFd m_Output;
    std::string m_Pending;
};

#pragma once

#include "tests/app/ChildProcess.h"

#include <memory>
#include <string>

// The controller emulator serving one summary file on a loopback address of its own.
class EmulatorProcess {
public:
    EmulatorProcess(const std::string& address, const std::string& summaryPath);

    static bool Available();
    // Loopback addresses of this test program's emulators (127.0.3.n).
    static std::string TestAddress(int n) { return "127.0.3." + std::to_string(n); }

    // True once the file transfer port accepts connections (bounded wait).
    bool WaitUntilServing();
    std::string Diagnosis() { return m_Process ? m_Process->Output() : "not started"; }

private:
    std::string m_Address;
    std::unique_ptr<ChildProcess> m_Process;
};

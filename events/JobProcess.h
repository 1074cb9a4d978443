#pragma once

#include "events/NativeHandle.h"

#include <cstdint>
#include <string>
#include <vector>

// A tool's process in a job object of its own, so that ending the job ends the
// tool and everything it started. Closing the last handle of the job ends them too.
class JobProcess {
public:
    // Starts `arguments` (program first, searched like the system's shell would
    // when it has no folder) with the null device as its input and `output`, when
    // valid, as its output and error; else ours. 0, or the system's error code.
    int Start(const std::vector<std::string>& arguments, const NativeHandle& output);
    unsigned long Id() const { return m_Id; }
    // Until the tool's own process has ended; its exit code.
    std::uint32_t WaitForExit();
    // Ends every process of the job with `exitCode`; 0, or the system's error code.
    int Terminate(std::uint32_t exitCode);
    // Processes of the job still alive (the tool's descendants included).
    unsigned long ActiveProcesses() const;

private:
    NativeHandle m_Job;
    NativeHandle m_Process;
    unsigned long m_Id = 0;
};

// The command line whose standard parsing gives back `arguments` exactly.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

// Leaves the system's last error as a failed creation of a thread does.
void SetThreadStartFailed();

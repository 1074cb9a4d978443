#include "tests/support/ProgramRun.h"

#include "tests/support/ChildProcess.h"

ProgramRun RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    ChildProcess process(argv);
    ProgramRun run;
    run.ProcessId = static_cast<unsigned long>(process.Pid());
    run.ExitCode = process.WaitForExit(timeout).value_or(-1);
    run.Output = process.Output();
    return run;
}

#include "tests/support/ProgramRun.h"

#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <thread>

namespace {

// The quoting CommandLineToArgvW and the C runtime undo: backslashes count only
// before a double quote, where they are doubled.
std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(character == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

} // namespace

ProgramRun RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    std::wstring commandLine;
    for (const std::string& argument : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + QuotedArgument(WideText(argument));
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ProgramRun run;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return run;
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &started))
        return run;
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    writer.Reset();
    run.ProcessId = started.dwProcessId;
    // Read to the end on a thread of its own, so that a full pipe never stalls the program.
    std::thread pump([&run, &reader] {
        char buffer[4096];
        DWORD count = 0;
        while (::ReadFile(reader.Get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
            run.Output.append(buffer, count);
    });
    DWORD exitCode = 0;
    if (::WaitForSingleObject(process.Get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0 &&
        ::GetExitCodeProcess(process.Get(), &exitCode))
        run.ExitCode = static_cast<int>(exitCode);
    else
        ::TerminateProcess(process.Get(), 1);
    pump.join();
    return run;
}

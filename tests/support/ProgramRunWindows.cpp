#include "tests/support/ProgramRun.h"

#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <memory>
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

// Room for PROC_THREAD_ATTRIBUTE_HANDLE_LIST.
class HandleListAttribute {
public:
    explicit HandleListAttribute(HANDLE* handles, std::size_t count) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        m_Storage = std::make_unique<char[]>(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_Storage.get());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        m_List = list;
        if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                         count * sizeof(HANDLE), nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list);
            m_List = nullptr;
        }
    }
    ~HandleListAttribute() {
        if (m_List != nullptr)
            ::DeleteProcThreadAttributeList(m_List);
    }
    HandleListAttribute(const HandleListAttribute&) = delete;
    HandleListAttribute& operator=(const HandleListAttribute&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_List; }

private:
    std::unique_ptr<char[]> m_Storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_List = nullptr;
};

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
    UniqueHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr));
    // Only this run's handles reach the program: a write end that another run,
    // started at the same time from another thread, inherited would hold this
    // run's output open until that program ends.
    HANDLE handles[2] = {input.Get(), writeEnd};
    const HandleListAttribute attribute(handles, 2);
    if (!input.IsValid() || attribute.Get() == nullptr)
        return run;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = writeEnd;
    startup.lpAttributeList = attribute.Get();
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                          nullptr, nullptr, &startup.StartupInfo, &started))
        return run;
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    writer.Reset();
    input.Reset();
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

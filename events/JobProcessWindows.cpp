#include "events/JobProcess.h"

#include "platform/WideText.h"

#include <windows.h>

#include <memory>

namespace {

void AppendQuoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    // Before the closing quote too.
    line.append(backslashes * 2, '\\');
    line += '"';
}

// An inheritable copy of one of our standard handles, or none.
NativeHandle InheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS))
        return {};
    return NativeHandle(copy);
}

class AttributeList {
public:
    explicit AttributeList(DWORD count) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, count, 0, &size);
        m_Storage = std::make_unique<char[]>(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_Storage.get());
        if (::InitializeProcThreadAttributeList(list, count, 0, &size))
            m_List = list;
    }
    ~AttributeList() {
        if (m_List != nullptr)
            ::DeleteProcThreadAttributeList(m_List);
    }
    AttributeList(const AttributeList&) = delete;
    AttributeList& operator=(const AttributeList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return m_List; }

private:
    std::unique_ptr<char[]> m_Storage;
    LPPROC_THREAD_ATTRIBUTE_LIST m_List = nullptr;
};

int LastError() {
    return static_cast<int>(::GetLastError());
}

} // namespace

std::string WindowsCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty())
            line += ' ';
        AppendQuoted(line, argument);
    }
    return line;
}

int JobProcess::Start(const std::vector<std::string>& arguments, const NativeHandle& output) {
    m_Job = NativeHandle(::CreateJobObjectW(nullptr, nullptr));
    if (!m_Job.IsValid())
        return LastError();
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(m_Job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return LastError();

    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    NativeHandle input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr));
    if (!input.IsValid())
        return LastError();
    NativeHandle standardOutput;
    NativeHandle standardError;
    if (output.IsValid()) {
        standardOutput = InheritableCopy(output.Get());
        if (!standardOutput.IsValid())
            return LastError();
    } else {
        standardOutput = InheritableCopy(::GetStdHandle(STD_OUTPUT_HANDLE));
        standardError = InheritableCopy(::GetStdHandle(STD_ERROR_HANDLE));
    }
    // Only these handles reach the tool, whatever else of ours is inheritable.
    HANDLE handles[3] = {input.Get(), standardOutput.Get(), standardError.Get()};
    DWORD handleCount = 1;
    for (int i = 1; i < 3; ++i) {
        if (handles[i] != nullptr)
            handles[handleCount++] = handles[i];
    }
    AttributeList attributes(1);
    if (attributes.Get() == nullptr ||
        !::UpdateProcThreadAttribute(attributes.Get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                     handleCount * sizeof(HANDLE), nullptr, nullptr))
        return LastError();

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = standardOutput.Get();
    startup.StartupInfo.hStdError = output.IsValid() ? standardOutput.Get() : standardError.Get();
    startup.lpAttributeList = attributes.Get();
    std::wstring commandLine = WideText(WindowsCommandLine(arguments));
    PROCESS_INFORMATION process{};
    // Suspended until it is in the job, so that nothing it starts escapes it.
    // A process group of its own: Ctrl+C in the observer's console stops the
    // observer, which ends the tools itself and records them as ended at deactivation.
    const DWORD flags = CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT |
                        CREATE_NEW_PROCESS_GROUP;
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                          &startup.StartupInfo, &process))
        return LastError();
    NativeHandle thread(process.hThread);
    m_Process = NativeHandle(process.hProcess);
    if (!::AssignProcessToJobObject(m_Job.Get(), m_Process.Get())) {
        const int error = LastError();
        ::TerminateProcess(m_Process.Get(), 1);
        m_Process.Reset();
        return error;
    }
    ::ResumeThread(thread.Get());
    m_Id = process.dwProcessId;
    return 0;
}

std::uint32_t JobProcess::WaitForExit() {
    ::WaitForSingleObject(m_Process.Get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(m_Process.Get(), &code);
    return code;
}

int JobProcess::Terminate(std::uint32_t exitCode) {
    return ::TerminateJobObject(m_Job.Get(), exitCode) ? 0 : LastError();
}

unsigned long JobProcess::ActiveProcesses() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!::QueryInformationJobObject(m_Job.Get(), JobObjectBasicAccountingInformation, &accounting,
                                     sizeof accounting, nullptr))
        return 0;
    return accounting.ActiveProcesses;
}

void SetThreadStartFailed() {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

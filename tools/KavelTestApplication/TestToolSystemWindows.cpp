#include "tools/KavelTestApplication/TestToolSystem.h"

#include "platform/ErrorText.h"
#include "platform/Paths.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <shellapi.h>

#include <memory>

std::vector<std::string> ProgramArguments(int, char**) {
    // The C runtime's argv is in the ANSI code page; the wide command line keeps every character.
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(::CommandLineToArgvW(::GetCommandLineW(), &count),
                                                         ::LocalFree);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i)
        arguments.push_back(Utf8Text(wide.get()[i]));
    return arguments;
}

std::string UnavailableOption(const std::string& option) {
    if (option == "--leave-group" || option == "--daemonise" || option == "--ignore-signals")
        return option + " is not available on Windows (it needs POSIX process groups, sessions or signals)";
    return {};
}

std::uint64_t CurrentProcessId() {
    return ::GetCurrentProcessId();
}

bool AppendLine(const std::string& path, const std::string& line, std::string& error) {
    // Appending alone is not one step everywhere (Wine seeks, then writes): the
    // whole file is locked while the line goes to its end, so concurrent calls
    // never overwrite or split each other's lines.
    UniqueHandle file(::CreateFileW(WideText(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    OVERLAPPED whole{};
    DWORD written = 0;
    if (file.IsValid() && ::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        const bool appended =
            ::SetFilePointerEx(file.Get(), LARGE_INTEGER{}, nullptr, FILE_END) &&
            ::WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
            written == line.size();
        const DWORD lastError = ::GetLastError();
        ::UnlockFileEx(file.Get(), 0, MAXDWORD, MAXDWORD, &whole);
        if (appended)
            return true;
        ::SetLastError(lastError);
    }
    error = ErrorText(static_cast<int>(::GetLastError()));
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r' || error.back() == ' '))
        error.pop_back();
    return false;
}

// The child is this program again, told to sleep only. The caller's whole command
// line follows, so that a test finds the child by an argument of its own. It stays
// in the tool's job, so ending the job ends it too.
std::uint64_t SpawnSleepingChild(unsigned long milliseconds) {
    std::wstring commandLine = L"\"" + WideText(ProgramPath()) + L"\" " + WideText(SleepingChildOption) +
                               L" " + std::to_wstring(milliseconds) + L" -- " + ::GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // No standard handles: the child writes nothing, and it must not keep a reader
    // of the tool's output waiting after the tool ended.
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return 0;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    return process.dwProcessId;
}

void LeaveProcessGroup(unsigned long) {}

void Daemonise(unsigned long) {}

void IgnoreStopSignals() {}

void WriteBytes(bool error, unsigned long count) {
    static const std::string Block(65536, 'x');
    const HANDLE handle = ::GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    while (count > 0) {
        const DWORD size = count < Block.size() ? count : static_cast<DWORD>(Block.size());
        DWORD written = 0;
        if (!::WriteFile(handle, Block.data(), size, &written, nullptr) || written == 0)
            return;
        count -= written;
    }
}

// A tool for the tool runner's tests on Windows. Arguments of the form key=value:
// out=FILE (every argument, UTF-8, each followed by a NUL, and then the process id),
// bytes=N (numbered lines to standard output), child=FILE (starts a copy of itself
// that writes its process id to FILE and sleeps), sleep=MS, exit=N (the exit code).
#include "platform/WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string Value(const std::string& argument, const char* key) {
    const std::string prefix = std::string(key) + "=";
    return argument.rfind(prefix, 0) == 0 ? argument.substr(prefix.size()) : std::string();
}

void StartChild(const std::wstring& self, const std::string& file) {
    std::wstring line = L"\"" + self + L"\" sleep=60000 \"out=" + WideText(file) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    unsigned long exitCode = 0;
    unsigned long sleepMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = Utf8Text(argv[i]);
        if (const std::string out = Value(argument, "out"); !out.empty()) {
            std::ofstream file(WideText(out).c_str(), std::ios::binary);
            for (int j = 0; j < argc; ++j)
                file << Utf8Text(argv[j]) << '\0';
            file << ::GetCurrentProcessId();
        }
        if (const std::string bytes = Value(argument, "bytes"); !bytes.empty()) {
            // Bytes as they are: no line ends turned into CR LF.
            _setmode(_fileno(stdout), _O_BINARY);
            const unsigned long long total = std::strtoull(bytes.c_str(), nullptr, 10);
            char line[32];
            for (unsigned long long written = 0, number = 0; written < total; ++number) {
                const int length = std::snprintf(line, sizeof line, "line %09llu\n", number);
                std::fwrite(line, 1, static_cast<std::size_t>(length), stdout);
                written += static_cast<unsigned long long>(length);
            }
            std::fflush(stdout);
        }
        if (const std::string child = Value(argument, "child"); !child.empty())
            StartChild(argv[0], child);
        if (const std::string sleep = Value(argument, "sleep"); !sleep.empty())
            sleepMs = std::strtoul(sleep.c_str(), nullptr, 10);
        if (const std::string code = Value(argument, "exit"); !code.empty())
            exitCode = std::strtoul(code.c_str(), nullptr, 0);
    }
    if (sleepMs > 0)
        ::Sleep(sleepMs);
    return static_cast<int>(exitCode);
}

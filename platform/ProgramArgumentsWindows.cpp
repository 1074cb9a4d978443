#include "platform/ProgramArguments.h"

#include "platform/WideText.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <memory>

std::vector<std::string> Utf8ProgramArguments(int, char**) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), ::LocalFree);
    std::vector<std::string> arguments;
    for (int i = 0; wide && i < count; ++i)
        arguments.push_back(Utf8Text(wide.get()[i]));
    return arguments;
}

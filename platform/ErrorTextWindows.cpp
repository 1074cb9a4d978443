#include "platform/ErrorText.h"

#include "platform/WideText.h"

#include <windows.h>

#include <memory>

// On Windows the error number is the system's error code (GetLastError), and the
// text comes from the system's message table in the user's language.
std::string ErrorText(int errorNumber) {
    if (errorNumber == 0)
        return "Unknown Error ";
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(errorNumber), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, HLOCAL (*)(HLOCAL)> owned(buffer, ::LocalFree);
    if (length == 0 || buffer == nullptr)
        return "Unknown Error ";
    std::string text = Utf8Text(buffer, length);
    // The system's texts end with a line break already; callers rely on one.
    if (text.empty() || text.back() != '\n')
        text += "\r\n";
    return text;
}

std::string LastErrorText() {
    return ErrorText(static_cast<int>(::GetLastError()));
}

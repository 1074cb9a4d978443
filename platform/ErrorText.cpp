#include "platform/ErrorText.h"

#include <cerrno>
#include <cstring>

std::string ErrorText(int errorNumber) {
    if (errorNumber == 0)
        return "Unknown Error ";
    char buffer[256] = {};
    // The GNU form returns the text, which may or may not live in our buffer.
    const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0')
        return "Unknown Error ";
    return std::string(text) + "\n";
}

std::string LastErrorText() { return ErrorText(errno); }

#include "events/RunFile.h"

#include "platform/ErrorText.h"

std::string ErrorReason(int errorNumber) {
    std::string text = ErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string LastErrorReason() {
    std::string text = LastErrorText();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

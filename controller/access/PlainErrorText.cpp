#include "controller/access/PlainErrorText.h"

#include "platform/ErrorText.h"

std::string PlainErrorText(int errorNumber) {
    std::string text = ErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

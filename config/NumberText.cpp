#include "config/NumberText.h"

#include <cctype>

namespace {

int DigitValue(unsigned char c, unsigned base) {
    if (std::isdigit(c))
        return c - '0';
    if (base == 16 && std::isxdigit(c))
        return std::toupper(c) - 'A' + 10;
    return -1;
}

bool ScanNumber(const std::string& text, unsigned base, std::uint32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    bool digitSeen = false;
    if (base == 16 && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        // "0x" without hexadecimal digits still reads its "0".
        digitSeen = true;
        i += 2;
    }
    std::uint32_t result = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(static_cast<unsigned char>(text[i]), base);
        if (digit < 0)
            break;
        result = result * base + static_cast<std::uint32_t>(digit);
        digitSeen = true;
    }
    if (!digitSeen)
        return false;
    value = negative ? 0u - result : result;
    return true;
}

} // namespace

bool ScanUnsignedDecimal(const std::string& text, std::uint32_t& value) {
    return ScanNumber(text, 10, value);
}

bool ScanHexadecimal(const std::string& text, std::uint32_t& value) {
    return ScanNumber(text, 16, value);
}

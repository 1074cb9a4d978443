#include "tools/qrix-sim/NumberText.h"

#include <cstdio>
#include <limits>
#include <utility>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HasHexPrefix(const std::string& text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

} // namespace

bool ParseNumber(const std::string& text, std::uint64_t& value) {
    const bool hex = HasHexPrefix(text);
    const std::uint64_t base = hex ? 16 : 10;
    const std::size_t start = hex ? 2 : 0;
    if (text.size() <= start)
        return false;
    std::uint64_t result = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0 || static_cast<std::uint64_t>(digit) >= base)
            return false;
        if (result > (std::numeric_limits<std::uint64_t>::max() - static_cast<std::uint64_t>(digit)) / base)
            return false;
        result = result * base + static_cast<std::uint64_t>(digit);
    }
    value = result;
    return true;
}

bool ParseHexBytes(const std::vector<std::string>& words, std::vector<std::uint8_t>& bytes,
                   std::string& error) {
    std::vector<std::uint8_t> result;
    for (const std::string& word : words) {
        const std::size_t start = HasHexPrefix(word) ? 2 : 0;
        const std::size_t digits = word.size() - start;
        if (digits == 0 || digits % 2 != 0) {
            error = "'" + word + "' is not a sequence of hexadecimal byte pairs";
            return false;
        }
        for (std::size_t i = start; i < word.size(); i += 2) {
            const int high = HexDigit(word[i]);
            const int low = HexDigit(word[i + 1]);
            if (high < 0 || low < 0) {
                error = "'" + word + "' is not a sequence of hexadecimal byte pairs";
                return false;
            }
            result.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
    }
    if (result.empty()) {
        error = "no bytes given";
        return false;
    }
    bytes = std::move(result);
    return true;
}

std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    static const char Digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            text += ' ';
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 0x0F];
    }
    return text;
}

std::string FormatHex32(std::uint32_t value) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

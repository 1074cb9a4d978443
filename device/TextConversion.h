#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text as a C string would see it: up to its first NUL character.
std::string_view CText(const std::string& text);

// Upper case for ASCII letters only, so results never depend on the locale.
inline char ToUpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && ToUpperAscii(a[i]) != ToUpperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Leading blanks, an optional sign and decimal digits up to the first other
// character; no digits give 0. Values beyond 32 bits saturate instead of wrapping.
std::int32_t ParseLeadingInt(std::string_view text);

// Leading blanks, then a floating-point number in any C notation, read with the
// "C" locale; nothing when the text does not start with a number.
std::optional<double> ParseLeadingDouble(std::string_view text);

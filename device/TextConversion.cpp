#include "device/TextConversion.h"

#include <cstdlib>
#include <limits>
#include <locale.h>
#include <memory>
#include <type_traits>

namespace {

bool IsCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct LocaleDeleter {
    void operator()(locale_t locale) const {
        if (locale != static_cast<locale_t>(0)) {
            freelocale(locale);
        }
    }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// The application object may switch the process to the user's locale; numbers in
// device files always use a decimal point.
locale_t ClassicLocale() {
    static const LocaleHandle classic{newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))};
    return classic.get();
}

} // namespace

std::string_view CText(const std::string& text) {
    return std::string_view(text.c_str());
}

std::int32_t ParseLeadingInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (magnitude <= limit) {
            magnitude = magnitude * 10 + (text[pos] - '0');
        }
    }
    if (negative) {
        return magnitude >= limit ? std::numeric_limits<std::int32_t>::min()
                                  : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= limit ? std::numeric_limits<std::int32_t>::max()
                              : static_cast<std::int32_t>(magnitude);
}

std::optional<double> ParseLeadingDouble(std::string_view text) {
    const std::string terminated(text);
    const locale_t classic = ClassicLocale();
    if (classic == static_cast<locale_t>(0)) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = strtod_l(terminated.c_str(), &end, classic);
    if (end == terminated.c_str()) {
        return std::nullopt;
    }
    return value;
}

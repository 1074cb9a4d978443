#include "platform/ClassicNumber.h"

#include <locale.h>
#include <stdlib.h>

#include <memory>
#include <type_traits>

namespace {

struct LocaleDeleter {
    void operator()(_locale_t locale) const {
        if (locale != nullptr)
            _free_locale(locale);
    }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<_locale_t>, LocaleDeleter>;

// The application object may switch the process to the user's locale.
_locale_t ClassicLocale() {
    static const LocaleHandle classic{_create_locale(LC_ALL, "C")};
    return classic.get();
}

} // namespace

std::optional<double> LeadingClassicDouble(const std::string& text) {
    const _locale_t classic = ClassicLocale();
    if (classic == nullptr)
        return std::nullopt;
    char* end = nullptr;
    const double value = _strtod_l(text.c_str(), &end, classic);
    if (end == text.c_str())
        return std::nullopt;
    return value;
}

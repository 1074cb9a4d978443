#include "platform/ClassicNumber.h"

#include <locale.h>
#include <stdlib.h>

#include <memory>
#include <type_traits>

namespace {

struct LocaleDeleter {
    void operator()(locale_t locale) const {
        if (locale != static_cast<locale_t>(0))
            freelocale(locale);
    }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// The application object may switch the process to the user's locale.
locale_t ClassicLocale() {
    static const LocaleHandle classic{newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))};
    return classic.get();
}

} // namespace

std::optional<double> LeadingClassicDouble(const std::string& text) {
    const locale_t classic = ClassicLocale();
    if (classic == static_cast<locale_t>(0))
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(text.c_str(), &end, classic);
    if (end == text.c_str())
        return std::nullopt;
    return value;
}

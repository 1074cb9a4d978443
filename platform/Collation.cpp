#include "platform/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <numeric>

namespace {

// The collation locale as the environment names it; the C and POSIX locales
// (and none at all) take the language-neutral order, not code points.
icu::Locale CollationLocale() {
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        std::string name = value;
        name = name.substr(0, name.find_first_of(".@"));
        if (name == "C" || name == "POSIX")
            break;
        return icu::Locale(name.c_str());
    }
    return icu::Locale::getRoot();
}

std::unique_ptr<icu::Collator> MakeCollator() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(CollationLocale(), status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (collator)
        collator->setStrength(icu::Collator::SECONDARY);
    return collator;
}

// A sort key per text: comparing keys byte by byte is comparing the texts.
std::string SortKey(const icu::Collator& collator, const std::string& text) {
    const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    std::string key(64, '\0');
    auto length = static_cast<std::size_t>(collator.getSortKey(
        unicode, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size())));
    if (length > key.size()) {
        key.resize(length);
        length = static_cast<std::size_t>(collator.getSortKey(unicode, reinterpret_cast<uint8_t*>(key.data()),
                                                              static_cast<int32_t>(key.size())));
    }
    key.resize(length);
    return key;
}

} // namespace

std::vector<std::size_t> CollatedOrder(const std::vector<std::string>& texts) {
    std::vector<std::size_t> order(texts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const std::unique_ptr<icu::Collator> collator = MakeCollator();
    if (!collator)
        return order;
    std::vector<std::string> keys;
    keys.reserve(texts.size());
    for (const std::string& text : texts)
        keys.push_back(SortKey(*collator, text));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    return order;
}

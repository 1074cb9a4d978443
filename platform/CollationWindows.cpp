#include "platform/Collation.h"

#include "platform/WideText.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <numeric>

// The user's own sort order from the system: letter case ignored, accents not.
std::vector<std::size_t> CollatedOrder(const std::vector<std::string>& texts) {
    std::vector<std::size_t> order(texts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::wstring> wide;
    wide.reserve(texts.size());
    for (const std::string& text : texts)
        wide.push_back(WideText(text));
    const auto less = [&](std::size_t a, std::size_t b) {
        const std::wstring& left = wide[a];
        const std::wstring& right = wide[b];
        const int result = ::CompareStringEx(
            LOCALE_NAME_USER_DEFAULT, LINGUISTIC_IGNORECASE, left.c_str(),
            static_cast<int>(std::min<std::size_t>(left.size(), INT_MAX)), right.c_str(),
            static_cast<int>(std::min<std::size_t>(right.size(), INT_MAX)), nullptr, nullptr, 0);
        return result == CSTR_LESS_THAN;
    };
    std::stable_sort(order.begin(), order.end(), less);
    return order;
}

#include "app/logic/ComboBoxOrder.h"

#include <algorithm>

namespace {

unsigned char FoldedByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

} // namespace

int CompareListTexts(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldedByte(a[i]);
        const unsigned char y = FoldedByte(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int SortedInsertIndex(const std::vector<std::string>& sortedTexts, const std::string& text) {
    const auto position = std::upper_bound(
        sortedTexts.begin(), sortedTexts.end(), text,
        [](const std::string& value, const std::string& item) { return CompareListTexts(value, item) < 0; });
    return static_cast<int>(position - sortedTexts.begin());
}

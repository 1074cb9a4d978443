#include "tools/qrix-sim/BitSelection.h"

#include "tools/qrix-sim/NumberText.h"

#include <sstream>

namespace {

constexpr std::uint64_t EventBitCount = 16;

bool ParseBitNumber(const std::string& text, std::uint64_t& bit) {
    return ParseNumber(text, bit) && bit < EventBitCount;
}

} // namespace

bool ParseBitSelection(const std::string& text, std::uint16_t& mask, std::string& error) {
    if (text == "all") {
        mask = 0xFFFF;
        return true;
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint64_t value = 0;
        if (!ParseNumber(text, value) || value == 0 || value > 0xFFFF) {
            error = "bit mask '" + text + "' must lie between 0x0001 and 0xFFFF";
            return false;
        }
        mask = static_cast<std::uint16_t>(value);
        return true;
    }
    std::uint32_t result = 0;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        const std::size_t dash = item.find('-');
        std::uint64_t first = 0;
        std::uint64_t last = 0;
        const bool valid = dash == std::string::npos
                               ? ParseBitNumber(item, first) && ParseBitNumber(item, last)
                               : ParseBitNumber(item.substr(0, dash), first) &&
                                     ParseBitNumber(item.substr(dash + 1), last) && first <= last;
        if (!valid) {
            error = "'" + item + "' is not a bit number (0 to 15) or a range such as 8-11";
            return false;
        }
        for (std::uint64_t bit = first; bit <= last; ++bit)
            result |= 1u << bit;
    }
    if (result == 0) {
        error = "no bits given";
        return false;
    }
    mask = static_cast<std::uint16_t>(result);
    return true;
}

std::string FormatBitList(std::uint32_t mask) {
    std::string text;
    for (unsigned bit = 0; bit < 32; ++bit) {
        if ((mask & (1u << bit)) == 0)
            continue;
        if (!text.empty())
            text += ',';
        text += std::to_string(bit);
    }
    return text;
}

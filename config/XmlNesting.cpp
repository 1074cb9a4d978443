#include "config/XmlNesting.h"

#include <cstdint>
#include <string>

namespace {

constexpr auto NotFound = std::string_view::npos;

// Position just after `terminator` from `from` on, or NotFound.
std::size_t After(std::string_view text, std::string_view terminator, std::size_t from) {
    const auto at = text.find(terminator, from);
    return at == NotFound ? NotFound : at + terminator.size();
}

// Past a declaration such as <!DOCTYPE ...>, whose internal subset may hold
// further declarations, quoted values and comments.
std::size_t AfterDeclaration(std::string_view text, std::size_t from) {
    int brackets = 0;
    std::size_t i = from;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const auto close = text.find(c, i + 1);
            if (close == NotFound)
                return NotFound;
            i = close + 1;
        } else if (text.compare(i, 4, "<!--") == 0) {
            i = After(text, "-->", i + 4);
            if (i == NotFound)
                return NotFound;
        } else {
            if (c == '[')
                ++brackets;
            else if (c == ']')
                --brackets;
            else if (c == '>' && brackets <= 0)
                return i + 1;
            ++i;
        }
    }
    return NotFound;
}

// Past the '>' of a tag, skipping quoted attribute values; sets `empty` for "/>".
std::size_t AfterTag(std::string_view text, std::size_t from, bool& empty) {
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            empty = text[i - 1] == '/';
            return i + 1;
        }
    }
    return NotFound;
}

// UTF-16 and UTF-32 text, told by its byte order mark or by a leading '<'.
std::size_t CodeUnitSize(std::string_view text) {
    const auto startsWith = [text](std::string_view prefix) {
        return text.substr(0, prefix.size()) == prefix;
    };
    using namespace std::string_view_literals;
    if (startsWith("\xFF\xFE\0\0"sv) || startsWith("\0\0\xFE\xFF"sv) || startsWith("<\0\0\0"sv) ||
        startsWith("\0\0\0<"sv))
        return 4;
    if (startsWith("\xFF\xFE"sv) || startsWith("\xFE\xFF"sv) || startsWith("<\0"sv) || startsWith("\0<"sv))
        return 2;
    return 1;
}

bool IsBigEndian(std::string_view text, std::size_t unit) {
    return !text.empty() && (text[0] == '\0' || (unit == 2 && text[0] == '\xFE'));
}

// One character per code unit: ASCII as it is, everything else as a letter that
// no markup uses.
std::string NarrowedText(std::string_view text, std::size_t unit, bool bigEndian) {
    std::string narrowed;
    narrowed.reserve(text.size() / unit);
    for (std::size_t at = 0; at + unit <= text.size(); at += unit) {
        std::uint32_t value = 0;
        for (std::size_t b = 0; b < unit; ++b) {
            const auto byte = static_cast<unsigned char>(text[at + (bigEndian ? b : unit - 1 - b)]);
            value = (value << 8) | byte;
        }
        narrowed += value < 0x80 ? static_cast<char>(value) : 'x';
    }
    return narrowed;
}

bool NestingWithin(std::string_view text, std::size_t limit) {
    std::size_t depth = 0;
    std::size_t i = 0;
    while ((i = text.find('<', i)) != NotFound) {
        if (text.compare(i, 4, "<!--") == 0) {
            i = After(text, "-->", i + 4);
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            i = After(text, "]]>", i + 9);
        } else if (text.compare(i, 2, "<?") == 0) {
            i = After(text, "?>", i + 2);
        } else if (text.compare(i, 2, "<!") == 0) {
            i = AfterDeclaration(text, i + 2);
        } else if (text.compare(i, 2, "</") == 0) {
            if (depth > 0)
                --depth;
            i = After(text, ">", i + 2);
        } else {
            bool empty = false;
            i = AfterTag(text, i + 1, empty);
            if (i != NotFound && !empty && ++depth > limit)
                return false;
        }
        if (i == NotFound)
            return true;
    }
    return true;
}

} // namespace

bool XmlNestingWithin(std::string_view text, std::size_t limit) {
    const std::size_t unit = CodeUnitSize(text);
    if (unit == 1)
        return NestingWithin(text, limit);
    return NestingWithin(NarrowedText(text, unit, IsBigEndian(text, unit)), limit);
}

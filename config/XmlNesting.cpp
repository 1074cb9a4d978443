#include "config/XmlNesting.h"

#include <algorithm>
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
    if (text.find('\0') == NotFound)
        return NestingWithin(text, limit);
    std::string narrowed(text);
    narrowed.erase(std::remove(narrowed.begin(), narrowed.end(), '\0'), narrowed.end());
    return NestingWithin(narrowed, limit);
}

#include "config/ProfileSectionNames.h"

#include "config/FileContent.h"

namespace {

// The private-profile reader refuses larger files, so they have no sections.
constexpr std::size_t MaximumProfileSize = 64 * 1024 * 1024;
constexpr const char* Blanks = " \t\r\n";

std::string Trimmed(const std::string& text, std::size_t from, std::size_t to) {
    const auto first = text.find_first_not_of(Blanks, from);
    if (first == std::string::npos || first >= to)
        return {};
    const auto last = text.find_last_not_of(Blanks, to - 1);
    return text.substr(first, last - first + 1);
}

} // namespace

std::vector<std::string> ReadProfileSectionNames(const std::string& path) {
    std::vector<std::string> names;
    std::string content;
    if (!ReadFileContent(path, MaximumProfileSize, content))
        return names;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const auto open = content.find_first_not_of(Blanks, start);
        if (open < end && content[open] == '[') {
            const auto close = content.find(']', open + 1);
            if (close < end)
                names.push_back(Trimmed(content, open + 1, close));
        }
        start = end + 1;
    }
    return names;
}

#include "config/Placeholders.h"

std::string ReplacePlaceholder(const std::string& text, const std::string& placeholder,
                               const std::string& value) {
    if (placeholder.empty())
        return text;
    std::string result;
    std::size_t from = 0;
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, from)) {
        result.append(text, from, at - from);
        result += value;
        from = at + placeholder.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Splits the text of the command channel into lines.
class LineReader {
public:
    static constexpr std::size_t MaxLineLength = 4096;

    void Append(std::string_view text) { m_Pending.append(text); }
    // The next whole line, without its line break. A line longer than
    // MaxLineLength is dropped and given as the text "<line too long>".
    std::optional<std::string> NextLine();

private:
    std::string m_Pending;
    bool m_Discarding = false;
};

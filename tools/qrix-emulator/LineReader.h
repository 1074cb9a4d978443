#pragma once

#include <optional>
#include <string>

// Splits what arrives on a descriptor into lines without ever blocking.
class LineReader {
public:
    static constexpr std::size_t MaxLineLength = 4096;

    explicit LineReader(int fd) : m_Fd(fd) {}

    // Reads what is there; false once the other end has closed.
    bool Fill();
    // The next whole line, without its line break. A line longer than
    // MaxLineLength is dropped and given as the text "<line too long>".
    std::optional<std::string> NextLine();
    int Fd() const { return m_Fd; }

private:
    int m_Fd;
    std::string m_Pending;
    bool m_Discarding = false;
};

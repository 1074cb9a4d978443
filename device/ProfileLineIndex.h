#pragma once

#include "device/ProfileLine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Index over loaded lines that answers exactly what a walk from the first line
// would: the first section line with a given text, and within the lines up to
// the next section line the first key line with a given key part, all in any
// case. Sections are found by hash. A key is looked for by scanning the few lines
// after its section, which lie together in memory; only sections longer than
// ScanLimit lines have their keys hashed, so no look-up depends on the file's
// size. The lines and their text must outlive the index and stay where they are.
class ProfileLineIndex {
public:
    static constexpr std::size_t ScanLimit = 64;

    // text: the buffer that the lines' offsets point into.
    void Build(const std::vector<ProfileLine>& lines, std::string_view text);
    void Clear();

    // bracketedName as "[NAME]"; compared with the whole stored text.
    std::optional<std::size_t> FindSection(std::string_view bracketedName) const;
    std::optional<std::size_t> FindKey(std::size_t sectionLine, std::string_view key) const;

private:
    // Tag: the hash's upper half, to skip most text comparisons; Line: line
    // number + 1, 0 marking a free slot.
    struct SectionSlot {
        std::uint32_t Tag = 0;
        std::uint32_t Line = 0;
    };
    struct KeySlot {
        std::uint32_t Tag = 0;
        std::uint32_t Line = 0;
        std::uint32_t Section = 0;
    };

    void HashKeysOfSection(std::uint32_t sectionLine, std::size_t end);

    std::string_view TextOf(const ProfileLine& line) const { return m_Text.substr(line.Offset, line.Length); }
    bool KeyMatches(const ProfileLine& keyLine, std::string_view key) const;

    std::vector<SectionSlot> m_Sections;
    std::vector<KeySlot> m_Keys; // keys of sections longer than ScanLimit lines
    const std::vector<ProfileLine>* m_Lines = nullptr;
    std::string_view m_Text;
};

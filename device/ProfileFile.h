#pragma once

#include "device/ProfileLine.h"
#include "device/ProfileLineIndex.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Result of FindKey. The line pointers stay valid until the next LoadFile or CloseFile.
struct KeyLookup {
    const ProfileLine* SectionLine = nullptr;
    const ProfileLine* KeyLine = nullptr;
    std::string Key;     // as written, before the first "="
    std::string Value;   // after the first "=", without the comment
    std::string Comment; // from ";" on, empty when the line has none
};

// Reader for INI-like files: the whole file is held as a list of lines and
// indexed, so that each look-up costs the same however large the file is.
// Section and key names match in any case but are never trimmed; the first
// matching section counts, and within it the first matching key before the next
// section line.
class ProfileFile {
public:
    // A physical line longer than this continues as the next stored line.
    static constexpr std::size_t MaxPieceLength = 254;
    // Larger files are refused so that memory stays bounded; summary files are far smaller.
    static constexpr std::size_t MaxFileSize = std::size_t{64} * 1024 * 1024;
    // Files of more stored lines are refused too; counted before any line is allocated.
    static constexpr std::size_t MaxLineCount = std::size_t{4} * 1024 * 1024;

    ProfileFile() = default;
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;
    ProfileFile(ProfileFile&&) = delete;
    ProfileFile& operator=(ProfileFile&&) = delete;
    ~ProfileFile() = default;

    // 1 when loaded, 0 for an empty path, a file that cannot be read, a file over
    // MaxFileSize or MaxLineCount, or lack of memory; every case replaces the previous content.
    int LoadFile(const std::string& path);
    void CloseFile();

    const ProfileLine* FindSection(const std::string& name) const;
    bool FindKey(const std::string& section, const std::string& key, KeyLookup& lookup) const;

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultText) const;
    // atoi rules, saturating at the 32-bit range; an empty value found gives 0.
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    // The default when the key is missing or its value does not start with a number.
    double GetDouble(const std::string& section, const std::string& key, double defaultValue) const;

    // The same look-ups in a section line that FindSection gave, for readers of
    // many keys of one section; any other line finds nothing.
    bool FindKey(const ProfileLine& sectionLine, const std::string& key, KeyLookup& lookup) const;
    std::string GetString(const ProfileLine& sectionLine, const std::string& key,
                          const std::string& defaultText) const;
    int GetInt(const ProfileLine& sectionLine, const std::string& key, int defaultValue) const;

    const std::vector<ProfileLine>& Lines() const { return m_Lines; }
    // The stored text of one of this file's lines.
    std::string_view LineText(const ProfileLine& line) const {
        return std::string_view(m_Text).substr(line.Offset, line.Length);
    }

private:
    void FreeLines();
    bool SplitIntoLines();
    bool OwnsSectionLine(const ProfileLine& line) const;
    const ProfileLine* FindKeyLine(const ProfileLine& sectionLine, const std::string& key) const;
    std::string_view ValueOf(const ProfileLine& keyLine) const;

    std::string m_Text;
    std::vector<ProfileLine> m_Lines;
    ProfileLineIndex m_Index;
};

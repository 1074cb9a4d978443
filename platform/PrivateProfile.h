#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// INI files read and written the way the classic private-profile functions do:
// section and key names match in any letter case, blanks around keys and values
// are trimmed, one pair of enclosing quotes is removed from a value, and whatever
// is missing (file, section, key) gives the default. The first section and the
// first key of a name count. A parsed file is cached until its size, time or
// identity changes.

struct ParsedPrivateProfile;

// One file as parsed at the moment of construction: many look-ups in the same
// file cost one check of the file instead of one each.
class PrivateProfileSnapshot {
public:
    explicit PrivateProfileSnapshot(const std::string& path);
    ~PrivateProfileSnapshot();

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize) const;
    int ReadInt(const std::string& section, const std::string& key, int defaultValue) const;
    std::vector<std::string> SectionNames() const;

private:
    std::shared_ptr<const ParsedPrivateProfile> m_Profile;
};

// The value, cut to at most bufferSize - 1 characters (empty for a size of 0).
std::string ReadPrivateProfileString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t bufferSize,
                                     const std::string& path);

// The value read as an integer: leading blanks, an optional sign, then decimal
// digits or a 0x hexadecimal number, up to the first other character. A missing or
// empty value gives the default, a value without digits 0.
int ReadPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                          const std::string& path);

// Sets key=value in the section, creating file and section when missing and
// keeping every other line. The file is replaced atomically; a linked file stays a
// link and its target is replaced. False when the file
// cannot be written or a name or the value holds a line break.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

// Sets several keys of one section in one replacement of the file, so that a
// reader sees all of them changed or none.
bool WritePrivateProfileStrings(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& keysAndValues,
                                const std::string& path);

// Removes the temporary files that a write cut short by a crash left beside the
// file (its name, a dot and six letters or digits).
void RemoveLeftoverReplacements(const std::string& path);

// Drops every cached file (tests, and callers that changed files behind our back
// within the same second on a file system with coarse times).
void ClearPrivateProfileCache();

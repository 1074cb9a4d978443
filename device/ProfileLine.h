#pragma once

#include <cstdint>

enum class ProfileLineKind : std::uint8_t { Created = 0, Section = 1, Key = 2, Other = 3 };

// One stored piece of a physical line: where its text (comment included) lies in
// the file's buffer. Kept to 8 bytes, as large files hold hundreds of thousands.
struct ProfileLine {
    std::uint32_t Offset = 0;
    std::uint8_t Length = 0;
    std::uint8_t KeyLength = 0; // key lines: characters before the first "="
    ProfileLineKind Kind = ProfileLineKind::Created;
};

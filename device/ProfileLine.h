#pragma once

#include <cstdint>
#include <string_view>

enum class ProfileLineKind : std::uint8_t { Created = 0, Section = 1, Key = 2, Other = 3 };

// One stored piece of a physical line: the text as read, comment included.
struct ProfileLine {
    ProfileLineKind Kind = ProfileLineKind::Created;
    std::string_view Text;
};

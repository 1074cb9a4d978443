#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the private-profile layer needs of the file system; each system has its
// own implementation, the parsing and caching above it are shared.

enum class ProfileFileKind { Missing, Regular, Other };

// Enough of a file to tell that it changed: identity, size and modification time.
struct ProfileFileStamp {
    ProfileFileKind Kind = ProfileFileKind::Missing;
    std::uint64_t Device = 0;
    std::uint64_t Identity = 0;
    std::uint64_t Size = 0;
    std::int64_t ModifiedSeconds = 0;
    std::int64_t ModifiedFraction = 0;
    bool operator==(const ProfileFileStamp&) const = default;
};

// Follows links; Missing when nothing is there (or it cannot be examined).
ProfileFileStamp StampOfProfileFile(const std::string& path);

// Replaces the file's whole content in one step: a reader sees the old or the new
// file, never a mixture, and a crash leaves one of them. False when it cannot.
bool ReplaceProfileFile(const std::string& path, const std::string& content);

// A replacement is written under the file's name, a dot and this many letters or digits.
constexpr std::size_t TemporarySuffixLength = 6;
std::string TemporarySuffix();
bool IsTemporarySuffix(const std::string& suffix);

#pragma once

#include "device/ProfileLine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace detail {

struct SectionKey {
    std::uint32_t SectionLine = 0;
    std::string_view Key;
};

struct CaseInsensitiveHash {
    std::size_t operator()(std::string_view text) const;
    std::size_t operator()(const SectionKey& key) const;
};

struct CaseInsensitiveEqual {
    bool operator()(std::string_view a, std::string_view b) const;
    bool operator()(const SectionKey& a, const SectionKey& b) const;
};

} // namespace detail

// Hash index over loaded lines that answers exactly what a walk from the first
// line would: the first section line with a given text, and within the lines up
// to the next section line the first key line with a given key part. The views
// point into the lines' text, which must outlive the index.
class ProfileLineIndex {
public:
    void Build(const std::vector<ProfileLine>& lines);
    void Clear();

    // bracketedName as "[NAME]"; compared with the whole stored text in any case.
    std::optional<std::size_t> FindSection(std::string_view bracketedName) const;
    std::optional<std::size_t> FindKey(std::size_t sectionLine, std::string_view key) const;

private:
    std::unordered_map<std::string_view, std::uint32_t, detail::CaseInsensitiveHash, detail::CaseInsensitiveEqual>
        m_Sections;
    std::unordered_map<detail::SectionKey, std::uint32_t, detail::CaseInsensitiveHash, detail::CaseInsensitiveEqual>
        m_Keys;
};

// The key part of a key line: before the first "=" of the text without its comment.
std::optional<std::string_view> KeyPartOf(std::string_view lineText);

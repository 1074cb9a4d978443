#include "device/ProfileLineIndex.h"

#include "device/TextConversion.h"

#include <algorithm>
#include <bit>

namespace {

constexpr std::uint64_t FnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t FnvPrime = 1099511628211ULL;

// Final mix, so that linear probing sees well spread values.
std::uint64_t Mix(std::uint64_t value) {
    value ^= value >> 30;
    value *= 0xBF58476D1CE4E5B9ULL;
    value ^= value >> 27;
    value *= 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

std::uint64_t HashUpper(std::string_view text) {
    std::uint64_t hash = FnvOffset;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(ToUpperAscii(c));
        hash *= FnvPrime;
    }
    return Mix(hash);
}

std::uint64_t HashKey(std::size_t sectionLine, std::string_view key) {
    return Mix(HashUpper(key) ^ (static_cast<std::uint64_t>(sectionLine) * 0x9E3779B97F4A7C15ULL));
}

// Between a third and two thirds full, so probe runs stay short.
std::size_t TableSize(std::size_t entries) {
    return std::bit_ceil(entries + entries / 2 + 2);
}

std::uint32_t TagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32);
}

// Walks the probe run of hash until matches(slot) or a free slot; returns that slot.
template <typename Slots, typename Matches> auto& Probe(Slots& slots, std::uint64_t hash, Matches matches) {
    const std::size_t mask = slots.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        auto& slot = slots[i];
        if (slot.Line == 0 || (slot.Tag == tag && matches(slot))) {
            return slot;
        }
    }
}

} // namespace

bool ProfileLineIndex::KeyMatches(const ProfileLine& keyLine, std::string_view key) const {
    return keyLine.KeyLength == key.size() &&
           EqualsIgnoreCaseAscii(TextOf(keyLine).substr(0, key.size()), key);
}

void ProfileLineIndex::Build(const std::vector<ProfileLine>& lines, std::string_view text) {
    Clear();
    m_Lines = &lines;
    m_Text = text;
    std::vector<std::uint32_t> sectionLines;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Kind == ProfileLineKind::Section) {
            sectionLines.push_back(static_cast<std::uint32_t>(i));
        }
    }
    const auto sectionEnd = [&](std::size_t k) {
        return k + 1 < sectionLines.size() ? std::size_t{sectionLines[k + 1]} : lines.size();
    };
    const auto isLong = [&](std::size_t k) { return sectionEnd(k) - sectionLines[k] - 1 > ScanLimit; };

    std::size_t longSectionKeyCount = 0;
    for (std::size_t k = 0; k < sectionLines.size(); ++k) {
        if (!isLong(k)) {
            continue;
        }
        for (std::size_t i = sectionLines[k] + 1; i < sectionEnd(k); ++i) {
            longSectionKeyCount += lines[i].Kind == ProfileLineKind::Key ? 1 : 0;
        }
    }
    m_Sections.resize(TableSize(sectionLines.size()));
    m_Keys.resize(TableSize(longSectionKeyCount));

    // Lines are entered in file order and an equal entry already present wins, so
    // every look-up finds the first match.
    for (std::size_t k = 0; k < sectionLines.size(); ++k) {
        const std::uint32_t sectionLine = sectionLines[k];
        const std::string_view sectionText = TextOf(lines[sectionLine]);
        const std::uint64_t hash = HashUpper(sectionText);
        SectionSlot& slot = Probe(m_Sections, hash, [&](const SectionSlot& other) {
            return EqualsIgnoreCaseAscii(TextOf(lines[other.Line - 1]), sectionText);
        });
        if (slot.Line == 0) {
            slot = SectionSlot{TagOf(hash), sectionLine + 1};
        }
        if (isLong(k)) {
            HashKeysOfSection(sectionLine, sectionEnd(k));
        }
    }
}

void ProfileLineIndex::HashKeysOfSection(std::uint32_t sectionLine, std::size_t end) {
    const std::vector<ProfileLine>& lines = *m_Lines;
    for (std::size_t i = std::size_t{sectionLine} + 1; i < end; ++i) {
        if (lines[i].Kind != ProfileLineKind::Key) {
            continue;
        }
        const std::string_view key = TextOf(lines[i]).substr(0, lines[i].KeyLength);
        const std::uint64_t hash = HashKey(sectionLine, key);
        KeySlot& slot = Probe(m_Keys, hash, [&](const KeySlot& other) {
            return other.Section == sectionLine && KeyMatches(lines[other.Line - 1], key);
        });
        if (slot.Line == 0) {
            slot = KeySlot{TagOf(hash), static_cast<std::uint32_t>(i + 1), sectionLine};
        }
    }
}

void ProfileLineIndex::Clear() {
    m_Sections.clear();
    m_Sections.shrink_to_fit();
    m_Keys.clear();
    m_Keys.shrink_to_fit();
    m_Lines = nullptr;
    m_Text = {};
}

std::optional<std::size_t> ProfileLineIndex::FindSection(std::string_view bracketedName) const {
    if (m_Lines == nullptr) {
        return std::nullopt;
    }
    const SectionSlot& slot = Probe(m_Sections, HashUpper(bracketedName), [&](const SectionSlot& other) {
        return EqualsIgnoreCaseAscii(TextOf((*m_Lines)[other.Line - 1]), bracketedName);
    });
    if (slot.Line == 0) {
        return std::nullopt;
    }
    return slot.Line - 1;
}

std::optional<std::size_t> ProfileLineIndex::FindKey(std::size_t sectionLine, std::string_view key) const {
    if (m_Lines == nullptr) {
        return std::nullopt;
    }
    const std::vector<ProfileLine>& lines = *m_Lines;
    const std::size_t scanEnd = std::min(lines.size(), sectionLine + 1 + ScanLimit);
    for (std::size_t i = sectionLine + 1; i < scanEnd; ++i) {
        if (lines[i].Kind == ProfileLineKind::Section) {
            return std::nullopt;
        }
        if (lines[i].Kind == ProfileLineKind::Key && KeyMatches(lines[i], key)) {
            return i;
        }
    }
    const bool longSection = scanEnd < lines.size() && lines[scanEnd].Kind != ProfileLineKind::Section;
    if (!longSection) {
        return std::nullopt;
    }
    const KeySlot& slot = Probe(m_Keys, HashKey(sectionLine, key), [&](const KeySlot& other) {
        return other.Section == sectionLine && KeyMatches(lines[other.Line - 1], key);
    });
    if (slot.Line == 0) {
        return std::nullopt;
    }
    return slot.Line - 1;
}

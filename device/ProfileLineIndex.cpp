#include "device/ProfileLineIndex.h"

#include "device/TextConversion.h"

namespace {

constexpr std::uint64_t FnvOffset = 14695981039346656037ULL;
constexpr std::uint64_t FnvPrime = 1099511628211ULL;

std::uint64_t HashUpper(std::string_view text, std::uint64_t hash) {
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(ToUpperAscii(c));
        hash *= FnvPrime;
    }
    return hash;
}

} // namespace

namespace detail {

std::size_t CaseInsensitiveHash::operator()(std::string_view text) const {
    return static_cast<std::size_t>(HashUpper(text, FnvOffset));
}

std::size_t CaseInsensitiveHash::operator()(const SectionKey& key) const {
    std::uint64_t hash = FnvOffset;
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= (key.SectionLine >> shift) & 0xFFU;
        hash *= FnvPrime;
    }
    return static_cast<std::size_t>(HashUpper(key.Key, hash));
}

bool CaseInsensitiveEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualsIgnoreCaseAscii(a, b);
}

bool CaseInsensitiveEqual::operator()(const SectionKey& a, const SectionKey& b) const {
    return a.SectionLine == b.SectionLine && EqualsIgnoreCaseAscii(a.Key, b.Key);
}

} // namespace detail

std::optional<std::string_view> KeyPartOf(std::string_view lineText) {
    const std::string_view withoutComment = lineText.substr(0, lineText.find(';'));
    const std::size_t equals = withoutComment.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return withoutComment.substr(0, equals);
}

void ProfileLineIndex::Build(const std::vector<ProfileLine>& lines) {
    Clear();
    m_Keys.reserve(lines.size());
    std::optional<std::uint32_t> currentSection;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ProfileLine& line = lines[i];
        const auto lineNumber = static_cast<std::uint32_t>(i);
        if (line.Kind == ProfileLineKind::Section) {
            m_Sections.try_emplace(line.Text, lineNumber);
            currentSection = lineNumber;
        } else if (line.Kind == ProfileLineKind::Key && currentSection) {
            if (const auto key = KeyPartOf(line.Text)) {
                m_Keys.try_emplace(detail::SectionKey{*currentSection, *key}, lineNumber);
            }
        }
    }
}

void ProfileLineIndex::Clear() {
    m_Sections.clear();
    m_Keys.clear();
}

std::optional<std::size_t> ProfileLineIndex::FindSection(std::string_view bracketedName) const {
    const auto found = m_Sections.find(bracketedName);
    if (found == m_Sections.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::size_t> ProfileLineIndex::FindKey(std::size_t sectionLine, std::string_view key) const {
    const auto found = m_Keys.find(detail::SectionKey{static_cast<std::uint32_t>(sectionLine), key});
    if (found == m_Keys.end()) {
        return std::nullopt;
    }
    return found->second;
}

#include "device/ProfileFile.h"

#include "device/TextConversion.h"

#include <cstdio>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads at most limit + 1 bytes, so that an oversized file is noticed without reading it all.
bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& text) {
    const FileHandle file{std::fopen(path.c_str(), "rb")};
    if (!file) {
        return false;
    }
    char chunk[65536];
    while (text.size() <= limit) {
        const std::size_t count = std::fread(chunk, 1, sizeof chunk, file.get());
        text.append(chunk, count);
        if (count < sizeof chunk) {
            break;
        }
    }
    return !std::ferror(file.get()) && text.size() <= limit;
}

// Text-mode reading turns each CR LF into LF; a lone CR stays.
void ConvertLineEnds(std::string& text) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n') {
            continue;
        }
        text[out++] = text[in];
    }
    text.resize(out);
}

ProfileLineKind Classify(std::string_view text) {
    const std::string_view withoutComment = text.substr(0, text.find(';'));
    if (withoutComment.find('[') != std::string_view::npos && withoutComment.find(']') != std::string_view::npos) {
        return ProfileLineKind::Section;
    }
    return withoutComment.find('=') != std::string_view::npos ? ProfileLineKind::Key : ProfileLineKind::Other;
}

} // namespace

int ProfileFile::LoadFile(const std::string& path) {
    FreeLines();
    const std::string_view cPath = CText(path);
    if (cPath.empty()) {
        return 0;
    }
    try {
        if (!ReadWholeFile(std::string(cPath), MaxFileSize, m_Text)) {
            FreeLines();
            return 0;
        }
        ConvertLineEnds(m_Text);
        SplitIntoLines();
        m_Index.Build(m_Lines);
    } catch (const std::bad_alloc&) {
        FreeLines();
        return 0;
    } catch (const std::length_error&) {
        FreeLines();
        return 0;
    }
    return 1;
}

// Pieces as a 256-byte line buffer reads them: up to and including a line feed,
// at most MaxPieceLength characters. A NUL ends the stored text of its piece.
void ProfileFile::SplitIntoLines() {
    const std::string_view text(m_Text);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t length = std::min(MaxPieceLength, text.size() - start);
        const std::size_t lineFeed = text.substr(start, length).find('\n');
        if (lineFeed != std::string_view::npos) {
            length = lineFeed + 1;
        }
        std::string_view stored = text.substr(start, length);
        stored = stored.substr(0, stored.find('\n'));
        stored = stored.substr(0, stored.find('\0'));
        m_Lines.push_back(ProfileLine{Classify(stored), stored});
        start += length;
    }
}

void ProfileFile::CloseFile() {
    FreeLines();
}

void ProfileFile::FreeLines() {
    m_Index.Clear();
    m_Lines.clear();
    m_Lines.shrink_to_fit();
    m_Text.clear();
    m_Text.shrink_to_fit();
}

const ProfileLine* ProfileFile::FindSection(const std::string& name) const {
    const std::string bracketed = "[" + std::string(CText(name)) + "]";
    const auto found = m_Index.FindSection(bracketed);
    return found ? &m_Lines[*found] : nullptr;
}

bool ProfileFile::FindKey(const std::string& section, const std::string& key, KeyLookup& lookup) const {
    lookup = KeyLookup{};
    lookup.SectionLine = FindSection(section);
    if (lookup.SectionLine == nullptr) {
        return false;
    }
    const auto sectionNumber = static_cast<std::size_t>(lookup.SectionLine - m_Lines.data());
    const auto found = m_Index.FindKey(sectionNumber, CText(key));
    if (!found) {
        return false;
    }
    const ProfileLine& line = m_Lines[*found];
    const std::size_t semicolon = line.Text.find(';');
    const std::string_view withoutComment = line.Text.substr(0, semicolon);
    const std::size_t equals = withoutComment.find('=');
    lookup.KeyLine = &line;
    lookup.Key = withoutComment.substr(0, equals);
    lookup.Value = withoutComment.substr(equals + 1);
    if (semicolon != std::string_view::npos) {
        lookup.Comment = line.Text.substr(semicolon);
    }
    return true;
}

std::string ProfileFile::GetString(const std::string& section, const std::string& key,
                                   const std::string& defaultText) const {
    KeyLookup lookup;
    return FindKey(section, key, lookup) ? lookup.Value : defaultText;
}

int ProfileFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    KeyLookup lookup;
    return FindKey(section, key, lookup) ? ParseLeadingInt(lookup.Value) : defaultValue;
}

double ProfileFile::GetDouble(const std::string& section, const std::string& key, double defaultValue) const {
    KeyLookup lookup;
    if (!FindKey(section, key, lookup)) {
        return defaultValue;
    }
    return ParseLeadingDouble(lookup.Value).value_or(defaultValue);
}

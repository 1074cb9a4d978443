#include "device/ProfileFile.h"

#include "device/TextConversion.h"
#include "platform/FileContent.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// Reads the whole file, if it is a regular file of at most `limit` bytes (a fifo or
// device is never waited for; the path is UTF-8 on every system). Notes where the
// first CR is.
bool ReadWholeFile(const std::string& path, std::size_t limit, std::string& text, std::size_t& firstCr) {
    if (!ReadFileContent(path, limit, text))
        return false;
    const auto cr = text.find('\r');
    firstCr = cr == std::string::npos ? std::string::npos : cr;
    return true;
}

// Text-mode reading turns each CR LF into LF; a lone CR stays.
void ConvertLineEnds(std::string& text, std::size_t firstCr) {
    std::size_t out = firstCr;
    std::size_t in = firstCr;
    while (in < text.size()) {
        const std::size_t cr = std::min(text.find('\r', in), text.size());
        std::memmove(text.data() + out, text.data() + in, cr - in);
        out += cr - in;
        in = cr;
        if (in < text.size()) {
            const bool crLf = in + 1 < text.size() && text[in + 1] == '\n';
            if (!crLf) {
                text[out++] = '\r';
            }
            ++in;
        }
    }
    text.resize(out);
}

// Pieces as a 256-byte line buffer reads them: up to and including a line feed,
// at most MaxPieceLength characters. Stops early when visit returns false.
template <typename Visit> void ForEachPiece(std::string_view text, Visit visit) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t length = std::min(ProfileFile::MaxPieceLength, text.size() - start);
        const std::size_t lineFeed = text.substr(start, length).find('\n');
        if (lineFeed != std::string_view::npos) {
            length = lineFeed + 1;
        }
        if (!visit(text.substr(start, length))) {
            return;
        }
        start += length;
    }
}

// Brackets and "=" count only before the comment.
ProfileLine MakeLine(std::string_view text, std::size_t offset, std::size_t length) {
    const std::string_view stored = text.substr(offset, length);
    ProfileLine line{static_cast<std::uint32_t>(offset), static_cast<std::uint8_t>(length), 0,
                     ProfileLineKind::Other};
    const std::string_view withoutComment = stored.substr(0, stored.find(';'));
    const std::size_t equals = withoutComment.find('=');
    if (withoutComment.find('[') != std::string_view::npos &&
        withoutComment.find(']') != std::string_view::npos) {
        line.Kind = ProfileLineKind::Section;
    } else if (equals != std::string_view::npos) {
        line.Kind = ProfileLineKind::Key;
        line.KeyLength = static_cast<std::uint8_t>(equals);
    }
    return line;
}

} // namespace

int ProfileFile::LoadFile(const std::string& path) {
    FreeLines();
    const std::string_view cPath = CText(path);
    if (cPath.empty()) {
        return 0;
    }
    try {
        std::size_t firstCr = std::string::npos;
        if (ReadWholeFile(std::string(cPath), MaxFileSize, m_Text, firstCr)) {
            if (firstCr != std::string::npos) {
                ConvertLineEnds(m_Text, firstCr);
            }
            if (SplitIntoLines()) {
                m_Index.Build(m_Lines, m_Text);
                return 1;
            }
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    FreeLines();
    return 0;
}

bool ProfileFile::SplitIntoLines() {
    // A guess of one line per 16 characters saves most regrowth and never reserves
    // more than half the file's size.
    m_Lines.reserve(std::min(MaxLineCount, m_Text.size() / 16 + 16));
    const std::string_view text(m_Text);
    bool withinLimit = true;
    // The stored text of a piece ends at its line feed or at a NUL, whichever comes first.
    ForEachPiece(text, [&](std::string_view piece) {
        if (m_Lines.size() == MaxLineCount) {
            withinLimit = false;
            return false;
        }
        const std::size_t length = std::min({piece.find('\n'), piece.find('\0'), piece.size()});
        m_Lines.push_back(MakeLine(text, static_cast<std::size_t>(piece.data() - text.data()), length));
        return true;
    });
    return withinLimit;
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

bool ProfileFile::OwnsSectionLine(const ProfileLine& line) const {
    const ProfileLine* first = m_Lines.data();
    return &line >= first && &line < first + m_Lines.size() && line.Kind == ProfileLineKind::Section;
}

const ProfileLine* ProfileFile::FindKeyLine(const ProfileLine& sectionLine, const std::string& key) const {
    if (!OwnsSectionLine(sectionLine)) {
        return nullptr;
    }
    const auto found = m_Index.FindKey(static_cast<std::size_t>(&sectionLine - m_Lines.data()), CText(key));
    return found ? &m_Lines[*found] : nullptr;
}

std::string_view ProfileFile::ValueOf(const ProfileLine& keyLine) const {
    const std::string_view text = LineText(keyLine);
    const std::string_view withoutComment = text.substr(0, text.find(';'));
    return withoutComment.substr(std::size_t{keyLine.KeyLength} + 1);
}

bool ProfileFile::FindKey(const std::string& section, const std::string& key, KeyLookup& lookup) const {
    const ProfileLine* sectionLine = FindSection(section);
    if (sectionLine == nullptr) {
        lookup = KeyLookup{};
        return false;
    }
    return FindKey(*sectionLine, key, lookup);
}

bool ProfileFile::FindKey(const ProfileLine& sectionLine, const std::string& key, KeyLookup& lookup) const {
    lookup = KeyLookup{};
    if (!OwnsSectionLine(sectionLine)) {
        return false;
    }
    lookup.SectionLine = &sectionLine;
    lookup.KeyLine = FindKeyLine(sectionLine, key);
    if (lookup.KeyLine == nullptr) {
        return false;
    }
    const std::string_view text = LineText(*lookup.KeyLine);
    const std::size_t semicolon = text.find(';');
    lookup.Key = text.substr(0, lookup.KeyLine->KeyLength);
    lookup.Value = ValueOf(*lookup.KeyLine);
    if (semicolon != std::string_view::npos) {
        lookup.Comment = text.substr(semicolon);
    }
    return true;
}

std::string ProfileFile::GetString(const std::string& section, const std::string& key,
                                   const std::string& defaultText) const {
    const ProfileLine* sectionLine = FindSection(section);
    return sectionLine != nullptr ? GetString(*sectionLine, key, defaultText) : defaultText;
}

std::string ProfileFile::GetString(const ProfileLine& sectionLine, const std::string& key,
                                   const std::string& defaultText) const {
    const ProfileLine* keyLine = FindKeyLine(sectionLine, key);
    return keyLine != nullptr ? std::string(ValueOf(*keyLine)) : defaultText;
}

int ProfileFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    const ProfileLine* sectionLine = FindSection(section);
    return sectionLine != nullptr ? GetInt(*sectionLine, key, defaultValue) : defaultValue;
}

int ProfileFile::GetInt(const ProfileLine& sectionLine, const std::string& key, int defaultValue) const {
    const ProfileLine* keyLine = FindKeyLine(sectionLine, key);
    return keyLine != nullptr ? ParseLeadingInt(ValueOf(*keyLine)) : defaultValue;
}

double ProfileFile::GetDouble(const std::string& section, const std::string& key, double defaultValue) const {
    const ProfileLine* sectionLine = FindSection(section);
    const ProfileLine* keyLine = sectionLine != nullptr ? FindKeyLine(*sectionLine, key) : nullptr;
    return keyLine != nullptr ? ParseLeadingDouble(ValueOf(*keyLine)).value_or(defaultValue) : defaultValue;
}

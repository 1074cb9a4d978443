// The indexed look-ups must give exactly what a walk over the lines from the top
// gives. The walk below is written straight from the reader's rules and compared
// with the index on many generated files full of duplicates, comments and brackets.
#include "device/ProfileFile.h"
#include "tests/device/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

ProfileLineKind KindOf(const std::string& text) {
    const std::string cut = text.substr(0, text.find(';'));
    if (cut.find('[') != std::string::npos && cut.find(']') != std::string::npos) {
        return ProfileLineKind::Section;
    }
    return cut.find('=') != std::string::npos ? ProfileLineKind::Key : ProfileLineKind::Other;
}

struct WalkResult {
    int SectionLine = -1;
    int KeyLine = -1;
    std::string Value;
    std::string Comment;
};

WalkResult Walk(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
    WalkResult result;
    const std::string wanted = Upper("[" + section + "]");
    for (std::size_t i = 0; i < lines.size() && result.SectionLine < 0; ++i) {
        if (KindOf(lines[i]) == ProfileLineKind::Section && Upper(lines[i]) == wanted) {
            result.SectionLine = static_cast<int>(i);
        }
    }
    if (result.SectionLine < 0) {
        return result;
    }
    for (std::size_t i = static_cast<std::size_t>(result.SectionLine) + 1; i < lines.size(); ++i) {
        const ProfileLineKind kind = KindOf(lines[i]);
        if (kind == ProfileLineKind::Section) {
            break;
        }
        if (kind != ProfileLineKind::Key) {
            continue;
        }
        std::string copy = lines[i];
        std::string comment;
        if (const auto semicolon = copy.find(';'); semicolon != std::string::npos) {
            comment = copy.substr(semicolon);
            copy.resize(semicolon);
        }
        const auto equals = copy.find('=');
        if (Upper(copy.substr(0, equals)) == Upper(key)) {
            result.KeyLine = static_cast<int>(i);
            result.Value = copy.substr(equals + 1);
            result.Comment = comment;
            break;
        }
    }
    return result;
}

std::string RandomName(std::mt19937& random) {
    static const std::vector<std::string> names = {"a", "A", "b", "B", "ab", "Ab", "a ", " b", "", "a]", "[b"};
    return names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)];
}

std::string RandomLine(std::mt19937& random) {
    switch (std::uniform_int_distribution<int>(0, 6)(random)) {
    case 0:
    case 1:
        return "[" + RandomName(random) + "]";
    case 2:
        return "[" + RandomName(random) + "] ;" + RandomName(random);
    case 3:
    case 4:
        return RandomName(random) + "=" + RandomName(random);
    case 5:
        return RandomName(random) + "=v;" + RandomName(random) + "=[x]";
    default:
        return RandomName(random) + RandomName(random);
    }
}

TEST(ProfileIndexAgreementTest, IndexedLookupsEqualAWalkFromTheTop) {
    TemporaryDirectory directory;
    std::mt19937 random(20240611);
    for (int file = 0; file < 200; ++file) {
        std::string text;
        const int lineCount = std::uniform_int_distribution<int>(0, 40)(random);
        for (int i = 0; i < lineCount; ++i) {
            text += RandomLine(random) + "\n";
        }
        ProfileFile profile;
        ASSERT_EQ(profile.LoadFile(directory.Write("random.ini", text)), 1);
        std::vector<std::string> lines;
        for (const ProfileLine& line : profile.Lines()) {
            lines.emplace_back(line.Text);
            ASSERT_EQ(line.Kind, KindOf(lines.back()));
        }
        for (int query = 0; query < 50; ++query) {
            const std::string section = RandomName(random);
            const std::string key = RandomName(random);
            const WalkResult expected = Walk(lines, section, key);
            KeyLookup lookup;
            const bool found = profile.FindKey(section, key, lookup);
            const auto lineNumber = [&profile](const ProfileLine* line) {
                return line == nullptr ? -1 : static_cast<int>(line - profile.Lines().data());
            };
            SCOPED_TRACE("file:\n" + text + "section '" + section + "' key '" + key + "'");
            ASSERT_EQ(lineNumber(profile.FindSection(section)), expected.SectionLine);
            ASSERT_EQ(lineNumber(lookup.SectionLine), expected.SectionLine);
            ASSERT_EQ(found, expected.KeyLine >= 0);
            ASSERT_EQ(lineNumber(lookup.KeyLine), expected.KeyLine);
            if (found) {
                ASSERT_EQ(lookup.Value, expected.Value);
                ASSERT_EQ(lookup.Comment, expected.Comment);
                ASSERT_EQ(Upper(lookup.Key), Upper(key));
            }
        }
    }
}

} // namespace

// The indexed look-ups must give exactly what a walk over the lines from the top
// gives. The walk below follows the reader's rules literally and is compared with
// the index on generated files full of duplicates, comments and brackets.
#include "device/ProfileFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return text;
}

ProfileLineKind KindOf(const std::string& text) {
    const std::string cut = text.substr(0, text.find(';'));
    if (cut.find('[') != std::string::npos && cut.find(']') != std::string::npos) {
        return ProfileLineKind::Section;
    }
    return cut.find('=') != std::string::npos ? ProfileLineKind::Key : ProfileLineKind::Other;
}

// Line numbers of the section and key found (-1 for none) and the key line's text.
std::tuple<int, int, std::string> Walk(const std::vector<std::string>& lines, const std::string& section,
                                       const std::string& key) {
    int sectionLine = 0;
    while (sectionLine < static_cast<int>(lines.size()) &&
           !(KindOf(lines[sectionLine]) == ProfileLineKind::Section &&
             Upper(lines[sectionLine]) == Upper("[" + section + "]"))) {
        ++sectionLine;
    }
    if (sectionLine == static_cast<int>(lines.size())) {
        return {-1, -1, ""};
    }
    for (int i = sectionLine + 1; i < static_cast<int>(lines.size()); ++i) {
        const ProfileLineKind kind = KindOf(lines[i]);
        if (kind == ProfileLineKind::Section) {
            break;
        }
        const std::string cut = lines[i].substr(0, lines[i].find(';'));
        if (kind == ProfileLineKind::Key && Upper(cut.substr(0, cut.find('='))) == Upper(key)) {
            return {sectionLine, i, lines[i]};
        }
    }
    return {sectionLine, -1, ""};
}

// Names to be looked up; "manyKeys" gives so many distinct keys that in long
// sections many first appear, and again, beyond the lines the index scans.
std::string RandomName(std::mt19937& random, bool manyKeys) {
    static const std::vector<std::string> names = {"a",  "A",  "b", "B",  "ab", "Ab",
                                                   "a ", " b", "",  "a]", "[b"};
    if (manyKeys) {
        const int number = std::uniform_int_distribution<int>(0, 150)(random);
        return (number % 2 == 0 ? "k" : "K") + std::to_string(number / 2);
    }
    return names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)];
}

std::string RandomLine(std::mt19937& random, int sectionPercent, bool manyKeys) {
    const auto name = [&random] { return RandomName(random, false); };
    if (std::uniform_int_distribution<int>(0, 99)(random) < sectionPercent) {
        return std::uniform_int_distribution<int>(0, 2)(random) == 0 ? "[" + name() + "] ;" + name()
                                                                     : "[" + name() + "]";
    }
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
    case 0:
    case 1:
        return RandomName(random, manyKeys) + "=" + name();
    case 2:
        return RandomName(random, manyKeys) + "=v;" + name() + "=[x]";
    default:
        return name() + name();
    }
}

void ExpectAgreement(unsigned seed, int fileCount, int maxLines, int sectionPercent, bool manyKeys) {
    std::mt19937 random(seed);
    TempFolder directory;
    for (int file = 0; file < fileCount; ++file) {
        std::string text;
        for (int i = std::uniform_int_distribution<int>(0, maxLines)(random); i > 0; --i) {
            text += RandomLine(random, sectionPercent, manyKeys) + "\n";
        }
        ProfileFile profile;
        ASSERT_EQ(profile.LoadFile(directory.Write("random.ini", text)), 1);
        std::vector<std::string> lines;
        for (const ProfileLine& line : profile.Lines()) {
            lines.emplace_back(profile.LineText(line));
            ASSERT_EQ(line.Kind, KindOf(lines.back()));
        }
        const auto lineNumber = [&profile](const ProfileLine* line) {
            return line == nullptr ? -1 : static_cast<int>(line - profile.Lines().data());
        };
        for (int query = 0; query < 50; ++query) {
            const std::string section = RandomName(random, false);
            const std::string key = RandomName(random, manyKeys);
            const auto [sectionLine, keyLine, keyText] = Walk(lines, section, key);
            KeyLookup lookup;
            const bool found = profile.FindKey(section, key, lookup);
            ASSERT_EQ(lineNumber(profile.FindSection(section)), sectionLine) << text << section;
            ASSERT_EQ(lineNumber(lookup.SectionLine), sectionLine);
            ASSERT_EQ(lineNumber(lookup.KeyLine), keyLine) << text << section << "/" << key;
            ASSERT_EQ(found, keyLine >= 0);
            ASSERT_EQ(found ? lookup.Key + "=" + lookup.Value + lookup.Comment : "", keyText);
        }
    }
}

TEST(ProfileIndexAgreementTest, ShortAndLongSectionsAgreeWithAWalkFromTheTop) {
    ExpectAgreement(20240611, 300, 40, 30, false);
    ExpectAgreement(4711, 200, 4 * static_cast<int>(ProfileLineIndex::ScanLimit), 1, true);
}

TEST(ProfileIndexAgreementTest, KeysAroundTheScanLimitAreFound) {
    TempFolder directory;
    for (const std::size_t fillers : {ProfileLineIndex::ScanLimit - 1, ProfileLineIndex::ScanLimit,
                                      ProfileLineIndex::ScanLimit + 1, 3 * ProfileLineIndex::ScanLimit}) {
        std::string text = "[S]\n";
        for (std::size_t i = 0; i < fillers; ++i) {
            text += "filler" + std::to_string(i % 7) + "=x\n";
        }
        ProfileFile profile;
        ASSERT_EQ(profile.LoadFile(
                      directory.Write("long.ini", text + "Wanted=yes\nWANTED=again\n[T]\nWanted=no\n")),
                  1);
        EXPECT_EQ(profile.GetString("S", "Wanted", "-"), "yes") << fillers;
        EXPECT_EQ(profile.GetString("S", "Missing", "-"), "-") << fillers;
        EXPECT_EQ(profile.GetString("T", "Wanted", "-"), "no") << fillers;
    }
}

} // namespace

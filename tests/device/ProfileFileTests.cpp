#include "device/ProfileFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

class ProfileFileTest : public testing::Test {
protected:
    // A name beyond ASCII: paths are UTF-8 on every system.
    void Load(std::string_view text) {
        ASSERT_EQ(m_Profile.LoadFile(m_Directory.Write("Prüfstand.ini", text)), 1);
    }
    std::string Get(const std::string& section, const std::string& key) const {
        return m_Profile.GetString(section, key, "<default>");
    }

    TempFolder m_Directory;
    ProfileFile m_Profile;
};

TEST_F(ProfileFileTest, FailedLoadsLeaveNothingLoaded) {
    std::string big = "[S]\nA=1\n";
    while (big.size() <= ProfileFile::MaxFileSize) {
        big += std::string(199, 'x') + "\n";
    }
    std::string manyLines = "[S]\nA=1\n" + std::string(ProfileFile::MaxLineCount - 1, '\n');
    const std::vector<std::string> paths = {"", m_Directory.File("missing"), m_Directory.Path(),
                                            m_Directory.Write("big", big),
                                            m_Directory.Write("lines", manyLines)};
    for (const std::string& path : paths) {
        Load("[S]\nA=1\n");
        EXPECT_EQ(m_Profile.LoadFile(path), 0) << path;
        EXPECT_TRUE(m_Profile.Lines().empty());
        EXPECT_EQ(Get("S", "A"), "<default>");
    }
    big.resize(ProfileFile::MaxFileSize);
    manyLines.pop_back();
    for (const std::string& text : {big, manyLines}) {
        Load(text);
        EXPECT_EQ(Get("S", "A"), "1") << "just within the limits";
    }
}

TEST_F(ProfileFileTest, LinesAreStoredAsPiecesOfAtMost254CharactersWithTheirKinds) {
    Load(std::string(300, 'a') + "\n" + std::string(254, 'b') +
         "\n[A]\r\n]x[\nK=V\nU=[mm]\n;[C]=1\nK3=1;[c]\n" + "[B] ;note\ncr\rlone\nN\0=1\nend"s);
    using Kind = ProfileLineKind;
    const std::vector<std::pair<std::string, Kind>> expected = {
        {std::string(254, 'a'), Kind::Other},
        {std::string(46, 'a'), Kind::Other},
        {std::string(254, 'b'), Kind::Other},
        {"", Kind::Other}, // the line feed after a full piece
        {"[A]", Kind::Section},
        {"]x[", Kind::Section},
        {"K=V", Kind::Key},
        {"U=[mm]", Kind::Section},
        {";[C]=1", Kind::Other},
        {"K3=1;[c]", Kind::Key},
        {"[B] ;note", Kind::Section},
        {"cr\rlone", Kind::Other},
        {"N", Kind::Other}, // a NUL ends the text
        {"end", Kind::Other}};
    ASSERT_EQ(m_Profile.Lines().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m_Profile.LineText(m_Profile.Lines()[i]), expected[i].first) << i;
        EXPECT_EQ(m_Profile.Lines()[i].Kind, expected[i].second) << i;
    }
}

TEST_F(ProfileFileTest, CrLfEndsAfterTheFirstReadChunkAreConvertedToo) {
    Load(std::string(70000, '\n') + "[A]\r\nK=V\r\r\nL=W\r\n");
    EXPECT_EQ(Get("A", "K"), "V\r") << "only the CR before the LF goes";
    EXPECT_EQ(Get("A", "L"), "W");
}

TEST_F(ProfileFileTest, LookupsFindTheFirstMatchWithoutTrimming) {
    const std::string longKey(200, 'k');
    Load(
        "Before=1\n[general]\nName = spaced\nname=abc\nValue= lead\nKEY=first\nkey=second\nEq=a=b\nNul=ab\0cd\n"s +
        "[GENERAL]\nOnlyInSecond=1\n[T] ;comment\nHidden=1\n[U]\nUnit=[mm]\nAfterUnit=1\n[V]\n" + longKey +
        "=long\nL=" + std::string(300, 'w') + "\n");
    const struct {
        std::string Section, Key, Expected;
    } cases[] = {
        {"GENERAL", "Name", "abc"},
        {"GENERAL", "Name ", " spaced"},
        {"General", "VALUE", " lead"},
        {"GENERAL", "Key", "first"},
        {"GENERAL", "Eq", "a=b"},
        {"GENERAL", "Nul", "ab"},
        {"GENERAL", "OnlyInSecond", "<default>"}, // the second equal section is never searched
        {"GENERAL", "Hidden", "<default>"},       // a commented section line ends the section...
        {"T", "Hidden", "<default>"},             // ...and is never found
        {"U", "Unit", "<default>"},               // a bracketed value makes a section line
        {"U", "AfterUnit", "<default>"},          // which ends the section
        {"", "Before", "<default>"},              // keys before the first section
        {"V", longKey, "long"},
        {"V", longKey.substr(0, 127), "<default>"},
        {"V", "L", std::string(252, 'w')},
        {"GENERAL\0ignored"s, "Key\0ignored"s, "first"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Get(c.Section, c.Key), c.Expected) << "[" << c.Section << "] " << c.Key;
    }
}

TEST_F(ProfileFileTest, FindKeyGivesTheMatchingLinesOwnParts) {
    Load("[S]\nwithNote=12;note=x\nPlain=a\n");
    KeyLookup lookup;
    ASSERT_TRUE(m_Profile.FindKey("s", "WITHNOTE", lookup));
    EXPECT_EQ(lookup.SectionLine, &m_Profile.Lines()[0]);
    EXPECT_EQ(lookup.KeyLine, &m_Profile.Lines()[1]);
    EXPECT_EQ(lookup.Key + "|" + lookup.Value + "|" + lookup.Comment, "withNote|12|;note=x");
    ASSERT_TRUE(m_Profile.FindKey("S", "Plain", lookup));
    EXPECT_EQ(lookup.Comment, "") << "no comment left over from an earlier look-up";
    EXPECT_FALSE(m_Profile.FindKey("S", "none", lookup));
    EXPECT_EQ(lookup.KeyLine, nullptr);
    EXPECT_EQ(lookup.Key + lookup.Value + lookup.Comment, "");

    const ProfileLine foreign{0, 3, 0, ProfileLineKind::Section};
    EXPECT_FALSE(m_Profile.FindKey(foreign, "Plain", lookup)) << "only section lines of this file";
    EXPECT_EQ(m_Profile.GetString(m_Profile.Lines()[1], "Plain", "-"), "-");
}

TEST_F(ProfileFileTest, NumbersReadLikeTheCLibraryAndSaturate) {
    Load("[S]\nDigitLetters=7abc\nEmpty=\nBlanks=  -12\nHuge=99999999999\nTiny=-99999999999\nText=abc\n"
         "Exp=1.5E+03\nLead=  2.5kHz\n");
    EXPECT_EQ(m_Profile.GetInt("S", "DigitLetters", -1), 7);
    EXPECT_EQ(m_Profile.GetInt("S", "Empty", -1), 0) << "an empty value is found, not defaulted";
    EXPECT_EQ(m_Profile.GetInt("S", "Blanks", -1), -12);
    EXPECT_EQ(m_Profile.GetInt("S", "Huge", -1), 2147483647);
    EXPECT_EQ(m_Profile.GetInt("S", "Tiny", -1), -2147483647 - 1);
    EXPECT_EQ(m_Profile.GetInt("S", "Text", -1), 0);
    EXPECT_EQ(m_Profile.GetInt("S", "Missing", -3), -3);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Exp", -1.0), 1500.0);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Lead", -1.0), 2.5);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Empty", -1.0), -1.0);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Text", -1.0), -1.0);
    EXPECT_EQ(m_Profile.GetDouble("S", "Missing", 1.0 / 3.0), 1.0 / 3.0) << "the default unchanged";
}

} // namespace

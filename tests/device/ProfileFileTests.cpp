#include "device/ProfileFile.h"
#include "tests/device/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ProfileFileTest : public testing::Test {
protected:
    // Loads the text as a file and expects the load to succeed.
    void Load(std::string_view text) {
        ASSERT_EQ(m_Profile.LoadFile(m_Directory.Write("profile.ini", text)), 1);
    }

    TemporaryDirectory m_Directory;
    ProfileFile m_Profile;
};

TEST_F(ProfileFileTest, LoadFailuresLeaveNothingLoadedAndDefaultsAnswer) {
    Load("[S]\nKey=1\n");
    EXPECT_EQ(m_Profile.LoadFile(""), 0);
    EXPECT_TRUE(m_Profile.Lines().empty());
    EXPECT_EQ(m_Profile.GetString("S", "Key", "dflt"), "dflt");

    Load("[S]\nKey=1\n");
    EXPECT_EQ(m_Profile.LoadFile((m_Directory.Path() / "missing.ini").string()), 0);
    EXPECT_EQ(m_Profile.GetInt("S", "Key", 7), 7);

    Load("[S]\nKey=1\n");
    EXPECT_EQ(m_Profile.LoadFile(m_Directory.Path().string()), 0) << "a directory is no file";
    EXPECT_EQ(m_Profile.FindSection("S"), nullptr);
}

TEST_F(ProfileFileTest, LinesAreStoredInPiecesOfAtMost254Characters) {
    Load(std::string(300, 'a') + "\n" + std::string(254, 'b') + "\nend");
    const auto& lines = m_Profile.Lines();
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(lines[0].Text, std::string(254, 'a'));
    EXPECT_EQ(lines[1].Text, std::string(46, 'a'));
    EXPECT_EQ(lines[2].Text, std::string(254, 'b'));
    EXPECT_EQ(lines[3].Text, "") << "the line feed after a full piece is read as a line of its own";
    EXPECT_EQ(lines[4].Text, "end") << "the last line needs no line feed";
}

TEST_F(ProfileFileTest, LineKindsFollowBracketsAndEqualsOutsideTheComment) {
    Load("[A]\n]x[\nK=V\nplain\nK2=[unit]\n;[C]=1\nK3=1;[c]\n[B] ;note\n");
    const auto& lines = m_Profile.Lines();
    ASSERT_EQ(lines.size(), 8U);
    EXPECT_EQ(lines[0].Kind, ProfileLineKind::Section);
    EXPECT_EQ(lines[1].Kind, ProfileLineKind::Section) << "brackets in any order";
    EXPECT_EQ(lines[2].Kind, ProfileLineKind::Key);
    EXPECT_EQ(lines[3].Kind, ProfileLineKind::Other);
    EXPECT_EQ(lines[4].Kind, ProfileLineKind::Section) << "a bracketed unit makes a section line";
    EXPECT_EQ(lines[5].Kind, ProfileLineKind::Other) << "everything in the comment is ignored";
    EXPECT_EQ(lines[6].Kind, ProfileLineKind::Key);
    EXPECT_EQ(lines[7].Kind, ProfileLineKind::Section);
    EXPECT_EQ(lines[7].Text, "[B] ;note") << "the comment is kept in the stored text";
}

TEST_F(ProfileFileTest, CrLfEndsReadAsLineFeedsButLoneCarriageReturnsStay) {
    Load("[GENERAL]\r\nName=abc\r\nOther=x\ry\r\n");
    EXPECT_NE(m_Profile.FindSection("GENERAL"), nullptr);
    EXPECT_EQ(m_Profile.GetString("GENERAL", "Name", "-"), "abc");
    EXPECT_EQ(m_Profile.GetString("GENERAL", "Other", "-"), "x\ry");
}

TEST_F(ProfileFileTest, SectionsMatchTheWholeStoredLineInAnyCase) {
    Load("[general]\nA=1\n[Spaced] \nB=2\n[Commented] ;c\nC=3\n [Lead]\nD=4\n");
    EXPECT_NE(m_Profile.FindSection("GENERAL"), nullptr);
    EXPECT_NE(m_Profile.FindSection("General"), nullptr);
    EXPECT_EQ(m_Profile.FindSection("Spaced"), nullptr);
    EXPECT_EQ(m_Profile.FindSection("Commented"), nullptr);
    EXPECT_EQ(m_Profile.FindSection("Lead"), nullptr);
    EXPECT_EQ(m_Profile.FindSection("Missing"), nullptr);
}

TEST_F(ProfileFileTest, TheFirstOfTwoEqualSectionsCounts) {
    Load("[S]\nA=first\n[s]\nA=second\nB=only-in-second\n");
    EXPECT_EQ(m_Profile.FindSection("S"), &m_Profile.Lines()[0]);
    EXPECT_EQ(m_Profile.GetString("S", "A", "-"), "first");
    EXPECT_EQ(m_Profile.GetString("S", "B", "-"), "-") << "the second section is never searched";
}

TEST_F(ProfileFileTest, KeysMatchInAnyCaseWithoutTrimming) {
    Load("[S]\nName = abc\nname=abc\nValue= lead\nKEY=first\nkey=second\n");
    EXPECT_EQ(m_Profile.GetString("S", "Name", "-"), "abc") << "the line with blanks has the key \"Name \"";
    EXPECT_EQ(m_Profile.GetString("S", "Name ", "-"), " abc");
    EXPECT_EQ(m_Profile.GetString("S", "value", "-"), " lead");
    EXPECT_EQ(m_Profile.GetString("S", "Key", "-"), "first");
}

TEST_F(ProfileFileTest, SectionLinesEndTheSearchEvenWhenTheyCannotBeFound) {
    Load("[S]\nA=1\n[T] ;comment\nB=2\n[U]\nUnit=[mm]\nC=3\n");
    EXPECT_EQ(m_Profile.GetString("S", "A", "-"), "1");
    EXPECT_EQ(m_Profile.GetString("S", "B", "-"), "-");
    EXPECT_EQ(m_Profile.GetString("T", "B", "-"), "-");
    EXPECT_EQ(m_Profile.GetString("U", "Unit", "-"), "-") << "the bracketed value is a section line";
    EXPECT_EQ(m_Profile.GetString("U", "C", "-"), "-") << "and ends the section";
}

TEST_F(ProfileFileTest, FindKeyReportsKeyValueAndComment) {
    Load("[S]\nwithNote=12;note=x\nPlain=a=b\n");
    KeyLookup lookup;
    ASSERT_TRUE(m_Profile.FindKey("s", "WITHNOTE", lookup));
    EXPECT_EQ(lookup.SectionLine, &m_Profile.Lines()[0]);
    EXPECT_EQ(lookup.KeyLine, &m_Profile.Lines()[1]);
    EXPECT_EQ(lookup.Key, "withNote");
    EXPECT_EQ(lookup.Value, "12");
    EXPECT_EQ(lookup.Comment, ";note=x");

    ASSERT_TRUE(m_Profile.FindKey("S", "Plain", lookup));
    EXPECT_EQ(lookup.Value, "a=b") << "only the first equals sign splits";
    EXPECT_EQ(lookup.Comment, "") << "no comment left over from the previous look-up";

    EXPECT_FALSE(m_Profile.FindKey("S", "none", lookup));
    EXPECT_EQ(lookup.SectionLine, &m_Profile.Lines()[0]);
    EXPECT_EQ(lookup.KeyLine, nullptr);
    EXPECT_FALSE(m_Profile.FindKey("X", "Plain", lookup));
    EXPECT_EQ(lookup.SectionLine, nullptr);
}

TEST_F(ProfileFileTest, KeysBeforeTheFirstSectionAreNeverFound) {
    Load("A=1\n[S]\nB=2\n");
    EXPECT_EQ(m_Profile.GetString("S", "A", "-"), "-");
    EXPECT_EQ(m_Profile.GetString("", "A", "-"), "-");
}

TEST_F(ProfileFileTest, GetIntReadsLikeAtoiAndSaturates) {
    Load("[S]\nDigitLetters=7abc\nEmpty=\nBlanks=  -12\nPlus=+5\nNone=abc\nHuge=99999999999\n"
         "Tiny=-99999999999\nMax=2147483647\n");
    EXPECT_EQ(m_Profile.GetInt("S", "DigitLetters", -1), 7);
    EXPECT_EQ(m_Profile.GetInt("S", "Empty", -1), 0) << "an empty value is found, not defaulted";
    EXPECT_EQ(m_Profile.GetInt("S", "Blanks", -1), -12);
    EXPECT_EQ(m_Profile.GetInt("S", "Plus", -1), 5);
    EXPECT_EQ(m_Profile.GetInt("S", "None", -1), 0);
    EXPECT_EQ(m_Profile.GetInt("S", "Huge", -1), 2147483647);
    EXPECT_EQ(m_Profile.GetInt("S", "Tiny", -1), -2147483647 - 1);
    EXPECT_EQ(m_Profile.GetInt("S", "Max", -1), 2147483647);
    EXPECT_EQ(m_Profile.GetInt("S", "Missing", -3), -3);
}

TEST_F(ProfileFileTest, GetDoubleReadsNumbersAndFallsBackToTheDefault) {
    Load("[S]\nExp=1.5E+03\nEmpty=\nText=abc\nLead=  2.5kHz\nSmall=1e-3\n");
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Exp", -1.0), 1500.0);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Empty", -1.0), -1.0);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Text", -1.0), -1.0);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Lead", -1.0), 2.5);
    EXPECT_DOUBLE_EQ(m_Profile.GetDouble("S", "Small", -1.0), 0.001);
    EXPECT_EQ(m_Profile.GetDouble("S", "Missing", 1.0 / 3.0), 1.0 / 3.0) << "the default is returned unchanged";
}

TEST_F(ProfileFileTest, KeysAndValuesLongerThan127CharactersAreKeptWhole) {
    const std::string longKey(200, 'k');
    const std::string longValue(200, 'v');
    Load("[S]\n" + longKey + "=1\nK=" + longValue + "\nL=" + std::string(300, 'w') + "\n");
    EXPECT_EQ(m_Profile.GetString("S", longKey, "-"), "1");
    EXPECT_EQ(m_Profile.GetString("S", std::string(127, 'k'), "-"), "-") << "no match on a cut key";
    EXPECT_EQ(m_Profile.GetString("S", "K", "-"), longValue);
    EXPECT_EQ(m_Profile.GetString("S", "L", "-"), std::string(252, 'w')) << "the stored piece limits the value";
}

TEST_F(ProfileFileTest, NulCharactersEndTheStoredTextOfTheirPiece) {
    using namespace std::string_literals;
    Load("[S]\nName=ab\0cd\nKe\0y=1\nNext=2\n"s);
    EXPECT_EQ(m_Profile.GetString("S", "Name", "-"), "ab");
    EXPECT_EQ(m_Profile.Lines()[2].Kind, ProfileLineKind::Other);
    EXPECT_EQ(m_Profile.GetString("S", "Next", "-"), "2");
    EXPECT_EQ(m_Profile.GetString("S\0ignored"s, "Next\0ignored"s, "-"), "2") << "names end at a NUL";
}

TEST_F(ProfileFileTest, FilesOverTheSizeLimitAreRefused) {
    std::string text = "[S]\nA=1\n";
    text.resize(ProfileFile::MaxFileSize + 1, '\n');
    EXPECT_EQ(m_Profile.LoadFile(m_Directory.Write("big.ini", text)), 0);
    EXPECT_TRUE(m_Profile.Lines().empty());
    text.resize(ProfileFile::MaxFileSize);
    EXPECT_EQ(m_Profile.LoadFile(m_Directory.Write("big.ini", text)), 1);
    EXPECT_EQ(m_Profile.GetString("S", "A", "-"), "1");
}

TEST_F(ProfileFileTest, CloseFileForgetsEverything) {
    Load("[S]\nA=1\n");
    m_Profile.CloseFile();
    EXPECT_TRUE(m_Profile.Lines().empty());
    EXPECT_EQ(m_Profile.GetString("S", "A", "-"), "-");
    m_Profile.CloseFile();
}

} // namespace

#include "platform/PrivateProfile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <set>
#include <thread>

namespace {

std::string Read(const std::string& path, const std::string& key, const std::string& fallback = "dflt") {
    return ReadPrivateProfileString("Configuration", key, fallback, 261, path);
}

} // namespace

TEST(PrivateProfileRead, StringsMatchAnyCaseTrimUnquoteAndCut) {
    TempFolder dir;
    const auto file =
        dir.Write("a.ini", "; comment\n[configuration]\n  PathToKavelCfg =  /x/y.ADPXML  \r\n"
                           "A=\"quoted value\"\nB='x'\nC=\"\"inner\"\"\nD=\"open\nE=abcdefghij\n"
                           "K=first\nK=second\n[Other]\nPathToKavelCfg=no\n"
                           "[Configuration]\nK=third\nL=late\n");
    struct Case {
        const char* Section;
        const char* Key;
        std::size_t Size;
        const char* Expected;
    };
    for (const Case& c :
         {Case{"Configuration", "PATHTOKAVELCFG", 261, "/x/y.ADPXML"},
          Case{"other", "pathtokavelcfg", 10, "no"}, Case{"Configuration", "A", 261, "quoted value"},
          Case{"Configuration", "B", 261, "x"}, Case{"Configuration", "C", 261, "\"inner\""},
          Case{"Configuration", "D", 261, "\"open"}, Case{"Configuration", "E", 5, "abcd"},
          Case{"Configuration", "E", 1, ""}, Case{"Configuration", "E", 0, ""},
          Case{"Configuration", "K", 261, "first"}, Case{"Configuration", "L", 261, "dflt"},
          Case{"Configuration", "Missing", 4, "dfl"}, Case{"Nope", "A", 261, "dflt"}})
        EXPECT_EQ(ReadPrivateProfileString(c.Section, c.Key, "dflt", c.Size, file), c.Expected)
            << c.Section << "/" << c.Key << "/" << c.Size;
    EXPECT_EQ(Read(dir.File("missing.ini"), "A"), "dflt");
    EXPECT_EQ(Read("", "A"), "dflt");
}

TEST(PrivateProfileRead, IntegersAreReadAsTheSystemReadsThem) {
    TempFolder dir;
    const auto file =
        dir.Write("a.ini", "[Configuration]\nA=  42abc\nB=-17\nC=0x1F\nD=abc\nE=\nF=+5\nG=0X10\n"
                           "H=99999999999\n");
    // Digits beyond 32 bits wrap instead of overflowing.
    const std::pair<const char*, int> cases[] = {
        {"A", 42},      {"B", -17}, {"C", 31}, {"D", 0},
        {"E", -1},      {"F", 5},   {"G", 16}, {"H", static_cast<int>(99999999999LL & 0xFFFFFFFF)},
        {"Missing", -1}};
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(ReadPrivateProfileInt("CONFIGURATION", key, -1, file), expected) << key;
}

TEST(PrivateProfileRead, AFolderGivesDefaults) {
    TempFolder dir;
    EXPECT_EQ(Read(dir.Path(), "A"), "dflt");
}

TEST(PrivateProfileRead, ASecondReadSeesAChangedFile) {
    TempFolder dir;
    const auto file = dir.Write("a.ini", "[Configuration]\nA=1\n");
    EXPECT_EQ(Read(file, "A"), "1");
    // Same size, new content: the time and identity of the file tell the change.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    dir.Write("a.ini", "[Configuration]\nA=2\n");
    EXPECT_EQ(Read(file, "A"), "2");
    std::filesystem::remove(file);
    EXPECT_EQ(Read(file, "A"), "dflt");
}

TEST(PrivateProfileWrite, CreatesFileAndSectionAndKeepsEverythingElse) {
    TempFolder dir;
    const auto file = dir.File("new.ini");
    ASSERT_TRUE(WritePrivateProfileString("Configuration", "A", "1", file));
    EXPECT_EQ(TempFolder::Read(file), "[Configuration]\nA=1\n");

    dir.Write("keep.ini",
              "; head comment\n[Other]\nX=1 ; note\n\n[configuration]\nA=old\nB=2\n[Tail]\nZ=9\n");
    const auto keep = dir.File("keep.ini");
    ASSERT_TRUE(WritePrivateProfileString("Configuration", "a", "new", keep));
    ASSERT_TRUE(WritePrivateProfileString("Configuration", "C", "3", keep));
    ASSERT_TRUE(WritePrivateProfileString("Fresh", "K", "v", keep));
    EXPECT_EQ(TempFolder::Read(keep),
              "; head comment\n[Other]\nX=1 ; note\n\n[configuration]\na=new\nB=2\nC=3\n"
              "[Tail]\nZ=9\n\n[Fresh]\nK=v\n");
    EXPECT_EQ(ReadPrivateProfileString("CONFIGURATION", "A", "", 100, keep), "new");
}

TEST(PrivateProfileWrite, RefusesLineBreaksAndUnwritablePlaces) {
    TempFolder dir;
    const auto file = dir.Write("a.ini", "[S]\nK=v\n");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "two\nlines", file));
    EXPECT_FALSE(WritePrivateProfileString("S\n[T]", "K", "v", file));
    EXPECT_EQ(TempFolder::Read(file), "[S]\nK=v\n");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", dir.Path()));
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", dir.File("no/such/folder.ini")));
}

namespace {

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(PrivateProfileWrite, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const auto file = dir.Write("a.ini", "[S]\nK=v\n");
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "w", file));
    EXPECT_EQ(TempFolder::Read(file), "[S]\nK=w\n");
    EXPECT_EQ(FolderEntries(dir.Path()), (std::set<std::string>{"a.ini"}));
    // Names beyond ASCII reach the system whole.
    const auto wide = dir.File("Einstellungen \xC3\xBC.ini");
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "\xC3\xA4", wide));
    EXPECT_EQ(ReadPrivateProfileString("S", "K", "", 10, wide), "\xC3\xA4");
}

// A save cut short leaves a file of its own name pattern; only those go.
TEST(PrivateProfileWrite, LeftoverReplacementsAreRemovedAndLookAlikesStay) {
    TempFolder folder;
    const std::string settings = folder.Write("eventmanager.KAVELCFG", "[Configuration]\n");
    for (const char* name : {"eventmanager.KAVELCFG.Xy12Zq", "eventmanager.KAVELCFG.Ab12C",
                             "eventmanager.KAVELCFG.Ab-12C", "other.KAVELCFG.Ab12Cd"})
        folder.Write(name, "x");
    std::filesystem::create_directory(folder.File("eventmanager.KAVELCFG.Zz99Zz"));

    RemoveLeftoverReplacements(settings);
    EXPECT_EQ(FolderEntries(folder.Path()),
              (std::set<std::string>{"eventmanager.KAVELCFG", "eventmanager.KAVELCFG.Ab12C",
                                     "eventmanager.KAVELCFG.Ab-12C", "other.KAVELCFG.Ab12Cd",
                                     "eventmanager.KAVELCFG.Zz99Zz"}));
}

TEST(PrivateProfileWrite, ConcurrentReadersNeverSeeHalfAFile) {
    TempFolder dir;
    const auto file = dir.File("a.ini");
    const std::string big(4000, 'x');
    ASSERT_TRUE(WritePrivateProfileString("S", "K", big, file));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            const auto value = ReadPrivateProfileString("S", "K", "", 100000, file);
            if (value != big && value != std::string(4000, 'y'))
                ++torn;
        }
    });
    for (int i = 0; i < 200; ++i)
        WritePrivateProfileString("S", "K", std::string(4000, i % 2 ? 'y' : 'x'), file);
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST(PrivateProfileWrite, SeveralKeysGoInOneReplacementOrNotAtAll) {
    TempFolder dir;
    const auto file = dir.Write("a.ini", "[S]\nB=old\n");
    ASSERT_TRUE(WritePrivateProfileStrings("S", {{"A", "1"}, {"B", "2"}, {"C", "3"}}, file));
    EXPECT_EQ(TempFolder::Read(file), "[S]\nB=2\nA=1\nC=3\n");
    EXPECT_FALSE(WritePrivateProfileStrings("S", {{"A", "9"}, {"B", "two\nlines"}}, file));
    EXPECT_EQ(TempFolder::Read(file), "[S]\nB=2\nA=1\nC=3\n");
}

#include "platform/PrivateProfile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <windows.h>
// The system's name for its A/W pair would hide ours.
#undef WritePrivateProfileString

#include <algorithm>
#include <vector>

// The private-profile layer stands in for the system's own functions: on Windows
// both read the same files and must agree.

namespace {

std::string SystemPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string SystemString(const std::string& section, const std::string& key, const std::string& fallback,
                         std::size_t size, const std::string& path) {
    std::vector<char> buffer(size + 1, '\0');
    const DWORD length =
        ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                   static_cast<DWORD>(size), SystemPath(path).c_str());
    return std::string(buffer.data(), length);
}

int SystemInt(const std::string& section, const std::string& key, int fallback, const std::string& path) {
    return static_cast<int>(
        ::GetPrivateProfileIntA(section.c_str(), key.c_str(), fallback, SystemPath(path).c_str()));
}

const std::string Long(5000, 'L');

const std::string Content = "; comment\r\n"
                            "[Configuration]\r\n"
                            "  PathToKavelCfg =  C:\\x\\y.ADPXML  \r\n"
                            "Double=\"quoted value\"\r\n"
                            "Single='x'\r\n"
                            "Doubled=\"\"inner\"\"\r\n"
                            "Open=\"open\r\n"
                            "Mixed=\"x'\r\n"
                            "Inside=a \"b\" c\r\n"
                            "Blank=\r\n"
                            "Spaces=   \r\n"
                            "Tabbed\t=\tvalue\t\r\n"
                            "Dup=first\r\n"
                            "Dup=second\r\n"
                            "Equals=a=b\r\n"
                            "Long=" +
                            Long +
                            "\r\n"
                            "Int1=  42abc\r\n"
                            "Int2=-17\r\n"
                            "Int3=0x1F\r\n"
                            "Int4=abc\r\n"
                            "Int5=+5\r\n"
                            "Int6=99999999999\r\n"
                            "Int7=\" 12\"\r\n"
                            "Int8=-0x10\r\n"
                            "[other]\r\n"
                            "PathToKavelCfg=no\r\n"
                            "[ Spaced Section ]\r\n"
                            "Key=spaced\r\n";

class SystemProfileAgreementTest : public ::testing::Test {
protected:
    TempFolder m_Folder;
    std::string m_File = m_Folder.Write("agreement.ini", Content);
};

TEST_F(SystemProfileAgreementTest, StringsAgreeWithTheSystem) {
    const struct {
        const char* Section;
        const char* Key;
        std::size_t Size;
    } cases[] = {
        {"Configuration", "PathToKavelCfg", 261},
        {"CONFIGURATION", "pathtokavelcfg", 261},
        {"Other", "PathToKavelCfg", 261},
        {"Configuration", "Double", 261},
        {"Configuration", "Single", 261},
        {"Configuration", "Doubled", 261},
        {"Configuration", "Open", 261},
        {"Configuration", "Mixed", 261},
        {"Configuration", "Inside", 261},
        {"Configuration", "Blank", 261},
        {"Configuration", "Spaces", 261},
        {"Configuration", "Tabbed", 261},
        {"Configuration", "Dup", 261},
        {"Configuration", "Equals", 261},
        {"Configuration", "Long", 261},
        {"Configuration", "Long", 8192},
        {"Configuration", "Double", 5},
        {"Configuration", "Double", 1},
        {"Configuration", "Missing", 261},
        {"Configuration", "Missing", 3},
        {"Nowhere", "PathToKavelCfg", 261},
        {"Spaced Section", "Key", 261},
        {" Configuration ", " Double ", 261},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadPrivateProfileString(c.Section, c.Key, "dflt", c.Size, m_File),
                  SystemString(c.Section, c.Key, "dflt", c.Size, m_File))
            << c.Section << "/" << c.Key << "/" << c.Size;
    const std::string missingFile = m_File + ".missing";
    EXPECT_EQ(ReadPrivateProfileString("Configuration", "Double", "dflt", 261, missingFile),
              SystemString("Configuration", "Double", "dflt", 261, missingFile));
}

TEST_F(SystemProfileAgreementTest, IntegersAgreeWithTheSystem) {
    for (const char* key :
         {"Int1", "Int2", "Int3", "Int4", "Int5", "Int6", "Int7", "Int8", "Blank", "Missing"})
        EXPECT_EQ(ReadPrivateProfileInt("configuration", key, -3, m_File),
                  SystemInt("configuration", key, -3, m_File))
            << key;
}

// What the layer writes, the system reads back unchanged, and the other way round.
TEST_F(SystemProfileAgreementTest, WritesAreReadBackByTheSystem) {
    ASSERT_TRUE(WritePrivateProfileString("Configuration", "Double", "written", m_File));
    ASSERT_TRUE(WritePrivateProfileString("Fresh", "Key", "new", m_File));
    EXPECT_EQ(SystemString("Configuration", "Double", "", 261, m_File), "written");
    EXPECT_EQ(SystemString("Fresh", "Key", "", 261, m_File), "new");
    EXPECT_EQ(SystemString("Configuration", "Long", "", 8192, m_File), Long);
    ASSERT_TRUE(
        ::WritePrivateProfileStringA("Configuration", "FromSystem", "17", SystemPath(m_File).c_str()));
    ClearPrivateProfileCache();
    EXPECT_EQ(ReadPrivateProfileInt("Configuration", "FromSystem", 0, m_File), 17);
    EXPECT_EQ(ReadPrivateProfileString("Configuration", "Double", "", 261, m_File), "written");
}

} // namespace

#include "platform/ErrorText.h"
#include "platform/PrivateProfile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

TEST(ErrorText, DescribesErrnoOfTheCallingThread) {
    errno = ENOENT;
    const auto text = LastErrorText();
    EXPECT_NE(text.find("No such file"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(PrivateProfileRead, AnUnreadableFileGivesDefaults) {
    TempFolder dir;
    const auto file = dir.Write("locked.ini", "[Configuration]\nA=1\n");
    ::chmod(file.c_str(), 0);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_EQ(ReadPrivateProfileString("Configuration", "A", "dflt", 261, file), "dflt");
    }
}

TEST(PrivateProfileWrite, ReplacesTheFileAtomicallyAndKeepsItsMode) {
    TempFolder dir;
    const auto file = dir.Write("a.ini", "[S]\nK=v\n");
    ::chmod(file.c_str(), 0640);
    struct stat before {};
    ::stat(file.c_str(), &before);
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "w", file));
    struct stat after {};
    ::stat(file.c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "written in place instead of replaced";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
}

#include "platform/Paths.h"
#include "platform/PrivateProfile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <thread>

namespace {

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* directory = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(directory);
    }
    return names;
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::string ReadValue(const std::string& path) {
    ClearPrivateProfileCache();
    return ReadPrivateProfileString("Configuration", "PathToKavelCfg", "<none>", 4096, path);
}

// A settings file that an administrator linked elsewhere stays a link: the
// values go to the link's target.
TEST(SettingsFileFaultTest, WritingThroughALinkReplacesTheTargetAndKeepsTheLink) {
    const struct {
        const char* Name;
        const char* LinkTo; // relative to the folder, or absolute when it starts with '/'
        bool TargetExists;
    } cases[] = {
        {"absolute link", "", true},
        {"relative link", "real/settings.ini", true},
        {"chain of links", "hop", true},
        {"dangling link", "real/missing.ini", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        TempFolder folder;
        ASSERT_EQ(::mkdir(folder.File("real").c_str(), 0755), 0);
        std::string target = folder.File("real/settings.ini");
        if (!test.TargetExists)
            target = folder.File("real/missing.ini");
        else
            folder.Write("real/settings.ini", "; kept\n[Configuration]\nPathToKavelCfg=old\n");
        const std::string link = folder.File("eventmanager.KAVELCFG");
        if (std::string(test.Name) == "chain of links") {
            ASSERT_EQ(::symlink(target.c_str(), folder.File("hop").c_str()), 0);
            ASSERT_EQ(::symlink("hop", link.c_str()), 0);
        } else {
            const std::string to = *test.LinkTo == '\0' ? target : test.LinkTo;
            ASSERT_EQ(::symlink(to.c_str(), link.c_str()), 0);
        }

        ASSERT_TRUE(WritePrivateProfileString("Configuration", "PathToKavelCfg", "new", link));
        EXPECT_TRUE(IsLink(link));
        EXPECT_EQ(ReadValue(target), "new");
        EXPECT_EQ(ReadValue(link), "new");
        if (test.TargetExists) {
            EXPECT_EQ(TempFolder::Read(target).rfind("; kept\n", 0), 0u);
        }
        const std::set<std::string> real = FolderEntries(folder.File("real"));
        EXPECT_EQ(real.size(), 1u) << "no temporary file stays behind";
    }

    // A loop of links is no file to write: refused, nothing made.
    TempFolder folder;
    ASSERT_EQ(::symlink("b", folder.File("a").c_str()), 0);
    ASSERT_EQ(::symlink("a", folder.File("b").c_str()), 0);
    EXPECT_FALSE(WritePrivateProfileString("Configuration", "UsedUniqueID", "1", folder.File("a")));
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"a", "b"}));
}

// Saves killed at random moments leave at most temporary files of the save's own
// name pattern, which the next start removes; the file itself is always whole.
TEST(SettingsFileFaultTest, SavesKilledAtAnyMomentLeaveAWholeFileAndNoLeftovers) {
    TempFolder folder;
    const std::string settings = folder.File("eventmanager.KAVELCFG");
    ASSERT_TRUE(WritePrivateProfileString("Configuration", "PathToKavelCfg", "first", settings));
    std::mt19937 random(20261206);
    for (int round = 0; round < 40; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                WritePrivateProfileString("Configuration", "PathToKavelCfg", i % 2 ? "first" : "second",
                                          settings);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 4000)(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string value = ReadValue(settings);
        ASSERT_TRUE(value == "first" || value == "second") << value;
    }
    RemoveLeftoverReplacements(settings);
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"eventmanager.KAVELCFG"}));
}

constexpr const char* InsideCopy = "KAVEL_PROGRAM_REPLACED_INSIDE_COPY";

std::string ReadLink(const char* path) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(path, buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

// Runs only inside a copy of this program: replaces its own file as a package
// upgrade does, then prints the program path it believes in.
TEST(ProgramReplacedTest, InsideCopy) {
    if (std::getenv(InsideCopy) == nullptr)
        GTEST_SKIP() << "runs inside a copy of the program";
    const std::string self = ReadLink("/proc/self/exe");
    const std::string fresh = self + ".new";
    ASSERT_EQ(
        std::system(("cp '/proc/self/exe' '" + fresh + "' && mv '" + fresh + "' '" + self + "'").c_str()), 0);
    std::printf("program path: [%s]\n", ProgramPath().c_str());
}

TEST(ProgramReplacedTest, ThePathStaysTheOneTheProgramWasStartedAs) {
    TempFolder folder;
    const std::string copy = folder.File("eventmanager");
    ASSERT_EQ(std::system(("cp '" + ReadLink("/proc/self/exe") + "' '" + copy + "'").c_str()), 0);
    ASSERT_EQ(::setenv(InsideCopy, "1", 1), 0);
    ChildProcess child({copy, "--gtest_filter=ProgramReplacedTest.InsideCopy"});
    ::unsetenv(InsideCopy);
    ASSERT_EQ(child.WaitForExit(std::chrono::seconds(60)), 0) << child.Output();
    EXPECT_NE(child.Output().find("program path: [" + copy + "]"), std::string::npos) << child.Output();
}

} // namespace

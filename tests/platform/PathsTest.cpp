#include "platform/Paths.h"
#include "platform/ErrorText.h"
#include "platform/TickCount.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

TEST(Paths, SplitAndExtensionWorkOnlyInsideTheFileName) {
    struct Case {
        const char* Path;
        const char* Directory;
        const char* FileName;
        const char* WithExtension;
    };
    for (const Case& c :
         {Case{"/proj/sum/#summary.sta", "/proj/sum", "#summary.sta", "/proj/sum/#summary.X"},
          Case{"plain", "", "plain", "plain.X"}, Case{"/top", "", "top", "/top.X"},
          Case{"/opt/my.dir/eventmanager", "/opt/my.dir", "eventmanager", "/opt/my.dir/eventmanager.X"},
          Case{"/p/a.b.c", "/p", "a.b.c", "/p/a.b.X"}}) {
        EXPECT_EQ(DirectoryPart(c.Path), c.Directory) << c.Path;
        EXPECT_EQ(FileNamePart(c.Path), c.FileName) << c.Path;
        EXPECT_EQ(ReplaceExtension(c.Path, ".X"), c.WithExtension) << c.Path;
    }
}

TEST(Paths, ProgramPathAndFileExists) {
    // The file name is the program's, with the system's executable suffix if any.
    EXPECT_EQ(FileNamePart(ProgramPath()).rfind("platform_tests", 0), 0u) << ProgramPath();
    EXPECT_TRUE(FileExists(ProgramPath()));
    TempFolder dir;
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_FALSE(FileExists(dir.Path())) << "a folder is not a file";
    EXPECT_TRUE(FileExists(dir.Write("f", "")));
    // Names beyond ASCII reach the system whole.
    EXPECT_TRUE(FileExists(dir.Write("Prüfstand \xE6\xB8\xAC.txt", "")));
    EXPECT_FALSE(FileExists(dir.File("Prufstand \xE6\xB8\xAC.txt")));
}

TEST(ErrorText, DescribesAnErrorWithALineBreak) {
    // Error 2 is a missing file on every system this runs on.
    std::string text = ErrorText(2);
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_NE(text.find("file"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(ErrorText(0), "Unknown Error ");
}

TEST(TickCount, AdvancesInMilliseconds) {
    const auto first = TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto elapsed = TickCount() - first;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 20000u) << "not milliseconds";
}

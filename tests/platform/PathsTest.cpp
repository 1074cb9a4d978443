#include "platform/Paths.h"
#include "platform/ErrorText.h"
#include "platform/TickCount.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

TEST(Paths, ProgramPathNamesThisTestProgram) {
    const auto path = ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(FileNamePart(path), "platform_tests");
    EXPECT_TRUE(FileExists(path));
}

TEST(Paths, SplitsAtTheLastSeparator) {
    EXPECT_EQ(DirectoryPart("/proj/sum/#summary.sta"), "/proj/sum");
    EXPECT_EQ(FileNamePart("/proj/sum/#summary.sta"), "#summary.sta");
    EXPECT_EQ(DirectoryPart("plain"), "");
    EXPECT_EQ(FileNamePart("plain"), "plain");
    EXPECT_EQ(DirectoryPart("/top"), "");
}

TEST(Paths, ExtensionIsCutOnlyInsideTheFileName) {
    EXPECT_EQ(ReplaceExtension("/opt/kavel/eventmanager", ".KAVELCFG"), "/opt/kavel/eventmanager.KAVELCFG");
    EXPECT_EQ(ReplaceExtension("/opt/my.dir/eventmanager", ".KAVELCFG"), "/opt/my.dir/eventmanager.KAVELCFG");
    EXPECT_EQ(ReplaceExtension("/p/demo.prj", ".DATCFG"), "/p/demo.DATCFG");
    EXPECT_EQ(ReplaceExtension("/p/a.b.c", ".X"), "/p/a.b.X");
    EXPECT_EQ(ReplaceExtension("noext", ".X"), "noext.X");
}

TEST(Paths, FileExistsOnlyForReadableFiles) {
    TempFolder dir;
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(dir.File("missing")));
    EXPECT_FALSE(FileExists(dir.Path())) << "a folder is not a file";
    EXPECT_TRUE(FileExists(dir.Write("f", "")));
}

TEST(ErrorText, DescribesTheLastErrorWithALineBreak) {
    errno = ENOENT;
    const auto text = LastErrorText();
    EXPECT_NE(text.find("No such file"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(ErrorText(0), "Unknown Error ");
}

TEST(TickCount, AdvancesInMilliseconds) {
    const auto first = TickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto elapsed = TickCount() - first;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

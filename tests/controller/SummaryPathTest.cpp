#include "controller/ControllerSession.h"
#include "platform/Paths.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr const char* ChildVariable = "CONTROLLER_TESTS_SUMMARY_PATH_MODE";

TEST(ReverseElementsTest, ReversesTwoOrMoreWholeElementsAndRefusesTheRest) {
    using Bytes = std::vector<unsigned char>;
    const struct {
        int Size, Total;
        Bytes Before, After; // After empty: refused, nothing changes
    } cases[] = {
        {1, 4, {1, 2, 3, 4, 5, 6}, {4, 3, 2, 1, 5, 6}},
        {2, 6, {4, 3, 2, 1, 5, 6}, {5, 6, 2, 1, 4, 3}},
        {3, 6, {5, 6, 2, 1, 4, 3}, {1, 4, 3, 5, 6, 2}},
        {0, 4, {1, 2, 3, 4}, {}},
        {11, 22, Bytes(22, 7), {}}, // no more than ten bytes per element
        {3, 4, {1, 2, 3, 4}, {}},   // not a multiple
        {4, 4, {1, 2, 3, 4}, {}},   // a single element
        {1, 1, {1, 2}, {}},
        {1, 0, {1, 2}, {}},
        {1, -4, {1, 2}, {}},
        {-1, 4, {1, 2, 3, 4}, {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(std::to_string(test.Size) + " of " + std::to_string(test.Total));
        Bytes bytes = test.Before;
        EXPECT_EQ(ReverseElements(bytes.data(), test.Size, test.Total), !test.After.empty());
        EXPECT_EQ(bytes, test.After.empty() ? test.Before : test.After);
    }
    Bytes wide(20);
    for (unsigned char i = 0; i < wide.size(); ++i)
        wide[i] = i;
    EXPECT_TRUE(ReverseElements(wide.data(), 10, 20));
    EXPECT_EQ(wide.front() * 100 + wide.back(), 1009);
    EXPECT_FALSE(ReverseElements(nullptr, 1, 4));
}

// Runs in a fresh copy of this program (see below): with "create" its folder has
// no Temp folder yet, with "gone" its folder is removed first, so none can be made.
TEST(SummaryFilePathTest, InsideACopy) {
    const char* mode = std::getenv(ChildVariable);
    if (mode == nullptr)
        GTEST_SKIP() << "runs only inside a copy of the program";
    MessageCapture messages;
    const std::string folder = DirectoryPart(ProgramPath());
    if (std::string(mode) == "gone") {
        std::filesystem::remove_all(folder);
        EXPECT_EQ(SummaryFilePath(), "");
        EXPECT_EQ(messages.Take(),
                  std::vector<std::string>{"**** cannot create directory " + folder + "/Temp"});
        return;
    }
    ASSERT_FALSE(std::filesystem::exists(folder + "/Temp"));
    EXPECT_EQ(SummaryFilePath(), folder + "/Temp/#summary.sta");
    EXPECT_TRUE(std::filesystem::is_directory(folder + "/Temp"));
    EXPECT_EQ(SummaryFilePath(), folder + "/Temp/#summary.sta"); // and finds it the second time
    EXPECT_TRUE(messages.Take().empty());
}

// Copies this program and the access library into a fresh folder and runs
// InsideACopy there: it makes the Temp folder beside the program, or reports
// that it cannot.
TEST(SummaryFilePathTest, MakesTheTempFolderBesideTheProgramOrReportsWhyNot) {
    for (const std::string mode : {"create", "gone"}) {
        SCOPED_TRACE(mode);
        TempFolder folder;
        const std::string self = ProgramPath();
        const std::string copy = folder.File(FileNamePart(self));
        std::filesystem::copy_file(self, copy);
        std::filesystem::copy_file(DirectoryPart(self) + "/libControllerAccessLibrary.so",
                                   folder.File("libControllerAccessLibrary.so"));
        ::setenv(ChildVariable, mode.c_str(), 1);
        ChildProcess child({copy, "--gtest_filter=SummaryFilePathTest.InsideACopy"});
        ::unsetenv(ChildVariable);
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(child.WaitForExit(std::chrono::seconds(30)), 0) << child.Output();
        EXPECT_NE(child.Output().find("[  PASSED  ] 1 test"), std::string::npos) << child.Output();
    }
}

} // namespace

#include "controller/ControllerSession.h"
#include "platform/Paths.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

constexpr const char* ChildVariable = "CONTROLLER_TESTS_SUMMARY_PATH_MODE";

TEST(ReverseElementsTest, ReversesWholeElements) {
    std::array<unsigned char, 6> bytes{1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(ReverseElements(bytes.data(), 1, 4));
    EXPECT_EQ(bytes, (std::array<unsigned char, 6>{4, 3, 2, 1, 5, 6}));
    EXPECT_TRUE(ReverseElements(bytes.data(), 2, 6));
    EXPECT_EQ(bytes, (std::array<unsigned char, 6>{5, 6, 2, 1, 4, 3}));
    EXPECT_TRUE(ReverseElements(bytes.data(), 3, 6));
    EXPECT_EQ(bytes, (std::array<unsigned char, 6>{1, 4, 3, 5, 6, 2}));

    std::array<unsigned char, 20> wide{};
    for (unsigned char i = 0; i < wide.size(); ++i)
        wide[i] = i;
    EXPECT_TRUE(ReverseElements(wide.data(), 10, 20));
    EXPECT_EQ(wide[0], 10);
    EXPECT_EQ(wide[19], 9);
}

TEST(ReverseElementsTest, RefusesWhatIsNotTwoWholeElements) {
    std::array<unsigned char, 24> bytes{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                        12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22};
    const auto before = bytes;
    EXPECT_FALSE(ReverseElements(bytes.data(), 0, 4));
    EXPECT_FALSE(ReverseElements(bytes.data(), 11, 22));
    EXPECT_FALSE(ReverseElements(bytes.data(), 3, 4)); // not a multiple
    EXPECT_FALSE(ReverseElements(bytes.data(), 4, 4)); // a single element
    EXPECT_FALSE(ReverseElements(bytes.data(), 1, 1));
    EXPECT_FALSE(ReverseElements(bytes.data(), 1, 0));
    EXPECT_FALSE(ReverseElements(bytes.data(), 1, -4));
    EXPECT_FALSE(ReverseElements(bytes.data(), -1, 4));
    EXPECT_FALSE(ReverseElements(nullptr, 1, 4));
    EXPECT_EQ(bytes, before);
}

// Runs in a fresh copy of this program (see RunCopy): with "create" its folder has
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
// InsideACopy there; gives its output, and whether it passed.
bool RunCopy(const std::string& mode, std::string& output) {
    TempFolder folder;
    const std::string self = ProgramPath();
    const std::string copy = folder.File(FileNamePart(self));
    std::filesystem::copy_file(self, copy);
    std::filesystem::copy_file(DirectoryPart(self) + "/libControllerAccessLibrary.so",
                               folder.File("libControllerAccessLibrary.so"));
    const std::string log = folder.Path() + ".log";
    ::setenv(ChildVariable, mode.c_str(), 1);
    const pid_t child = ::fork();
    if (child == 0) {
        const int file = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(file, STDOUT_FILENO);
        ::execl(copy.c_str(), copy.c_str(), "--gtest_filter=SummaryFilePathTest.InsideACopy",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::unsetenv(ChildVariable);
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (child > 0 && ::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    output = TempFolder::Read(log);
    std::filesystem::remove(log);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           output.find("[  PASSED  ] 1 test") != std::string::npos;
}

TEST(SummaryFilePathTest, MakesTheTempFolderBesideTheProgram) {
    std::string output;
    EXPECT_TRUE(RunCopy("create", output)) << output;
}

TEST(SummaryFilePathTest, ReportsATempFolderThatCannotBeMade) {
    std::string output;
    EXPECT_TRUE(RunCopy("gone", output)) << output;
}

} // namespace

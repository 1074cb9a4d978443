#include "tests/app/DialogFixture.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"

#include <thread>

namespace {

using MessageLogTest = DialogFixture;

TEST_F(MessageLogTest, EmptyTextsAndLinesWithoutAWindowAreDropped) {
    Dialog->AddMessage("");
    EXPECT_TRUE(Controls.Lines.empty());

    Controls.WindowExists = false;
    Dialog->AddMessage("lost");
    Controls.WindowExists = true;
    Dialog->AddMessage("kept");
    EXPECT_EQ(Controls.Lines, std::vector<std::string>{"kept"});
}

TEST_F(MessageLogTest, EachNewLineIsAppendedAndSelected) {
    Dialog->AddMessage("first");
    Dialog->AddMessage("second");
    Dialog->AddMessage("third");
    EXPECT_EQ(Controls.Lines, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(Controls.SelectedLine, 2);
}

TEST_F(MessageLogTest, TheListKeepsTheNewest10000Lines) {
    const int produced = EventManagerDialog::MessageLogCapacity + 5;
    for (int i = 0; i < produced; ++i)
        Dialog->AddMessage("line " + std::to_string(i));

    ASSERT_EQ(Controls.Lines.size(), 10000u);
    EXPECT_EQ(Controls.Lines.front(), "line 5");
    EXPECT_EQ(Controls.Lines.back(), "line 10004");
    EXPECT_EQ(Controls.SelectedLine, 9999);
}

TEST_F(MessageLogTest, LinesFromOtherThreadsWaitForTheWindowsThreadAndKeepTheirOrder) {
    constexpr int Threads = 4;
    constexpr int PerThread = 2000;
    std::vector<std::thread> producers;
    for (int t = 0; t < Threads; ++t) {
        producers.emplace_back([this, t] {
            for (int i = 0; i < PerThread; ++i)
                Dialog->AddMessage(std::to_string(t) + ":" + std::to_string(i));
        });
    }
    for (std::thread& producer : producers)
        producer.join();

    // The producers finished without the window's thread doing anything.
    EXPECT_TRUE(Controls.Lines.empty());
    EXPECT_GE(Controls.MessagePosts, 1);

    // A line of the window's own thread comes after everything produced before it.
    Dialog->AddMessage("own");
    ASSERT_EQ(Controls.Lines.size(), static_cast<std::size_t>(Threads * PerThread + 1));
    EXPECT_EQ(Controls.Lines.back(), "own");
    int next[Threads] = {};
    for (std::size_t i = 0; i + 1 < Controls.Lines.size(); ++i) {
        const std::string& line = Controls.Lines[i];
        const int thread = line[0] - '0';
        EXPECT_EQ(line.substr(2), std::to_string(next[thread])) << "line " << i;
        ++next[thread];
    }
}

TEST_F(MessageLogTest, AFloodFromThePollThreadNeverGrowsBeyondTheCapacity) {
    std::thread poll([this] {
        for (int i = 0; i < 3 * EventManagerDialog::MessageLogCapacity; ++i)
            Dialog->AddMessage("flood " + std::to_string(i));
    });
    poll.join();
    Dialog->DeliverPendingMessages();

    ASSERT_EQ(Controls.Lines.size(), 10000u);
    EXPECT_EQ(Controls.Lines.front(), "flood 20000");
    EXPECT_EQ(Controls.Lines.back(), "flood 29999");
    EXPECT_EQ(Controls.AppendCount, 10000);
}

TEST_F(MessageLogTest, SystemMessagesReachTheDialogOnlyWhileItExists) {
    ShowSystemMessage(nullptr, IDS_SUMMARY_FILE_NOT_FOUND, "/x/#summary.sta", MB_ICONEXCLAMATION, false);
    EXPECT_EQ(Controls.Lines,
              std::vector<std::string>{"Error ! Summary file /x/#summary.sta was not found !"});

    Dialog.reset();
    EXPECT_EQ(MainWindow(), nullptr);
}

} // namespace

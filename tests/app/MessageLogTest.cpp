#include "tests/app/DialogFixture.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"

#include <thread>

namespace {

using MessageLogTest = DialogFixture;

TEST_F(MessageLogTest,
       EachLineIsAppendedAndSelectedButEmptyOnesAndThoseWithoutAWindowAreDroppedUntilDeleted) {
    Dialog->AddMessage("first");
    Dialog->AddMessage("");
    Controls.WindowExists = false;
    Dialog->AddMessage("lost");
    Controls.WindowExists = true;
    Dialog->AddMessage("second");
    EXPECT_EQ(Controls.Lines, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(Controls.SelectedLine, 1);
    Dialog->OnDeleteMessages();
    EXPECT_TRUE(Controls.Lines.empty());
    Dialog->AddMessage("third");
    EXPECT_EQ(Controls.Lines, std::vector<std::string>{"third"});
    EXPECT_EQ(Controls.SelectedLine, 0);
}

// From the window's own thread or queued by the poll thread: only the newest lines are kept,
// and a queued flood never reaches the list beyond them.
TEST_F(MessageLogTest, TheListKeepsTheNewest10000Lines) {
    for (const bool fromPollThread : {false, true}) {
        Dialog->OnDeleteMessages();
        Controls.AppendCount = 0;
        const int produced = 3 * EventManagerDialog::MessageLogCapacity;
        const auto produce = [&] {
            for (int i = 0; i < produced; ++i)
                Dialog->AddMessage("line " + std::to_string(i));
        };
        if (fromPollThread) {
            std::thread(produce).join();
            Dialog->DeliverPendingMessages();
        } else {
            produce();
        }
        ASSERT_EQ(Controls.Lines.size(), 10000u);
        EXPECT_EQ(Controls.Lines.front(), "line 20000");
        EXPECT_EQ(Controls.Lines.back(), "line 29999");
        EXPECT_EQ(Controls.SelectedLine, 9999);
        if (fromPollThread) {
            EXPECT_EQ(Controls.AppendCount, 10000);
        }
    }
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

TEST_F(MessageLogTest, SystemMessagesReachTheDialogOnlyWhileItExists) {
    ShowSystemMessage(nullptr, IDS_SUMMARY_FILE_NOT_FOUND, "/x/#summary.sta", MB_ICONEXCLAMATION, false);
    EXPECT_EQ(Controls.Lines,
              std::vector<std::string>{"Error ! Summary file /x/#summary.sta was not found !"});

    Dialog.reset();
    EXPECT_EQ(MainWindow(), nullptr);
}

} // namespace

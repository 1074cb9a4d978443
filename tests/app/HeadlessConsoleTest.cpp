#include "tests/support/WaitUntil.h"

#include "platform/UniqueFd.h"
#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ConsoleToolTable.h"
#include "tools/eventmanager-headless/LineWriter.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <memory>
#include <regex>
#include <sstream>

namespace {

using Lines = std::vector<std::string>;

// A log into a pipe of one page; its lines once written, each checked for its time stamp.
struct PipeLog {
    explicit PipeLog(std::size_t maxLines = LineWriter::DefaultMaxLines) {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        ReadEnd.Reset(ends[0]);
        WriteEnd.Reset(ends[1]);
        ::fcntl(ends[1], F_SETPIPE_SZ, 4096);
        Writer = std::make_unique<LineWriter>(ends[1], maxLines);
        Log = std::make_unique<ConsoleLog>(*Writer);
    }

    std::string Read(std::size_t size) {
        std::string text(size, '\0');
        std::size_t done = 0;
        for (ssize_t got = 0; done < size; done += static_cast<std::size_t>(got)) {
            if ((got = ::read(ReadEnd.Get(), text.data() + done, size - done)) <= 0)
                break;
        }
        text.resize(done);
        return text;
    }

    Lines Written() {
        Writer->Finish(std::chrono::milliseconds(20000));
        WriteEnd.Reset();
        std::istringstream text(Read(1 << 20));
        const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*))");
        Lines lines;
        std::smatch match;
        for (std::string line; std::getline(text, line);) {
            EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
            lines.push_back(match.size() > 1 ? match[1].str() : line);
        }
        return lines;
    }

    UniqueFd ReadEnd;
    UniqueFd WriteEnd;
    std::unique_ptr<LineWriter> Writer;
    std::unique_ptr<ConsoleLog> Log;
};

void SetCell(ConsoleToolTable& table, int row, int column, const std::string& text) {
    GridItem item;
    item.Row = row;
    item.Col = column;
    item.Mask = GVIF_TEXT;
    item.Text = text;
    table.SetItem(item);
}

TEST(HeadlessConsole, EveryLineIsStampedAndRepeatsAreCountedUntilAnyOtherLine) {
    PipeLog output;
    WakeUpChannel wakeUp;
    ConsoleControls controls(*output.Log, wakeUp, "/x/eventmanager.KAVELCFG");
    ConsoleToolTable table(*output.Log);
    SetCell(table, 1, 2, "/usr/bin/touch /tmp/x");
    SetCell(table, 3, 2, "/opt/missing");
    table.SetItemBackColour(3, 2, Rgb(255, 0, 0));
    table.Invalidate();

    const std::string failure = "**** failure: No such file or directory\n";
    for (int i = 0; i < 151; ++i)
        controls.AppendMessageLine(failure);
    SetCell(table, 1, 1, "1");
    table.Invalidate();
    table.Invalidate();
    for (int i = 0; i < 3; ++i)
        controls.AppendMessageLine(failure);
    controls.AppendMessageLine("two\r\nlines\n\n");
    output.Log->FinishRepeats();

    EXPECT_EQ(
        output.Written(),
        (Lines{"Tool 1 (bit 0): /usr/bin/touch /tmp/x", "Tool 3 (bit 2): /opt/missing  (program not found)",
               "**** failure: No such file or directory", "(last message repeated 10 times so far)",
               "(last message repeated 100 times so far)", "(last message repeated 150 times)",
               "Tool 1 (bit 0): 1 calls", "**** failure: No such file or directory",
               "(last message repeated 2 times)", "two", "lines"}));
}

// Output nobody reads costs lines, counted once the reader catches up, never the caller's time.
TEST(HeadlessConsole, LinesThatDoNotFitWhileNobodyReadsAreDroppedAndCounted) {
    PipeLog output(4);
    const std::string full(4096, 'p');
    ASSERT_EQ(::write(output.WriteEnd.Get(), full.data(), full.size()), 4096);
    constexpr int Produced = 20;
    for (int i = 0; i < Produced; ++i)
        output.Log->WriteLine("line " + std::to_string(i));
    ASSERT_EQ(output.Read(full.size()), full);
    ASSERT_TRUE(WaitUntil([&] { return output.Writer->Idle(); }, std::chrono::milliseconds(20000)));
    output.Log->WriteLine("after");

    // However the writer thread was scheduled: every line is either written, in
    // order, or counted in a "dropped" line that stands where it would have been.
    const Lines lines = output.Written();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "after");
    const std::regex dropped(R"(\((\d+) lines dropped: output not read\))");
    int next = 0;
    int droppedLines = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        std::smatch match;
        if (std::regex_match(lines[i], match, dropped)) {
            const int count = std::stoi(match[1]);
            next += count;
            droppedLines += count;
        } else {
            EXPECT_EQ(lines[i], "line " + std::to_string(next++));
        }
    }
    EXPECT_EQ(next, Produced);
    EXPECT_GE(droppedLines, Produced - 4 - 1) << "a queue of 4 and one line in the writer's hands";
}

} // namespace

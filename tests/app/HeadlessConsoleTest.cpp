#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ConsoleToolTable.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

// A log into memory; its lines without the time stamps.
class MemoryLog {
public:
    MemoryLog() : m_Stream(::open_memstream(&m_Buffer, &m_Size)), m_Log(m_Stream) {}
    ~MemoryLog() {
        std::fclose(m_Stream);
        std::free(m_Buffer);
    }

    std::vector<std::string> Lines() {
        std::fflush(m_Stream);
        std::vector<std::string> lines;
        std::istringstream text(std::string(m_Buffer, m_Size));
        for (std::string line; std::getline(text, line);) {
            const auto gap = line.find("  ");
            lines.push_back(gap == std::string::npos ? line : line.substr(gap + 2));
        }
        return lines;
    }

    ConsoleLog& Log() { return m_Log; }

private:
    char* m_Buffer = nullptr;
    std::size_t m_Size = 0;
    std::FILE* m_Stream;
    ConsoleLog m_Log;
};

TEST(HeadlessConsole, ALineRepeatingAtOnceIsCountedInsteadOfWrittenAgain) {
    MemoryLog memory;
    WakeUpChannel wakeUp;
    ConsoleControls controls(memory.Log(), wakeUp, "/x/eventmanager.KAVELCFG");

    controls.AppendMessageLine("first");
    for (int i = 0; i < 151; ++i)
        controls.AppendMessageLine("**** failure");
    controls.AppendMessageLine("first");
    controls.AppendMessageLine("first");
    controls.FinishRepeats();

    EXPECT_EQ(memory.Lines(),
              (std::vector<std::string>{"first", "**** failure", "(last message repeated 10 times so far)",
                                        "(last message repeated 100 times so far)",
                                        "(last message repeated 150 times)", "first",
                                        "(last message repeated 1 time)"}));
}

TEST(HeadlessConsole, TheToolTableLogsConfiguredSlotsAndGrowingCalls) {
    MemoryLog memory;
    ConsoleToolTable table(memory.Log());
    const auto set = [&](int row, int column, const std::string& text) {
        GridItem item;
        item.Row = row;
        item.Col = column;
        item.Mask = GVIF_TEXT;
        item.Text = text;
        table.SetItem(item);
    };

    set(1, 1, "0");
    set(1, 2, "/usr/bin/touch /tmp/x");
    set(3, 1, "0");
    set(3, 2, "/opt/missing");
    table.SetItemBackColour(3, 2, Rgb(255, 0, 0));
    table.Invalidate();
    set(1, 1, "1");
    table.Invalidate();
    table.Invalidate();

    EXPECT_EQ(memory.Lines(), (std::vector<std::string>{"Tool 1 (bit 0): /usr/bin/touch /tmp/x",
                                                        "Tool 3 (bit 2): /opt/missing  (program not found)",
                                                        "Tool 1 (bit 0): 1 calls"}));
}

} // namespace

#include "config/ToolCommandLines.h"

#include "app/core/AppSettings.h"
#include "config/CommandLineArguments.h"
#include "config/EventConfiguration.h"
#include "config/Placeholders.h"
#include "platform/Paths.h"

#include <utility>
#include <vector>

namespace {

constexpr COLORREF White = Rgb(255, 255, 255);
constexpr COLORREF Black = Rgb(0, 0, 0);
constexpr COLORREF Red = Rgb(255, 0, 0);
constexpr int CallsColumn = 1;
constexpr int ToolColumn = 2;
constexpr const char* NoPathCheck = "@NO_PATHCHECK";
const std::string TestTool = std::string("KavelTestApplication") + ExecutableSuffix;

using Replacements = std::vector<std::pair<const char*, std::string>>;

// The path and tool part: in this order, "@TEST_TOOL_CFG" last.
Replacements FirstPass(const ProjectPaths& paths) {
    return {{"@KAVEL_PATH", ProgramDirectory()}, {"@SUMMARY_PATH", paths.SummaryDirectory},
            {"@BIN_PATH", paths.BinPath},        {"@REL2BIN_PATH", paths.BinDirectory},
            {"@TEMP_PATH", paths.TempPath},      {"@PROJECT_PATH", paths.ProjectDirectory},
            {"@TEST_TOOL_CFG", TestTool}};
}

// The whole line when there are parameters: "@IP_ADDR" last, no test tool.
Replacements SecondPass(const ProjectPaths& paths) {
    return {{"@KAVEL_PATH", ProgramDirectory()},  {"@SUMMARY_PATH", paths.SummaryDirectory},
            {"@BIN_PATH", paths.BinPath},         {"@REL2BIN_PATH", paths.BinDirectory},
            {"@TEMP_PATH", paths.TempPath},       {"@PROJECT_PATH", paths.ProjectDirectory},
            {"@IP_ADDR", paths.ControllerAddress}};
}

std::string Replaced(std::string text, const Replacements& replacements) {
    for (const auto& [placeholder, value] : replacements)
        text = ReplacePlaceholder(text, placeholder, value);
    return text;
}

void SetCell(ToolTable& table, int row, int column, const std::string& text, unsigned format) {
    GridItem item;
    item.Row = row;
    item.Col = column;
    item.Mask = GVIF_TEXT | GVIF_FORMAT;
    item.Format = format;
    item.Text = text;
    table.SetItem(item);
}

void ClearSlot(ToolSlot& slot, ToolTable& table, int row) {
    slot.Defined = 0;
    slot.Runnable = 0;
    slot.CommandLine.clear();
    slot.Program.clear();
    slot.Arguments.clear();
    slot.CallCount.store(0);
    SetCell(table, row, CallsColumn, "", DT_CENTER | ToolCellLine);
    SetCell(table, row, ToolColumn, "", DT_LEFT | ToolCellLine);
    for (const int column : {CallsColumn, ToolColumn}) {
        table.SetItemBackColour(row, column, White);
        table.SetItemTextColour(row, column, Black);
    }
}

void PrepareSlot(ToolSlot& slot, const ToolEntry& entry, const ProjectPaths& paths) {
    slot.Defined = 1;
    std::string line = entry.Path.empty() ? DirectoryPart(ProgramPath()) : entry.Path;
    if (line.find(NoPathCheck) == std::string::npos)
        line += PathSeparator;
    line += entry.Tool;
    line = Replaced(line, FirstPass(paths));
    if (line.find(NoPathCheck) != std::string::npos) {
        line = ReplacePlaceholder(line, NoPathCheck, "");
        slot.Runnable = 1;
    } else {
        slot.Runnable = FileExists(line) ? 1 : 0;
    }
    // The program is started exactly as it was checked; without a "/" (a tool
    // without path check) the runner searches it along PATH.
    slot.Program = line;
    slot.CommandLine = line;
    if (!entry.Parameter.empty()) {
        // The line shows the program exactly as it is checked and started: the
        // second pass ("@IP_ADDR" among it) applies to the parameters only.
        const std::string parameters = Replaced(entry.Parameter, SecondPass(paths));
        slot.CommandLine = line + " " + parameters;
        slot.Arguments = SplitArguments(parameters);
    }
}

} // namespace

void SetRowColours(const ToolSlot& slot, ToolTable& table, int row, int column) {
    const bool runnable = slot.Runnable != 0;
    table.SetItemBackColour(row, column, runnable ? White : Red);
    table.SetItemTextColour(row, column, runnable ? Black : White);
}

void PrepareToolSlots(std::array<ToolSlot, ToolSlotCount>& slots, const AppSettings& settings,
                      const ProjectPaths& paths, ToolTable& table) {
    if (!table.HasWindow())
        return;
    for (int i = 0; i < ToolSlotCount; ++i)
        ClearSlot(slots[static_cast<std::size_t>(i)], table, i + 1);
    table.Invalidate();
    const EventConfiguration* configuration = ConfigurationInUse(settings);
    if (configuration == nullptr)
        return;
    for (int i = 0; i < ToolSlotCount; ++i) {
        const ToolEntry entry = configuration->GetToolEntry(i);
        if (entry.Tool.empty())
            continue;
        ToolSlot& slot = slots[static_cast<std::size_t>(i)];
        PrepareSlot(slot, entry, paths);
        const int row = i + 1;
        SetCell(table, row, CallsColumn, std::to_string(slot.CallCount.load()), DT_CENTER | ToolCellLine);
        SetCell(table, row, ToolColumn, slot.CommandLine, DT_LEFT | ToolCellLine);
        SetRowColours(slot, table, row, CallsColumn);
        SetRowColours(slot, table, row, ToolColumn);
    }
    table.Invalidate();
}

#include "tools/eventmanager-headless/ConsoleToolTable.h"

namespace {

constexpr int CallsColumn = 1;
constexpr int ToolColumn = 2;
constexpr COLORREF NotFoundColour = Rgb(255, 0, 0);

std::string SlotName(int row) {
    return "Tool " + std::to_string(row) + " (bit " + std::to_string(row - 1) + ")";
}

} // namespace

bool ConsoleToolTable::SetItem(const GridItem& item) {
    if (item.Row < 1 || item.Row >= RowCount || (item.Mask & GVIF_TEXT) == 0)
        return item.Row >= 0 && item.Row < RowCount;
    Row& row = m_Current[static_cast<std::size_t>(item.Row)];
    if (item.Col == CallsColumn)
        row.Calls = item.Text;
    else if (item.Col == ToolColumn)
        row.Tool = item.Text;
    return true;
}

bool ConsoleToolTable::SetItemBackColour(int row, int column, COLORREF colour) {
    if (row < 1 || row >= RowCount)
        return row >= 0 && row < RowCount;
    if (column == ToolColumn)
        m_Current[static_cast<std::size_t>(row)].NotFound = colour == NotFoundColour;
    return true;
}

void ConsoleToolTable::Invalidate() {
    for (int index = 1; index < RowCount; ++index) {
        const Row& now = m_Current[static_cast<std::size_t>(index)];
        Row& logged = m_Logged[static_cast<std::size_t>(index)];
        const bool toolChanged = now.Tool != logged.Tool || now.NotFound != logged.NotFound;
        if (toolChanged && !now.Tool.empty()) {
            m_Log.WriteLine(SlotName(index) + ": " + now.Tool +
                            (now.NotFound ? "  (program not found)" : ""));
        } else if (!toolChanged && !now.Tool.empty() && now.Calls != logged.Calls && !now.Calls.empty()) {
            m_Log.WriteLine(SlotName(index) + ": " + now.Calls + " calls");
        }
        logged = now;
    }
}

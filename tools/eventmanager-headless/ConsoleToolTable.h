#pragma once

#include "config/ToolTable.h"
#include "tools/eventmanager-headless/ConsoleLog.h"

#include <array>
#include <string>

// The tool table for a program without a window. It keeps the cells of the
// tool rows and, each time the table is invalidated, logs the rows that changed:
// a slot's command line when it is (re)configured, its calls when they grow.
class ConsoleToolTable : public ToolTable {
public:
    explicit ConsoleToolTable(ConsoleLog& log) : m_Log(log) {}

    bool HasWindow() const override { return true; }
    bool SetItem(const GridItem& item) override;
    bool SetItemBackColour(int row, int column, COLORREF colour) override;
    bool SetItemTextColour(int, int, COLORREF) override { return true; }
    void Invalidate() override;

private:
    static constexpr int RowCount = 17;

    struct Row {
        std::string Calls;
        std::string Tool;
        bool NotFound = false;
    };

    ConsoleLog& m_Log;
    std::array<Row, RowCount> m_Current{};
    std::array<Row, RowCount> m_Logged{};
};

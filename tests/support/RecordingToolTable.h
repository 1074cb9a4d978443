#pragma once

#include "config/ToolTable.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// Records what the logic does to the tool table, cell by cell.
class RecordingToolTable : public ToolTable {
public:
    struct Cell {
        std::string Text;
        unsigned Format = 0;
        COLORREF BackColour = CLR_DEFAULT;
        COLORREF TextColour = CLR_DEFAULT;
    };

    bool HasWindow() const override { return WindowExists; }
    bool SetItem(const GridItem& item) override {
        Masks.push_back(item.Mask);
        Cell& cell = Touch(item.Row, item.Col);
        if (item.Mask & GVIF_TEXT)
            cell.Text = item.Text;
        if (item.Mask & GVIF_FORMAT)
            cell.Format = item.Format;
        ++SetItemCount;
        return true;
    }
    bool SetItemBackColour(int row, int col, COLORREF colour) override {
        Touch(row, col).BackColour = colour;
        return true;
    }
    bool SetItemTextColour(int row, int col, COLORREF colour) override {
        Touch(row, col).TextColour = colour;
        return true;
    }
    void Invalidate() override { ++InvalidateCount; }

    Cell At(int row, int col) const {
        const auto it = Cells.find({row, col});
        return it == Cells.end() ? Cell{} : it->second;
    }
    std::string Text(int row, int col) const { return At(row, col).Text; }

    bool WindowExists = true;
    // The mask of every SetItem, in order.
    std::vector<unsigned> Masks;
    std::map<std::pair<int, int>, Cell> Cells;
    int SetItemCount = 0;
    // Every call that touched a cell.
    int CallCount = 0;
    int InvalidateCount = 0;

private:
    Cell& Touch(int row, int col) {
        ++CallCount;
        return Cells[{row, col}];
    }
};

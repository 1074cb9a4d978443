#pragma once

#include "grid/GridTypes.h"

// The tool table as the configuration fills it: the window puts it on its grid,
// tests record what it is told.
class ToolTable {
public:
    virtual ~ToolTable() = default;

    virtual bool HasWindow() const = 0;
    virtual bool SetItem(const GridItem& item) = 0;
    virtual bool SetItemBackColour(int row, int col, COLORREF colour) = 0;
    virtual bool SetItemTextColour(int row, int col, COLORREF colour) = 0;
    // Repaints the whole table, background included.
    virtual void Invalidate() = 0;
};

#pragma once

#include "grid/GridTypes.h"

// How every cell of the tool table lays out its text: one line, centred in the
// row's height, "&" shown as it is, cut with an ellipsis where it does not fit.
inline constexpr unsigned ToolCellLine = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;

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

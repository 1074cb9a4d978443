#pragma once
// A cell that is never shown: the defaults for one kind of cell, with the default width and height.

#include "grid/GridCell.h"

class CGridDefaultCell : public CGridCell {
public:
    CGridDefaultCell();

    const char* ClassName() const override { return "CGridDefaultCell"; }

    void SetData(std::intptr_t) override {}
    void SetState(unsigned) override {}
    unsigned State() const override { return CGridCell::State() | GVIS_READONLY; }
    // Also sizes the cell: margin one blank, width and height from " XXXXXXXXXXXX ".
    void SetFont(const LogFont* font) override;
    const LogFont* Font() const override;
    QFont FontObject() const override { return m_FontObject; }

    unsigned Style() const { return m_Style; }
    void SetStyle(unsigned style) { m_Style = style; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    void SetWidth(int width) { m_Width = width; }
    void SetHeight(int height) { m_Height = height; }

private:
    int m_Width = 30;
    int m_Height = 10;
    QFont m_FontObject;
    unsigned m_Style = 0;
};

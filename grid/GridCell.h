#pragma once
// The standard cell: stores text, image, data, format, colours, font and margin; unset values
// come from the default cell of its kind.

#include "grid/GridCellBase.h"

#include <cstdint>
#include <memory>

class CGridCell : public CGridCellBase {
public:
    CGridCell() = default;
    ~CGridCell() override;

    const char* ClassName() const override { return "CGridCell"; }

    void SetText(std::string_view text) override { m_Text.assign(text); }
    void SetImage(int image) override;
    void SetData(std::intptr_t data) override { m_Data = data; }
    void SetFormat(unsigned format) override { m_Format = format; }
    void SetTextColour(COLORREF colour) override { m_TextColour = colour; }
    void SetBackColour(COLORREF colour) override { m_BackColour = colour; }
    void SetFont(const LogFont* font) override;
    void SetMargin(unsigned margin) override;
    void SetGrid(CGridCtrl* grid) override { m_Grid = grid; }
    void SetCoords(int, int) override {}

    const std::string& Text() const override { return m_Text; }
    int Image() const override { return m_Image; }
    std::intptr_t Data() const override { return m_Data; }
    unsigned Format() const override;
    COLORREF TextColour() const override { return m_TextColour; }
    COLORREF BackColour() const override { return m_BackColour; }
    const LogFont* Font() const override;
    QFont FontObject() const override;
    CGridCtrl* Grid() const override { return m_Grid; }
    CGridInPlaceEdit* EditWindow() const override;
    unsigned Margin() const override;
    bool IsDefaultFont() const override { return m_Font == nullptr; }
    bool IsEditing() const override { return m_Editing; }

    void Reset() override;

    bool Edit(int row, int col, QRect rect, QPoint point, int controlId, int firstChar) override;
    void EndEdit() override;
    void OnEndEdit() override;

private:
    // A grid holds a million of these: small fields first, packed into the base's tail, so that a
    // cell fits an 88-byte allocation. Image indexes and margins beyond 16 bits make no sense.
    static constexpr std::uint16_t UnsetMargin = 0xFFFF;

    unsigned m_Format = GRID_UNSET;
    COLORREF m_TextColour = CLR_DEFAULT;
    COLORREF m_BackColour = CLR_DEFAULT;
    std::int16_t m_Image = -1;
    std::uint16_t m_Margin = UnsetMargin;
    // While set, the grid's in-place edit belongs to this cell.
    bool m_Editing = false;
    CGridCtrl* m_Grid = nullptr;
    std::intptr_t m_Data = 0;
    std::string m_Text;
    std::unique_ptr<LogFont> m_Font;
};

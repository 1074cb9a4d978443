#pragma once
// The abstract cell: every operation a cell of the grid offers, with the shared drawing and sizing.

#include "grid/GridTypes.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class CGridCtrl;
class CGridDefaultCell;
class CGridInPlaceEdit;
class QPainter;

// Format and margin value meaning "take the default cell's".
constexpr unsigned GRID_UNSET = 0xFFFFFFFFu;

class CGridCellBase {
public:
    CGridCellBase() = default;
    CGridCellBase(const CGridCellBase&) = delete;
    CGridCellBase& operator=(const CGridCellBase&) = delete;
    virtual ~CGridCellBase() = default;

    // Run-time class record name.
    virtual const char* ClassName() const { return "CGridCellBase"; }

    virtual void SetText(std::string_view text) = 0;
    virtual void SetImage(int image) = 0;
    virtual void SetData(std::intptr_t data) = 0;
    virtual void SetState(unsigned state) { m_State = state; }
    virtual void SetFormat(unsigned format) = 0;
    virtual void SetTextColour(COLORREF colour) = 0;
    virtual void SetBackColour(COLORREF colour) = 0;
    virtual void SetFont(const LogFont* font) = 0;
    virtual void SetMargin(unsigned margin) = 0;
    virtual void SetGrid(CGridCtrl* grid) = 0;
    virtual void SetCoords(int row, int col) = 0;

    virtual const std::string& Text() const = 0;
    virtual std::string TipText() const { return Text(); }
    virtual int Image() const = 0;
    virtual std::intptr_t Data() const = 0;
    virtual unsigned State() const { return m_State; }
    virtual unsigned Format() const = 0;
    virtual COLORREF TextColour() const = 0;
    virtual COLORREF BackColour() const = 0;
    virtual const LogFont* Font() const = 0;
    virtual QFont FontObject() const = 0;
    virtual CGridCtrl* Grid() const = 0;
    virtual CGridInPlaceEdit* EditWindow() const = 0;
    virtual unsigned Margin() const = 0;
    virtual CGridDefaultCell* DefaultCell() const;
    virtual bool IsDefaultFont() const = 0;
    virtual bool IsEditing() const = 0;

    bool IsFocused() const { return (State() & GVIS_FOCUSED) != 0; }
    bool IsFixed() const { return (State() & GVIS_FIXED) != 0; }
    bool IsFixedColumn() const { return (State() & GVIS_FIXEDCOL) != 0; }
    bool IsFixedRow() const { return (State() & GVIS_FIXEDROW) != 0; }
    bool IsSelected() const { return (State() & GVIS_SELECTED) != 0; }
    bool IsReadOnly() const { return (State() & GVIS_READONLY) != 0; }
    bool IsModified() const { return (State() & GVIS_MODIFIED) != 0; }
    bool IsDropHighlighted() const { return (State() & GVIS_DROPHILITED) != 0; }

    virtual void CopyFrom(const CGridCellBase& cell);
    virtual void Reset() { m_State = 0; }

    virtual bool Draw(QPainter* dc, int row, int col, QRect rect, bool eraseBackground = true);
    virtual bool TextRect(QRect& rect) const;
    virtual bool TipTextRect(QRect& rect) const { return TextRect(rect); }
    // No text (nullopt) gives the default cell's size; an empty text is measured.
    virtual QSize TextExtent(std::optional<std::string_view> text, QPainter* dc = nullptr) const;
    virtual QSize CellExtent(QPainter* dc = nullptr) const;

    virtual bool Edit(int row, int col, QRect rect, QPoint point, int controlId, int firstChar);
    virtual bool ValidateEdit(std::string_view text);
    virtual void EndEdit() {}
    virtual bool PrintCell(QPainter* dc, int row, int col, QRect rect);

    virtual void OnEndEdit() {}
    virtual void OnMouseEnter() {}
    virtual void OnMouseOver() {}
    virtual void OnMouseLeave() {}
    virtual void OnClick(QPoint point);
    virtual void OnClickDown(QPoint point);
    virtual void OnRightClick(QPoint point);
    virtual void OnDoubleClick(QPoint point);
    virtual bool OnSetCursor();

private:
    void DrawRaisedEdge(QPainter& dc, const QRect& rect) const;
    void DrawSortMark(QPainter& dc, QRect& rect, unsigned margin) const;

    unsigned m_State = 0;
};

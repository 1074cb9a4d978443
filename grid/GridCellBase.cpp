#include "grid/GridCellBase.h"

#include "grid/GridColours.h"
#include "grid/GridCtrl.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridDeviceLines.h"
#include "grid/GridFont.h"
#include "grid/GridText.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>

namespace {

QColor Resolved(COLORREF colour, int fallbackIndex) {
    return ToQColor(colour == CLR_DEFAULT ? SystemColour(fallbackIndex) : colour);
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

CGridDefaultCell* CGridCellBase::DefaultCell() const {
    CGridCtrl* grid = Grid();
    if (grid == nullptr) {
        return nullptr;
    }
    return grid->GetDefaultCell(IsFixedRow(), IsFixedColumn());
}

void CGridCellBase::CopyFrom(const CGridCellBase& cell) {
    SetText(cell.Text());
    SetImage(cell.Image());
    SetData(cell.Data());
    SetState(cell.State());
    SetFormat(cell.Format());
    SetTextColour(cell.TextColour());
    SetBackColour(cell.BackColour());
    SetFont(cell.IsDefaultFont() ? nullptr : cell.Font());
    SetMargin(cell.Margin());
}

bool CGridCellBase::Draw(QPainter* dc, int row, int col, QRect rect, bool eraseBackground) {
    CGridCtrl* grid = Grid();
    if (grid == nullptr || dc == nullptr || rect.right() <= rect.left() || rect.bottom() <= rect.top()) {
        return false;
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    if (defaultCell == nullptr) {
        return false;
    }
    dc->save();
    dc->setBackgroundMode(Qt::TransparentMode);

    QColor textColour =
        Resolved(TextColour() == CLR_DEFAULT ? defaultCell->TextColour() : TextColour(), COLOR_WINDOWTEXT);
    QColor backColour =
        Resolved(BackColour() == CLR_DEFAULT ? defaultCell->BackColour() : BackColour(), COLOR_WINDOW);
    // A colour of its own is always shown, whatever the caller asked.
    if (BackColour() != CLR_DEFAULT) {
        eraseBackground = true;
    }

    // Filling the whole QRect covers the cell up to where the next one starts.
    if (!IsFocused() && !IsDropHighlighted()) {
        if (IsSelected()) {
            dc->fillRect(rect, ToQColor(SystemColour(COLOR_HIGHLIGHT)));
            textColour = ToQColor(SystemColour(COLOR_HIGHLIGHTTEXT));
        } else if (eraseBackground) {
            dc->fillRect(rect, backColour);
        }
    } else {
        if (IsSelected()) {
            backColour = ToQColor(SystemColour(COLOR_HIGHLIGHT));
            textColour = ToQColor(SystemColour(COLOR_HIGHLIGHTTEXT));
            eraseBackground = true;
        }
        if (eraseBackground) {
            dc->fillRect(rect, backColour);
        }
        rect.adjust(1, 1, -1, -1);
    }

    if (IsFixed() && grid->GetGridLines() != GVL_NONE) {
        DrawRaisedEdge(*dc, rect);
        rect.adjust(1, 1, -1, -1);
    }

    if (dc->device() == nullptr || dc->device()->devType() != QInternal::Printer) {
        // Most cells share the default cell's font; setting an equal font again is not free.
        const QFont font = FontObject();
        if (dc->font() != font) {
            dc->setFont(font);
        }
    }

    const int margin = int(Margin());
    rect.adjust(margin, 0, -margin, 0);

    const std::vector<QPixmap>& images = grid->GetImageList();
    if (Image() >= 0 && Image() < int(images.size()) && !images[std::size_t(Image())].isNull()) {
        const QPixmap& image = images[std::size_t(Image())];
        if (rect.left() + image.width() <= rect.right() + 1 + 2 * margin &&
            rect.top() + image.height() <= rect.bottom() + 1 + 2 * margin) {
            dc->drawPixmap(rect.left() + margin, rect.top(), image);
        }
        rect.setLeft(rect.left() + margin + image.width());
    }

    if (row == 0 && col == grid->GetSortColumn()) {
        DrawSortMark(*dc, rect, unsigned(margin));
    }

    TextRect(rect);
    const LogFont* font = Font();
    dc->setPen(textColour);
    DrawCellText(*dc, rect, ToQString(Text()), Format() | DT_NOPREFIX,
                 font != nullptr ? font->Escapement : 0);

    dc->restore();
    return true;
}

void CGridCellBase::DrawRaisedEdge(QPainter& dc, const QRect& rect) const {
    // One-pixel lines as filled rectangles: the raster engine fills far faster than it strokes.
    const QColor light = ToQColor(SystemColour(COLOR_3DHILIGHT));
    const QColor dark = ToQColor(SystemColour(COLOR_3DDKSHADOW));
    CGridDeviceLines lines(dc);
    lines.Horizontal(rect.top(), rect.left(), rect.right() - 1, light, true);
    lines.Vertical(rect.left(), rect.top(), rect.bottom() - 1, light, true);
    lines.Vertical(rect.right(), rect.top(), rect.bottom(), dark);
    lines.Horizontal(rect.bottom(), rect.left(), rect.right(), dark);
}

void CGridCellBase::DrawSortMark(QPainter& dc, QRect& rect, unsigned margin) const {
    const QFontMetrics metrics = dc.fontMetrics();
    const int size = std::min(metrics.boundingRect(QStringLiteral("M")).height() - 4, rect.height() - 4);
    if (size <= 0 || rect.left() + size >= rect.right() + 1 + 2 * int(margin)) {
        return;
    }
    const LogFont* font = Font();
    const bool vertical = font != nullptr && IsVerticalFont(*font);
    const int left = vertical ? rect.left() + (rect.width() - size) / 2 : rect.right() + 1 - size;
    const int bottom = rect.bottom() - 2;
    const int top = bottom - size;
    const bool ascending = Grid() != nullptr && Grid()->GetSortAscending();
    // Ascending points up, descending down.
    const QPoint tip = ascending ? QPoint(left + size / 2, top) : QPoint(left + size / 2, bottom);
    const int baseY = ascending ? bottom : top;
    dc.setPen(QPen(ToQColor(SystemColour(COLOR_BTNSHADOW)), 0));
    dc.drawLine(tip, QPoint(left, baseY));
    dc.setPen(QPen(ToQColor(SystemColour(COLOR_3DHILIGHT)), 0));
    dc.drawLine(QPoint(left, baseY), QPoint(left + size, baseY));
    dc.drawLine(QPoint(left + size, baseY), tip);
    if (!vertical) {
        rect.setRight(left - 1);
    }
}

bool CGridCellBase::TextRect(QRect&) const {
    return true;
}

QSize CGridCellBase::TextExtent(std::optional<std::string_view> text, QPainter* dc) const {
    const CGridDefaultCell* defaultCell = DefaultCell();
    if (!text.has_value()) {
        return defaultCell != nullptr ? QSize(defaultCell->Width(), defaultCell->Height()) : QSize(0, 0);
    }
    const QFont font = FontObject();
    const QFontMetrics metrics =
        dc != nullptr && dc->device() != nullptr ? QFontMetrics(font, dc->device()) : QFontMetrics(font);
    const QSize size = MeasureCellText(metrics, ToQString(*text), Format());
    const int margin = int(Margin());
    const LogFont* record = Font();
    if (record != nullptr && IsVerticalFont(*record)) {
        return {size.height() + 2 * margin, size.width() + 8 * margin};
    }
    return {size.width() + 4 * margin, size.height() + 2 * margin};
}

QSize CGridCellBase::CellExtent(QPainter* dc) const {
    QSize size = TextExtent(std::string_view(Text()), dc);
    const CGridCtrl* grid = Grid();
    if (grid != nullptr && Image() >= 0 && Image() < int(grid->GetImageList().size())) {
        const QPixmap& image = grid->GetImageList()[std::size_t(Image())];
        size.rwidth() += image.width();
        size.setHeight(std::max(size.height(), image.height()));
    }
    return size;
}

bool CGridCellBase::Edit(int, int, QRect, QPoint, int, int) {
    return false;
}

bool CGridCellBase::ValidateEdit(std::string_view) {
    return true;
}

bool CGridCellBase::PrintCell(QPainter* dc, int, int, QRect rect) {
    if (dc == nullptr || rect.width() <= 0 || rect.height() <= 0) {
        return false;
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    const COLORREF ownBack = BackColour();
    const COLORREF back =
        ownBack != CLR_DEFAULT || defaultCell == nullptr ? ownBack : defaultCell->BackColour();
    const COLORREF text =
        TextColour() != CLR_DEFAULT || defaultCell == nullptr ? TextColour() : defaultCell->TextColour();
    dc->save();
    // Paper stays white except where a cell asks for a colour, and for the shaded header cells.
    if (ownBack != CLR_DEFAULT || IsFixed()) {
        dc->fillRect(rect, Resolved(back, COLOR_WINDOW));
    }
    dc->setPen(Resolved(text, COLOR_WINDOWTEXT));
    const int margin = dc->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    rect.adjust(margin, 0, -margin, 0);
    TextRect(rect);
    DrawCellText(*dc, rect, ToQString(Text()), Format() | DT_NOPREFIX);
    dc->restore();
    return true;
}

void CGridCellBase::OnClick(QPoint) {}

void CGridCellBase::OnClickDown(QPoint) {}

void CGridCellBase::OnRightClick(QPoint) {}

void CGridCellBase::OnDoubleClick(QPoint) {}

bool CGridCellBase::OnSetCursor() {
    if (CGridCtrl* grid = Grid()) {
        grid->viewport()->setCursor(Qt::ArrowCursor);
    }
    return true;
}

#include "grid/GridCtrl.h"

#include "grid/GridCtrlDetail.h"
#include "grid/GridDeviceLines.h"

#include <QPaintEvent>
#include <QPainter>

#include <vector>

namespace {

// One row or column as drawn: its index and where it starts.
struct Span {
    int Index;
    int Start;
    int Size;
};

} // namespace

using GridCtrlDetail::BackOf;

// ---- painting ---------------------------------------------------------------------------------

void CGridCtrl::paintEvent(QPaintEvent* event) {
    if (!m_AllowDraw) {
        return;
    }
    QPainter dc(viewport());
    const QRect clip = event->rect();
    if (!m_DoubleBuffer) {
        dc.setClipRect(clip);
        OnDraw(dc, clip);
        return;
    }
    // The off-screen bitmap is kept between paints: allocating a window-sized one each time costs
    // more than drawing the cells.
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = clip.size() * ratio;
    if (m_PaintBuffer.width() < pixels.width() || m_PaintBuffer.height() < pixels.height() ||
        m_PaintBuffer.devicePixelRatio() != ratio) {
        m_PaintBuffer = QPixmap(pixels.expandedTo(viewport()->size() * ratio));
        m_PaintBuffer.setDevicePixelRatio(ratio);
    }
    {
        QPainter memory(&m_PaintBuffer);
        memory.fillRect(QRect(QPoint(0, 0), clip.size()), ToQColor(m_GridBackColour));
        memory.translate(-clip.topLeft());
        OnDraw(memory, clip);
    }
    dc.drawPixmap(clip.topLeft(), m_PaintBuffer, QRectF(QPointF(0, 0), QSizeF(pixels)));
}

void CGridCtrl::OnDraw(QPainter& dc, const QRect& clip) {
    const QRect client = viewport()->rect();
    const int fixedWidth = GetFixedColumnWidth();
    const int fixedHeight = GetFixedRowHeight();
    const GridCellRange visible = GetVisibleNonFixedCellRange();

    std::vector<Span> fixedRows;
    std::vector<Span> fixedCols;
    std::vector<Span> rows;
    std::vector<Span> cols;
    int y = 0;
    for (int row = 0; row < m_FixedRowCount && y < client.height(); ++row) {
        fixedRows.push_back({row, y, m_RowHeights[std::size_t(row)]});
        y += m_RowHeights[std::size_t(row)];
    }
    int x = 0;
    for (int col = 0; col < m_FixedColumnCount && x < client.width(); ++col) {
        fixedCols.push_back({col, x, m_ColumnWidths[std::size_t(col)]});
        x += m_ColumnWidths[std::size_t(col)];
    }
    int bottomEdge = fixedHeight;
    for (int row = visible.MinRow; row >= 0 && row <= visible.MaxRow; ++row) {
        rows.push_back({row, bottomEdge, m_RowHeights[std::size_t(row)]});
        bottomEdge += m_RowHeights[std::size_t(row)];
    }
    int rightEdge = fixedWidth;
    for (int col = visible.MinCol; col >= 0 && col <= visible.MaxCol; ++col) {
        cols.push_back({col, rightEdge, m_ColumnWidths[std::size_t(col)]});
        rightEdge += m_ColumnWidths[std::size_t(col)];
    }

    DrawBackground(dc, client, fixedWidth, fixedHeight, rightEdge, bottomEdge);

    const auto drawBlock = [&](const std::vector<Span>& blockRows, const std::vector<Span>& blockCols) {
        for (const Span& row : blockRows) {
            if (row.Start > clip.bottom() || row.Start + row.Size <= clip.top()) {
                continue;
            }
            for (const Span& col : blockCols) {
                const QRect rect(col.Start, row.Start, col.Size, row.Size);
                if (!rect.intersects(clip)) {
                    continue;
                }
                if (CGridCellBase* cell = GetCell(row.Index, col.Index)) {
                    cell->Draw(&dc, row.Index, col.Index, rect, false);
                }
            }
        }
    };
    drawBlock(fixedRows, fixedCols);
    drawBlock(fixedRows, cols);
    drawBlock(rows, fixedCols);
    drawBlock(rows, cols);

    // Grid lines over the scrolling cells only, each one device pixel at the end of its cell.
    if (m_GridLines != GVL_NONE) {
        const QColor lineColour = ToQColor(m_GridLineColour);
        CGridDeviceLines lines(dc);
        if (m_GridLines == GVL_BOTH || m_GridLines == GVL_VERT) {
            for (const Span& col : cols) {
                lines.Vertical(col.Start + col.Size - 1, fixedHeight, bottomEdge - 1, lineColour);
            }
        }
        if (m_GridLines == GVL_BOTH || m_GridLines == GVL_HORZ) {
            for (const Span& row : rows) {
                lines.Horizontal(row.Start + row.Size - 1, fixedWidth, rightEdge - 1, lineColour);
            }
        }
    }

    DrawFocusFrame(dc);

    if ((m_MouseMode == MouseMode::SizingColumn || m_MouseMode == MouseMode::SizingRow) &&
        m_SizingLine >= 0) {
        dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        dc.setPen(QPen(Qt::white, 0));
        if (m_MouseMode == MouseMode::SizingColumn) {
            dc.drawLine(m_SizingLine, 0, m_SizingLine, client.bottom());
        } else {
            dc.drawLine(0, m_SizingLine, client.right(), m_SizingLine);
        }
        dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void CGridCtrl::DrawFocusFrame(QPainter& dc) {
    QRect rect;
    if (!hasFocus() || !GetCellRect(m_FocusCell.Row, m_FocusCell.Col, rect)) {
        return;
    }
    // A dotted frame inside the cell's lines, in the colour of the text over the cell's fill, so that
    // it shows inside a selection as well as outside.
    const bool selected = IsCellSelected(m_FocusCell.Row, m_FocusCell.Col);
    QPen pen(ToQColor(SystemColour(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)), 0, Qt::DotLine);
    pen.setCosmetic(true);
    dc.save();
    dc.setPen(pen);
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(rect.adjusted(1, 1, -3, -3));
    dc.restore();
}

void CGridCtrl::DrawBackground(QPainter& dc, const QRect& client, int fixedWidth, int fixedHeight,
                               int rightEdge, int bottomEdge) {
    const auto fill = [&](const QRect& area, const QColor& colour) {
        const QRect visible = area.intersected(client);
        if (!visible.isEmpty()) {
            dc.fillRect(visible, colour);
        }
    };
    fill(QRect(0, 0, fixedWidth, fixedHeight), BackOf(m_DefaultCellFixed, COLOR_BTNFACE));
    fill(QRect(fixedWidth, 0, rightEdge - fixedWidth, fixedHeight),
         BackOf(m_DefaultCellFixedRow, COLOR_BTNFACE));
    fill(QRect(0, fixedHeight, fixedWidth, bottomEdge - fixedHeight),
         BackOf(m_DefaultCellFixedColumn, COLOR_BTNFACE));
    fill(QRect(fixedWidth, fixedHeight, rightEdge - fixedWidth, bottomEdge - fixedHeight),
         BackOf(m_DefaultCell, COLOR_WINDOW));
    const QColor outside =
        ToQColor(m_GridBackColour == CLR_DEFAULT ? SystemColour(COLOR_BTNSHADOW) : m_GridBackColour);
    const int tableRight = std::max(rightEdge, fixedWidth);
    const int tableBottom = std::max(bottomEdge, fixedHeight);
    fill(QRect(tableRight, 0, client.width() - tableRight, client.height()), outside);
    fill(QRect(0, tableBottom, tableRight, client.height() - tableBottom), outside);
}

#include "grid/GridCtrl.h"

#include "grid/GridCtrlDetail.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

using GridCtrlDetail::ClampToInt;

// ---- sizes ------------------------------------------------------------------------------------

int CGridCtrl::GetRowHeight(int row) const {
    return row >= 0 && row < m_RowCount ? m_RowHeights[std::size_t(row)] : -1;
}

int CGridCtrl::GetColumnWidth(int col) const {
    return col >= 0 && col < m_ColumnCount ? m_ColumnWidths[std::size_t(col)] : -1;
}

bool CGridCtrl::SetRowHeight(int row, int height) {
    if (row < 0 || row >= m_RowCount || height < 0) {
        return false;
    }
    m_RowHeights[std::size_t(row)] = height;
    ResetScrollBars();
    viewport()->update();
    return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width) {
    if (col < 0 || col >= m_ColumnCount || width < 0) {
        return false;
    }
    m_ColumnWidths[std::size_t(col)] = width;
    ResetScrollBars();
    viewport()->update();
    return true;
}

int CGridCtrl::GetFixedRowHeight() const {
    return ClampToInt(std::accumulate(m_RowHeights.begin(), m_RowHeights.begin() + m_FixedRowCount, 0LL));
}

int CGridCtrl::GetFixedColumnWidth() const {
    return ClampToInt(
        std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.begin() + m_FixedColumnCount, 0LL));
}

long long CGridCtrl::GetVirtualHeight() const {
    return std::accumulate(m_RowHeights.begin(), m_RowHeights.end(), 0LL);
}

long long CGridCtrl::GetVirtualWidth() const {
    return std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.end(), 0LL);
}

bool CGridCtrl::AutoSizeColumn(int col) {
    if (col < 0 || col >= m_ColumnCount) {
        return false;
    }
    const int firstRow = (m_AutoSizeStyle & 1) ? 0 : m_FixedRowCount;
    const int lastRow = (m_AutoSizeStyle & 2) ? m_RowCount : m_FixedRowCount;
    int width = 0;
    for (int row = firstRow; row < lastRow; ++row) {
        if (const CGridCellBase* cell = GetCell(row, col)) {
            width = std::max(width, cell->CellExtent().width());
        }
    }
    m_ColumnWidths[std::size_t(col)] = width;
    ResetScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::AutoSizeRow(int row) {
    if (row < 0 || row >= m_RowCount) {
        return false;
    }
    int height = 0;
    for (int col = 0; col < m_ColumnCount; ++col) {
        if (const CGridCellBase* cell = GetCell(row, col)) {
            height = std::max(height, cell->CellExtent().height());
        }
    }
    m_RowHeights[std::size_t(row)] = height;
    ResetScrollBars();
    Refresh();
    return true;
}

int CGridCtrl::ColumnBorderAt(QPoint point) const {
    if (!m_ColumnResizeAllowed || point.y() < 0 || point.y() >= GetFixedRowHeight()) {
        return -1;
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    return NearestBorder(m_ColumnWidths, m_FixedColumnCount, visible.MinCol, visible.MaxCol, point.x());
}

int CGridCtrl::RowBorderAt(QPoint point) const {
    if (!m_RowResizeAllowed || point.x() < 0 || point.x() >= GetFixedColumnWidth()) {
        return -1;
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    return NearestBorder(m_RowHeights, m_FixedRowCount, visible.MinRow, visible.MaxRow, point.y());
}

int CGridCtrl::NearestBorder(const std::vector<int>& sizes, int fixedCount, int firstVisible, int lastVisible,
                             int position) const {
    // The nearest border in reach wins; of two equally near the later one, so that a narrow column
    // (row) stays reachable beside its neighbour.
    int best = -1;
    long long bestDistance = m_ResizeCaptureRange;
    long long edge = 0;
    const auto consider = [&](int index) {
        edge += sizes[std::size_t(index)];
        const long long distance = std::abs(position - edge);
        if (sizes[std::size_t(index)] > 0 && distance <= bestDistance && distance < m_ResizeCaptureRange) {
            best = index;
            bestDistance = distance;
        }
    };
    for (int index = 0; index < fixedCount; ++index) {
        consider(index);
    }
    for (int index = firstVisible; index >= 0 && index <= lastVisible; ++index) {
        consider(index);
    }
    return best;
}

bool CGridCtrl::BeginSizing(QPoint point) {
    const bool columns = m_MouseMode == MouseMode::PrepareSizeColumn;
    m_SizingIndex = columns ? ColumnBorderAt(point) : RowBorderAt(point);
    QPoint origin;
    if (m_SizingIndex < 0 ||
        !GetCellOrigin(columns ? 0 : m_SizingIndex, columns ? m_SizingIndex : 0, origin)) {
        m_MouseMode = MouseMode::Nothing;
        return false;
    }
    m_SizingStart = columns ? origin.x() : origin.y();
    m_MouseMode = columns ? MouseMode::SizingColumn : MouseMode::SizingRow;
    m_SizingLine = SizingLineAt(point);
    viewport()->update();
    return true;
}

int CGridCtrl::SizingLineAt(QPoint point) const {
    // The line stays inside the client area and right of (below) the sized column's (row's) start,
    // as a cursor confined there would; the new size is the line's distance from that start.
    const bool columns = m_MouseMode == MouseMode::SizingColumn;
    const int position = columns ? point.x() : point.y();
    const int last = columns ? viewport()->rect().right() : viewport()->rect().bottom();
    return std::clamp(position, m_SizingStart + 1, std::max(m_SizingStart + 1, last));
}

void CGridCtrl::EndSizing(QPoint point) {
    const bool columns = m_MouseMode == MouseMode::SizingColumn;
    const int size = SizingLineAt(point) - m_SizingStart;
    const int index = m_SizingIndex;
    StopMouseAction();
    if (columns) {
        SetColumnWidth(index, size);
    } else {
        SetRowHeight(index, size);
    }
    viewport()->update();
}

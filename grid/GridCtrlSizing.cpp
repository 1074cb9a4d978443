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
    long long right = 0;
    const auto near = [&](int col) {
        right += m_ColumnWidths[std::size_t(col)];
        return m_ColumnWidths[std::size_t(col)] > 0 && std::abs(point.x() - right) < m_ResizeCaptureRange;
    };
    for (int col = 0; col < m_FixedColumnCount; ++col) {
        if (near(col)) {
            return col;
        }
    }
    for (int col = visible.MinCol; col >= 0 && col <= visible.MaxCol; ++col) {
        if (near(col)) {
            return col;
        }
    }
    return -1;
}

int CGridCtrl::RowBorderAt(QPoint point) const {
    if (!m_RowResizeAllowed || point.x() < 0 || point.x() >= GetFixedColumnWidth()) {
        return -1;
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    long long bottom = 0;
    const auto near = [&](int row) {
        bottom += m_RowHeights[std::size_t(row)];
        return m_RowHeights[std::size_t(row)] > 0 && std::abs(point.y() - bottom) < m_ResizeCaptureRange;
    };
    for (int row = 0; row < m_FixedRowCount; ++row) {
        if (near(row)) {
            return row;
        }
    }
    for (int row = visible.MinRow; row >= 0 && row <= visible.MaxRow; ++row) {
        if (near(row)) {
            return row;
        }
    }
    return -1;
}

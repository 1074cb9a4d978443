#include "grid/GridCtrl.h"

#include "grid/GridCtrlDetail.h"
#include "grid/GridScrollBarPlan.h"
#include "grid/GridTitleTip.h"

#include <QScrollBar>

#include <algorithm>
#include <numeric>

using GridCtrlDetail::ClampToInt;

// ---- drawing state ----------------------------------------------------------------------------

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars) {
    if (allow && !m_AllowDraw) {
        m_AllowDraw = true;
        Refresh();
    }
    m_AllowDraw = allow;
    if (resetScrollBars) {
        ResetScrollBars();
    }
}

void CGridCtrl::Refresh() {
    if (m_AllowDraw) {
        viewport()->update();
    }
}

bool CGridCtrl::RedrawCell(int row, int col) {
    QRect rect;
    if (!m_AllowDraw || !GetCellRect(row, col, rect)) {
        return false;
    }
    if (rect.intersects(viewport()->rect())) {
        viewport()->update(rect);
    }
    return true;
}

void CGridCtrl::ResetScrollBars() {
    if (!m_AllowDraw) {
        return;
    }
    const int frame = 2 * frameWidth();
    GridScrollBarInput input;
    input.AreaWidth = width() - frame;
    input.AreaHeight = height() - frame;
    if (input.AreaWidth <= 0 || input.AreaHeight <= 0) {
        return;
    }
    input.FixedWidth = GetFixedColumnWidth();
    input.FixedHeight = GetFixedRowHeight();
    input.NonFixedWidth = GetVirtualWidth() - input.FixedWidth;
    input.NonFixedHeight = GetVirtualHeight() - input.FixedHeight;
    input.VerticalBarWidth = verticalScrollBar()->sizeHint().width();
    input.HorizontalBarHeight = horizontalScrollBar()->sizeHint().height();
    const GridScrollBarPlan plan = PlanScrollBars(input);

    m_VScrollShown = plan.ShowVertical;
    m_HScrollShown = plan.ShowHorizontal;
    verticalScrollBar()->setRange(0, plan.VerticalMaximum);
    verticalScrollBar()->setPageStep(std::max(1, plan.VerticalPage));
    verticalScrollBar()->setSingleStep(std::max(1, m_DefaultCell.Height()));
    horizontalScrollBar()->setRange(0, plan.HorizontalMaximum);
    horizontalScrollBar()->setPageStep(std::max(1, plan.HorizontalPage));
    horizontalScrollBar()->setSingleStep(std::max(1, m_DefaultCell.Width()));
    const Qt::ScrollBarPolicy vertical = plan.ShowVertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    const Qt::ScrollBarPolicy horizontal =
        plan.ShowHorizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != vertical) {
        setVerticalScrollBarPolicy(vertical);
    }
    if (horizontalScrollBarPolicy() != horizontal) {
        setHorizontalScrollBarPolicy(horizontal);
    }
}

void CGridCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    HideTitleTip();
    ResetScrollBars();
}

// ---- geometry ---------------------------------------------------------------------------------

GridCellId CGridCtrl::GetTopLeftNonFixedCell() const {
    const int verticalPos = verticalScrollBar()->value();
    const int horizontalPos = horizontalScrollBar()->value();
    int row = m_FixedRowCount;
    long long y = 0;
    while (y < verticalPos && row < m_RowCount - 1) {
        y += m_RowHeights[std::size_t(row++)];
    }
    int col = m_FixedColumnCount;
    long long x = 0;
    while (x < horizontalPos && col < m_ColumnCount - 1) {
        x += m_ColumnWidths[std::size_t(col++)];
    }
    return {row, col};
}

GridCellRange CGridCtrl::GetVisibleNonFixedCellRange() const {
    const QRect client = viewport()->rect();
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    long long bottom = GetFixedRowHeight();
    int row = topLeft.Row;
    for (; row < m_RowCount; ++row) {
        bottom += m_RowHeights[std::size_t(row)];
        if (bottom >= client.height()) {
            break;
        }
    }
    long long right = GetFixedColumnWidth();
    int col = topLeft.Col;
    for (; col < m_ColumnCount; ++col) {
        right += m_ColumnWidths[std::size_t(col)];
        if (right >= client.width()) {
            break;
        }
    }
    return {topLeft.Row, topLeft.Col, std::min(row, m_RowCount - 1), std::min(col, m_ColumnCount - 1)};
}

bool CGridCtrl::GetCellOrigin(int row, int col, QPoint& origin) const {
    if (!IsValid(row, col)) {
        return false;
    }
    const GridCellId topLeft =
        (row >= m_FixedRowCount || col >= m_FixedColumnCount) ? GetTopLeftNonFixedCell() : GridCellId{};
    long long x = 0;
    if (col < m_FixedColumnCount) {
        x = std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.begin() + col, 0LL);
    } else {
        if (col < topLeft.Col) {
            return false;
        }
        x = GetFixedColumnWidth() +
            std::accumulate(m_ColumnWidths.begin() + topLeft.Col, m_ColumnWidths.begin() + col, 0LL);
    }
    long long y = 0;
    if (row < m_FixedRowCount) {
        y = std::accumulate(m_RowHeights.begin(), m_RowHeights.begin() + row, 0LL);
    } else {
        if (row < topLeft.Row) {
            return false;
        }
        y = GetFixedRowHeight() +
            std::accumulate(m_RowHeights.begin() + topLeft.Row, m_RowHeights.begin() + row, 0LL);
    }
    origin = QPoint(ClampToInt(x), ClampToInt(y));
    return true;
}

bool CGridCtrl::GetCellRect(int row, int col, QRect& rect) const {
    QPoint origin;
    if (!GetCellOrigin(row, col, origin)) {
        return false;
    }
    rect = QRect(origin, QSize(m_ColumnWidths[std::size_t(col)], m_RowHeights[std::size_t(row)]));
    return true;
}

GridCellId CGridCtrl::GetCellFromPt(QPoint point) const {
    if (point.x() < 0 || point.y() < 0 || m_RowCount == 0 || m_ColumnCount == 0) {
        return {};
    }
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    GridCellId cell;
    const int fixedWidth = GetFixedColumnWidth();
    long long x = 0;
    if (point.x() < fixedWidth) {
        for (int col = 0; col < m_FixedColumnCount; ++col) {
            x += m_ColumnWidths[std::size_t(col)];
            if (point.x() < x) {
                cell.Col = col;
                break;
            }
        }
    } else {
        x = fixedWidth;
        for (int col = topLeft.Col; col < m_ColumnCount; ++col) {
            x += m_ColumnWidths[std::size_t(col)];
            if (point.x() < x) {
                cell.Col = col;
                break;
            }
        }
    }
    const int fixedHeight = GetFixedRowHeight();
    long long y = 0;
    if (point.y() < fixedHeight) {
        for (int row = 0; row < m_FixedRowCount; ++row) {
            y += m_RowHeights[std::size_t(row)];
            if (point.y() < y) {
                cell.Row = row;
                break;
            }
        }
    } else {
        y = fixedHeight;
        for (int row = topLeft.Row; row < m_RowCount && y <= point.y(); ++row) {
            y += m_RowHeights[std::size_t(row)];
            if (point.y() < y) {
                cell.Row = row;
                break;
            }
        }
    }
    return cell.IsValid() ? cell : GridCellId{};
}

bool CGridCtrl::IsCellVisible(int row, int col) const {
    QRect rect;
    return GetCellRect(row, col, rect) && viewport()->rect().contains(rect.topLeft());
}

int CGridCtrl::VisibleNonFixedHeight() const {
    return viewport()->height() - GetFixedRowHeight();
}

int CGridCtrl::VisibleNonFixedWidth() const {
    return viewport()->width() - GetFixedColumnWidth();
}

long long CGridCtrl::RowStart(int row) const {
    return std::accumulate(m_RowHeights.begin() + m_FixedRowCount, m_RowHeights.begin() + row, 0LL);
}

long long CGridCtrl::ColumnStart(int col) const {
    return std::accumulate(m_ColumnWidths.begin() + m_FixedColumnCount, m_ColumnWidths.begin() + col, 0LL);
}

void CGridCtrl::EnsureVisible(int row, int col) {
    if (!IsValid(row, col)) {
        return;
    }
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    const int visibleHeight = VisibleNonFixedHeight();
    if (row >= m_FixedRowCount && visibleHeight > 0) {
        if (row < topLeft.Row) {
            verticalScrollBar()->setValue(ClampToInt(RowStart(row)));
        } else {
            long long extent =
                std::accumulate(m_RowHeights.begin() + topLeft.Row, m_RowHeights.begin() + row + 1, 0LL);
            if (extent > visibleHeight) {
                // The highest top row that still shows the whole row.
                int top = row;
                long long used = m_RowHeights[std::size_t(row)];
                while (top - 1 >= m_FixedRowCount &&
                       used + m_RowHeights[std::size_t(top - 1)] <= visibleHeight) {
                    used += m_RowHeights[std::size_t(--top)];
                }
                verticalScrollBar()->setValue(ClampToInt(RowStart(top)));
            }
        }
    }
    const int visibleWidth = VisibleNonFixedWidth();
    if (col >= m_FixedColumnCount && visibleWidth > 0) {
        if (col < topLeft.Col) {
            horizontalScrollBar()->setValue(ClampToInt(ColumnStart(col)));
        } else {
            long long extent =
                std::accumulate(m_ColumnWidths.begin() + topLeft.Col, m_ColumnWidths.begin() + col + 1, 0LL);
            if (extent > visibleWidth) {
                int left = col;
                long long used = m_ColumnWidths[std::size_t(col)];
                while (left - 1 >= m_FixedColumnCount &&
                       used + m_ColumnWidths[std::size_t(left - 1)] <= visibleWidth) {
                    used += m_ColumnWidths[std::size_t(--left)];
                }
                horizontalScrollBar()->setValue(ClampToInt(ColumnStart(left)));
            }
        }
    }
}

// ---- scrolling --------------------------------------------------------------------------------

int CGridCtrl::ScrollTarget(Qt::Orientation orientation, ScrollCode code) const {
    const QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    const int position = bar->value();
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    const std::vector<int>& sizes = orientation == Qt::Vertical ? m_RowHeights : m_ColumnWidths;
    const int first = orientation == Qt::Vertical ? m_FixedRowCount : m_FixedColumnCount;
    const int top = orientation == Qt::Vertical ? topLeft.Row : topLeft.Col;
    long long target = position;
    switch (code) {
    case ScrollCode::LineDown:
        if (position < bar->maximum() && top < int(sizes.size())) {
            target = position + std::max(1, sizes[std::size_t(top)]);
        }
        break;
    case ScrollCode::LineUp:
        if (position > 0) {
            const int above = top - 1;
            target = position - (above >= first ? std::max(1, sizes[std::size_t(above)]) : position);
        }
        break;
    case ScrollCode::PageDown:
        target = static_cast<long long>(position) + bar->pageStep();
        break;
    case ScrollCode::PageUp:
        target = static_cast<long long>(position) - bar->pageStep();
        break;
    case ScrollCode::Top:
        target = 0;
        break;
    case ScrollCode::Bottom:
        target = bar->maximum();
        break;
    }
    return int(std::clamp<long long>(target, bar->minimum(), bar->maximum()));
}

void CGridCtrl::Scroll(Qt::Orientation orientation, ScrollCode code) {
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setValue(ScrollTarget(orientation, code));
}

void CGridCtrl::OnScrollAction(Qt::Orientation orientation, int action) {
    ScrollCode code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        break;
    default:
        return;
    }
    // A line is the height (width) of the row (column) at the edge, not a fixed number of pixels.
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setSliderPosition(ScrollTarget(orientation, code));
}

void CGridCtrl::scrollContentsBy(int, int) {
    HideTitleTip();
    EndEditing();
    viewport()->update();
}

#include "grid/GridCtrl.h"

#include "grid/GridCtrlDetail.h"
#include "grid/GridInPlaceEdit.h"
#include "grid/GridTitleTip.h"

#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

using GridCtrlDetail::BackOf;
using GridCtrlDetail::TextOf;

// ---- mouse ------------------------------------------------------------------------------------

void CGridCtrl::UpdateCursorAndTip(QPoint point) {
    if (ColumnBorderAt(point) >= 0) {
        m_MouseMode = MouseMode::PrepareSizeColumn;
        viewport()->setCursor(Qt::SizeHorCursor);
        HideTitleTip();
        return;
    }
    if (RowBorderAt(point) >= 0) {
        m_MouseMode = MouseMode::PrepareSizeRow;
        viewport()->setCursor(Qt::SizeVerCursor);
        HideTitleTip();
        return;
    }
    m_MouseMode = MouseMode::Nothing;
    const GridCellId id = GetCellFromPt(point);
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    if (cell == nullptr || !cell->OnSetCursor()) {
        viewport()->setCursor(Qt::ArrowCursor);
    }
    if (m_TitleTip != nullptr && m_TitleTip->isVisible() && !m_TitleTip->HoverRect().contains(point)) {
        HideTitleTip();
    }
    if (m_TitleTips && cell != nullptr) {
        ShowTitleTip(id);
    }
}

void CGridCtrl::ShowTitleTip(GridCellId id) {
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    QRect cellRect;
    if (cell == nullptr || cell->IsEditing() || !GetCellRect(id.Row, id.Col, cellRect)) {
        return;
    }
    const std::string tip = cell->TipText();
    if (tip.empty()) {
        return;
    }
    QRect textRect = cellRect;
    if (!cell->TipTextRect(textRect)) {
        return;
    }
    const QString text = QString::fromStdString(tip);
    const QFont font = cell->FontObject();
    const QFontMetrics metrics(font);
    const int margin = int(cell->Margin());
    const int textWidth = metrics.horizontalAdvance(text);
    // The cell shows its text between its margins; only a cut text needs the tip.
    if (textWidth <= textRect.width() - 2 * margin) {
        return;
    }
    if (m_TitleTip != nullptr && m_TitleTip->isVisible() && m_TitleTip->HoverRect() == cellRect) {
        return;
    }
    if (m_TitleTip == nullptr) {
        m_TitleTip = std::make_unique<CGridTitleTip>(viewport());
    }
    const CGridDefaultCell* defaultCell = cell->DefaultCell();
    QColor textColour = cell->TextColour() != CLR_DEFAULT ? ToQColor(cell->TextColour())
                        : defaultCell != nullptr          ? TextOf(*defaultCell)
                                                          : ToQColor(SystemColour(COLOR_INFOTEXT));
    QColor backColour = cell->BackColour() != CLR_DEFAULT ? ToQColor(cell->BackColour())
                        : defaultCell != nullptr
                            ? BackOf(*defaultCell, cell->IsFixed() ? COLOR_BTNFACE : COLOR_WINDOW)
                            : ToQColor(SystemColour(COLOR_INFOBK));
    const QRect tipRect(cellRect.topLeft(), QSize(textWidth + 2 * margin + 3, cellRect.height()));
    m_TitleTip->Show(cellRect, tipRect, text, font, textColour, backColour, margin, cell->Format());
}

void CGridCtrl::HideTitleTip() {
    if (m_TitleTip != nullptr) {
        m_TitleTip->Hide();
    }
}

bool CGridCtrl::viewportEvent(QEvent* event) {
    // Leaving the grid for its own tip is not leaving it.
    if (event->type() == QEvent::Leave && m_TitleTip != nullptr &&
        !m_TitleTip->geometry().contains(QCursor::pos())) {
        HideTitleTip();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

bool CGridCtrl::IsTitleTipShown() const {
    return m_TitleTip != nullptr && m_TitleTip->isVisible();
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    HideTitleTip();
    setFocus(Qt::MouseFocusReason);
    m_LeftButtonDown = true;
    m_LastMousePoint = point;
    m_LeftClickDownCell = GetCellFromPt(point);

    if ((m_MouseMode == MouseMode::PrepareSizeColumn || m_MouseMode == MouseMode::PrepareSizeRow) &&
        BeginSizing(point)) {
        return;
    }

    const GridCellId id = m_LeftClickDownCell;
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    if (cell == nullptr) {
        m_MouseMode = MouseMode::Nothing;
        return;
    }
    QRect cellRect;
    GetCellRect(id.Row, id.Col, cellRect);
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool inFixedRow = id.Row < m_FixedRowCount;
    const bool inFixedCol = id.Col < m_FixedColumnCount;

    if (!inFixedRow && !inFixedCol) {
        if (m_Editable && id == m_FocusCell && !shift && !control && !cell->IsReadOnly()) {
            // A second click on the focus cell edits it when the button comes up.
            m_MouseMode = MouseMode::PrepareEdit;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = id;
        }
        SetFocusCell(id.Row, id.Col);
    } else if (inFixedRow && !inFixedCol) {
        if (m_SortOnHeaderClick) {
            SortTextItems(id.Col, id.Col == m_SortColumn ? !m_SortAscending : true);
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        if (!m_FixedColumnSelection) {
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = MouseMode::SelectingColumns;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = {m_FixedRowCount, id.Col};
        }
        SetFocusCell(m_FocusCell.IsValid() ? m_FocusCell.Row : m_FixedRowCount, id.Col);
    } else if (inFixedCol && !inFixedRow) {
        if (!m_ListMode && !m_FixedColumnSelection) {
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = MouseMode::SelectingRows;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = {id.Row, m_FixedColumnCount};
        }
        SetFocusCell(id.Row, m_FocusCell.IsValid() ? m_FocusCell.Col : m_FixedColumnCount);
    } else {
        m_MouseMode = MouseMode::Nothing;
        cell->OnClickDown(point - cellRect.topLeft());
        return;
    }

    // Single-row or single-column selection keeps nothing of an earlier selection.
    const bool keep = control && !m_SingleRowSelection && !m_SingleColumnSelection;
    m_PreviousSelectedCells = keep ? m_SelectedCells : std::unordered_set<std::uint64_t>{};
    OnSelecting(id);
    m_AutoScrollTimer.start();
    cell->OnClickDown(point - cellRect.topLeft());
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    m_LastMousePoint = point;
    if (!(event->buttons() & Qt::LeftButton) || !m_LeftButtonDown) {
        UpdateCursorAndTip(point);
        return;
    }
    switch (m_MouseMode) {
    case MouseMode::SizingColumn:
    case MouseMode::SizingRow:
        m_SizingLine = SizingLineAt(point);
        viewport()->update();
        return;
    case MouseMode::PrepareEdit: {
        const GridCellId id = GetCellFromPt(point);
        if (id == m_LeftClickDownCell) {
            return;
        }
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        m_SelectionStartCell = m_LeftClickDownCell;
        m_PreviousSelectedCells.clear();
        m_AutoScrollTimer.start();
        break;
    }
    case MouseMode::SelectingCells:
    case MouseMode::SelectingRows:
    case MouseMode::SelectingColumns:
        break;
    default:
        return;
    }
    // Clamp into the visible cells so a drag past the edge keeps extending to the last one.
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    QRect lastRect;
    QPoint clamped = point;
    if (visible.IsValid() && GetCellRect(visible.MaxRow, visible.MaxCol, lastRect)) {
        clamped.setX(
            std::clamp(point.x(), GetFixedColumnWidth(), std::max(GetFixedColumnWidth(), lastRect.right())));
        clamped.setY(
            std::clamp(point.y(), GetFixedRowHeight(), std::max(GetFixedRowHeight(), lastRect.bottom())));
        if (m_MouseMode == MouseMode::SelectingColumns) {
            clamped.setY(GetFixedRowHeight());
        }
        if (m_MouseMode == MouseMode::SelectingRows && point.x() < GetFixedColumnWidth()) {
            clamped.setX(GetFixedColumnWidth());
        }
    }
    const GridCellId id = GetCellFromPt(clamped);
    if (!id.IsValid() || id == m_LastDragCell) {
        return;
    }
    if (m_MouseMode == MouseMode::SelectingCells) {
        SetFocusCell(id.Row, id.Col);
    } else if (m_MouseMode == MouseMode::SelectingRows) {
        SetFocusCell(id.Row, m_FocusCell.IsValid() ? m_FocusCell.Col : m_FixedColumnCount);
    }
    OnSelecting(id);
}

void CGridCtrl::StopMouseAction() {
    m_AutoScrollTimer.stop();
    m_LeftButtonDown = false;
    m_SizingLine = -1;
    m_MouseMode = MouseMode::Nothing;
    m_LastDragCell = {};
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const GridCellId id = GetCellFromPt(point);
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    QRect cellRect;
    GetCellRect(id.Row, id.Col, cellRect);
    if (event->button() == Qt::RightButton) {
        if (cell != nullptr) {
            cell->OnRightClick(point - cellRect.topLeft());
        }
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const MouseMode mode = m_MouseMode;
    if (mode == MouseMode::SizingColumn || mode == MouseMode::SizingRow) {
        EndSizing(point);
        return;
    }
    StopMouseAction();
    switch (mode) {
    case MouseMode::PrepareEdit:
        if (cell != nullptr && id == m_LeftClickDownCell) {
            cell->OnClick(point - cellRect.topLeft());
            EditCell(id.Row, id.Col, CGridInPlaceEdit::StartedByMouse);
        }
        break;
    default:
        if (cell != nullptr && id == m_LeftClickDownCell) {
            cell->OnClick(point - cellRect.topLeft());
        }
        break;
    }
    viewport()->update();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int column = ColumnBorderAt(point);
    if (column >= 0) {
        StopMouseAction();
        AutoSizeColumn(column);
        return;
    }
    const int row = RowBorderAt(point);
    if (row >= 0) {
        StopMouseAction();
        AutoSizeRow(row);
        return;
    }
    const GridCellId id = GetCellFromPt(point);
    if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
        QRect cellRect;
        GetCellRect(id.Row, id.Col, cellRect);
        cell->OnDoubleClick(point - cellRect.topLeft());
    }
    // The second press also starts a drag like the first.
    mousePressEvent(event);
}

void CGridCtrl::OnAutoScroll() {
    if (!m_LeftButtonDown) {
        m_AutoScrollTimer.stop();
        return;
    }
    const QPoint point = m_LastMousePoint;
    const QRect client = viewport()->rect();
    const bool vertical = m_MouseMode == MouseMode::SelectingCells || m_MouseMode == MouseMode::SelectingRows;
    const bool horizontal =
        m_MouseMode == MouseMode::SelectingCells || m_MouseMode == MouseMode::SelectingColumns;
    if (vertical && point.y() > client.bottom()) {
        HandleKey(Qt::Key_Down, Qt::NoModifier);
    } else if (vertical && point.y() < GetFixedRowHeight()) {
        HandleKey(Qt::Key_Up, Qt::NoModifier);
    }
    if (horizontal && point.x() > client.right()) {
        HandleKey(Qt::Key_Right, Qt::NoModifier);
    } else if (horizontal && point.x() < GetFixedColumnWidth()) {
        HandleKey(Qt::Key_Left, Qt::NoModifier);
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    QRect lastRect;
    if (!visible.IsValid() || !GetCellRect(visible.MaxRow, visible.MaxCol, lastRect)) {
        return;
    }
    QPoint clamped(
        std::clamp(point.x(), GetFixedColumnWidth(), std::max(GetFixedColumnWidth(), lastRect.right())),
        std::clamp(point.y(), GetFixedRowHeight(), std::max(GetFixedRowHeight(), lastRect.bottom())));
    OnSelecting(GetCellFromPt(clamped));
}

void CGridCtrl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    HideTitleTip();
    const GridWheelSteps steps = m_Wheel.Add(delta);
    for (int line = 0; line < std::abs(steps.Lines); ++line) {
        Scroll(Qt::Vertical, steps.Lines > 0 ? ScrollCode::LineUp : ScrollCode::LineDown);
    }
    for (int page = 0; page < std::abs(steps.Pages); ++page) {
        Scroll(Qt::Vertical, steps.Pages > 0 ? ScrollCode::PageUp : ScrollCode::PageDown);
    }
    event->accept();
}

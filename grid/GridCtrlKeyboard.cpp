#include "grid/GridCtrl.h"

#include "grid/GridAccessible.h"

#include "grid/GridInPlaceEdit.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>

bool CGridCtrl::focusNextPrevChild(bool next) {
    // With Tab handling on, Tab moves between cells (see keyPressEvent).
    if (m_HandleTabKey && !(QGuiApplication::keyboardModifiers() & Qt::ControlModifier)) {
        return false;
    }
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool CGridCtrl::MoveByTab(bool forward) {
    if (m_RowCount <= m_FixedRowCount || m_ColumnCount <= m_FixedColumnCount) {
        return false;
    }
    GridCellId next = m_FocusCell;
    if (!next.IsValid() || next.Row < m_FixedRowCount || next.Col < m_FixedColumnCount) {
        next = {m_FixedRowCount, m_FixedColumnCount};
    } else if (forward) {
        if (next.Col < m_ColumnCount - 1) {
            ++next.Col;
        } else if (next.Row < m_RowCount - 1) {
            ++next.Row;
            next.Col = m_FixedColumnCount;
        } else {
            return false;
        }
    } else {
        if (next.Col > m_FixedColumnCount) {
            --next.Col;
        } else if (next.Row > m_FixedRowCount) {
            --next.Row;
            next.Col = m_ColumnCount - 1;
        } else {
            return false;
        }
    }
    MoveFocusByKey(next, false);
    return true;
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        const bool forward = key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier);
        // Ctrl+Tab always leaves the grid, however Tab is handled inside it.
        if (control || !m_HandleTabKey) {
            QAbstractScrollArea::focusNextPrevChild(forward);
            return;
        }
        // Past the last (first) cell the focus leaves the grid, so Tab never traps the user here.
        if (!MoveByTab(forward)) {
            QAbstractScrollArea::focusNextPrevChild(forward);
        }
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
    case Qt::Key_F2:
        HandleKey(key, modifiers);
        return;
    case Qt::Key_A:
        if (control) {
            HandleKey(key, modifiers);
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_Editable && m_FocusCell.IsValid() &&
            EditCell(m_FocusCell.Row, m_FocusCell.Col, Qt::Key_Return)) {
            return;
        }
        event->ignore();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (m_Editable && m_FocusCell.IsValid() && !text.isEmpty() && text.at(0).isPrint() &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        const char32_t code = text.toUcs4().value(0);
        if (EditCell(m_FocusCell.Row, m_FocusCell.Col, int(code))) {
            return;
        }
    }
    event->ignore();
}

void CGridCtrl::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    if (m_RowCount <= m_FixedRowCount || m_ColumnCount <= m_FixedColumnCount) {
        return;
    }
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    if (key == Qt::Key_A && control) {
        SelectAllCells();
        return;
    }
    if (!m_FocusCell.IsValid() || m_FocusCell.Row < m_FixedRowCount || m_FocusCell.Col < m_FixedColumnCount) {
        // The first key gives the focus to the top-left visible cell.
        const GridCellId topLeft = GetTopLeftNonFixedCell();
        MoveFocusByKey({std::min(topLeft.Row, m_RowCount - 1), std::min(topLeft.Col, m_ColumnCount - 1)},
                       false);
        return;
    }
    if (key == Qt::Key_Delete) {
        emit DeleteKeyPressed(m_FocusCell.Row, m_FocusCell.Col);
        return;
    }
    if (key == Qt::Key_F2) {
        EditCell(m_FocusCell.Row, m_FocusCell.Col, CGridInPlaceEdit::StartedByMouse);
        return;
    }
    GridCellId next = m_FocusCell;
    const auto height = [this](int row) { return m_RowHeights[std::size_t(row)]; };
    const auto width = [this](int col) { return m_ColumnWidths[std::size_t(col)]; };
    switch (key) {
    case Qt::Key_Down:
        for (int row = next.Row + 1; row < m_RowCount; ++row) {
            if (height(row) > 0) {
                next.Row = row;
                break;
            }
        }
        break;
    case Qt::Key_Up:
        for (int row = next.Row - 1; row >= m_FixedRowCount; --row) {
            if (height(row) > 0) {
                next.Row = row;
                break;
            }
        }
        break;
    case Qt::Key_Right:
        for (int col = next.Col + 1; col < m_ColumnCount; ++col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        break;
    case Qt::Key_Left:
        for (int col = next.Col - 1; col >= m_FixedColumnCount; --col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        break;
    case Qt::Key_PageDown: {
        const int oldTop = GetTopLeftNonFixedCell().Row;
        Scroll(Qt::Vertical, ScrollCode::PageDown);
        const int moved = GetTopLeftNonFixedCell().Row - oldTop;
        next.Row = moved > 0 ? std::min(next.Row + moved, m_RowCount - 1) : m_RowCount - 1;
        break;
    }
    case Qt::Key_PageUp: {
        const int oldTop = GetTopLeftNonFixedCell().Row;
        Scroll(Qt::Vertical, ScrollCode::PageUp);
        const int moved = oldTop - GetTopLeftNonFixedCell().Row;
        next.Row = moved > 0 ? std::max(next.Row - moved, m_FixedRowCount) : m_FixedRowCount;
        break;
    }
    case Qt::Key_Home:
        Scroll(Qt::Horizontal, ScrollCode::Top);
        for (int col = m_FixedColumnCount; col < m_ColumnCount; ++col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        if (control) {
            Scroll(Qt::Vertical, ScrollCode::Top);
            next.Row = m_FixedRowCount;
        }
        break;
    case Qt::Key_End:
        Scroll(Qt::Horizontal, ScrollCode::Bottom);
        for (int col = m_ColumnCount - 1; col >= m_FixedColumnCount; --col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        if (control) {
            Scroll(Qt::Vertical, ScrollCode::Bottom);
            next.Row = m_RowCount - 1;
        }
        break;
    default:
        return;
    }
    MoveFocusByKey(next, shift);
}

void CGridCtrl::MoveFocusByKey(GridCellId next, bool shift) {
    if (!IsValid(next.Row, next.Col)) {
        return;
    }
    const bool dragging = m_MouseMode == MouseMode::SelectingCells ||
                          m_MouseMode == MouseMode::SelectingRows ||
                          m_MouseMode == MouseMode::SelectingColumns;
    if (!dragging && m_SelectionEnabled && next != m_FocusCell) {
        // Outside a drag the selection follows the focus (its row, in list mode).
        const MouseMode mode = m_MouseMode;
        m_PreviousSelectedCells.clear();
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = next;
        }
        OnSelecting(next);
        m_LastDragCell = {};
        m_MouseMode = mode;
    }
    SetFocusCell(next.Row, next.Col);
    EnsureVisible(next.Row, next.Col);
}

void CGridCtrl::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RedrawCell(m_FocusCell.Row, m_FocusCell.Col);
    if (m_FocusCell.IsValid()) {
        NotifyGridAccessibility(*this, QAccessible::Focus, m_FocusCell.Row, m_FocusCell.Col);
    }
}

void CGridCtrl::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    HideTitleTip();
    RedrawCell(m_FocusCell.Row, m_FocusCell.Col);
    // The auto-scroll drag ends when another window takes the mouse.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        StopMouseAction();
    }
}

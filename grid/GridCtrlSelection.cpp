#include "grid/GridCtrl.h"

#include "grid/GridAccessible.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>

#include <algorithm>

// ---- focus and selection ----------------------------------------------------------------------

void CGridCtrl::SetFocusCell(int row, int col) {
    const GridCellId next = IsValid(row, col) ? GridCellId{row, col} : GridCellId{};
    if (next == m_FocusCell) {
        return;
    }
    const GridCellId old = m_FocusCell;
    if (CGridCellBase* cell = GetCell(old.Row, old.Col)) {
        cell->SetState(cell->State() & ~GVIS_FOCUSED);
        RedrawCell(old.Row, old.Col);
    }
    m_FocusCell = next;
    if (CGridCellBase* cell = GetCell(next.Row, next.Col)) {
        cell->SetState(cell->State() | GVIS_FOCUSED);
        RedrawCell(next.Row, next.Col);
        if (hasFocus()) {
            NotifyGridAccessibility(*this, QAccessible::Focus, next.Row, next.Col);
        }
    }
}

void CGridCtrl::SelectCells(const GridCellRange& range, const std::unordered_set<std::uint64_t>& base) {
    std::unordered_set<std::uint64_t> wanted = base;
    if (range.IsValid()) {
        const int lastRow = std::min(range.MaxRow, m_RowCount - 1);
        const int lastCol = std::min(range.MaxCol, m_ColumnCount - 1);
        for (int row = range.MinRow; row <= lastRow; ++row) {
            for (int col = range.MinCol; col <= lastCol; ++col) {
                if (GetCell(row, col) != nullptr) {
                    wanted.insert(GridCellId{row, col}.Key());
                }
            }
        }
    }
    for (std::uint64_t key : m_SelectedCells) {
        if (!wanted.contains(key)) {
            const GridCellId id = GridCellId::FromKey(key);
            if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
                cell->SetState(cell->State() & ~GVIS_SELECTED);
            }
        }
    }
    for (std::uint64_t key : wanted) {
        const GridCellId id = GridCellId::FromKey(key);
        if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
            cell->SetState(cell->State() | GVIS_SELECTED);
        }
    }
    const bool changed = m_SelectedCells != wanted;
    m_SelectedCells = std::move(wanted);
    if (changed) {
        NotifyGridAccessibility(*this, QAccessible::SelectionWithin);
    }
    // One repaint of the visible part is cheaper than finding the rectangles of far-away cells.
    Refresh();
}

void CGridCtrl::ClearSelection() {
    SelectCells({}, {});
    m_PreviousSelectedCells.clear();
    SetFocusCell(-1, -1);
}

bool CGridCtrl::IsCellSelected(int row, int col) const {
    return m_SelectedCells.contains(GridCellId{row, col}.Key());
}

std::vector<GridCellId> CGridCtrl::GetSelectedCells() const {
    std::vector<GridCellId> cells;
    cells.reserve(m_SelectedCells.size());
    for (std::uint64_t key : m_SelectedCells) {
        cells.push_back(GridCellId::FromKey(key));
    }
    std::sort(cells.begin(), cells.end(), [](const GridCellId& a, const GridCellId& b) {
        return a.Row != b.Row ? a.Row < b.Row : a.Col < b.Col;
    });
    return cells;
}

void CGridCtrl::SetSelectedRange(const GridCellRange& range) {
    if (m_SelectionEnabled) {
        SelectCells(range, {});
    }
}

void CGridCtrl::SelectAllCells() {
    if (!m_SelectionEnabled) {
        return;
    }
    GridCellRange all{m_FixedRowCount, m_FixedColumnCount, m_RowCount - 1, m_ColumnCount - 1};
    // One row (column) at a time means all there is to select is the focus row (column).
    if (m_SingleRowSelection) {
        all.MinRow = all.MaxRow = m_FocusCell.Row;
    }
    if (m_SingleColumnSelection && !m_ListMode) {
        all.MinCol = all.MaxCol = m_FocusCell.Col;
    }
    if ((m_SingleRowSelection || m_SingleColumnSelection) &&
        (!m_FocusCell.IsValid() || m_FocusCell.Row < m_FixedRowCount ||
         m_FocusCell.Col < m_FixedColumnCount)) {
        return;
    }
    emit GridNotification(GVN_SELCHANGING, m_FocusCell.Row, m_FocusCell.Col);
    SelectCells(all, {});
    emit GridNotification(GVN_SELCHANGED, m_FocusCell.Row, m_FocusCell.Col);
}

void CGridCtrl::OnSelecting(GridCellId current) {
    if (!m_SelectionEnabled || !current.IsValid()) {
        return;
    }
    m_LastDragCell = current;
    const GridCellId start = m_SelectionStartCell.IsValid() ? m_SelectionStartCell : current;
    GridCellRange range;
    switch (m_MouseMode) {
    case MouseMode::SelectingCells:
        range = {std::min(start.Row, current.Row), std::min(start.Col, current.Col),
                 std::max(start.Row, current.Row), std::max(start.Col, current.Col)};
        break;
    case MouseMode::SelectingRows:
        range = {std::min(start.Row, current.Row), m_FixedColumnCount, std::max(start.Row, current.Row),
                 m_ColumnCount - 1};
        break;
    case MouseMode::SelectingColumns:
        range = {m_FixedRowCount, std::min(start.Col, current.Col), m_RowCount - 1,
                 std::max(start.Col, current.Col)};
        break;
    default:
        return;
    }
    if (m_SingleRowSelection) {
        range.MinRow = range.MaxRow = current.Row;
    }
    if (m_SingleColumnSelection && m_MouseMode != MouseMode::SelectingRows) {
        range.MinCol = range.MaxCol = current.Col;
    }
    range.MinRow = std::max(range.MinRow, m_FixedRowCount);
    range.MinCol = std::max(range.MinCol, m_FixedColumnCount);
    SelectCells(range, m_PreviousSelectedCells);
}

QString CGridCtrl::SelectedText() const {
    const std::vector<GridCellId> cells = GetSelectedCells();
    if (cells.empty()) {
        return {};
    }
    int firstCol = cells.front().Col;
    int lastCol = firstCol;
    for (const GridCellId& id : cells) {
        firstCol = std::min(firstCol, id.Col);
        lastCol = std::max(lastCol, id.Col);
    }
    QStringList lines;
    for (std::size_t i = 0; i < cells.size();) {
        const int row = cells[i].Row;
        QStringList fields;
        for (int col = firstCol; col <= lastCol; ++col) {
            const bool selected = i < cells.size() && cells[i].Row == row && cells[i].Col == col;
            fields << (selected ? QString::fromStdString(GetItemText(row, col)) : QString());
            i += selected ? 1 : 0;
        }
        lines << fields.join(QLatin1Char('\t'));
    }
    // No line break after the last line: a pasted command line is not run at once.
    return lines.join(QLatin1Char('\n'));
}

void CGridCtrl::CopySelection() {
    if (m_SelectedCells.empty()) {
        return;
    }
    QGuiApplication::clipboard()->setText(SelectedText());
}

void CGridCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(tr("&Copy"), this, &CGridCtrl::CopySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!m_SelectedCells.empty());
    const GridCellId cell =
        event->reason() == QContextMenuEvent::Mouse ? GetCellFromPt(event->pos()) : m_FocusCell;
    emit ContextMenuOpening(&menu, cell.Row, cell.Col);
    menu.exec(event->globalPos());
    event->accept();
}

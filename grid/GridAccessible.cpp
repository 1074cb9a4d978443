#include "grid/GridAccessible.h"

#include "grid/GridCtrl.h"

#include <QPointer>
#include <QStringList>

#include <memory>

namespace {

class CGridAccessibleCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    CGridAccessibleCell(CGridCtrl* grid, int row, int col) : m_Grid(grid), m_Row(row), m_Col(col) {}

    bool isValid() const override { return m_Grid != nullptr && m_Grid->IsValid(m_Row, m_Col); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_Grid); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text type) const override {
        if (!isValid()) {
            return {};
        }
        switch (type) {
        case QAccessible::Name:
        case QAccessible::Value:
            return QString::fromStdString(m_Grid->GetItemText(m_Row, m_Col));
        case QAccessible::Description:
            return m_Grid->GetItemAccessibleDescription(m_Row, m_Col);
        default:
            return {};
        }
    }

    QRect rect() const override {
        QRect rect;
        if (!isValid() || !m_Grid->GetCellRect(m_Row, m_Col, rect)) {
            return {};
        }
        return QRect(m_Grid->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }

    QAccessible::Role role() const override {
        if (isValid() && m_Row < m_Grid->GetFixedRowCount()) {
            return QAccessible::ColumnHeader;
        }
        if (isValid() && m_Col < m_Grid->GetFixedColumnCount()) {
            return QAccessible::RowHeader;
        }
        return QAccessible::Cell;
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const bool body = m_Row >= m_Grid->GetFixedRowCount() && m_Col >= m_Grid->GetFixedColumnCount();
        state.selectable = body && m_Grid->IsSelectionEnabled();
        state.selected = m_Grid->IsCellSelected(m_Row, m_Col);
        state.focusable = body;
        state.focused = m_Grid->hasFocus() && m_Grid->GetFocusCell() == GridCellId{m_Row, m_Col};
        state.readOnly = !m_Grid->IsEditable() || (m_Grid->GetItemState(m_Row, m_Col) & GVIS_READONLY) != 0;
        state.invisible = !m_Grid->IsCellVisible(m_Row, m_Col);
        state.offscreen = state.invisible;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                       : nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return isValid() && m_Grid->IsCellSelected(m_Row, m_Col); }
    QList<QAccessibleInterface*> columnHeaderCells() const override {
        QList<QAccessibleInterface*> cells;
        if (const CGridAccessible* grid = Table(); grid != nullptr && m_Row >= m_Grid->GetFixedRowCount()) {
            for (int row = 0; row < m_Grid->GetFixedRowCount(); ++row) {
                cells << grid->Cell(row, m_Col);
            }
        }
        return cells;
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override {
        QList<QAccessibleInterface*> cells;
        if (const CGridAccessible* grid = Table();
            grid != nullptr && m_Col >= m_Grid->GetFixedColumnCount()) {
            for (int col = 0; col < m_Grid->GetFixedColumnCount(); ++col) {
                cells << grid->Cell(m_Row, col);
            }
        }
        return cells;
    }
    int columnIndex() const override { return m_Col; }
    int rowIndex() const override { return isValid() ? m_Row - m_Grid->GetFixedRowCount() : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    const CGridAccessible* Table() const { return dynamic_cast<const CGridAccessible*>(parent()); }

    QPointer<CGridCtrl> m_Grid;
    int m_Row;
    int m_Col;
};

QAccessibleInterface* GridFactory(const QString& key, QObject* object) {
    if (key == QLatin1String("CGridCtrl")) {
        if (auto* grid = qobject_cast<CGridCtrl*>(object)) {
            return std::make_unique<CGridAccessible>(grid).release(); // Qt's cache owns it
        }
    }
    return nullptr;
}

} // namespace

void InstallGridAccessibility() {
    static const bool Installed = [] {
        QAccessible::installFactory(GridFactory);
        return true;
    }();
    (void)Installed;
}

void NotifyGridAccessibility(CGridCtrl& grid, QAccessible::Event event, int row, int col) {
    // Without a listener there is nothing to tell, and a grid being filled changes thousands of cells.
    if (!QAccessible::isActive()) {
        return;
    }
    auto* table = dynamic_cast<CGridAccessible*>(QAccessible::queryAccessibleInterface(&grid));
    if (table == nullptr) {
        return;
    }
    QAccessibleEvent change(table, event);
    if (row >= 0) {
        change.setChild(table->IndexOf(row, col));
    }
    QAccessible::updateAccessibility(&change);
}

CGridAccessible::CGridAccessible(CGridCtrl* grid) : QAccessibleWidget(grid, QAccessible::Table) {}

CGridAccessible::~CGridAccessible() {
    for (const auto& [key, id] : m_Cells) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

CGridCtrl* CGridAccessible::Grid() const {
    return static_cast<CGridCtrl*>(widget());
}

QAccessibleInterface* CGridAccessible::Cell(int row, int col) const {
    if (!Grid()->IsValid(row, col)) {
        return nullptr;
    }
    const std::uint64_t key = GridCellId{row, col}.Key();
    if (const auto found = m_Cells.find(key); found != m_Cells.end()) {
        return QAccessible::accessibleInterface(found->second);
    }
    auto cell = std::make_unique<CGridAccessibleCell>(Grid(), row, col);
    const QAccessible::Id id = QAccessible::registerAccessibleInterface(cell.get());
    m_Cells.emplace(key, id);
    return cell.release(); // registered: Qt's cache owns it, this table deletes it
}

int CGridAccessible::IndexOf(int row, int col) const {
    return Grid()->IsValid(row, col) ? row * Grid()->GetColumnCount() + col : -1;
}

int CGridAccessible::childCount() const {
    return Grid()->GetRowCount() * Grid()->GetColumnCount();
}

QAccessibleInterface* CGridAccessible::child(int index) const {
    const int columns = Grid()->GetColumnCount();
    if (index < 0 || columns == 0 || index >= childCount()) {
        return nullptr;
    }
    return Cell(index / columns, index % columns);
}

int CGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    auto* cell = child != nullptr ? const_cast<QAccessibleInterface*>(child)->tableCellInterface() : nullptr;
    if (cell == nullptr) {
        return -1;
    }
    return IndexOf(cell->rowIndex() + Grid()->GetFixedRowCount(), cell->columnIndex());
}

QAccessibleInterface* CGridAccessible::childAt(int x, int y) const {
    const GridCellId id = Grid()->GetCellFromPt(Grid()->viewport()->mapFromGlobal(QPoint(x, y)));
    return Cell(id.Row, id.Col);
}

QAccessibleInterface* CGridAccessible::focusChild() const {
    const GridCellId focus = Grid()->GetFocusCell();
    return Grid()->hasFocus() ? Cell(focus.Row, focus.Col) : nullptr;
}

void* CGridAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessibleInterface* CGridAccessible::cellAt(int row, int column) const {
    return Cell(row + Grid()->GetFixedRowCount(), column);
}

int CGridAccessible::selectedCellCount() const {
    return Grid()->GetSelectedCount();
}

QList<QAccessibleInterface*> CGridAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (const GridCellId& id : Grid()->GetSelectedCells()) {
        cells << Cell(id.Row, id.Col);
    }
    return cells;
}

QString CGridAccessible::columnDescription(int column) const {
    QStringList texts;
    for (int row = 0; row < Grid()->GetFixedRowCount(); ++row) {
        texts << QString::fromStdString(Grid()->GetItemText(row, column));
    }
    return texts.join(QLatin1Char(' '));
}

QString CGridAccessible::rowDescription(int row) const {
    QStringList texts;
    for (int col = 0; col < Grid()->GetFixedColumnCount(); ++col) {
        texts << QString::fromStdString(Grid()->GetItemText(row + Grid()->GetFixedRowCount(), col));
    }
    return texts.join(QLatin1Char(' '));
}

int CGridAccessible::columnCount() const {
    return Grid()->GetColumnCount();
}

int CGridAccessible::rowCount() const {
    return Grid()->GetRowCount() - Grid()->GetFixedRowCount();
}

bool CGridAccessible::isRowSelected(int row) const {
    const CGridCtrl* grid = Grid();
    const int gridRow = row + grid->GetFixedRowCount();
    if (!grid->IsValid(gridRow, 0) || grid->GetColumnCount() <= grid->GetFixedColumnCount()) {
        return false;
    }
    for (int col = grid->GetFixedColumnCount(); col < grid->GetColumnCount(); ++col) {
        if (!grid->IsCellSelected(gridRow, col)) {
            return false;
        }
    }
    return true;
}

bool CGridAccessible::isColumnSelected(int column) const {
    const CGridCtrl* grid = Grid();
    if (column < grid->GetFixedColumnCount() || column >= grid->GetColumnCount() ||
        grid->GetRowCount() <= grid->GetFixedRowCount()) {
        return false;
    }
    for (int row = grid->GetFixedRowCount(); row < grid->GetRowCount(); ++row) {
        if (!grid->IsCellSelected(row, column)) {
            return false;
        }
    }
    return true;
}

QList<int> CGridAccessible::selectedRows() const {
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row) {
        if (isRowSelected(row)) {
            rows << row;
        }
    }
    return rows;
}

QList<int> CGridAccessible::selectedColumns() const {
    QList<int> columns;
    for (int column = 0; column < columnCount(); ++column) {
        if (isColumnSelected(column)) {
            columns << column;
        }
    }
    return columns;
}

bool CGridAccessible::selectRow(int row) {
    CGridCtrl* grid = Grid();
    const int gridRow = row + grid->GetFixedRowCount();
    if (!grid->IsValid(gridRow, 0) || !grid->IsSelectionEnabled()) {
        return false;
    }
    grid->SetFocusCell(gridRow, grid->GetFixedColumnCount());
    grid->SetSelectedRange({gridRow, grid->GetFixedColumnCount(), gridRow, grid->GetColumnCount() - 1});
    return true;
}

bool CGridAccessible::selectColumn(int column) {
    CGridCtrl* grid = Grid();
    if (grid->GetSingleRowSelection() || column < grid->GetFixedColumnCount() ||
        column >= grid->GetColumnCount() || !grid->IsSelectionEnabled()) {
        return false;
    }
    grid->SetSelectedRange({grid->GetFixedRowCount(), column, grid->GetRowCount() - 1, column});
    return true;
}

bool CGridAccessible::unselectRow(int row) {
    if (!isRowSelected(row)) {
        return false;
    }
    Grid()->ClearSelection();
    return true;
}

bool CGridAccessible::unselectColumn(int column) {
    if (!isColumnSelected(column)) {
        return false;
    }
    Grid()->ClearSelection();
    return true;
}

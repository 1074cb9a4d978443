#pragma once
// What assistive technology (screen readers, the desktop accessibility bus) sees of the grid: a table
// whose header row(s) are column headers, whose fixed column(s) are row headers, and whose cells give
// their text, their description, selection and focus.

#include <QAccessible>
#include <QAccessibleWidget>

#include <cstdint>
#include <unordered_map>

class CGridCtrl;

// Registers the interfaces below with Qt's accessibility; the grid calls it once.
void InstallGridAccessibility();
// Tells assistive technology about a change of one cell (row, col) or, with row -1, of the grid.
void NotifyGridAccessibility(CGridCtrl& grid, QAccessible::Event event, int row = -1, int col = -1);

class CGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit CGridAccessible(CGridCtrl* grid);
    ~CGridAccessible() override;

    // QAccessibleInterface
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTableInterface; rows are the rows below the fixed ones, columns are all columns.
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int column) override;
    bool unselectRow(int row) override;
    bool unselectColumn(int column) override;
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

    // The interface of the cell at grid position (row, col), made on first use; null outside the table.
    QAccessibleInterface* Cell(int row, int col) const;
    int IndexOf(int row, int col) const;

private:
    CGridCtrl* Grid() const;

    mutable std::unordered_map<std::uint64_t, QAccessible::Id> m_Cells;
};

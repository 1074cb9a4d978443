#include "tests/grid/GridTestSupport.h"

#include "grid/GridInPlaceEdit.h"
#include "grid/GridTitleTip.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The tool table's settings that differ from the defaults: whole rows, one at a time, nothing edited or
// resized.
void UseToolTableSettings(CGridCtrl& grid) {
    grid.SetSingleRowSelection(true);
    grid.SetEditable(false);
    grid.SetListMode(true);
    grid.SetRowResize(false);
    grid.SetColumnResize(false);
}

std::vector<GridCellId> RowCells(int row, int firstCol, int lastCol) {
    std::vector<GridCellId> cells;
    for (int col = firstCol; col <= lastCol; ++col) {
        cells.push_back({row, col});
    }
    return cells;
}

void DeleteRetiredWidgets() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(GridSelection, ListModeClickSelectsExactlyOneRow) {
    auto grid = MakeGrid(17, 3, 1, 1);
    UseToolTableSettings(*grid);
    QWidget* client = grid->viewport();

    Click(client, CellCentre(*grid, 4, 2));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(4, 1, 2));
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{4, 2}));

    // Another row replaces it, also with Ctrl or Shift held or when dragged over several rows.
    Click(client, CellCentre(*grid, 7, 1), Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(7, 1, 2));
    Click(client, CellCentre(*grid, 9, 1), Qt::ShiftModifier);
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(9, 1, 2));
    Drag(client, CellCentre(*grid, 2, 1), CellCentre(*grid, 5, 2));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(5, 1, 2));

    // The number column selects its row too.
    Click(client, CellCentre(*grid, 3, 0));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(3, 1, 2));
    // The header selects nothing in list mode.
    Click(client, CellCentre(*grid, 0, 2));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(3, 1, 2));
    // Ctrl+A adds nothing to the one row.
    grid->setFocus();
    QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(3, 1, 2));
}

TEST(GridSelection, CellModeDragSelectsARangeAndCtrlAAll) {
    auto grid = MakeGrid(10, 5, 1, 1);
    Drag(grid->viewport(), CellCentre(*grid, 2, 1), CellCentre(*grid, 3, 3));
    EXPECT_EQ(grid->GetSelectedCount(), 6);
    EXPECT_TRUE(grid->IsCellSelected(3, 2));

    QSignalSpy notifications(grid.get(), &CGridCtrl::GridNotification);
    QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCount(), 9 * 4);
    ASSERT_EQ(notifications.count(), 2);
    EXPECT_EQ(notifications.at(0).at(0).toInt(), GVN_SELCHANGING);
    EXPECT_EQ(notifications.at(1).at(0).toInt(), GVN_SELCHANGED);

    grid->SetSelectionEnabled(false);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
}

TEST(GridSelection, CopyGivesTheSelectedCellsAsTabSeparatedLines) {
    auto grid = MakeGrid(6, 4, 1, 1);
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 4; ++col) {
            grid->SetItemText(row, col, "r" + std::to_string(row) + "c" + std::to_string(col));
        }
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    const struct {
        const char* Name;
        std::vector<GridCellRange> Ranges;
        QString Text;
    } cases[] = {
        {"one cell", {{2, 2, 2, 2}}, QStringLiteral("r2c2")},
        {"a block", {{2, 1, 3, 2}}, QStringLiteral("r2c1\tr2c2\nr3c1\tr3c2")},
        {"cells apart", {{1, 1, 1, 1}, {3, 3, 3, 3}}, QStringLiteral("r1c1\t\t\n\t\tr3c3")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        grid->ClearSelection();
        for (const GridCellRange& range : c.Ranges) {
            for (int row = range.MinRow; row <= range.MaxRow; ++row) {
                for (int col = range.MinCol; col <= range.MaxCol; ++col) {
                    Click(grid->viewport(), CellCentre(*grid, row, col), Qt::ControlModifier);
                }
            }
        }
        clipboard->clear();
        QTest::keyClick(grid.get(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard->text(), c.Text);
    }
    // The context menu's "Copy" does the same.
    clipboard->clear();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_FALSE(menu->actions().isEmpty());
        menu->actions().front()->trigger();
        menu->close();
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(100, 50),
                                grid->viewport()->mapToGlobal(QPoint(100, 50)));
    QApplication::sendEvent(grid->viewport(), &menuEvent);
    EXPECT_EQ(clipboard->text(), QStringLiteral("r1c1\t\t\n\t\tr3c3"));
}

TEST(GridKeys, ArrowsAndPagesMoveTheFocus) {
    auto grid = MakeGrid(100, 5, 1, 1, QSize(400, 300));
    UseToolTableSettings(*grid);
    grid->SetFocusCell(1, 1);

    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{2, 1}));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(2, 1, 4));
    // Up and Left stop at the first non-fixed cell.
    for (const auto& [key, focus] :
         {std::pair{Qt::Key_Right, GridCellId{2, 2}}, std::pair{Qt::Key_Up, GridCellId{1, 2}},
          std::pair{Qt::Key_Up, GridCellId{1, 2}}, std::pair{Qt::Key_Left, GridCellId{1, 1}},
          std::pair{Qt::Key_Left, GridCellId{1, 1}}}) {
        QTest::keyClick(grid.get(), key);
        EXPECT_EQ(grid->GetFocusCell(), focus) << key;
    }

    // Page Down scrolls a screenful and moves the focus by as many rows, keeping it in view.
    const int topBefore = grid->GetTopLeftNonFixedCell().Row;
    QTest::keyClick(grid.get(), Qt::Key_PageDown);
    const int moved = grid->GetTopLeftNonFixedCell().Row - topBefore;
    EXPECT_GE(moved, 10);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{1 + moved, 1}));
    EXPECT_TRUE(grid->IsCellVisible(1 + moved, 1));
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(1 + moved, 1, 4));

    QTest::keyClick(grid.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{99, 4}));
    EXPECT_TRUE(grid->IsCellVisible(99, 4));
    QTest::keyClick(grid.get(), Qt::Key_PageDown);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{99, 4}));
    QTest::keyClick(grid.get(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{1, 1}));
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().Row, 1);

    // Down past the visible rows scrolls just enough.
    for (int step = 0; step < 20; ++step) {
        QTest::keyClick(grid.get(), Qt::Key_Down);
    }
    EXPECT_EQ(grid->GetFocusCell().Row, 21);
    EXPECT_TRUE(grid->IsCellVisible(21, 1));
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(21, 1, rect));
    EXPECT_LE(rect.bottom(), grid->viewport()->height() - 1);
}

TEST(GridKeys, TabWalksTheCellsAndThenLeaves) {
    auto grid = MakeGrid(3, 3, 1, 1);
    grid->SetFocusCell(1, 1);
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{1, 2}));
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{2, 1}));
    QTest::keyClick(grid.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{1, 2}));
}

TEST(GridKeys, CtrlTabLeavesTheGridEitherWay) {
    QWidget window;
    auto* before = new QLineEdit(&window);
    auto* grid = new CGridCtrl(5, 3, 1, 1, &window);
    auto* after = new QLineEdit(&window);
    before->setGeometry(0, 0, 300, 20);
    grid->setGeometry(0, 30, 300, 150);
    after->setGeometry(0, 190, 300, 20);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (const auto& [modifiers, next] : {std::pair{Qt::KeyboardModifiers(Qt::ControlModifier), after},
                                          std::pair{Qt::ControlModifier | Qt::ShiftModifier, before}}) {
        grid->setFocus();
        grid->SetFocusCell(2, 1);
        QTest::keyClick(grid, modifiers & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab, modifiers);
        EXPECT_TRUE(next->hasFocus()) << int(modifiers);
        EXPECT_EQ(grid->GetFocusCell(), (GridCellId{2, 1}));
    }
}

TEST(GridAccessibility, TheTableReadsAsHeadersCellsSelectionAndFocus) {
    auto grid = MakeGrid(5, 3, 1, 1);
    UseToolTableSettings(*grid);
    const char* headers[] = {"#", "Calls", "Tool"};
    for (int col = 0; col < 3; ++col) {
        grid->SetItemText(0, col, headers[col]);
    }
    for (int row = 1; row < 5; ++row) {
        grid->SetItemText(row, 0, std::to_string(row));
        grid->SetItemText(row, 2, "tool " + std::to_string(row));
    }
    grid->SetItemAccessibleDescription(3, 2, QStringLiteral("tool not found"));

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(grid.get());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Table);
    QAccessibleTableInterface* table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->columnCount(), 3);
    EXPECT_EQ(iface->childCount(), 5 * 3);
    for (int col = 0; col < 3; ++col) {
        EXPECT_EQ(table->columnDescription(col), QString::fromLatin1(headers[col]));
    }
    EXPECT_EQ(table->rowDescription(1), QStringLiteral("2"));
    EXPECT_EQ(table->cellAt(0, 2)->text(QAccessible::Name), QStringLiteral("tool 1"));
    EXPECT_EQ(table->cellAt(0, 2)->text(QAccessible::Description), QString());
    EXPECT_EQ(table->cellAt(2, 2)->text(QAccessible::Description), QStringLiteral("tool not found"));
    const QList<QAccessibleInterface*> header =
        table->cellAt(1, 1)->tableCellInterface()->columnHeaderCells();
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(header.front()->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(header.front()->text(QAccessible::Name), QStringLiteral("Calls"));
    EXPECT_EQ(iface->child(iface->indexOfChild(table->cellAt(2, 1))), table->cellAt(2, 1));

    // Selection and focus follow a click.
    QApplication::setActiveWindow(grid.get());
    grid->setFocus();
    Click(grid->viewport(), CellCentre(*grid, 3, 2));
    EXPECT_EQ(table->selectedRows(), QList<int>{2});
    EXPECT_TRUE(table->cellAt(2, 2)->state().selected);
    EXPECT_TRUE(table->cellAt(2, 2)->state().focused);
    EXPECT_FALSE(table->cellAt(1, 2)->state().selected);
    EXPECT_EQ(iface->focusChild(), table->cellAt(2, 2));
}

TEST(GridWheelScrolling, NotchesScrollLines) {
    auto grid = MakeGrid(100, 3, 1, 1);
    grid->SetMouseWheelScrollLines(3);
    QWidget* client = grid->viewport();
    for (const auto& [delta, top] : {std::pair{-120, 4}, std::pair{120, 1}, std::pair{-60, 2}}) {
        SendWheel(client, {100, 100}, delta);
        EXPECT_EQ(grid->GetTopLeftNonFixedCell().Row, top) << delta;
    }
}

TEST(GridTitleTips, ShownOnlyForTextWiderThanItsCell) {
    auto grid = MakeGrid(5, 3, 1, 1);
    grid->SetItemText(1, 1, "ab");
    grid->SetItemText(2, 1, "This text is far wider than sixty pixels");
    QWidget* client = grid->viewport();

    Hover(client, CellCentre(*grid, 1, 1));
    EXPECT_FALSE(grid->IsTitleTipShown());
    Hover(client, CellCentre(*grid, 2, 1));
    ASSERT_TRUE(grid->IsTitleTipShown());
    EXPECT_EQ(grid->GetTitleTip()->TipText(), QStringLiteral("This text is far wider than sixty pixels"));
    EXPECT_GT(grid->GetTitleTip()->width(), TestColumnWidth);
    Hover(client, CellCentre(*grid, 3, 2));
    EXPECT_FALSE(grid->IsTitleTipShown());

    grid->EnableTitleTips(false);
    Hover(client, CellCentre(*grid, 2, 1));
    EXPECT_FALSE(grid->IsTitleTipShown());
}

TEST(GridEditing, EscapeLeavesTheTextAndEnterTakesIt) {
    auto grid = MakeGrid(5, 3, 1, 1);
    grid->SetItemText(2, 2, "before");
    grid->SetModified(false);
    QSignalSpy ended(grid.get(), &CGridCtrl::GridNotification);

    ASSERT_TRUE(grid->EditCell(2, 2, CGridInPlaceEdit::StartedByMouse));
    CGridInPlaceEdit* edit = grid->GetInPlaceEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(grid->GetCell(2, 2)->IsEditing());
    EXPECT_EQ(edit->text(), QStringLiteral("before"));
    QTest::keyClicks(edit, "XYZ");
    EXPECT_EQ(edit->text(), QStringLiteral("beforeXYZ"));
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    DeleteRetiredWidgets();
    EXPECT_EQ(grid->GetItemText(2, 2), "before");
    EXPECT_FALSE(grid->GetCell(2, 2)->IsEditing());
    EXPECT_FALSE(grid->GetModified(2, 2));
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), GVN_ENDLABELEDIT);

    // A typed character replaces the text; Enter ends the edit and keeps it.
    grid->SetFocusCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_Q);
    edit = grid->GetInPlaceEdit();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("q"));
    QTest::keyClicks(edit, "rs");
    QTest::keyClick(edit, Qt::Key_Return);
    DeleteRetiredWidgets();
    EXPECT_EQ(grid->GetItemText(2, 2), "qrs");
    EXPECT_TRUE(grid->GetModified(2, 2));

    // Arrow keys end an edit started from the keyboard and move on.
    ASSERT_TRUE(grid->EditCell(2, 2, Qt::Key_Return));
    QTest::keyClick(grid->GetInPlaceEdit(), Qt::Key_Down);
    DeleteRetiredWidgets();
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    EXPECT_EQ(grid->GetFocusCell(), (GridCellId{3, 2}));

    // Nothing starts an edit of a grid that is not editable, of a fixed cell or of a read-only one.
    grid->SetEditable(false);
    grid->SetFocusCell(2, 2);
    EXPECT_FALSE(grid->EditCell(2, 2, 'x'));
    QTest::keyClick(grid.get(), Qt::Key_X);
    QTest::keyClick(grid.get(), Qt::Key_F2);
    Click(grid->viewport(), CellCentre(*grid, 2, 2));
    EXPECT_EQ(grid->GetInPlaceEdit(), nullptr);
    grid->SetEditable(true);
    EXPECT_FALSE(grid->EditCell(0, 2, 'x'));
    grid->SetItemState(2, 1, GVIS_READONLY);
    EXPECT_FALSE(grid->EditCell(2, 1, 'x'));
}

TEST(GridSizing, BordersDragOnlyWhenAllowedAndADoubleClickFitsTheText) {
    auto grid = MakeGrid(5, 3, 1, 1);
    QWidget* client = grid->viewport();
    const QPoint columnBorder(2 * TestColumnWidth - 1, 10); // right border of column 1, in the header
    const QPoint rowBorder(10, 2 * TestRowHeight);          // bottom border of row 1
    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed);
        grid->SetColumnResize(allowed);
        grid->SetRowResize(allowed);
        Hover(client, columnBorder);
        EXPECT_EQ(client->cursor().shape() == Qt::SizeHorCursor, allowed);
        Drag(client, columnBorder, columnBorder + QPoint(40, 0));
        EXPECT_EQ(grid->GetColumnWidth(1), allowed ? TestColumnWidth + 40 - 1 : TestColumnWidth);
        Hover(client, rowBorder);
        EXPECT_EQ(client->cursor().shape() == Qt::SizeVerCursor, allowed);
        Drag(client, rowBorder, rowBorder + QPoint(0, 15));
        EXPECT_EQ(grid->GetRowHeight(1), allowed ? TestRowHeight + 15 : TestRowHeight);
    }
    // A double click on the border fits the column to its text.
    grid->SetItemText(3, 1, "A rather long text for one column");
    const QPoint movedBorder(TestColumnWidth + grid->GetColumnWidth(1) - 1, 10);
    Hover(client, movedBorder);
    SendMouse(client, QEvent::MouseButtonDblClick, movedBorder, Qt::LeftButton, Qt::LeftButton);
    SendMouse(client, QEvent::MouseButtonRelease, movedBorder, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(grid->GetColumnWidth(1), grid->GetCell(3, 1)->CellExtent().width());
}

TEST(GridSizing, TheNewSizeIsWhereTheClampedLineStood) {
    // Borders dragged past the client edge: the size stops at the edge, and at one pixel.
    struct Case {
        const char* Name;
        bool Columns;
        int Target; // x (columns) or y (rows) of the release, client coordinates
        int Size;
    };
    const QSize area(400, 300);
    const Case cases[] = {
        {"column past the right edge", true, 2000, area.width() - 1 - TestColumnWidth},
        {"column past the left edge", true, -300, 1},
        {"row past the bottom edge", false, 2000, area.height() - 1 - TestRowHeight},
        {"row past the top edge", false, -300, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto grid = MakeGrid(5, 3, 1, 1, area);
        QWidget* client = grid->viewport();
        const QPoint border =
            c.Columns ? QPoint(2 * TestColumnWidth - 1, 10) : QPoint(10, 2 * TestRowHeight - 1);
        const QPoint release = c.Columns ? QPoint(c.Target, 10) : QPoint(10, c.Target);
        Hover(client, border);
        Drag(client, border, release);
        EXPECT_EQ(c.Columns ? grid->GetColumnWidth(1) : grid->GetRowHeight(1), c.Size);
        // The border still belongs to the same column (row), which can be sized back.
        const QPoint moved =
            c.Columns ? QPoint(TestColumnWidth + c.Size, 10) : QPoint(10, TestRowHeight + c.Size);
        Hover(client, moved);
        const QPoint back = c.Columns ? QPoint(TestColumnWidth + 30, 10) : QPoint(10, TestRowHeight + 15);
        Drag(client, moved, back);
        EXPECT_EQ(c.Columns ? grid->GetColumnWidth(1) : grid->GetRowHeight(1), c.Columns ? 30 : 15);
    }
}

TEST(GridSelection, DraggingBelowTheGridScrollsAndExtends) {
    auto grid = MakeGrid(200, 3, 1, 1, QSize(300, 200));
    QWidget* client = grid->viewport();
    SendMouse(client, QEvent::MouseButtonPress, CellCentre(*grid, 2, 1), Qt::LeftButton, Qt::LeftButton);
    SendMouse(client, QEvent::MouseMove, QPoint(90, client->height() + 30), Qt::NoButton, Qt::LeftButton);
    // The selection reaches rows that were below the grid when the drag began.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return grid->GetSelectedCount() > 0 && grid->GetSelectedCells().back().Row > 200 / TestRowHeight;
        },
        20000));
    SendMouse(client, QEvent::MouseButtonRelease, QPoint(90, client->height() + 30), Qt::LeftButton,
              Qt::NoButton);
    EXPECT_GT(grid->GetTopLeftNonFixedCell().Row, 1);
    EXPECT_EQ(grid->GetSelectedCells().front(), (GridCellId{2, 1}));
    // Released: no more scrolling.
    const int top = grid->GetTopLeftNonFixedCell().Row;
    QTest::qWait(100);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().Row, top);
}

TEST(GridSorting, HeaderClickSortsTheRowsByText) {
    auto grid = MakeGrid(5, 3, 1, 1);
    const char* texts[] = {"pear", "apple", "fig", "apple"};
    for (int row = 1; row <= 4; ++row) {
        grid->SetItemText(row, 1, texts[row - 1]);
        grid->SetItemData(row, 1, row);
    }
    grid->SetHeaderSort(true);
    Click(grid->viewport(), CellCentre(*grid, 0, 1));
    EXPECT_EQ(grid->GetSortColumn(), 1);
    EXPECT_TRUE(grid->GetSortAscending());
    EXPECT_EQ(grid->GetItemText(1, 1), "apple");
    EXPECT_EQ(grid->GetItemData(1, 1), 2); // stable: the first "apple" stays first
    EXPECT_EQ(grid->GetItemData(2, 1), 4);
    EXPECT_EQ(grid->GetItemText(4, 1), "pear");
    Click(grid->viewport(), CellCentre(*grid, 0, 1));
    EXPECT_FALSE(grid->GetSortAscending());
    EXPECT_EQ(grid->GetItemText(1, 1), "pear");
}

TEST(GridTitleTips, TheTipGoesWhenThePointerFocusScrollOrWindowMovesOn) {
    const std::pair<const char*, std::function<void(CGridCtrl&, QWidget&)>> cases[] = {
        {"pointer leaves the tip",
         [](CGridCtrl& grid, QWidget&) {
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(grid.GetTitleTip(), &leave);
         }},
        {"pointer leaves the grid",
         [](CGridCtrl& grid, QWidget&) {
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(grid.viewport(), &leave);
         }},
        {"grid loses the focus", [](CGridCtrl&, QWidget& other) { other.setFocus(); }},
        {"grid scrolls",
         [](CGridCtrl& grid, QWidget&) { grid.verticalScrollBar()->setValue(TestRowHeight); }},
        {"window deactivates",
         [](CGridCtrl& grid, QWidget&) {
             QEvent change(QEvent::ActivationChange);
             QApplication::setActiveWindow(nullptr);
             QApplication::sendEvent(&grid, &change);
         }},
    };
    for (const auto& [name, act] : cases) {
        SCOPED_TRACE(name);
        QWidget window;
        auto* grid = new CGridCtrl(40, 3, 1, 1, &window);
        auto* other = new QLineEdit(&window);
        grid->setGeometry(0, 0, 300, 200);
        other->setGeometry(0, 210, 300, 20);
        grid->SetItemText(2, 2, "This text is far wider than its column");
        window.resize(300, 240);
        window.show();
        QApplication::setActiveWindow(&window);
        grid->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid->ResetScrollBars();
        Hover(grid->viewport(), CellCentre(*grid, 2, 2));
        ASSERT_TRUE(grid->IsTitleTipShown());
        act(*grid, *other);
        EXPECT_FALSE(grid->IsTitleTipShown());
    }
}

TEST(GridTitleTips, AClickOnTheTipIsAClickOnTheGrid) {
    auto grid = MakeGrid(6, 3, 1, 1);
    UseToolTableSettings(*grid);
    grid->SetItemText(2, 2, "This text is far wider than sixty pixels");
    Hover(grid->viewport(), CellCentre(*grid, 2, 2));
    ASSERT_TRUE(grid->IsTitleTipShown());
    CGridTitleTip* tip = grid->GetTitleTip();
    const QPoint onTip(5, tip->height() / 2);
    QTest::mousePress(tip, Qt::LeftButton, Qt::NoModifier, onTip);
    QTest::mouseRelease(tip, Qt::LeftButton, Qt::NoModifier, onTip);
    EXPECT_FALSE(grid->IsTitleTipShown());
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(2, 1, 2));
    QTest::keyClick(grid.get(), Qt::Key_Down);
    EXPECT_EQ(grid->GetSelectedCells(), RowCells(3, 1, 2));
}

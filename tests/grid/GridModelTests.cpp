#include "tests/grid/GridTestSupport.h"

#include "grid/GridScrollBarPlan.h"
#include "grid/GridWheel.h"

#include <QApplication>
#include <QScrollBar>

#include <gtest/gtest.h>

TEST(GridModel, CountsAndFixedCounts) {
    CGridCtrl grid;
    EXPECT_TRUE(grid.SetRowCount(0));
    // A fixed row on an empty grid first creates the row.
    EXPECT_TRUE(grid.SetFixedRowCount(1));
    EXPECT_EQ(grid.GetRowCount(), 1);
    EXPECT_EQ(grid.GetFixedRowCount(), 1);

    ASSERT_TRUE(grid.SetColumnCount(3));
    ASSERT_TRUE(grid.SetRowCount(5));
    CGridCellBase* kept = grid.GetCell(4, 2);
    EXPECT_TRUE(grid.SetRowCount(5));
    EXPECT_EQ(grid.GetCell(4, 2), kept);

    ASSERT_TRUE(grid.SetFixedColumnCount(2));
    ASSERT_TRUE(grid.SetFixedRowCount(3));
    // Shrinking below the fixed part lowers it.
    EXPECT_TRUE(grid.SetRowCount(2));
    EXPECT_EQ(grid.GetFixedRowCount(), 2);
    EXPECT_TRUE(grid.SetColumnCount(1));
    EXPECT_EQ(grid.GetFixedColumnCount(), 1);
    EXPECT_EQ(grid.GetCell(1, 1), nullptr);

    EXPECT_FALSE(grid.SetRowCount(-1));
    EXPECT_FALSE(grid.SetFixedColumnCount(-2));
    EXPECT_EQ(grid.GetRowCount(), 2);
}

TEST(GridModel, CountsBeyondTheCellLimitAreRefusedWithoutChange) {
    CGridCtrl grid(10, 10);
    EXPECT_FALSE(grid.SetRowCount(int(CGridCtrl::MaxCellCount / 10 + 1)));
    EXPECT_FALSE(grid.SetColumnCount(int(CGridCtrl::MaxCellCount / 10 + 1)));
    EXPECT_EQ(grid.GetRowCount(), 10);
    EXPECT_EQ(grid.GetColumnCount(), 10);
}

TEST(GridModel, NewRowsAndColumnsTakeTheDefaultCellSize) {
    CGridCtrl grid(1, 1);
    CGridDefaultCell* defaultCell = grid.GetDefaultCell(false, false);
    EXPECT_EQ(grid.GetRowHeight(0), defaultCell->Height());
    EXPECT_EQ(grid.GetColumnWidth(0), defaultCell->Width());
    LogFont font;
    font.Height = -40;
    defaultCell->SetFont(&font);
    ASSERT_GT(defaultCell->Height(), grid.GetRowHeight(0));
    grid.SetRowCount(2);
    grid.SetColumnCount(2);
    EXPECT_EQ(grid.GetRowHeight(1), defaultCell->Height());
    EXPECT_EQ(grid.GetColumnWidth(1), defaultCell->Width());
}

TEST(GridModel, SizesRejectBadInput) {
    CGridCtrl grid(3, 3);
    grid.SetColumnWidth(1, 50);
    EXPECT_FALSE(grid.SetColumnWidth(1, -1));
    EXPECT_FALSE(grid.SetColumnWidth(3, 10));
    EXPECT_FALSE(grid.SetRowHeight(-1, 10));
    EXPECT_EQ(grid.GetColumnWidth(1), 50);
    EXPECT_TRUE(grid.SetColumnWidth(1, 0));
    EXPECT_EQ(grid.GetColumnWidth(1), 0);
}

TEST(GridModel, SetItemPassesOnlyTheMaskedFields) {
    CGridCtrl grid(3, 3, 1, 1);
    GridItem item;
    item.Row = 1;
    item.Col = 2;
    item.Mask = GVIF_TEXT | GVIF_FORMAT;
    item.Text = "42";
    item.Format = DT_CENTER | DT_SINGLELINE;
    item.BackColour = Rgb(255, 0, 0);
    item.TextColour = Rgb(0, 255, 0);
    item.Data = 99;
    item.Image = 4;
    item.Margin = 11;
    const unsigned margin = grid.GetCell(1, 2)->Margin();
    ASSERT_TRUE(grid.SetItem(item));
    EXPECT_EQ(grid.GetItemText(1, 2), "42");
    EXPECT_EQ(grid.GetItemFormat(1, 2), unsigned(DT_CENTER | DT_SINGLELINE));
    EXPECT_EQ(grid.GetItemBackColour(1, 2), CLR_DEFAULT);
    EXPECT_EQ(grid.GetItemTextColour(1, 2), CLR_DEFAULT);
    EXPECT_EQ(grid.GetItemData(1, 2), 0);
    EXPECT_EQ(grid.GetItemImage(1, 2), -1);
    EXPECT_EQ(grid.GetCell(1, 2)->Margin(), margin);
    EXPECT_TRUE(grid.GetCell(1, 2)->IsDefaultFont());
    EXPECT_TRUE(grid.GetModified(1, 2));

    item.Mask = GVIF_BKCLR | GVIF_FGCLR | GVIF_PARAM | GVIF_MARGIN;
    ASSERT_TRUE(grid.SetItem(item));
    GridItem read;
    read.Row = 1;
    read.Col = 2;
    read.Mask = GVIF_TEXT | GVIF_BKCLR | GVIF_FGCLR | GVIF_PARAM | GVIF_MARGIN;
    ASSERT_TRUE(grid.GetItem(read));
    EXPECT_EQ(read.Text, "42");
    EXPECT_EQ(read.BackColour, Rgb(255, 0, 0));
    EXPECT_EQ(read.TextColour, Rgb(0, 255, 0));
    EXPECT_EQ(read.Data, 99);
    EXPECT_EQ(read.Margin, 11u);

    item.Row = 3;
    EXPECT_FALSE(grid.SetItem(item));
    EXPECT_FALSE(grid.SetItemBackColour(0, 3, Rgb(1, 1, 1)));
    EXPECT_FALSE(grid.SetItemTextColour(-1, 0, Rgb(1, 1, 1)));
    EXPECT_EQ(grid.GetItemText(7, 7), "");
}

TEST(GridModel, ItemStateKeepsFocusAndSelectionConsistent) {
    CGridCtrl grid(4, 4, 1, 1);
    ASSERT_TRUE(grid.SetItemState(2, 2, GVIS_FOCUSED | GVIS_SELECTED));
    EXPECT_EQ(grid.GetFocusCell(), (GridCellId{2, 2}));
    EXPECT_TRUE(grid.IsCellSelected(2, 2));
    ASSERT_TRUE(grid.SetItemState(3, 3, GVIS_FOCUSED));
    EXPECT_EQ(grid.GetFocusCell(), (GridCellId{3, 3}));
    EXPECT_FALSE(grid.GetCell(2, 2)->IsFocused());
    ASSERT_TRUE(grid.SetItemState(2, 2, 0));
    EXPECT_FALSE(grid.IsCellSelected(2, 2));
    // Where a cell stands keeps its fixed flags.
    ASSERT_TRUE(grid.SetItemState(0, 2, 0));
    EXPECT_TRUE(grid.GetCell(0, 2)->IsFixedRow());
}

TEST(GridModel, FixedRowsChangeTheKindAndColoursOfTheirCells) {
    CGridCtrl grid(4, 3, 0, 1);
    grid.SetItemBackColour(1, 1, Rgb(10, 20, 30));
    grid.SetItemBackColour(1, 0, Rgb(40, 50, 60));
    ASSERT_TRUE(grid.SetFixedRowCount(2));
    EXPECT_TRUE(grid.GetCell(1, 1)->IsFixedRow());
    EXPECT_EQ(grid.GetItemBackColour(1, 1), CLR_DEFAULT);
    EXPECT_EQ(grid.GetCell(1, 1)->DefaultCell(), grid.GetDefaultCell(true, false));

    grid.SetItemBackColour(1, 1, Rgb(10, 20, 30));
    grid.SetItemBackColour(1, 0, Rgb(40, 50, 60));
    ASSERT_TRUE(grid.SetFixedRowCount(1));
    EXPECT_FALSE(grid.GetCell(1, 1)->IsFixed());
    EXPECT_EQ(grid.GetItemBackColour(1, 1), CLR_DEFAULT);
    // Still in the fixed column: keeps its colour and stays fixed.
    EXPECT_TRUE(grid.GetCell(1, 0)->IsFixed());
    EXPECT_EQ(grid.GetItemBackColour(1, 0), Rgb(40, 50, 60));
}

TEST(GridModel, RemovedRowsTakeFocusAndSelectionWithThem) {
    CGridCtrl grid(10, 3, 1, 1);
    grid.SetFocusCell(8, 1);
    grid.SetSelectedRange({7, 1, 8, 2});
    EXPECT_EQ(grid.GetSelectedCount(), 4);
    grid.SetRowCount(8);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
    EXPECT_EQ(grid.GetSelectedCount(), 2);
}

TEST(GridModel, ClearGridEmptiesEverything) {
    CGridCtrl grid(5, 4, 1, 1);
    grid.SetFocusCell(2, 2);
    EXPECT_TRUE(grid.ClearGrid());
    EXPECT_EQ(grid.GetRowCount(), 0);
    EXPECT_EQ(grid.GetColumnCount(), 0);
    EXPECT_EQ(grid.GetFixedRowCount(), 0);
    EXPECT_EQ(grid.GetFixedColumnCount(), 0);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
    EXPECT_EQ(grid.GetVirtualHeight(), 0);
    EXPECT_TRUE(grid.GetModified());
}

TEST(GridScrollBarPlan, FollowsTheSizes) {
    GridScrollBarInput input;
    input.AreaWidth = 300;
    input.AreaHeight = 200;
    input.FixedWidth = 50;
    input.FixedHeight = 20;
    input.VerticalBarWidth = 15;
    input.HorizontalBarHeight = 15;

    input.NonFixedWidth = 250;
    input.NonFixedHeight = 180;
    GridScrollBarPlan plan = PlanScrollBars(input);
    EXPECT_FALSE(plan.ShowVertical);
    EXPECT_FALSE(plan.ShowHorizontal);

    input.NonFixedWidth = 200;
    input.NonFixedHeight = 1000;
    plan = PlanScrollBars(input);
    EXPECT_TRUE(plan.ShowVertical);
    EXPECT_FALSE(plan.ShowHorizontal);
    EXPECT_EQ(plan.VerticalPage, 180);
    EXPECT_EQ(plan.VerticalMaximum, 1000 - 180);

    // The vertical bar takes the room the columns needed.
    input.NonFixedWidth = 240;
    plan = PlanScrollBars(input);
    EXPECT_TRUE(plan.ShowHorizontal);
    EXPECT_EQ(plan.HorizontalPage, 250 - 15);
    EXPECT_EQ(plan.VerticalPage, 180 - 15);

    // And the other way round.
    input.NonFixedWidth = 400;
    input.NonFixedHeight = 170;
    plan = PlanScrollBars(input);
    EXPECT_TRUE(plan.ShowHorizontal);
    EXPECT_TRUE(plan.ShowVertical);

    // An area no larger than the fixed part shows no scroll bars.
    input.AreaWidth = 50;
    input.NonFixedHeight = 5000;
    plan = PlanScrollBars(input);
    EXPECT_FALSE(plan.ShowVertical);
    EXPECT_FALSE(plan.ShowHorizontal);
}

TEST(GridScrollBars, ShownAndHiddenByTheGridSize) {
    auto grid = MakeGrid(5, 3, 1, 1, QSize(400, 300));
    EXPECT_FALSE(grid->IsVScrollBarShown());
    EXPECT_FALSE(grid->IsHScrollBarShown());

    grid->SetRowCount(100);
    for (int row = 5; row < 100; ++row) {
        grid->SetRowHeight(row, TestRowHeight);
    }
    EXPECT_TRUE(grid->IsVScrollBarShown());
    EXPECT_TRUE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->IsHScrollBarShown());
    EXPECT_EQ(grid->verticalScrollBar()->maximum(),
              int(grid->GetVirtualHeight() - TestRowHeight) - grid->verticalScrollBar()->pageStep());

    grid->SetColumnWidth(2, 1000);
    EXPECT_TRUE(grid->IsHScrollBarShown());
    EXPECT_TRUE(grid->horizontalScrollBar()->isVisible());

    // Smaller than the fixed part: no bars at all.
    grid->SetColumnWidth(0, 500);
    EXPECT_FALSE(grid->IsVScrollBarShown());
    EXPECT_FALSE(grid->IsHScrollBarShown());
    QApplication::processEvents();
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
}

TEST(GridWheel, LinesPerNotch) {
    CGridWheel wheel(3);
    EXPECT_EQ(wheel.Add(-120).Lines, -3);
    CGridWheel half(3);
    EXPECT_EQ(half.Add(60).Lines, 1);
    // What a half notch left over is not lost: two halves make a notch.
    EXPECT_EQ(half.Add(60).Lines, 2);
    EXPECT_EQ(half.Add(-60).Lines, -1);

    CGridWheel fine(3);
    int lines = 0;
    for (int step = 0; step < 8; ++step) {
        lines += fine.Add(15).Lines;
    }
    EXPECT_EQ(lines, 3);

    CGridWheel pages(CGridWheel::PagePerNotch);
    const GridWheelSteps steps = pages.Add(-240);
    EXPECT_EQ(steps.Pages, -2);
    EXPECT_EQ(steps.Lines, 0);
}

TEST(GridModel, WidgetFontAndPaletteReachTheDefaultCells) {
    CGridCtrl grid(2, 2, 1, 1);
    QFont font = grid.font();
    font.setPixelSize(31);
    grid.setFont(font);
    EXPECT_EQ(grid.GetGridFont().Height, -31);
    EXPECT_EQ(grid.GetDefaultCell(true, true)->FontObject().pixelSize(), 31);

    // Colours that followed the system follow its change; chosen ones stay.
    grid.GetDefaultCell(false, true)->SetBackColour(Rgb(1, 2, 3));
    const QPalette original = QApplication::palette();
    QPalette changed = original;
    changed.setColor(QPalette::Button, QColor(10, 20, 30));
    QApplication::setPalette(changed);
    // Without a running event loop the application does not pass the change on itself.
    QEvent paletteChange(QEvent::ApplicationPaletteChange);
    QApplication::sendEvent(&grid, &paletteChange);
    EXPECT_EQ(grid.GetDefaultCell(true, false)->BackColour(), Rgb(10, 20, 30));
    EXPECT_EQ(grid.GetDefaultCell(false, true)->BackColour(), Rgb(1, 2, 3));
    QApplication::setPalette(original);
}

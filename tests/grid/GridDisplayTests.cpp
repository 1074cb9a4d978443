// The title tip under a real X display, driven by events that the X server makes.

#include "tests/grid/GridTestSupport.h"

#include "grid/GridTitleTip.h"
#include "tests/grid/GridFakeInput.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMainWindow>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct DisplayedGrid {
    QMainWindow Window;
    CGridCtrl* Grid = nullptr;
};

std::unique_ptr<DisplayedGrid> ShowGrid() {
    auto shown = std::make_unique<DisplayedGrid>();
    auto grid = std::make_unique<CGridCtrl>(6, 3, 1, 1);
    shown->Grid = grid.get();
    grid->setFrameShape(QFrame::NoFrame);
    for (int col = 0; col < 3; ++col) {
        grid->SetColumnWidth(col, TestColumnWidth);
    }
    grid->SetSingleRowSelection(true);
    grid->SetEditable(false);
    grid->SetListMode(true);
    grid->SetItemText(2, 2, "This text is far wider than sixty pixels");
    shown->Window.setCentralWidget(grid.release());
    shown->Window.setGeometry(100, 100, 400, 300);
    shown->Window.show();
    shown->Window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&shown->Window));
    shown->Grid->ResetScrollBars();
    return shown;
}

QPoint Global(const CGridCtrl& grid, int row, int col) {
    return grid.viewport()->mapToGlobal(CellCentre(grid, row, col));
}

} // namespace

class GridOnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !m_Input.Usable()) {
            GTEST_SKIP() << "needs an X display with XTest";
        }
        m_Shown = ShowGrid();
    }
    FakeInput m_Input;
    std::unique_ptr<DisplayedGrid> m_Shown;
};

TEST_F(GridOnDisplay, AClickThroughTheTipReachesTheGridAsAPair) {
    CGridCtrl& grid = *m_Shown->Grid;
    m_Input.MoveTo(Global(grid, 2, 1));
    m_Input.MoveTo(Global(grid, 2, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid.IsTitleTipShown(); }, 10000));
    m_Input.LeftButton(true);
    m_Input.LeftButton(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !grid.IsTitleTipShown(); }, 10000));
    EXPECT_EQ(grid.GetFocusCell(), (GridCellId{2, 2}));
    // Released: the arrow keys move the selection with the focus.
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(grid.GetFocusCell().Row, 4);
    EXPECT_TRUE(grid.IsCellSelected(4, 2));
    EXPECT_FALSE(grid.IsCellSelected(2, 2));
}

TEST_F(GridOnDisplay, TheTipGoesWhenThePointerJumpsOffIt) {
    CGridCtrl& grid = *m_Shown->Grid;
    m_Input.MoveTo(Global(grid, 2, 1));
    m_Input.MoveTo(Global(grid, 2, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid.IsTitleTipShown(); }, 10000));
    // The tip lies over the cell, so the pointer is on the tip; from there it jumps out of the window.
    m_Input.MoveTo(m_Shown->Window.geometry().bottomRight() + QPoint(60, 60));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !grid.IsTitleTipShown(); }, 10000));
}

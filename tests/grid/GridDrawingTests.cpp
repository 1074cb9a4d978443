#include "tests/grid/GridTestSupport.h"

#include "grid/GridCellClassRegistry.h"
#include "grid/GridColours.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

const QColor GridLine(0xC0, 0xC0, 0xC0);

QColor System(int index) {
    return ToQColor(SystemColour(index));
}

// 6 rows x 4 columns, one fixed row and column: columns start at 0, 60, 120, 180; rows at 0, 20, 40, ...
class GridDrawing : public ::testing::Test {
protected:
    void SetUp() override { m_Grid = MakeGrid(6, 4, 1, 1, QSize(400, 300)); }
    std::unique_ptr<CGridCtrl> m_Grid;
};

} // namespace

TEST_F(GridDrawing, FixedAndOrdinaryCellsTakeTheirDefaultColours) {
    const QImage image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {90, 10}), System(COLOR_BTNFACE)); // fixed row
    EXPECT_EQ(Pixel(image, {30, 50}), System(COLOR_BTNFACE)); // fixed column
    EXPECT_EQ(Pixel(image, {30, 10}), System(COLOR_BTNFACE)); // both
    EXPECT_EQ(Pixel(image, {150, 50}), System(COLOR_WINDOW)); // ordinary

    // A change of a default cell restyles all cells of its kind.
    m_Grid->GetDefaultCell(false, true)->SetBackColour(Rgb(0, 128, 128));
    m_Grid->GetDefaultCell(true, false)->SetBackColour(Rgb(90, 0, 90));
    const QImage restyled = Render(*m_Grid);
    EXPECT_EQ(Pixel(restyled, {30, 50}), QColor(0, 128, 128));
    EXPECT_EQ(Pixel(restyled, {30, 90}), QColor(0, 128, 128));
    EXPECT_EQ(Pixel(restyled, {90, 10}), QColor(90, 0, 90));
    EXPECT_EQ(Pixel(restyled, {30, 10}), System(COLOR_BTNFACE));
}

TEST_F(GridDrawing, OwnColoursAndSelectionPaintOverTheDefaults) {
    m_Grid->SetItemBackColour(3, 1, Rgb(255, 0, 0));
    m_Grid->SetItemBackColour(4, 3, Rgb(255, 0, 0));
    m_Grid->SetSelectedRange({4, 2, 4, 3});
    const QImage image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {90, 70}), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(image, {150, 90}), System(COLOR_HIGHLIGHT));
    // A selected cell shows the highlight even with a background of its own.
    EXPECT_EQ(Pixel(image, {210, 90}), System(COLOR_HIGHLIGHT));
    // The cell's own colour reaches up to the next cell; the grid line is drawn over it.
    EXPECT_EQ(Pixel(image, {118, 70}), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(image, {119, 70}), GridLine);
}

TEST_F(GridDrawing, TextIsDrawnInTheCellsTextColour) {
    m_Grid->SetItemText(2, 2, "MMMM");
    m_Grid->SetItemTextColour(2, 2, Rgb(0, 0, 255));
    const QImage image = Render(*m_Grid);
    int blue = 0;
    for (int y = 40; y < 59; ++y) {
        for (int x = 120; x < 179; ++x) {
            const QColor colour = Pixel(image, {x, y});
            if (colour.blue() > 200 && colour.red() < 100) {
                ++blue;
            }
        }
    }
    EXPECT_GT(blue, 10);
}

TEST_F(GridDrawing, GridLinesFollowTheSetting) {
    QImage image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {179, 50}), GridLine); // right edge of column 2
    EXPECT_EQ(Pixel(image, {150, 59}), GridLine); // bottom edge of row 2
    // Fixed cells carry raised edges instead.
    EXPECT_EQ(Pixel(image, {60, 10}), System(COLOR_3DHILIGHT));
    EXPECT_EQ(Pixel(image, {90, 0}), System(COLOR_3DHILIGHT));
    EXPECT_EQ(Pixel(image, {119, 10}), System(COLOR_3DDKSHADOW));
    EXPECT_EQ(Pixel(image, {90, 19}), System(COLOR_3DDKSHADOW));

    m_Grid->SetGridLines(GVL_HORZ);
    image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {179, 50}), System(COLOR_WINDOW));
    EXPECT_EQ(Pixel(image, {150, 59}), GridLine);

    m_Grid->SetGridLines(GVL_VERT);
    image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {179, 50}), GridLine);
    EXPECT_EQ(Pixel(image, {150, 59}), System(COLOR_WINDOW));

    m_Grid->SetGridLines(GVL_NONE);
    image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {179, 50}), System(COLOR_WINDOW));
    EXPECT_EQ(Pixel(image, {150, 59}), System(COLOR_WINDOW));
    EXPECT_EQ(Pixel(image, {60, 10}), System(COLOR_BTNFACE));
    EXPECT_EQ(Pixel(image, {119, 10}), System(COLOR_BTNFACE));
}

TEST_F(GridDrawing, AreaOutsideTheTableHasTheGridBackground) {
    QImage image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {300, 50}), System(COLOR_BTNSHADOW));
    EXPECT_EQ(Pixel(image, {50, 200}), System(COLOR_BTNSHADOW));
    EXPECT_EQ(Pixel(image, {240, 10}), System(COLOR_BTNSHADOW));
    m_Grid->SetGridBackColour(SystemColour(COLOR_BTNFACE));
    image = Render(*m_Grid);
    EXPECT_EQ(Pixel(image, {300, 50}), System(COLOR_BTNFACE));
    EXPECT_EQ(Pixel(image, {399, 299}), System(COLOR_BTNFACE));
}

TEST_F(GridDrawing, NothingIsDrawnWhileDrawingIsOff) {
    m_Grid->SetRedraw(false);
    QImage image(m_Grid->viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    m_Grid->viewport()->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(Pixel(image, {150, 50}), QColor(Qt::magenta));
    EXPECT_EQ(Pixel(image, {300, 50}), QColor(Qt::magenta));
    m_Grid->SetRedraw(true, true);
    m_Grid->viewport()->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(Pixel(image, {150, 50}), System(COLOR_WINDOW));
}

TEST_F(GridDrawing, DirectDrawingMatchesDoubleBuffering) {
    m_Grid->SetItemText(2, 2, "text");
    m_Grid->SetItemBackColour(3, 3, Rgb(0, 200, 0));
    const QImage buffered = Render(*m_Grid);
    m_Grid->SetDoubleBuffering(false);
    EXPECT_EQ(Render(*m_Grid), buffered);
}

TEST(GridGeometry, CellsMoveWithTheScrollPosition) {
    auto grid = MakeGrid(50, 10, 1, 1, QSize(400, 300));
    ASSERT_TRUE(grid->IsVScrollBarShown());
    ASSERT_TRUE(grid->IsHScrollBarShown());
    grid->SetItemBackColour(13, 4, Rgb(255, 0, 0));

    grid->verticalScrollBar()->setValue(10 * TestRowHeight);
    grid->horizontalScrollBar()->setValue(2 * TestColumnWidth);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (GridCellId{11, 3}));
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(11, 3, rect));
    EXPECT_EQ(rect, QRect(60, 20, 60, 20));
    ASSERT_TRUE(grid->GetCellRect(13, 4, rect));
    EXPECT_EQ(rect, QRect(120, 60, 60, 20));
    // Fixed cells stay; scrolled-off cells have no rectangle.
    ASSERT_TRUE(grid->GetCellRect(13, 0, rect));
    EXPECT_EQ(rect, QRect(0, 60, 60, 20));
    ASSERT_TRUE(grid->GetCellRect(0, 4, rect));
    EXPECT_EQ(rect, QRect(120, 0, 60, 20));
    EXPECT_FALSE(grid->GetCellRect(5, 4, rect));
    EXPECT_FALSE(grid->GetCellRect(13, 2, rect));
    EXPECT_EQ(grid->GetCellFromPt({125, 65}), (GridCellId{13, 4}));
    EXPECT_EQ(grid->GetCellFromPt({5, 65}), (GridCellId{13, 0}));

    const QImage image = Render(*grid);
    EXPECT_EQ(Pixel(image, {150, 70}), QColor(255, 0, 0));
    EXPECT_EQ(Pixel(image, {150, 10}), System(COLOR_BTNFACE));
}

namespace {

int DrawnCells = 0;
int LowestDrawnRow = INT_MAX;

class CCountingCell : public CGridCell {
public:
    const char* ClassName() const override { return "CCountingCell"; }
    bool Draw(QPainter* dc, int row, int col, QRect rect, bool eraseBackground) override {
        ++DrawnCells;
        if (!IsFixedRow()) {
            LowestDrawnRow = std::min(LowestDrawnRow, row);
        }
        return CGridCell::Draw(dc, row, col, rect, eraseBackground);
    }
};

} // namespace

TEST(GridGeometry, OnlyVisibleCellsAreDrawn) {
    CGridCellClassRegistry::Register({"CCountingCell", "CGridCell", []() -> std::unique_ptr<CGridCellBase> {
                                          return std::make_unique<CCountingCell>();
                                      }});
    CGridCtrl grid;
    ASSERT_TRUE(grid.SetDefaultCellType("CCountingCell"));
    grid.setFrameShape(QFrame::NoFrame);
    grid.SetRowCount(1000);
    grid.SetColumnCount(20);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    for (int col = 0; col < 20; ++col) {
        grid.SetColumnWidth(col, TestColumnWidth);
    }
    for (int row = 0; row < 1000; ++row) {
        grid.SetRowHeight(row, TestRowHeight);
    }
    grid.resize(400, 300);
    grid.show();
    QApplication::processEvents();

    DrawnCells = 0;
    Render(grid);
    const int rows = 300 / TestRowHeight + 1;
    const int cols = 400 / TestColumnWidth + 1;
    EXPECT_GT(DrawnCells, 0);
    EXPECT_LE(DrawnCells, rows * cols);

    grid.verticalScrollBar()->setValue(500 * TestRowHeight);
    DrawnCells = 0;
    LowestDrawnRow = INT_MAX;
    Render(grid);
    EXPECT_LE(DrawnCells, rows * cols);
    EXPECT_EQ(LowestDrawnRow, 501);
}

#include "tests/grid/GridTestSupport.h"

#include "grid/GridCell.h"
#include "grid/GridCellClassRegistry.h"
#include "grid/GridColours.h"

#include <QApplication>
#include <QProcess>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

namespace {

const QColor GridLine(0xC0, 0xC0, 0xC0);
const QColor Red(255, 0, 0);

// 6 rows x 4 columns, one fixed row and column: columns start at 0, 60, 120, 180; rows at 0, 20, 40, ...
class GridDrawing : public ::testing::Test {
protected:
    void SetUp() override { m_Grid = MakeGrid(6, 4, 1, 1, QSize(400, 300)); }
    std::unique_ptr<CGridCtrl> m_Grid;
};

int DrawnCells = 0;
int LowestDrawnRow = INT_MAX;

class CCountingCell : public CGridCell {
public:
    const char* ClassName() const override { return "CCountingCell"; }
    bool Draw(QPainter* dc, int row, int col, QRect rect, bool eraseBackground) override {
        ++DrawnCells;
        if (!IsFixedRow())
            LowestDrawnRow = std::min(LowestDrawnRow, row);
        return CGridCell::Draw(dc, row, col, rect, eraseBackground);
    }
};

} // namespace

TEST_F(GridDrawing, CellsTakeTheColoursOfTheirKindTheirOwnAndTheSelection) {
    ExpectPixels(Render(*m_Grid), {{{90, 10}, System(COLOR_BTNFACE)},    // fixed row
                                   {{30, 50}, System(COLOR_BTNFACE)},    // fixed column
                                   {{30, 10}, System(COLOR_BTNFACE)},    // both
                                   {{150, 50}, System(COLOR_WINDOW)},    // ordinary
                                   {{300, 50}, System(COLOR_BTNSHADOW)}, // outside the table
                                   {{50, 200}, System(COLOR_BTNSHADOW)},
                                   {{240, 10}, System(COLOR_BTNSHADOW)}});

    // A change of a default cell restyles all cells of its kind.
    m_Grid->GetDefaultCell(false, true)->SetBackColour(Rgb(0, 128, 128));
    m_Grid->GetDefaultCell(true, false)->SetBackColour(Rgb(90, 0, 90));
    m_Grid->SetGridBackColour(SystemColour(COLOR_BTNFACE));
    m_Grid->SetItemBackColour(3, 1, Rgb(255, 0, 0));
    m_Grid->SetItemBackColour(4, 3, Rgb(255, 0, 0));
    m_Grid->SetSelectedRange({4, 2, 4, 3});
    ExpectPixels(Render(*m_Grid), {{{30, 50}, QColor(0, 128, 128)},
                                   {{30, 90}, QColor(0, 128, 128)},
                                   {{90, 10}, QColor(90, 0, 90)},
                                   {{30, 10}, System(COLOR_BTNFACE)},
                                   {{300, 50}, System(COLOR_BTNFACE)},
                                   {{399, 299}, System(COLOR_BTNFACE)},
                                   {{90, 70}, Red},
                                   {{150, 90}, System(COLOR_HIGHLIGHT)},
                                   // The highlight wins over a background of the cell's own.
                                   {{210, 90}, System(COLOR_HIGHLIGHT)},
                                   // The cell's own colour reaches the next cell; the grid line is over it.
                                   {{118, 70}, Red},
                                   {{119, 70}, GridLine}});
}

TEST_F(GridDrawing, TextIsDrawnInTheCellsTextColour) {
    m_Grid->SetItemText(2, 2, "MMMM");
    m_Grid->SetItemTextColour(2, 2, Rgb(0, 0, 255));
    const QImage image = Render(*m_Grid);
    int blue = 0;
    for (int y = 40; y < 59; ++y) {
        for (int x = 120; x < 179; ++x) {
            const QColor colour = Pixel(image, {x, y});
            blue += colour.blue() > 200 && colour.red() < 100;
        }
    }
    EXPECT_GT(blue, 10);
    // Drawing straight to the screen gives the same picture as through a buffer.
    m_Grid->SetItemBackColour(3, 3, Rgb(0, 200, 0));
    const QImage buffered = Render(*m_Grid);
    m_Grid->SetDoubleBuffering(false);
    EXPECT_EQ(Render(*m_Grid), buffered);
}

TEST_F(GridDrawing, GridLinesFollowTheSetting) {
    const QColor window = System(COLOR_WINDOW);
    const QColor face = System(COLOR_BTNFACE);
    struct Case {
        int Lines;
        QColor Vertical, Horizontal;
    };
    for (const Case& c : {Case{GVL_BOTH, GridLine, GridLine}, Case{GVL_HORZ, window, GridLine},
                          Case{GVL_VERT, GridLine, window}, Case{GVL_NONE, window, window}}) {
        SCOPED_TRACE(c.Lines);
        m_Grid->SetGridLines(c.Lines);
        const QImage image = Render(*m_Grid);
        ExpectPixels(image, {{{179, 50}, c.Vertical}, {{150, 59}, c.Horizontal}});
        // Fixed cells carry raised edges instead, unless there are no lines at all.
        const bool edges = c.Lines != GVL_NONE;
        ExpectPixels(image, {{{60, 10}, edges ? System(COLOR_3DHILIGHT) : face},
                             {{90, 0}, edges ? System(COLOR_3DHILIGHT) : face},
                             {{119, 10}, edges ? System(COLOR_3DDKSHADOW) : face},
                             {{90, 19}, edges ? System(COLOR_3DDKSHADOW) : face}});
    }
}

// The focus cell shows a frame while the grid has the focus, inside a selection and outside it.
TEST_F(GridDrawing, TheFocusCellIsFramedWhileTheGridHasTheFocus) {
    QApplication::setActiveWindow(m_Grid.get());
    m_Grid->setFocus();
    ASSERT_TRUE(m_Grid->hasFocus());
    const auto framePixels = [&](QColor fill) {
        // Pixels of the cell's inner top edge (cell 2,2 spans x 120..179, y 40..59) not in its fill.
        const QImage image = Render(*m_Grid);
        int count = 0;
        for (int x = 122; x < 176; ++x) {
            count += Pixel(image, {x, 41}) != fill;
        }
        return count;
    };
    for (const bool selected : {false, true}) {
        SCOPED_TRACE(selected);
        const QColor fill = System(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
        m_Grid->SetSelectedRange(selected ? GridCellRange{2, 1, 2, 3} : GridCellRange{});
        m_Grid->SetFocusCell(2, 2);
        m_Grid->setFocus();
        EXPECT_GT(framePixels(fill), 10);
        m_Grid->clearFocus();
        EXPECT_EQ(framePixels(fill), 0);
    }
}

TEST_F(GridDrawing, NothingIsDrawnWhileDrawingIsOff) {
    m_Grid->SetRedraw(false);
    QImage image(m_Grid->viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    m_Grid->viewport()->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    ExpectPixels(image, {{{150, 50}, QColor(Qt::magenta)}, {{300, 50}, QColor(Qt::magenta)}});
    m_Grid->SetRedraw(true, true);
    m_Grid->viewport()->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(Pixel(image, {150, 50}), System(COLOR_WINDOW));
}

namespace {

// Lengths of the runs of one colour along a row (horizontal) or a column of device pixels.
std::set<int> RunLengths(const QImage& image, bool horizontal, int at, const QColor& colour) {
    std::set<int> lengths;
    const int count = horizontal ? image.width() : image.height();
    int run = 0;
    for (int i = 0; i <= count; ++i) {
        const bool inRun =
            i < count && QColor(horizontal ? image.pixel(i, at) : image.pixel(at, i)) == colour;
        if (inRun) {
            ++run;
        } else if (run > 0) {
            lengths.insert(run);
            run = 0;
        }
    }
    return lengths;
}

} // namespace

// Grid lines and raised edges are one device pixel wide at whatever scale this process runs.
TEST(GridDrawingScaled, LinesAndEdgesHaveOneWeight) {
    auto grid = MakeGrid(8, 5, 1, 1, QSize(400, 300));
    const QImage image = grid->viewport()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const int bodyRow = int((2.5 * TestRowHeight) * ratio);
    const int bodyColumn = int((2.5 * TestColumnWidth) * ratio);
    const int headerRow = int(TestRowHeight / 2 * ratio);
    const int headerColumn = int(TestColumnWidth / 2 * ratio);
    const std::set<int> one{1};
    EXPECT_EQ(RunLengths(image, true, bodyRow, GridLine), one) << "vertical grid lines";
    EXPECT_EQ(RunLengths(image, false, bodyColumn, GridLine), one) << "horizontal grid lines";
    for (const int colour : {COLOR_3DHILIGHT, COLOR_3DDKSHADOW}) {
        SCOPED_TRACE(colour);
        EXPECT_EQ(RunLengths(image, true, headerRow, System(colour)), one) << "edges down the header";
        EXPECT_EQ(RunLengths(image, false, headerColumn, System(colour)), one)
            << "edges across the number column";
    }
}

TEST(GridDrawingScaled, AtFractionalScales) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        GTEST_SKIP() << "runs in the processes it starts";
    }
    for (const char* scale : {"1.25", "1.5", "1.75"}) {
        SCOPED_TRACE(scale);
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=GridDrawingScaled.LinesAndEdgesHaveOneWeight")});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    }
}

TEST(GridGeometry, CellsMoveWithTheScrollPosition) {
    auto grid = MakeGrid(50, 10, 1, 1, QSize(400, 300));
    ASSERT_TRUE(grid->IsVScrollBarShown());
    ASSERT_TRUE(grid->IsHScrollBarShown());
    grid->SetItemBackColour(13, 4, Rgb(255, 0, 0));

    grid->verticalScrollBar()->setValue(10 * TestRowHeight);
    grid->horizontalScrollBar()->setValue(2 * TestColumnWidth);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell(), (GridCellId{11, 3}));
    // Fixed cells stay; scrolled-off cells have no rectangle.
    struct Case {
        int Row, Col;
        bool Visible;
        QRect Rect;
    };
    for (const Case& c : {Case{11, 3, true, {60, 20, 60, 20}}, Case{13, 4, true, {120, 60, 60, 20}},
                          Case{13, 0, true, {0, 60, 60, 20}}, Case{0, 4, true, {120, 0, 60, 20}},
                          Case{5, 4, false, {}}, Case{13, 2, false, {}}}) {
        QRect rect;
        EXPECT_EQ(grid->GetCellRect(c.Row, c.Col, rect), c.Visible) << c.Row << "," << c.Col;
        if (c.Visible) {
            EXPECT_EQ(rect, c.Rect) << c.Row << "," << c.Col;
            EXPECT_EQ(grid->GetCellFromPt(c.Rect.topLeft() + QPoint(5, 5)), (GridCellId{c.Row, c.Col}));
        }
    }
    ExpectPixels(Render(*grid), {{{150, 70}, Red}, {{150, 10}, System(COLOR_BTNFACE)}});

    // An area no larger than the fixed part needs no scroll bars; a short grid neither.
    grid->SetColumnWidth(0, 500);
    EXPECT_FALSE(grid->IsVScrollBarShown());
    EXPECT_FALSE(grid->IsHScrollBarShown());
    QApplication::processEvents();
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    grid->SetColumnWidth(0, TestColumnWidth);
    grid->SetRowCount(5);
    grid->SetColumnCount(3);
    EXPECT_FALSE(grid->IsVScrollBarShown());
    EXPECT_FALSE(grid->IsHScrollBarShown());
}

TEST(GridGeometry, OnlyVisibleCellsAreDrawn) {
    CGridCellClassRegistry::Register({"CCountingCell", "CGridCell", []() -> std::unique_ptr<CGridCellBase> {
                                          return std::make_unique<CCountingCell>();
                                      }});
    auto grid = MakeGrid(1, 20, 1, 1, QSize(400, 300));
    ASSERT_TRUE(grid->SetDefaultCellType("CCountingCell"));
    grid->SetRowCount(1000);
    for (int row = 1; row < 1000; ++row)
        grid->SetRowHeight(row, TestRowHeight);
    const int visibleCells = (300 / TestRowHeight + 1) * (400 / TestColumnWidth + 1);

    DrawnCells = 0;
    Render(*grid);
    EXPECT_GT(DrawnCells, 0);
    EXPECT_LE(DrawnCells, visibleCells);

    grid->verticalScrollBar()->setValue(500 * TestRowHeight);
    DrawnCells = 0;
    LowestDrawnRow = INT_MAX;
    Render(*grid);
    EXPECT_LE(DrawnCells, visibleCells);
    EXPECT_EQ(LowestDrawnRow, 501);
}

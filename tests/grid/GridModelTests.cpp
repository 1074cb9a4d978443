#include "tests/grid/GridTestSupport.h"

#include "grid/GridCell.h"
#include "grid/GridCellClassRegistry.h"
#include "grid/GridScrollBarPlan.h"
#include "grid/GridWheel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

constexpr unsigned DefaultFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;

LogFont Font(int height) {
    LogFont font;
    font.Height = -height;
    font.FaceName = "DejaVu Sans";
    return font;
}

class CTaggedCell : public CGridCell {
public:
    const char* ClassName() const override { return "CTaggedCell"; }
};

} // namespace

TEST(GridModel, CountsSizesAndTheirBadInput) {
    CGridCtrl grid;
    EXPECT_TRUE(grid.SetRowCount(0));
    // A fixed row on an empty grid first creates the row.
    EXPECT_TRUE(grid.SetFixedRowCount(1));
    EXPECT_EQ(grid.GetRowCount(), 1);

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
    EXPECT_FALSE(grid.SetRowCount(int(CGridCtrl::MaxCellCount + 1)));
    EXPECT_FALSE(grid.SetColumnCount(int(CGridCtrl::MaxCellCount / 2 + 1)));
    EXPECT_EQ(grid.GetRowCount(), 2);
    EXPECT_EQ(grid.GetColumnCount(), 1);

    grid.SetColumnWidth(0, 50);
    EXPECT_FALSE(grid.SetColumnWidth(0, -1));
    EXPECT_FALSE(grid.SetColumnWidth(1, 10));
    EXPECT_FALSE(grid.SetRowHeight(-1, 10));
    EXPECT_EQ(grid.GetColumnWidth(0), 50);
    EXPECT_TRUE(grid.SetColumnWidth(0, 0));
    EXPECT_EQ(grid.GetColumnWidth(0), 0);

    // New rows and columns take the default cell's size, also after its font grew.
    LogFont big = Font(40);
    grid.GetDefaultCell(false, false)->SetFont(&big);
    grid.SetRowCount(3);
    grid.SetColumnCount(2);
    EXPECT_EQ(grid.GetRowHeight(2), grid.GetDefaultCell(false, false)->Height());
    EXPECT_EQ(grid.GetColumnWidth(1), grid.GetDefaultCell(false, false)->Width());
    EXPECT_GT(grid.GetRowHeight(2), grid.GetRowHeight(1));
}

TEST(GridModel, SetItemPassesOnlyTheMaskedFields) {
    CGridCtrl grid(3, 3, 1, 1);
    GridItem item{
        1,  2,   GVIF_TEXT | GVIF_FORMAT, 0, DT_CENTER, 4, Rgb(255, 0, 0), Rgb(0, 255, 0), 99, Font(9),
        11, "42"};
    const unsigned margin = grid.GetCell(1, 2)->Margin();
    for (const unsigned mask :
         {GVIF_TEXT | GVIF_FORMAT, GVIF_BKCLR | GVIF_FGCLR | GVIF_PARAM | GVIF_MARGIN}) {
        SCOPED_TRACE(mask);
        item.Mask = mask;
        ASSERT_TRUE(grid.SetItem(item));
        const bool second = (mask & GVIF_PARAM) != 0;
        EXPECT_EQ(grid.GetItemText(1, 2), "42");
        EXPECT_EQ(grid.GetItemFormat(1, 2), unsigned(DT_CENTER));
        EXPECT_EQ(grid.GetItemBackColour(1, 2), second ? Rgb(255, 0, 0) : CLR_DEFAULT);
        EXPECT_EQ(grid.GetItemTextColour(1, 2), second ? Rgb(0, 255, 0) : CLR_DEFAULT);
        EXPECT_EQ(grid.GetItemData(1, 2), second ? 99 : 0);
        EXPECT_EQ(grid.GetCell(1, 2)->Margin(), second ? 11u : margin);
        // Never in a mask here: image and font.
        EXPECT_EQ(grid.GetItemImage(1, 2), -1);
        EXPECT_TRUE(grid.GetCell(1, 2)->IsDefaultFont());
        EXPECT_TRUE(grid.GetModified(1, 2));
    }
    item.Row = 3;
    EXPECT_FALSE(grid.SetItem(item));
    EXPECT_FALSE(grid.SetItemBackColour(0, 3, Rgb(1, 1, 1)));
    EXPECT_FALSE(grid.SetItemTextColour(-1, 0, Rgb(1, 1, 1)));
    EXPECT_EQ(grid.GetItemText(7, 7), "");
}

TEST(GridModel, FocusAndSelectionStayConsistentAndGoWithTheirRows) {
    CGridCtrl grid(10, 4, 1, 1);
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

    grid.SetFocusCell(8, 1);
    grid.SetSelectedRange({7, 1, 8, 2});
    EXPECT_EQ(grid.GetSelectedCount(), 4);
    grid.SetRowCount(8);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
    EXPECT_EQ(grid.GetSelectedCount(), 2);

    grid.SetFocusCell(2, 2);
    EXPECT_TRUE(grid.ClearGrid());
    EXPECT_EQ(
        grid.GetRowCount() + grid.GetColumnCount() + grid.GetFixedRowCount() + grid.GetFixedColumnCount(), 0);
    EXPECT_FALSE(grid.GetFocusCell().IsValid());
    EXPECT_EQ(grid.GetVirtualHeight(), 0);
}

TEST(GridModel, FixedRowsChangeTheKindAndColoursOfTheirCells) {
    CGridCtrl grid(4, 3, 0, 1);
    for (const int fixedRows : {2, 1}) {
        SCOPED_TRACE(fixedRows);
        grid.SetItemBackColour(1, 1, Rgb(10, 20, 30));
        grid.SetItemBackColour(1, 0, Rgb(40, 50, 60));
        ASSERT_TRUE(grid.SetFixedRowCount(fixedRows));
        EXPECT_EQ(grid.GetCell(1, 1)->IsFixed(), fixedRows == 2);
        EXPECT_EQ(grid.GetCell(1, 1)->DefaultCell(), grid.GetDefaultCell(fixedRows == 2, false));
        EXPECT_EQ(grid.GetItemBackColour(1, 1), CLR_DEFAULT);
    }
    // Still in the fixed column: keeps its colour and stays fixed.
    EXPECT_TRUE(grid.GetCell(1, 0)->IsFixed());
    EXPECT_EQ(grid.GetItemBackColour(1, 0), Rgb(40, 50, 60));
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

TEST(GridCell, UnsetAttributesFollowTheDefaultCellOfTheirPlace) {
    CGridCtrl grid(3, 3, 1, 1);
    struct Place {
        int Row, Col;
        bool FixedRow, FixedCol;
        unsigned State;
    };
    for (const Place& p :
         {Place{0, 0, true, true, GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL},
          Place{0, 2, true, false, GVIS_FIXED | GVIS_FIXEDROW},
          Place{2, 0, false, true, GVIS_FIXED | GVIS_FIXEDCOL}, Place{2, 2, false, false, 0}}) {
        SCOPED_TRACE(testing::Message() << p.Row << "," << p.Col);
        EXPECT_EQ(grid.GetCell(p.Row, p.Col)->DefaultCell(), grid.GetDefaultCell(p.FixedRow, p.FixedCol));
        EXPECT_EQ(grid.GetItemState(p.Row, p.Col) & 0x70u, p.State);
    }
    CGridCellBase* cell = grid.GetCell(1, 1);
    cell->SetFormat(GRID_UNSET);
    EXPECT_EQ(cell->Format(), DefaultFormat);
    EXPECT_EQ(cell->TextColour(), CLR_DEFAULT);
    EXPECT_TRUE(cell->IsDefaultFont());

    // One change of the default cell restyles every cell that left the attribute unset.
    CGridDefaultCell* ordinary = grid.GetDefaultCell(false, false);
    ordinary->SetMargin(7);
    ordinary->SetFormat(DT_RIGHT | DT_SINGLELINE);
    const LogFont big = Font(30);
    ordinary->SetFont(&big);
    EXPECT_EQ(cell->Margin(), ordinary->Margin());
    EXPECT_EQ(cell->Format(), unsigned(DT_RIGHT | DT_SINGLELINE));
    EXPECT_EQ(*cell->Font(), big);
    EXPECT_EQ(cell->FontObject().pixelSize(), 30);

    // Own values win until they are taken back.
    cell->SetMargin(2);
    const LogFont small = Font(9);
    cell->SetFont(&small);
    EXPECT_EQ(cell->Margin(), 2u);
    EXPECT_EQ(cell->Font()->Height, -9);
    cell->SetFont(nullptr);
    EXPECT_TRUE(cell->IsDefaultFont());

    // The default cell is read-only, keeps no data and keeps its font when given none.
    ordinary->SetData(17);
    EXPECT_EQ(ordinary->Data(), 0);
    EXPECT_TRUE(ordinary->IsReadOnly());
    ordinary->SetFont(nullptr);
    EXPECT_EQ(*ordinary->Font(), big);
}

TEST(GridCell, DrawRefusesAnEmptyRectangleOrAMissingGrid) {
    CGridCtrl grid(2, 2);
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::green);
    QPainter dc(&image);
    CGridCellBase* cell = grid.GetCell(1, 1);
    cell->SetBackColour(Rgb(255, 0, 0));
    EXPECT_FALSE(cell->Draw(&dc, 1, 1, QRect(10, 10, 1, 20), true));
    EXPECT_FALSE(cell->Draw(&dc, 1, 1, QRect(10, 10, 20, 0), true));
    EXPECT_FALSE(cell->Draw(nullptr, 1, 1, QRect(10, 10, 20, 20), true));
    CGridCell loose;
    EXPECT_FALSE(loose.Draw(&dc, 1, 1, QRect(10, 10, 20, 20), true));
    dc.end();
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::green));
}

TEST(GridCell, ExtentsGrowWithTextLinesImagesAndTurnWithTheFont) {
    CGridCtrl grid(2, 2);
    CGridCellBase* cell = grid.GetCell(1, 1);
    const CGridDefaultCell* defaultCell = grid.GetDefaultCell(false, false);
    // No text at all: the default cell's size; an empty text is still a text.
    EXPECT_EQ(cell->TextExtent(std::nullopt), QSize(defaultCell->Width(), defaultCell->Height()));
    const QSize empty = cell->TextExtent(std::string_view());
    const QSize one = cell->TextExtent(std::string_view("longer line"));
    EXPECT_GT(one.width(), empty.width());
    EXPECT_EQ(one.height(), empty.height());

    // Word-broken text: the widest line and the height of all lines.
    cell->SetFormat(DT_WORDBREAK);
    const QSize lines = cell->TextExtent(std::string_view("a\nlonger line\nb"));
    EXPECT_EQ(lines.width(), one.width());
    EXPECT_GE(lines.height(), 3 * QFontMetrics(cell->FontObject()).height());

    QPixmap image(16, 40);
    image.fill(Qt::blue);
    grid.SetImageList({image});
    cell->SetFormat(DT_SINGLELINE);
    cell->SetText("longer line");
    cell->SetImage(0);
    EXPECT_EQ(cell->CellExtent(), QSize(one.width() + 16, std::max(one.height(), 40)));

    // Vertical text swaps the directions.
    LogFont vertical = *cell->Font();
    vertical.Escapement = 900;
    cell->SetFont(&vertical);
    const QSize turned = cell->TextExtent(std::string_view("longer line"));
    EXPECT_GT(turned.height(), turned.width());
}

TEST(GridCellRegistry, CreatesCellClassesByName) {
    EXPECT_STREQ(CGridCellClassRegistry::Create("CGridCell")->ClassName(), "CGridCell");
    EXPECT_STREQ(CGridCellClassRegistry::Create("CGridDefaultCell")->ClassName(), "CGridDefaultCell");
    EXPECT_EQ(CGridCellClassRegistry::Create("CGridCellBase"), nullptr);
    EXPECT_EQ(CGridCellClassRegistry::Create("CNoSuchCell"), nullptr);
    EXPECT_TRUE(CGridCellClassRegistry::IsDerivedFrom("CGridDefaultCell", "CGridCellBase"));
    EXPECT_FALSE(CGridCellClassRegistry::IsDerivedFrom("CGridCell", "CGridDefaultCell"));

    // A class of the grid's user becomes the class of new cells.
    CGridCellClassRegistry::Register({"CTaggedCell", "CGridCell", []() -> std::unique_ptr<CGridCellBase> {
                                          return std::make_unique<CTaggedCell>();
                                      }});
    CGridCtrl grid(1, 1);
    EXPECT_FALSE(grid.SetDefaultCellType("CNoSuchCell"));
    EXPECT_FALSE(grid.SetDefaultCellType("CGridCellBase"));
    EXPECT_TRUE(grid.SetDefaultCellType("CTaggedCell"));
    grid.SetRowCount(2);
    EXPECT_STREQ(grid.GetCell(0, 0)->ClassName(), "CGridCell");
    EXPECT_STREQ(grid.GetCell(1, 0)->ClassName(), "CTaggedCell");
}

TEST(GridScrollBarPlan, EachBarMayTakeTheRoomTheOtherNeeded) {
    struct Case {
        const char* Name;
        int AreaWidth;
        long long Width, Height;
        bool Vertical, Horizontal;
    };
    // 300 x 200 area, fixed part 50 x 20, bars 15 thick: 250 x 180 for the rest.
    for (const Case& c :
         {Case{"fits", 300, 250, 180, false, false}, Case{"tall", 300, 200, 1000, true, false},
          Case{"tall takes width", 300, 240, 1000, true, true},
          Case{"wide takes height", 300, 400, 170, true, true},
          Case{"area within the fixed part", 50, 400, 5000, false, false}}) {
        SCOPED_TRACE(c.Name);
        const GridScrollBarPlan plan = PlanScrollBars({c.AreaWidth, 200, 50, 20, c.Width, c.Height, 15, 15});
        EXPECT_EQ(plan.ShowVertical, c.Vertical);
        EXPECT_EQ(plan.ShowHorizontal, c.Horizontal);
        if (c.Vertical && c.AreaWidth == 300) {
            EXPECT_EQ(plan.VerticalPage, c.Horizontal ? 165 : 180);
            EXPECT_EQ(plan.VerticalMaximum, c.Height - plan.VerticalPage);
        }
        if (c.Horizontal && c.AreaWidth == 300) {
            EXPECT_EQ(plan.HorizontalPage, 235);
        }
    }
}

TEST(GridWheel, StepsPerNotchKeepWhatAStepLeftOver) {
    struct Case {
        const char* Name;
        unsigned LinesPerNotch;
        std::vector<int> Deltas;
        int Lines, Pages;
    };
    for (const Case& c : {Case{"notch down", 3, {-120}, -3, 0}, Case{"half notch", 3, {60}, 1, 0},
                          // Two halves make a notch; what a half notch left over is not lost.
                          Case{"two halves", 3, {60, 60}, 3, 0}, Case{"back", 3, {60, 60, -60}, 2, 0},
                          Case{"fine wheel", 3, {15, 15, 15, 15, 15, 15, 15, 15}, 3, 0},
                          Case{"pages", CGridWheel::PagePerNotch, {-240}, 0, -2}}) {
        CGridWheel wheel(c.LinesPerNotch);
        GridWheelSteps sum;
        for (const int delta : c.Deltas) {
            const GridWheelSteps steps = wheel.Add(delta);
            sum.Lines += steps.Lines;
            sum.Pages += steps.Pages;
        }
        EXPECT_EQ(sum.Lines, c.Lines) << c.Name;
        EXPECT_EQ(sum.Pages, c.Pages) << c.Name;
    }
}

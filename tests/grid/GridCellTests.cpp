#include "tests/grid/GridTestSupport.h"

#include "grid/GridCell.h"
#include "grid/GridCellClassRegistry.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridFont.h"

#include <QFontMetrics>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

constexpr unsigned DefaultFormat = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;

LogFont Font(int height, const char* face = "DejaVu Sans") {
    LogFont font;
    font.Height = -height;
    font.FaceName = face;
    return font;
}

} // namespace

TEST(GridCell, UnsetAttributesFollowTheDefaultCellOfTheirKind) {
    CGridCtrl grid(3, 3, 1, 1);
    CGridCellBase* cell = grid.GetCell(1, 1);
    ASSERT_NE(cell, nullptr);
    cell->SetFormat(GRID_UNSET);
    CGridDefaultCell* ordinary = grid.GetDefaultCell(false, false);
    EXPECT_EQ(cell->DefaultCell(), ordinary);
    EXPECT_EQ(grid.GetCell(0, 1)->DefaultCell(), grid.GetDefaultCell(true, false));
    EXPECT_EQ(grid.GetCell(1, 0)->DefaultCell(), grid.GetDefaultCell(false, true));
    EXPECT_EQ(grid.GetCell(0, 0)->DefaultCell(), grid.GetDefaultCell(true, true));

    EXPECT_EQ(cell->Format(), DefaultFormat);
    EXPECT_EQ(cell->TextColour(), CLR_DEFAULT);
    EXPECT_EQ(cell->BackColour(), CLR_DEFAULT);
    EXPECT_TRUE(cell->IsDefaultFont());

    // One change of the default cell restyles every cell that left the attribute unset.
    ordinary->SetMargin(7);
    ordinary->SetFormat(DT_RIGHT | DT_SINGLELINE);
    const LogFont big = Font(30);
    ordinary->SetFont(&big);
    EXPECT_EQ(cell->Margin(), ordinary->Margin());
    EXPECT_EQ(cell->Format(), unsigned(DT_RIGHT | DT_SINGLELINE));
    ASSERT_NE(cell->Font(), nullptr);
    EXPECT_EQ(*cell->Font(), big);
    EXPECT_EQ(cell->FontObject().pixelSize(), 30);

    // Own values win.
    cell->SetMargin(2);
    const LogFont small = Font(9);
    cell->SetFont(&small);
    EXPECT_EQ(cell->Margin(), 2u);
    EXPECT_EQ(cell->Font()->Height, -9);
    cell->SetFont(nullptr);
    EXPECT_TRUE(cell->IsDefaultFont());
}

TEST(GridCell, NewCellsTakeTheFormatAndFixedStateOfTheirPlace) {
    CGridCtrl grid(3, 3, 1, 1);
    EXPECT_EQ(grid.GetCell(2, 2)->Format(), DefaultFormat);
    EXPECT_EQ(grid.GetItemState(0, 2) & (GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL),
              GVIS_FIXED | GVIS_FIXEDROW);
    EXPECT_EQ(grid.GetItemState(2, 0) & (GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL),
              GVIS_FIXED | GVIS_FIXEDCOL);
    EXPECT_EQ(grid.GetItemState(0, 0) & 0x70u, 0x70u);
    EXPECT_EQ(grid.GetItemState(2, 2), 0u);
}

TEST(GridCell, ResetClearsEverythingButTheData) {
    CGridCtrl grid(2, 2);
    CGridCellBase* cell = grid.GetCell(1, 1);
    cell->SetText("text");
    cell->SetData(42);
    cell->SetImage(3);
    cell->SetBackColour(Rgb(1, 2, 3));
    cell->SetTextColour(Rgb(4, 5, 6));
    cell->SetMargin(9);
    const LogFont font = Font(12);
    cell->SetFont(&font);
    cell->SetState(GVIS_SELECTED);

    cell->Reset();
    EXPECT_EQ(cell->Data(), 42);
    EXPECT_EQ(cell->Text(), "");
    EXPECT_EQ(cell->Image(), -1);
    EXPECT_EQ(cell->BackColour(), CLR_DEFAULT);
    EXPECT_EQ(cell->TextColour(), CLR_DEFAULT);
    EXPECT_TRUE(cell->IsDefaultFont());
    EXPECT_EQ(cell->State(), 0u);
    EXPECT_EQ(cell->Grid(), nullptr);
    EXPECT_EQ(cell->DefaultCell(), nullptr);
}

TEST(GridCell, DefaultCellIsReadOnlyAndKeepsNoData) {
    CGridDefaultCell cell;
    cell.SetState(0);
    EXPECT_TRUE(cell.IsReadOnly());
    cell.SetData(17);
    EXPECT_EQ(cell.Data(), 0);
    EXPECT_EQ(cell.Format(), DefaultFormat);
    EXPECT_EQ(cell.Style(), 0u);
    cell.SetStyle(5);
    EXPECT_EQ(cell.Style(), 5u);
}

TEST(GridCell, DefaultCellFontSetsMarginWidthAndHeight) {
    CGridDefaultCell cell;
    const LogFont font = Font(20);
    cell.SetFont(&font);
    const QFontMetrics metrics(ToQFont(font));
    EXPECT_EQ(cell.Margin(), unsigned(metrics.horizontalAdvance(QLatin1Char(' '))));
    EXPECT_EQ(cell.Width(), metrics.horizontalAdvance(QStringLiteral(" XXXXXXXXXXXX ")));
    EXPECT_EQ(cell.Height(), metrics.height() * 3 / 2);

    const int width = cell.Width();
    cell.SetFont(nullptr);
    EXPECT_EQ(cell.Width(), width);
    ASSERT_NE(cell.Font(), nullptr);
    EXPECT_EQ(*cell.Font(), font);
}

TEST(GridCell, CopyFromTakesEveryAttribute) {
    CGridCtrl grid(2, 2);
    CGridCellBase* source = grid.GetCell(0, 0);
    CGridCellBase* target = grid.GetCell(1, 1);
    source->SetText("copied");
    source->SetData(5);
    source->SetImage(1);
    source->SetFormat(DT_CENTER);
    source->SetBackColour(Rgb(9, 8, 7));
    const LogFont font = Font(11);
    source->SetFont(&font);
    target->CopyFrom(*source);
    EXPECT_EQ(target->Text(), "copied");
    EXPECT_EQ(target->Data(), 5);
    EXPECT_EQ(target->Image(), 1);
    EXPECT_EQ(target->Format(), unsigned(DT_CENTER));
    EXPECT_EQ(target->BackColour(), Rgb(9, 8, 7));
    EXPECT_EQ(*target->Font(), font);
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

TEST(GridCell, TextExtentMeasuresTextPlusMargins) {
    CGridCtrl grid(2, 2);
    CGridCellBase* cell = grid.GetCell(1, 1);
    const CGridDefaultCell* defaultCell = grid.GetDefaultCell(false, false);
    const int margin = int(cell->Margin());
    const QFontMetrics metrics(cell->FontObject());

    // No text at all: the default cell's size; an empty text is still a text.
    EXPECT_EQ(cell->TextExtent(std::nullopt), QSize(defaultCell->Width(), defaultCell->Height()));
    EXPECT_EQ(cell->TextExtent(std::string_view()), QSize(4 * margin, metrics.height() + 2 * margin));
    const QSize extent = cell->TextExtent(std::string_view("Hello"));
    EXPECT_EQ(extent, QSize(metrics.horizontalAdvance(QStringLiteral("Hello")) + 4 * margin,
                            metrics.height() + 2 * margin));

    // Word-broken text: the widest line and the height of all lines.
    cell->SetFormat(DT_WORDBREAK);
    const QSize lines = cell->TextExtent(std::string_view("a\nlonger line\nb"));
    EXPECT_EQ(lines.width(), metrics.horizontalAdvance(QStringLiteral("longer line")) + 4 * margin);
    EXPECT_GE(lines.height(), 3 * metrics.height());

    // Vertical text swaps the directions.
    cell->SetFormat(DT_SINGLELINE);
    LogFont vertical = *cell->Font();
    vertical.Escapement = 900;
    cell->SetFont(&vertical);
    const QFontMetrics verticalMetrics(cell->FontObject());
    EXPECT_EQ(cell->TextExtent(std::string_view("Hello")),
              QSize(verticalMetrics.height() + 2 * margin,
                    verticalMetrics.horizontalAdvance(QStringLiteral("Hello")) + 8 * margin));
}

TEST(GridCell, CellExtentMakesRoomForTheImage) {
    CGridCtrl grid(2, 2);
    QPixmap image(16, 40);
    image.fill(Qt::blue);
    grid.SetImageList({image});
    CGridCellBase* cell = grid.GetCell(1, 1);
    cell->SetText("x");
    const QSize text = cell->TextExtent(std::string_view("x"));
    cell->SetImage(0);
    EXPECT_EQ(cell->CellExtent(), QSize(text.width() + 16, std::max(text.height(), 40)));
}

namespace {

class CTaggedCell : public CGridCell {
public:
    const char* ClassName() const override { return "CTaggedCell"; }
};

} // namespace

TEST(GridCellRegistry, CreatesCellClassesByName) {
    auto cell = CGridCellClassRegistry::Create("CGridCell");
    ASSERT_NE(cell, nullptr);
    EXPECT_STREQ(cell->ClassName(), "CGridCell");
    auto defaultCell = CGridCellClassRegistry::Create("CGridDefaultCell");
    ASSERT_NE(defaultCell, nullptr);
    EXPECT_STREQ(defaultCell->ClassName(), "CGridDefaultCell");
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

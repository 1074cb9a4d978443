#pragma once
// The grid control: a table of cells with fixed rows at the top and fixed columns at the left that
// stay in place while the rest scrolls.

#include "grid/GridCellBase.h"
#include "grid/GridCellId.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridTypes.h"
#include "grid/GridWheel.h"

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CGridInPlaceEdit;
class CGridTitleTip;
class QMenu;
class QPrinter;

// Notification codes sent through CGridCtrl::GridNotification.
constexpr int GVN_SELCHANGING = -100;
constexpr int GVN_SELCHANGED = -101;
constexpr int GVN_ENDLABELEDIT = -106;
// Control id of the in-place edit.
constexpr int IDC_INPLACE_EDIT = 8;

class CGridCtrl : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Upper bound of rows x columns; beyond it a count change is refused rather than left to the
    // allocator (which on this platform rarely reports failure before the system runs out).
    static constexpr long long MaxCellCount = 50'000'000;

    explicit CGridCtrl(int rowCount = 0, int columnCount = 0, int fixedRowCount = 0, int fixedColumnCount = 0,
                       QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // Counts.
    int GetRowCount() const { return m_RowCount; }
    int GetColumnCount() const { return m_ColumnCount; }
    int GetFixedRowCount() const { return m_FixedRowCount; }
    int GetFixedColumnCount() const { return m_FixedColumnCount; }
    bool SetRowCount(int count);
    bool SetColumnCount(int count);
    bool SetFixedRowCount(int count);
    bool SetFixedColumnCount(int count);
    bool ClearGrid();

    // Sizes.
    int GetRowHeight(int row) const;
    int GetColumnWidth(int col) const;
    bool SetRowHeight(int row, int height);
    bool SetColumnWidth(int col, int width);
    int GetFixedRowHeight() const;
    int GetFixedColumnWidth() const;
    long long GetVirtualHeight() const;
    long long GetVirtualWidth() const;
    bool AutoSizeColumn(int col);
    bool AutoSizeRow(int row);

    // Cells.
    CGridCellBase* GetCell(int row, int col) const;
    CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol);
    const CGridDefaultCell* GetDefaultCell(bool fixedRow, bool fixedCol) const;
    CGridDefaultCell* GetDefaultCellAt(int row, int col);
    // Class of the cells created from now on; must derive from "CGridCellBase".
    bool SetDefaultCellType(std::string_view className);
    const std::string& GetDefaultCellType() const { return m_CellClassName; }
    bool IsValid(int row, int col) const {
        return row >= 0 && row < m_RowCount && col >= 0 && col < m_ColumnCount;
    }

    // Items.
    bool SetItem(const GridItem& item);
    bool GetItem(GridItem& item) const;
    bool SetItemText(int row, int col, std::string_view text);
    std::string GetItemText(int row, int col) const;
    bool SetItemData(int row, int col, std::intptr_t data);
    std::intptr_t GetItemData(int row, int col) const;
    bool SetItemImage(int row, int col, int image);
    int GetItemImage(int row, int col) const;
    bool SetItemState(int row, int col, unsigned state);
    unsigned GetItemState(int row, int col) const;
    bool SetItemFormat(int row, int col, unsigned format);
    unsigned GetItemFormat(int row, int col) const;
    bool SetItemBackColour(int row, int col, COLORREF colour);
    COLORREF GetItemBackColour(int row, int col) const;
    bool SetItemTextColour(int row, int col, COLORREF colour);
    COLORREF GetItemTextColour(int row, int col) const;
    bool SetItemFont(int row, int col, const LogFont* font);
    bool SetItemMargin(int row, int col, unsigned margin);
    // What assistive technology reads as the cell's description, beside its text (e.g. why it is red).
    bool SetItemAccessibleDescription(int row, int col, const QString& description);
    QString GetItemAccessibleDescription(int row, int col) const;

    // Colours and lines.
    void SetGridBackColour(COLORREF colour);
    COLORREF GetGridBackColour() const { return m_GridBackColour; }
    void SetGridLineColour(COLORREF colour);
    COLORREF GetGridLineColour() const { return m_GridLineColour; }
    void SetGridLines(int lines);
    int GetGridLines() const { return m_GridLines; }

    // Fonts: the font of the default cells (also through QWidget::setFont).
    void SetGridFont(const LogFont& font);
    LogFont GetGridFont() const;

    // Images drawn by cells with an image index.
    void SetImageList(std::vector<QPixmap> images);
    const std::vector<QPixmap>& GetImageList() const { return m_ImageList; }

    // Options.
    void SetEditable(bool editable) { m_Editable = editable; }
    bool IsEditable() const { return m_Editable; }
    void SetListMode(bool on);
    bool GetListMode() const { return m_ListMode; }
    void SetSingleRowSelection(bool on) { m_SingleRowSelection = on; }
    bool GetSingleRowSelection() const { return m_SingleRowSelection; }
    void SetSingleColSelection(bool on) { m_SingleColumnSelection = on; }
    bool GetSingleColSelection() const { return m_SingleColumnSelection; }
    void SetSelectionEnabled(bool on);
    bool IsSelectionEnabled() const { return m_SelectionEnabled; }
    void SetFixedColumnSelection(bool on) { m_FixedColumnSelection = on; }
    bool GetFixedColumnSelection() const { return m_FixedColumnSelection; }
    void SetHeaderSort(bool on) { m_SortOnHeaderClick = on; }
    bool GetHeaderSort() const { return m_SortOnHeaderClick; }
    void SetRowResize(bool on) { m_RowResizeAllowed = on; }
    bool GetRowResize() const { return m_RowResizeAllowed; }
    void SetColumnResize(bool on) { m_ColumnResizeAllowed = on; }
    bool GetColumnResize() const { return m_ColumnResizeAllowed; }
    void SetHandleTabKey(bool on) { m_HandleTabKey = on; }
    bool GetHandleTabKey() const { return m_HandleTabKey; }
    void SetDoubleBuffering(bool on) { m_DoubleBuffer = on; }
    bool GetDoubleBuffering() const { return m_DoubleBuffer; }
    void EnableTitleTips(bool on);
    bool GetTitleTips() const { return m_TitleTips; }
    void SetAutoSizeStyle(unsigned style) { m_AutoSizeStyle = style; }
    unsigned GetAutoSizeStyle() const { return m_AutoSizeStyle; }
    void SetMouseWheelScrollLines(unsigned lines) { m_Wheel.SetLinesPerNotch(lines); }
    unsigned GetMouseWheelScrollLines() const { return m_Wheel.LinesPerNotch(); }

    // Drawing.
    void SetRedraw(bool allow, bool resetScrollBars = false);
    bool IsRedrawAllowed() const { return m_AllowDraw; }
    void Refresh();
    void Invalidate() { Refresh(); }
    bool RedrawCell(int row, int col);
    void ResetScrollBars();
    bool IsVScrollBarShown() const { return m_VScrollShown; }
    bool IsHScrollBarShown() const { return m_HScrollShown; }

    // Modified state.
    void SetModified(bool modified = true, int row = -1, int col = -1);
    bool GetModified(int row = -1, int col = -1) const;

    // Focus and selection.
    GridCellId GetFocusCell() const { return m_FocusCell; }
    void SetFocusCell(int row, int col);
    void ClearSelection();
    bool IsCellSelected(int row, int col) const;
    int GetSelectedCount() const { return int(m_SelectedCells.size()); }
    std::vector<GridCellId> GetSelectedCells() const;
    void SetSelectedRange(const GridCellRange& range);
    void SelectAllCells();
    // The selected cells' texts, a line per row and a tab between columns (cells between selected
    // ones that are not selected themselves give empty fields).
    QString SelectedText() const;
    // Puts SelectedText on the clipboard (Ctrl+C, or "Copy" in the grid's context menu).
    void CopySelection();

    // Geometry, in client coordinates.
    GridCellId GetTopLeftNonFixedCell() const;
    GridCellRange GetVisibleNonFixedCellRange() const;
    bool GetCellOrigin(int row, int col, QPoint& origin) const;
    bool GetCellRect(int row, int col, QRect& rect) const;
    GridCellId GetCellFromPt(QPoint point) const;
    bool IsCellVisible(int row, int col) const;
    void EnsureVisible(int row, int col);

    // Sorting by the texts of one column.
    bool SortTextItems(int col, bool ascending);
    int GetSortColumn() const { return m_SortColumn; }
    bool GetSortAscending() const { return m_SortAscending; }

    // In-place editing.
    bool EditCell(int row, int col, int firstChar);
    void EndEditing();
    CGridInPlaceEdit* GetInPlaceEdit() const { return m_InPlaceEdit.get(); }
    // Takes over the edit a cell created for itself.
    CGridInPlaceEdit* AdoptInPlaceEdit(std::unique_ptr<CGridInPlaceEdit> edit);

    // Title tip, created on first use.
    CGridTitleTip* GetTitleTip() const { return m_TitleTip.get(); }
    bool IsTitleTipShown() const;

    // Printing. A job of more pages than this shows its progress and can be cancelled.
    static constexpr int LongPrintJobPages = 20;
    bool Print(QPrinter& printer);
    int PrintPageCount(QPrinter& printer);
    QString PrintTitle() const;
    // The print command: asks for a printer and prints.
    void OnFilePrint();

signals:
    void GridNotification(int code, int row, int col);
    void DeleteKeyPressed(int row, int col);
    // The context menu is about to open for the cell under the pointer (the focused cell when the
    // keyboard asked; -1, -1 outside the cells): a connected slot may add entries to `menu`.
    void ContextMenuOpening(QMenu* menu, int row, int col);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    enum class MouseMode {
        Nothing,
        SelectingCells,
        SelectingRows,
        SelectingColumns,
        PrepareSizeColumn,
        SizingColumn,
        PrepareSizeRow,
        SizingRow,
        PrepareEdit,
    };
    enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

    using RowEntry = std::vector<std::unique_ptr<CGridCellBase>>;
    using CellFactory = std::unique_ptr<CGridCellBase> (*)();

    std::unique_ptr<CGridCellBase> CreateCell(int row, int col);
    void ApplyFixedRowState(int row, bool fixed);
    void ApplyFixedColumnState(int col, bool fixed);
    void DropSelectionOutside(int rowCount, int colCount);

    void OnDraw(QPainter& dc, const QRect& clip);
    void DrawBackground(QPainter& dc, const QRect& client, int fixedWidth, int fixedHeight, int rightEdge,
                        int bottomEdge);
    void DrawFocusFrame(QPainter& dc);
    void DrawGridLines(QPainter& dc, const GridCellRange& visible, int fixedWidth, int fixedHeight,
                       int rightEdge, int bottomEdge);

    int VisibleNonFixedHeight() const;
    int VisibleNonFixedWidth() const;
    long long RowStart(int row) const;
    long long ColumnStart(int col) const;
    int ScrollTarget(Qt::Orientation orientation, ScrollCode code) const;
    void Scroll(Qt::Orientation orientation, ScrollCode code);
    void OnScrollAction(Qt::Orientation orientation, int action);

    void HandleKey(int key, Qt::KeyboardModifiers modifiers);
    void MoveFocusByKey(GridCellId next, bool shift);
    bool MoveByTab(bool forward);
    void OnSelecting(GridCellId current);
    void SelectCells(const GridCellRange& range, const std::unordered_set<std::uint64_t>& base);
    void OnAutoScroll();
    void StopMouseAction();
    int ColumnBorderAt(QPoint point) const;
    int RowBorderAt(QPoint point) const;
    int NearestBorder(const std::vector<int>& sizes, int fixedCount, int firstVisible, int lastVisible,
                      int position) const;
    bool BeginSizing(QPoint point);
    int SizingLineAt(QPoint point) const;
    void EndSizing(QPoint point);
    void UpdateCursorAndTip(QPoint point);
    void ShowTitleTip(GridCellId cell);
    void HideTitleTip();
    void OnEndInPlaceEdit(int row, int col, const QString& text, int lastKey);
    void ReadSystemColours();

    // Colours.
    COLORREF m_GridBackColour = CLR_DEFAULT;
    COLORREF m_GridLineColour = Rgb(0xC0, 0xC0, 0xC0);
    COLORREF m_WindowTextColour = CLR_DEFAULT;
    COLORREF m_WindowColour = CLR_DEFAULT;
    COLORREF m_ButtonFaceColour = CLR_DEFAULT;
    COLORREF m_ButtonShadowColour = CLR_DEFAULT;

    int m_GridLines = GVL_BOTH;
    bool m_Editable = true;
    bool m_ListMode = false;
    bool m_SingleRowSelection = false;
    bool m_SingleColumnSelection = false;
    bool m_AllowDraw = true;
    bool m_SelectionEnabled = true;
    bool m_FixedColumnSelection = true;
    bool m_SortOnHeaderClick = false;
    bool m_HandleTabKey = true;
    bool m_DoubleBuffer = true;
    bool m_TitleTips = true;
    bool m_Modified = false;
    unsigned m_AutoSizeStyle = 3;

    std::string m_CellClassName = "CGridCell";
    CellFactory m_CellFactory = nullptr;

    int m_RowCount = 0;
    int m_FixedRowCount = 0;
    int m_ColumnCount = 0;
    int m_FixedColumnCount = 0;
    std::vector<int> m_ColumnWidths;
    std::vector<int> m_RowHeights;

    CGridDefaultCell m_DefaultCell;
    CGridDefaultCell m_DefaultCellFixedColumn;
    CGridDefaultCell m_DefaultCellFixedRow;
    CGridDefaultCell m_DefaultCellFixed;

    std::vector<RowEntry> m_Rows;
    std::vector<QPixmap> m_ImageList;
    std::unordered_map<std::uint64_t, QString> m_AccessibleDescriptions;

    GridCellId m_FocusCell;
    GridCellId m_LeftClickDownCell;
    GridCellId m_SelectionStartCell;
    GridCellId m_LastDragCell;
    std::unordered_set<std::uint64_t> m_SelectedCells;
    std::unordered_set<std::uint64_t> m_PreviousSelectedCells;

    QTimer m_AutoScrollTimer;
    int m_AutoScrollInterval = 25;
    int m_ResizeCaptureRange = 3;
    bool m_RowResizeAllowed = true;
    bool m_ColumnResizeAllowed = true;
    CGridWheel m_Wheel;

    MouseMode m_MouseMode = MouseMode::Nothing;
    bool m_LeftButtonDown = false;
    QPoint m_LastMousePoint;
    int m_SizingIndex = -1;
    int m_SizingStart = 0;
    int m_SizingLine = -1;
    bool m_VScrollShown = false;
    bool m_HScrollShown = false;

    int m_SortColumn = -1;
    bool m_SortAscending = true;

    QPixmap m_PaintBuffer;
    std::unique_ptr<CGridTitleTip> m_TitleTip;
    std::unique_ptr<CGridInPlaceEdit> m_InPlaceEdit;
};

#include "grid/GridCtrl.h"

#include "grid/GridCellClassRegistry.h"
#include "grid/GridColours.h"
#include "grid/GridFont.h"
#include "grid/GridInPlaceEdit.h"
#include "grid/GridPrinter.h"
#include "grid/GridScrollBarPlan.h"
#include "grid/GridTitleTip.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <new>
#include <numeric>

namespace {

QColor BackOf(const CGridDefaultCell& cell, int fallbackIndex) {
    return ToQColor(cell.BackColour() == CLR_DEFAULT ? SystemColour(fallbackIndex) : cell.BackColour());
}

QColor TextOf(const CGridDefaultCell& cell) {
    return ToQColor(cell.TextColour() == CLR_DEFAULT ? SystemColour(COLOR_WINDOWTEXT) : cell.TextColour());
}

int ClampToInt(long long value) {
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

unsigned PlatformWheelLines() {
    const int lines = QGuiApplication::styleHints()->wheelScrollLines();
    return lines > 0 ? unsigned(lines) : 3u;
}

bool IsArrowOrPageKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

// One row or column as drawn: its index and where it starts.
struct Span {
    int Index;
    int Start;
    int Size;
};

} // namespace

CGridCtrl::CGridCtrl(int rowCount, int columnCount, int fixedRowCount, int fixedColumnCount, QWidget* parent)
    : QAbstractScrollArea(parent) {
    ReadSystemColours();
    m_GridBackColour = m_ButtonShadowColour;
    for (CGridDefaultCell* cell :
         {&m_DefaultCell, &m_DefaultCellFixedColumn, &m_DefaultCellFixedRow, &m_DefaultCellFixed}) {
        cell->SetGrid(this);
        cell->SetTextColour(m_WindowTextColour);
        cell->SetBackColour(cell == &m_DefaultCell ? m_WindowColour : m_ButtonFaceColour);
    }
    if (const GridCellClassRecord* record = CGridCellClassRegistry::Find(m_CellClassName)) {
        m_CellFactory = record->Create;
    }
    m_Wheel.SetLinesPerNotch(PlatformWheelLines());

    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setMouseTracking(true);
    // Every pixel is painted by the grid; without drawing allowed the window keeps what it showed.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Vertical, action); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Horizontal, action); });
    m_AutoScrollTimer.setInterval(m_AutoScrollInterval);
    connect(&m_AutoScrollTimer, &QTimer::timeout, this, [this] { OnAutoScroll(); });

    SetRowCount(rowCount);
    SetColumnCount(columnCount);
    SetFixedRowCount(fixedRowCount);
    SetFixedColumnCount(fixedColumnCount);
}

CGridCtrl::~CGridCtrl() {
    if (m_InPlaceEdit != nullptr) {
        disconnect(m_InPlaceEdit.get(), nullptr, this, nullptr);
        m_InPlaceEdit.reset();
    }
}

void CGridCtrl::ReadSystemColours() {
    m_WindowTextColour = SystemColour(COLOR_WINDOWTEXT);
    m_WindowColour = SystemColour(COLOR_WINDOW);
    m_ButtonFaceColour = SystemColour(COLOR_BTNFACE);
    m_ButtonShadowColour = SystemColour(COLOR_BTNSHADOW);
}

// ---- cells and counts -------------------------------------------------------------------------

std::unique_ptr<CGridCellBase> CGridCtrl::CreateCell(int row, int col) {
    if (m_CellFactory == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CGridCellBase> cell = m_CellFactory();
    cell->SetGrid(this);
    cell->SetCoords(row, col);
    unsigned state = 0;
    if (col < m_FixedColumnCount) {
        state |= GVIS_FIXED | GVIS_FIXEDCOL;
    }
    if (row < m_FixedRowCount) {
        state |= GVIS_FIXED | GVIS_FIXEDROW;
    }
    if (state != 0) {
        cell->SetState(cell->State() | state);
    }
    if (const CGridDefaultCell* defaultCell = cell->DefaultCell()) {
        cell->SetFormat(defaultCell->Format());
    }
    return cell;
}

bool CGridCtrl::SetDefaultCellType(std::string_view className) {
    if (!CGridCellClassRegistry::IsDerivedFrom(className, "CGridCellBase")) {
        return false;
    }
    const GridCellClassRecord* record = CGridCellClassRegistry::Find(className);
    if (record == nullptr || record->Create == nullptr) {
        return false;
    }
    m_CellClassName = std::string(className);
    m_CellFactory = record->Create;
    return true;
}

void CGridCtrl::DropSelectionOutside(int rowCount, int colCount) {
    std::erase_if(m_SelectedCells, [&](std::uint64_t key) {
        const GridCellId id = GridCellId::FromKey(key);
        return id.Row >= rowCount || id.Col >= colCount;
    });
    std::erase_if(m_PreviousSelectedCells, [&](std::uint64_t key) {
        const GridCellId id = GridCellId::FromKey(key);
        return id.Row >= rowCount || id.Col >= colCount;
    });
    if (m_FocusCell.Row >= rowCount || m_FocusCell.Col >= colCount) {
        m_FocusCell = {};
    }
}

bool CGridCtrl::SetRowCount(int count) {
    if (count < 0 || static_cast<long long>(count) * std::max(1, m_ColumnCount) > MaxCellCount) {
        return false;
    }
    if (count == m_RowCount) {
        return true;
    }
    EndEditing();
    HideTitleTip();
    m_FixedRowCount = std::min(m_FixedRowCount, count);
    DropSelectionOutside(count, m_ColumnCount);
    bool completed = true;
    if (count < m_RowCount) {
        m_Rows.resize(std::size_t(count));
        m_RowHeights.resize(std::size_t(count));
        m_RowCount = count;
    } else {
        const int height = m_DefaultCell.Height();
        try {
            m_Rows.reserve(std::size_t(count));
            m_RowHeights.reserve(std::size_t(count));
            while (m_RowCount < count) {
                RowEntry entry;
                entry.reserve(std::size_t(m_ColumnCount));
                for (int col = 0; col < m_ColumnCount; ++col) {
                    entry.push_back(CreateCell(m_RowCount, col));
                }
                m_Rows.push_back(std::move(entry));
                m_RowHeights.push_back(height);
                ++m_RowCount;
            }
        } catch (const std::bad_alloc&) {
            completed = false;
        }
    }
    SetModified();
    ResetScrollBars();
    Refresh();
    return completed;
}

bool CGridCtrl::SetColumnCount(int count) {
    if (count < 0 || static_cast<long long>(count) * std::max(1, m_RowCount) > MaxCellCount) {
        return false;
    }
    if (count == m_ColumnCount) {
        return true;
    }
    EndEditing();
    HideTitleTip();
    m_FixedColumnCount = std::min(m_FixedColumnCount, count);
    DropSelectionOutside(m_RowCount, count);
    bool completed = true;
    if (count < m_ColumnCount) {
        for (RowEntry& entry : m_Rows) {
            entry.resize(std::size_t(count));
        }
        m_ColumnWidths.resize(std::size_t(count));
        m_ColumnCount = count;
    } else {
        const int width = m_DefaultCell.Width();
        try {
            m_ColumnWidths.reserve(std::size_t(count));
            for (RowEntry& entry : m_Rows) {
                entry.reserve(std::size_t(count));
            }
            for (int row = 0; row < m_RowCount; ++row) {
                RowEntry& entry = m_Rows[std::size_t(row)];
                for (int col = m_ColumnCount; col < count; ++col) {
                    entry.push_back(CreateCell(row, col));
                }
            }
            m_ColumnWidths.resize(std::size_t(count), width);
            m_ColumnCount = count;
        } catch (const std::bad_alloc&) {
            // Keep the columns every row has.
            for (RowEntry& entry : m_Rows) {
                entry.resize(std::size_t(m_ColumnCount));
            }
            completed = false;
        }
    }
    SetModified();
    ResetScrollBars();
    Refresh();
    return completed;
}

void CGridCtrl::ApplyFixedRowState(int row, bool fixed) {
    for (int col = 0; col < m_ColumnCount; ++col) {
        CGridCellBase* cell = GetCell(row, col);
        if (cell == nullptr) {
            continue;
        }
        const bool inFixedColumn = col < m_FixedColumnCount;
        unsigned state = cell->State();
        if (fixed) {
            cell->SetState(state | GVIS_FIXED | GVIS_FIXEDROW);
        } else {
            state &= ~GVIS_FIXEDROW;
            if (!inFixedColumn) {
                state &= ~GVIS_FIXED;
            }
            cell->SetState(state);
        }
        // Take the colours of the new kind.
        if (fixed || !inFixedColumn) {
            cell->SetBackColour(CLR_DEFAULT);
            cell->SetTextColour(CLR_DEFAULT);
        }
    }
}

void CGridCtrl::ApplyFixedColumnState(int col, bool fixed) {
    for (int row = 0; row < m_RowCount; ++row) {
        CGridCellBase* cell = GetCell(row, col);
        if (cell == nullptr) {
            continue;
        }
        const bool inFixedRow = row < m_FixedRowCount;
        unsigned state = cell->State();
        if (fixed) {
            cell->SetState(state | GVIS_FIXED | GVIS_FIXEDCOL);
        } else {
            state &= ~GVIS_FIXEDCOL;
            if (!inFixedRow) {
                state &= ~GVIS_FIXED;
            }
            cell->SetState(state);
        }
        if (fixed || !inFixedRow) {
            cell->SetBackColour(CLR_DEFAULT);
            cell->SetTextColour(CLR_DEFAULT);
        }
    }
}

bool CGridCtrl::SetFixedRowCount(int count) {
    if (count < 0) {
        return false;
    }
    if (count == m_FixedRowCount) {
        return true;
    }
    EndEditing();
    ClearSelection();
    if (count > m_RowCount && !SetRowCount(count)) {
        return false;
    }
    const int first = std::min(m_FixedRowCount, count);
    const int last = std::max(m_FixedRowCount, count);
    for (int row = first; row < last; ++row) {
        ApplyFixedRowState(row, row < count);
    }
    m_FixedRowCount = count;
    ResetScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::SetFixedColumnCount(int count) {
    if (count < 0) {
        return false;
    }
    if (count == m_FixedColumnCount) {
        return true;
    }
    EndEditing();
    ClearSelection();
    if (count > m_ColumnCount && !SetColumnCount(count)) {
        return false;
    }
    const int first = std::min(m_FixedColumnCount, count);
    const int last = std::max(m_FixedColumnCount, count);
    for (int col = first; col < last; ++col) {
        ApplyFixedColumnState(col, col < count);
    }
    m_FixedColumnCount = count;
    ResetScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::ClearGrid() {
    EndEditing();
    HideTitleTip();
    ClearSelection();
    m_ColumnWidths.clear();
    m_RowHeights.clear();
    m_Rows.clear();
    m_FocusCell = {};
    m_LeftClickDownCell = {};
    m_SelectionStartCell = {};
    m_LastDragCell = {};
    m_RowCount = 0;
    m_ColumnCount = 0;
    m_FixedRowCount = 0;
    m_FixedColumnCount = 0;
    ResetScrollBars();
    SetModified();
    Refresh();
    return true;
}

CGridCellBase* CGridCtrl::GetCell(int row, int col) const {
    if (!IsValid(row, col)) {
        return nullptr;
    }
    return m_Rows[std::size_t(row)][std::size_t(col)].get();
}

CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) {
    if (fixedRow && fixedCol) {
        return &m_DefaultCellFixed;
    }
    if (fixedRow) {
        return &m_DefaultCellFixedRow;
    }
    if (fixedCol) {
        return &m_DefaultCellFixedColumn;
    }
    return &m_DefaultCell;
}

const CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) const {
    return const_cast<CGridCtrl*>(this)->GetDefaultCell(fixedRow, fixedCol);
}

CGridDefaultCell* CGridCtrl::GetDefaultCellAt(int row, int col) {
    return GetDefaultCell(row < m_FixedRowCount, col < m_FixedColumnCount);
}

// ---- sizes ------------------------------------------------------------------------------------

int CGridCtrl::GetRowHeight(int row) const {
    return row >= 0 && row < m_RowCount ? m_RowHeights[std::size_t(row)] : -1;
}

int CGridCtrl::GetColumnWidth(int col) const {
    return col >= 0 && col < m_ColumnCount ? m_ColumnWidths[std::size_t(col)] : -1;
}

bool CGridCtrl::SetRowHeight(int row, int height) {
    if (row < 0 || row >= m_RowCount || height < 0) {
        return false;
    }
    m_RowHeights[std::size_t(row)] = height;
    ResetScrollBars();
    viewport()->update();
    return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width) {
    if (col < 0 || col >= m_ColumnCount || width < 0) {
        return false;
    }
    m_ColumnWidths[std::size_t(col)] = width;
    ResetScrollBars();
    viewport()->update();
    return true;
}

int CGridCtrl::GetFixedRowHeight() const {
    return ClampToInt(std::accumulate(m_RowHeights.begin(), m_RowHeights.begin() + m_FixedRowCount, 0LL));
}

int CGridCtrl::GetFixedColumnWidth() const {
    return ClampToInt(
        std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.begin() + m_FixedColumnCount, 0LL));
}

long long CGridCtrl::GetVirtualHeight() const {
    return std::accumulate(m_RowHeights.begin(), m_RowHeights.end(), 0LL);
}

long long CGridCtrl::GetVirtualWidth() const {
    return std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.end(), 0LL);
}

bool CGridCtrl::AutoSizeColumn(int col) {
    if (col < 0 || col >= m_ColumnCount) {
        return false;
    }
    const int firstRow = (m_AutoSizeStyle & 1) ? 0 : m_FixedRowCount;
    const int lastRow = (m_AutoSizeStyle & 2) ? m_RowCount : m_FixedRowCount;
    int width = 0;
    for (int row = firstRow; row < lastRow; ++row) {
        if (const CGridCellBase* cell = GetCell(row, col)) {
            width = std::max(width, cell->CellExtent().width());
        }
    }
    m_ColumnWidths[std::size_t(col)] = width;
    ResetScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::AutoSizeRow(int row) {
    if (row < 0 || row >= m_RowCount) {
        return false;
    }
    int height = 0;
    for (int col = 0; col < m_ColumnCount; ++col) {
        if (const CGridCellBase* cell = GetCell(row, col)) {
            height = std::max(height, cell->CellExtent().height());
        }
    }
    m_RowHeights[std::size_t(row)] = height;
    ResetScrollBars();
    Refresh();
    return true;
}

// ---- items ------------------------------------------------------------------------------------

bool CGridCtrl::SetItem(const GridItem& item) {
    CGridCellBase* cell = GetCell(item.Row, item.Col);
    if (cell == nullptr) {
        return false;
    }
    SetModified(true, item.Row, item.Col);
    if (item.Mask & GVIF_TEXT) {
        cell->SetText(item.Text);
    }
    if (item.Mask & GVIF_PARAM) {
        cell->SetData(item.Data);
    }
    if (item.Mask & GVIF_IMAGE) {
        cell->SetImage(item.Image);
    }
    if (item.Mask & GVIF_STATE) {
        SetItemState(item.Row, item.Col, item.State);
    }
    if (item.Mask & GVIF_FORMAT) {
        cell->SetFormat(item.Format);
    }
    if (item.Mask & GVIF_BKCLR) {
        cell->SetBackColour(item.BackColour);
    }
    if (item.Mask & GVIF_FGCLR) {
        cell->SetTextColour(item.TextColour);
    }
    if (item.Mask & GVIF_FONT) {
        cell->SetFont(&item.Font);
    }
    if (item.Mask & GVIF_MARGIN) {
        cell->SetMargin(item.Margin);
    }
    return true;
}

bool CGridCtrl::GetItem(GridItem& item) const {
    const CGridCellBase* cell = GetCell(item.Row, item.Col);
    if (cell == nullptr) {
        return false;
    }
    if (item.Mask & GVIF_TEXT) {
        item.Text = cell->Text();
    }
    if (item.Mask & GVIF_PARAM) {
        item.Data = cell->Data();
    }
    if (item.Mask & GVIF_IMAGE) {
        item.Image = cell->Image();
    }
    if (item.Mask & GVIF_STATE) {
        item.State = cell->State();
    }
    if (item.Mask & GVIF_FORMAT) {
        item.Format = cell->Format();
    }
    if (item.Mask & GVIF_BKCLR) {
        item.BackColour = cell->BackColour();
    }
    if (item.Mask & GVIF_FGCLR) {
        item.TextColour = cell->TextColour();
    }
    if ((item.Mask & GVIF_FONT) && cell->Font() != nullptr) {
        item.Font = *cell->Font();
    }
    if (item.Mask & GVIF_MARGIN) {
        item.Margin = cell->Margin();
    }
    return true;
}

bool CGridCtrl::SetItemText(int row, int col, std::string_view text) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetText(text);
    SetModified(true, row, col);
    return true;
}

std::string CGridCtrl::GetItemText(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->Text() : std::string();
}

bool CGridCtrl::SetItemData(int row, int col, std::intptr_t data) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetData(data);
    return true;
}

std::intptr_t CGridCtrl::GetItemData(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->Data() : 0;
}

bool CGridCtrl::SetItemImage(int row, int col, int image) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetImage(image);
    return true;
}

int CGridCtrl::GetItemImage(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->Image() : -1;
}

bool CGridCtrl::SetItemState(int row, int col, unsigned state) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    // Where a cell stands decides its fixed flags, not the caller.
    constexpr unsigned structural = GVIS_FIXED | GVIS_FIXEDROW | GVIS_FIXEDCOL;
    state = (state & ~structural) | (cell->State() & structural);
    const GridCellId id{row, col};
    if ((state & GVIS_FOCUSED) && m_FocusCell != id) {
        if (CGridCellBase* old = GetCell(m_FocusCell.Row, m_FocusCell.Col)) {
            old->SetState(old->State() & ~GVIS_FOCUSED);
            RedrawCell(m_FocusCell.Row, m_FocusCell.Col);
        }
        m_FocusCell = id;
    } else if (!(state & GVIS_FOCUSED) && m_FocusCell == id) {
        m_FocusCell = {};
    }
    if (state & GVIS_SELECTED) {
        m_SelectedCells.insert(id.Key());
    } else {
        m_SelectedCells.erase(id.Key());
    }
    cell->SetState(state);
    return true;
}

unsigned CGridCtrl::GetItemState(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->State() : 0;
}

bool CGridCtrl::SetItemFormat(int row, int col, unsigned format) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetFormat(format);
    return true;
}

unsigned CGridCtrl::GetItemFormat(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->Format() : 0;
}

bool CGridCtrl::SetItemBackColour(int row, int col, COLORREF colour) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetBackColour(colour);
    return true;
}

COLORREF CGridCtrl::GetItemBackColour(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->BackColour() : CLR_DEFAULT;
}

bool CGridCtrl::SetItemTextColour(int row, int col, COLORREF colour) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetTextColour(colour);
    return true;
}

COLORREF CGridCtrl::GetItemTextColour(int row, int col) const {
    const CGridCellBase* cell = GetCell(row, col);
    return cell != nullptr ? cell->TextColour() : CLR_DEFAULT;
}

bool CGridCtrl::SetItemFont(int row, int col, const LogFont* font) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetFont(font);
    return true;
}

bool CGridCtrl::SetItemMargin(int row, int col, unsigned margin) {
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr) {
        return false;
    }
    cell->SetMargin(margin);
    return true;
}

// ---- colours, fonts, options ------------------------------------------------------------------

void CGridCtrl::SetGridBackColour(COLORREF colour) {
    m_GridBackColour = colour;
    viewport()->update();
}

void CGridCtrl::SetGridLineColour(COLORREF colour) {
    m_GridLineColour = colour;
    viewport()->update();
}

void CGridCtrl::SetGridLines(int lines) {
    m_GridLines = std::clamp(lines, GVL_NONE, GVL_BOTH);
    viewport()->update();
}

void CGridCtrl::SetGridFont(const LogFont& font) {
    for (CGridDefaultCell* cell :
         {&m_DefaultCell, &m_DefaultCellFixedColumn, &m_DefaultCellFixedRow, &m_DefaultCellFixed}) {
        cell->SetFont(&font);
    }
    Refresh();
}

LogFont CGridCtrl::GetGridFont() const {
    const LogFont* font = m_DefaultCell.Font();
    return font != nullptr ? *font : LogFont{};
}

void CGridCtrl::SetImageList(std::vector<QPixmap> images) {
    m_ImageList = std::move(images);
    viewport()->update();
}

void CGridCtrl::SetListMode(bool on) {
    ClearSelection();
    m_SortColumn = -1;
    m_ListMode = on;
    m_FixedColumnSelection = false;
    Refresh();
}

void CGridCtrl::SetSelectionEnabled(bool on) {
    if (!on && !m_SelectedCells.empty()) {
        SelectCells({}, {});
    }
    m_SelectionEnabled = on;
}

void CGridCtrl::EnableTitleTips(bool on) {
    m_TitleTips = on;
    if (!on) {
        HideTitleTip();
    }
}

void CGridCtrl::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        SetGridFont(ToLogFont(font()));
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        // Colours that followed the system follow its change; chosen ones stay.
        const COLORREF oldText = m_WindowTextColour;
        const COLORREF oldWindow = m_WindowColour;
        const COLORREF oldFace = m_ButtonFaceColour;
        const COLORREF oldShadow = m_ButtonShadowColour;
        ReadSystemColours();
        for (CGridDefaultCell* cell :
             {&m_DefaultCell, &m_DefaultCellFixedColumn, &m_DefaultCellFixedRow, &m_DefaultCellFixed}) {
            if (cell->TextColour() == oldText) {
                cell->SetTextColour(m_WindowTextColour);
            }
            if (cell == &m_DefaultCell && cell->BackColour() == oldWindow) {
                cell->SetBackColour(m_WindowColour);
            } else if (cell != &m_DefaultCell && cell->BackColour() == oldFace) {
                cell->SetBackColour(m_ButtonFaceColour);
            }
        }
        if (m_GridBackColour == oldShadow) {
            m_GridBackColour = m_ButtonShadowColour;
        }
        viewport()->update();
    }
}

// ---- drawing state ----------------------------------------------------------------------------

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars) {
    if (allow && !m_AllowDraw) {
        m_AllowDraw = true;
        Refresh();
    }
    m_AllowDraw = allow;
    if (resetScrollBars) {
        ResetScrollBars();
    }
}

void CGridCtrl::Refresh() {
    if (m_AllowDraw) {
        viewport()->update();
    }
}

bool CGridCtrl::RedrawCell(int row, int col) {
    QRect rect;
    if (!m_AllowDraw || !GetCellRect(row, col, rect)) {
        return false;
    }
    if (rect.intersects(viewport()->rect())) {
        viewport()->update(rect);
    }
    return true;
}

void CGridCtrl::ResetScrollBars() {
    if (!m_AllowDraw) {
        return;
    }
    const int frame = 2 * frameWidth();
    GridScrollBarInput input;
    input.AreaWidth = width() - frame;
    input.AreaHeight = height() - frame;
    if (input.AreaWidth <= 0 || input.AreaHeight <= 0) {
        return;
    }
    input.FixedWidth = GetFixedColumnWidth();
    input.FixedHeight = GetFixedRowHeight();
    input.NonFixedWidth = GetVirtualWidth() - input.FixedWidth;
    input.NonFixedHeight = GetVirtualHeight() - input.FixedHeight;
    input.VerticalBarWidth = verticalScrollBar()->sizeHint().width();
    input.HorizontalBarHeight = horizontalScrollBar()->sizeHint().height();
    const GridScrollBarPlan plan = PlanScrollBars(input);

    m_VScrollShown = plan.ShowVertical;
    m_HScrollShown = plan.ShowHorizontal;
    verticalScrollBar()->setRange(0, plan.VerticalMaximum);
    verticalScrollBar()->setPageStep(std::max(1, plan.VerticalPage));
    verticalScrollBar()->setSingleStep(std::max(1, m_DefaultCell.Height()));
    horizontalScrollBar()->setRange(0, plan.HorizontalMaximum);
    horizontalScrollBar()->setPageStep(std::max(1, plan.HorizontalPage));
    horizontalScrollBar()->setSingleStep(std::max(1, m_DefaultCell.Width()));
    const Qt::ScrollBarPolicy vertical = plan.ShowVertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    const Qt::ScrollBarPolicy horizontal =
        plan.ShowHorizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != vertical) {
        setVerticalScrollBarPolicy(vertical);
    }
    if (horizontalScrollBarPolicy() != horizontal) {
        setHorizontalScrollBarPolicy(horizontal);
    }
}

void CGridCtrl::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    HideTitleTip();
    ResetScrollBars();
}

void CGridCtrl::SetModified(bool modified, int row, int col) {
    if (CGridCellBase* cell = GetCell(row, col)) {
        cell->SetState(modified ? cell->State() | GVIS_MODIFIED : cell->State() & ~GVIS_MODIFIED);
        if (modified) {
            m_Modified = true;
        }
        return;
    }
    m_Modified = modified;
    if (!modified) {
        for (RowEntry& entry : m_Rows) {
            for (std::unique_ptr<CGridCellBase>& cell : entry) {
                if (cell != nullptr && cell->IsModified()) {
                    cell->SetState(cell->State() & ~GVIS_MODIFIED);
                }
            }
        }
    }
}

bool CGridCtrl::GetModified(int row, int col) const {
    if (const CGridCellBase* cell = GetCell(row, col)) {
        return cell->IsModified();
    }
    return m_Modified;
}

// ---- focus and selection ----------------------------------------------------------------------

void CGridCtrl::SetFocusCell(int row, int col) {
    const GridCellId next = IsValid(row, col) ? GridCellId{row, col} : GridCellId{};
    if (next == m_FocusCell) {
        return;
    }
    const GridCellId old = m_FocusCell;
    if (CGridCellBase* cell = GetCell(old.Row, old.Col)) {
        cell->SetState(cell->State() & ~GVIS_FOCUSED);
        RedrawCell(old.Row, old.Col);
    }
    m_FocusCell = next;
    if (CGridCellBase* cell = GetCell(next.Row, next.Col)) {
        cell->SetState(cell->State() | GVIS_FOCUSED);
        RedrawCell(next.Row, next.Col);
    }
}

void CGridCtrl::SelectCells(const GridCellRange& range, const std::unordered_set<std::uint64_t>& base) {
    std::unordered_set<std::uint64_t> wanted = base;
    if (range.IsValid()) {
        const int lastRow = std::min(range.MaxRow, m_RowCount - 1);
        const int lastCol = std::min(range.MaxCol, m_ColumnCount - 1);
        for (int row = range.MinRow; row <= lastRow; ++row) {
            for (int col = range.MinCol; col <= lastCol; ++col) {
                if (GetCell(row, col) != nullptr) {
                    wanted.insert(GridCellId{row, col}.Key());
                }
            }
        }
    }
    for (std::uint64_t key : m_SelectedCells) {
        if (!wanted.contains(key)) {
            const GridCellId id = GridCellId::FromKey(key);
            if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
                cell->SetState(cell->State() & ~GVIS_SELECTED);
            }
        }
    }
    for (std::uint64_t key : wanted) {
        const GridCellId id = GridCellId::FromKey(key);
        if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
            cell->SetState(cell->State() | GVIS_SELECTED);
        }
    }
    m_SelectedCells = std::move(wanted);
    // One repaint of the visible part is cheaper than finding the rectangles of far-away cells.
    Refresh();
}

void CGridCtrl::ClearSelection() {
    SelectCells({}, {});
    m_PreviousSelectedCells.clear();
    SetFocusCell(-1, -1);
}

bool CGridCtrl::IsCellSelected(int row, int col) const {
    return m_SelectedCells.contains(GridCellId{row, col}.Key());
}

std::vector<GridCellId> CGridCtrl::GetSelectedCells() const {
    std::vector<GridCellId> cells;
    cells.reserve(m_SelectedCells.size());
    for (std::uint64_t key : m_SelectedCells) {
        cells.push_back(GridCellId::FromKey(key));
    }
    std::sort(cells.begin(), cells.end(), [](const GridCellId& a, const GridCellId& b) {
        return a.Row != b.Row ? a.Row < b.Row : a.Col < b.Col;
    });
    return cells;
}

void CGridCtrl::SetSelectedRange(const GridCellRange& range) {
    if (m_SelectionEnabled) {
        SelectCells(range, {});
    }
}

void CGridCtrl::SelectAllCells() {
    if (!m_SelectionEnabled) {
        return;
    }
    emit GridNotification(GVN_SELCHANGING, m_FocusCell.Row, m_FocusCell.Col);
    SelectCells({m_FixedRowCount, m_FixedColumnCount, m_RowCount - 1, m_ColumnCount - 1}, {});
    emit GridNotification(GVN_SELCHANGED, m_FocusCell.Row, m_FocusCell.Col);
}

void CGridCtrl::OnSelecting(GridCellId current) {
    if (!m_SelectionEnabled || !current.IsValid()) {
        return;
    }
    m_LastDragCell = current;
    const GridCellId start = m_SelectionStartCell.IsValid() ? m_SelectionStartCell : current;
    GridCellRange range;
    switch (m_MouseMode) {
    case MouseMode::SelectingCells:
        range = {std::min(start.Row, current.Row), std::min(start.Col, current.Col),
                 std::max(start.Row, current.Row), std::max(start.Col, current.Col)};
        break;
    case MouseMode::SelectingRows:
        range = {std::min(start.Row, current.Row), m_FixedColumnCount, std::max(start.Row, current.Row),
                 m_ColumnCount - 1};
        break;
    case MouseMode::SelectingColumns:
        range = {m_FixedRowCount, std::min(start.Col, current.Col), m_RowCount - 1,
                 std::max(start.Col, current.Col)};
        break;
    default:
        return;
    }
    if (m_SingleRowSelection) {
        range.MinRow = range.MaxRow = current.Row;
    }
    if (m_SingleColumnSelection && m_MouseMode != MouseMode::SelectingRows) {
        range.MinCol = range.MaxCol = current.Col;
    }
    range.MinRow = std::max(range.MinRow, m_FixedRowCount);
    range.MinCol = std::max(range.MinCol, m_FixedColumnCount);
    SelectCells(range, m_PreviousSelectedCells);
}

// ---- geometry ---------------------------------------------------------------------------------

GridCellId CGridCtrl::GetTopLeftNonFixedCell() const {
    const int verticalPos = verticalScrollBar()->value();
    const int horizontalPos = horizontalScrollBar()->value();
    int row = m_FixedRowCount;
    long long y = 0;
    while (y < verticalPos && row < m_RowCount - 1) {
        y += m_RowHeights[std::size_t(row++)];
    }
    int col = m_FixedColumnCount;
    long long x = 0;
    while (x < horizontalPos && col < m_ColumnCount - 1) {
        x += m_ColumnWidths[std::size_t(col++)];
    }
    return {row, col};
}

GridCellRange CGridCtrl::GetVisibleNonFixedCellRange() const {
    const QRect client = viewport()->rect();
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    long long bottom = GetFixedRowHeight();
    int row = topLeft.Row;
    for (; row < m_RowCount; ++row) {
        bottom += m_RowHeights[std::size_t(row)];
        if (bottom >= client.height()) {
            break;
        }
    }
    long long right = GetFixedColumnWidth();
    int col = topLeft.Col;
    for (; col < m_ColumnCount; ++col) {
        right += m_ColumnWidths[std::size_t(col)];
        if (right >= client.width()) {
            break;
        }
    }
    return {topLeft.Row, topLeft.Col, std::min(row, m_RowCount - 1), std::min(col, m_ColumnCount - 1)};
}

bool CGridCtrl::GetCellOrigin(int row, int col, QPoint& origin) const {
    if (!IsValid(row, col)) {
        return false;
    }
    const GridCellId topLeft =
        (row >= m_FixedRowCount || col >= m_FixedColumnCount) ? GetTopLeftNonFixedCell() : GridCellId{};
    long long x = 0;
    if (col < m_FixedColumnCount) {
        x = std::accumulate(m_ColumnWidths.begin(), m_ColumnWidths.begin() + col, 0LL);
    } else {
        if (col < topLeft.Col) {
            return false;
        }
        x = GetFixedColumnWidth() +
            std::accumulate(m_ColumnWidths.begin() + topLeft.Col, m_ColumnWidths.begin() + col, 0LL);
    }
    long long y = 0;
    if (row < m_FixedRowCount) {
        y = std::accumulate(m_RowHeights.begin(), m_RowHeights.begin() + row, 0LL);
    } else {
        if (row < topLeft.Row) {
            return false;
        }
        y = GetFixedRowHeight() +
            std::accumulate(m_RowHeights.begin() + topLeft.Row, m_RowHeights.begin() + row, 0LL);
    }
    origin = QPoint(ClampToInt(x), ClampToInt(y));
    return true;
}

bool CGridCtrl::GetCellRect(int row, int col, QRect& rect) const {
    QPoint origin;
    if (!GetCellOrigin(row, col, origin)) {
        return false;
    }
    rect = QRect(origin, QSize(m_ColumnWidths[std::size_t(col)], m_RowHeights[std::size_t(row)]));
    return true;
}

GridCellId CGridCtrl::GetCellFromPt(QPoint point) const {
    if (point.x() < 0 || point.y() < 0 || m_RowCount == 0 || m_ColumnCount == 0) {
        return {};
    }
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    GridCellId cell;
    const int fixedWidth = GetFixedColumnWidth();
    long long x = 0;
    if (point.x() < fixedWidth) {
        for (int col = 0; col < m_FixedColumnCount; ++col) {
            x += m_ColumnWidths[std::size_t(col)];
            if (point.x() < x) {
                cell.Col = col;
                break;
            }
        }
    } else {
        x = fixedWidth;
        for (int col = topLeft.Col; col < m_ColumnCount; ++col) {
            x += m_ColumnWidths[std::size_t(col)];
            if (point.x() < x) {
                cell.Col = col;
                break;
            }
        }
    }
    const int fixedHeight = GetFixedRowHeight();
    long long y = 0;
    if (point.y() < fixedHeight) {
        for (int row = 0; row < m_FixedRowCount; ++row) {
            y += m_RowHeights[std::size_t(row)];
            if (point.y() < y) {
                cell.Row = row;
                break;
            }
        }
    } else {
        y = fixedHeight;
        for (int row = topLeft.Row; row < m_RowCount && y <= point.y(); ++row) {
            y += m_RowHeights[std::size_t(row)];
            if (point.y() < y) {
                cell.Row = row;
                break;
            }
        }
    }
    return cell.IsValid() ? cell : GridCellId{};
}

bool CGridCtrl::IsCellVisible(int row, int col) const {
    QRect rect;
    return GetCellRect(row, col, rect) && viewport()->rect().contains(rect.topLeft());
}

int CGridCtrl::VisibleNonFixedHeight() const {
    return viewport()->height() - GetFixedRowHeight();
}

int CGridCtrl::VisibleNonFixedWidth() const {
    return viewport()->width() - GetFixedColumnWidth();
}

long long CGridCtrl::RowStart(int row) const {
    return std::accumulate(m_RowHeights.begin() + m_FixedRowCount, m_RowHeights.begin() + row, 0LL);
}

long long CGridCtrl::ColumnStart(int col) const {
    return std::accumulate(m_ColumnWidths.begin() + m_FixedColumnCount, m_ColumnWidths.begin() + col, 0LL);
}

void CGridCtrl::EnsureVisible(int row, int col) {
    if (!IsValid(row, col)) {
        return;
    }
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    const int visibleHeight = VisibleNonFixedHeight();
    if (row >= m_FixedRowCount && visibleHeight > 0) {
        if (row < topLeft.Row) {
            verticalScrollBar()->setValue(ClampToInt(RowStart(row)));
        } else {
            long long extent =
                std::accumulate(m_RowHeights.begin() + topLeft.Row, m_RowHeights.begin() + row + 1, 0LL);
            if (extent > visibleHeight) {
                // The highest top row that still shows the whole row.
                int top = row;
                long long used = m_RowHeights[std::size_t(row)];
                while (top - 1 >= m_FixedRowCount &&
                       used + m_RowHeights[std::size_t(top - 1)] <= visibleHeight) {
                    used += m_RowHeights[std::size_t(--top)];
                }
                verticalScrollBar()->setValue(ClampToInt(RowStart(top)));
            }
        }
    }
    const int visibleWidth = VisibleNonFixedWidth();
    if (col >= m_FixedColumnCount && visibleWidth > 0) {
        if (col < topLeft.Col) {
            horizontalScrollBar()->setValue(ClampToInt(ColumnStart(col)));
        } else {
            long long extent =
                std::accumulate(m_ColumnWidths.begin() + topLeft.Col, m_ColumnWidths.begin() + col + 1, 0LL);
            if (extent > visibleWidth) {
                int left = col;
                long long used = m_ColumnWidths[std::size_t(col)];
                while (left - 1 >= m_FixedColumnCount &&
                       used + m_ColumnWidths[std::size_t(left - 1)] <= visibleWidth) {
                    used += m_ColumnWidths[std::size_t(--left)];
                }
                horizontalScrollBar()->setValue(ClampToInt(ColumnStart(left)));
            }
        }
    }
}

// ---- scrolling --------------------------------------------------------------------------------

int CGridCtrl::ScrollTarget(Qt::Orientation orientation, ScrollCode code) const {
    const QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    const int position = bar->value();
    const GridCellId topLeft = GetTopLeftNonFixedCell();
    const std::vector<int>& sizes = orientation == Qt::Vertical ? m_RowHeights : m_ColumnWidths;
    const int first = orientation == Qt::Vertical ? m_FixedRowCount : m_FixedColumnCount;
    const int top = orientation == Qt::Vertical ? topLeft.Row : topLeft.Col;
    long long target = position;
    switch (code) {
    case ScrollCode::LineDown:
        if (position < bar->maximum() && top < int(sizes.size())) {
            target = position + std::max(1, sizes[std::size_t(top)]);
        }
        break;
    case ScrollCode::LineUp:
        if (position > 0) {
            const int above = top - 1;
            target = position - (above >= first ? std::max(1, sizes[std::size_t(above)]) : position);
        }
        break;
    case ScrollCode::PageDown:
        target = static_cast<long long>(position) + bar->pageStep();
        break;
    case ScrollCode::PageUp:
        target = static_cast<long long>(position) - bar->pageStep();
        break;
    case ScrollCode::Top:
        target = 0;
        break;
    case ScrollCode::Bottom:
        target = bar->maximum();
        break;
    }
    return int(std::clamp<long long>(target, bar->minimum(), bar->maximum()));
}

void CGridCtrl::Scroll(Qt::Orientation orientation, ScrollCode code) {
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setValue(ScrollTarget(orientation, code));
}

void CGridCtrl::OnScrollAction(Qt::Orientation orientation, int action) {
    ScrollCode code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        code = ScrollCode::LineDown;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        code = ScrollCode::LineUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = ScrollCode::PageDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = ScrollCode::PageUp;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = ScrollCode::Top;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = ScrollCode::Bottom;
        break;
    default:
        return;
    }
    // A line is the height (width) of the row (column) at the edge, not a fixed number of pixels.
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->setSliderPosition(ScrollTarget(orientation, code));
}

void CGridCtrl::scrollContentsBy(int, int) {
    HideTitleTip();
    EndEditing();
    viewport()->update();
}

// ---- painting ---------------------------------------------------------------------------------

void CGridCtrl::paintEvent(QPaintEvent* event) {
    if (!m_AllowDraw) {
        return;
    }
    QPainter dc(viewport());
    const QRect clip = event->rect();
    if (!m_DoubleBuffer) {
        dc.setClipRect(clip);
        OnDraw(dc, clip);
        return;
    }
    // The off-screen bitmap is kept between paints: allocating a window-sized one each time costs
    // more than drawing the cells.
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = clip.size() * ratio;
    if (m_PaintBuffer.width() < pixels.width() || m_PaintBuffer.height() < pixels.height() ||
        m_PaintBuffer.devicePixelRatio() != ratio) {
        m_PaintBuffer = QPixmap(pixels.expandedTo(viewport()->size() * ratio));
        m_PaintBuffer.setDevicePixelRatio(ratio);
    }
    {
        QPainter memory(&m_PaintBuffer);
        memory.fillRect(QRect(QPoint(0, 0), clip.size()), ToQColor(m_GridBackColour));
        memory.translate(-clip.topLeft());
        OnDraw(memory, clip);
    }
    dc.drawPixmap(clip.topLeft(), m_PaintBuffer, QRectF(QPointF(0, 0), QSizeF(pixels)));
}

void CGridCtrl::OnDraw(QPainter& dc, const QRect& clip) {
    const QRect client = viewport()->rect();
    const int fixedWidth = GetFixedColumnWidth();
    const int fixedHeight = GetFixedRowHeight();
    const GridCellRange visible = GetVisibleNonFixedCellRange();

    std::vector<Span> fixedRows;
    std::vector<Span> fixedCols;
    std::vector<Span> rows;
    std::vector<Span> cols;
    int y = 0;
    for (int row = 0; row < m_FixedRowCount && y < client.height(); ++row) {
        fixedRows.push_back({row, y, m_RowHeights[std::size_t(row)]});
        y += m_RowHeights[std::size_t(row)];
    }
    int x = 0;
    for (int col = 0; col < m_FixedColumnCount && x < client.width(); ++col) {
        fixedCols.push_back({col, x, m_ColumnWidths[std::size_t(col)]});
        x += m_ColumnWidths[std::size_t(col)];
    }
    int bottomEdge = fixedHeight;
    for (int row = visible.MinRow; row >= 0 && row <= visible.MaxRow; ++row) {
        rows.push_back({row, bottomEdge, m_RowHeights[std::size_t(row)]});
        bottomEdge += m_RowHeights[std::size_t(row)];
    }
    int rightEdge = fixedWidth;
    for (int col = visible.MinCol; col >= 0 && col <= visible.MaxCol; ++col) {
        cols.push_back({col, rightEdge, m_ColumnWidths[std::size_t(col)]});
        rightEdge += m_ColumnWidths[std::size_t(col)];
    }

    DrawBackground(dc, client, fixedWidth, fixedHeight, rightEdge, bottomEdge);

    const auto drawBlock = [&](const std::vector<Span>& blockRows, const std::vector<Span>& blockCols) {
        for (const Span& row : blockRows) {
            if (row.Start > clip.bottom() || row.Start + row.Size <= clip.top()) {
                continue;
            }
            for (const Span& col : blockCols) {
                const QRect rect(col.Start, row.Start, col.Size, row.Size);
                if (!rect.intersects(clip)) {
                    continue;
                }
                if (CGridCellBase* cell = GetCell(row.Index, col.Index)) {
                    cell->Draw(&dc, row.Index, col.Index, rect, false);
                }
            }
        }
    };
    drawBlock(fixedRows, fixedCols);
    drawBlock(fixedRows, cols);
    drawBlock(rows, fixedCols);
    drawBlock(rows, cols);

    // Grid lines over the scrolling cells only; one-pixel rectangles fill faster than lines stroke.
    if (m_GridLines != GVL_NONE) {
        const QColor lineColour = ToQColor(m_GridLineColour);
        if (m_GridLines == GVL_BOTH || m_GridLines == GVL_VERT) {
            for (const Span& col : cols) {
                dc.fillRect(QRect(col.Start + col.Size - 1, fixedHeight, 1, bottomEdge - fixedHeight),
                            lineColour);
            }
        }
        if (m_GridLines == GVL_BOTH || m_GridLines == GVL_HORZ) {
            for (const Span& row : rows) {
                dc.fillRect(QRect(fixedWidth, row.Start + row.Size - 1, rightEdge - fixedWidth, 1),
                            lineColour);
            }
        }
    }

    if ((m_MouseMode == MouseMode::SizingColumn || m_MouseMode == MouseMode::SizingRow) &&
        m_SizingLine >= 0) {
        dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        dc.setPen(QPen(Qt::white, 0));
        if (m_MouseMode == MouseMode::SizingColumn) {
            dc.drawLine(m_SizingLine, 0, m_SizingLine, client.bottom());
        } else {
            dc.drawLine(0, m_SizingLine, client.right(), m_SizingLine);
        }
        dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void CGridCtrl::DrawBackground(QPainter& dc, const QRect& client, int fixedWidth, int fixedHeight,
                               int rightEdge, int bottomEdge) {
    const auto fill = [&](const QRect& area, const QColor& colour) {
        const QRect visible = area.intersected(client);
        if (!visible.isEmpty()) {
            dc.fillRect(visible, colour);
        }
    };
    fill(QRect(0, 0, fixedWidth, fixedHeight), BackOf(m_DefaultCellFixed, COLOR_BTNFACE));
    fill(QRect(fixedWidth, 0, rightEdge - fixedWidth, fixedHeight),
         BackOf(m_DefaultCellFixedRow, COLOR_BTNFACE));
    fill(QRect(0, fixedHeight, fixedWidth, bottomEdge - fixedHeight),
         BackOf(m_DefaultCellFixedColumn, COLOR_BTNFACE));
    fill(QRect(fixedWidth, fixedHeight, rightEdge - fixedWidth, bottomEdge - fixedHeight),
         BackOf(m_DefaultCell, COLOR_WINDOW));
    const QColor outside =
        ToQColor(m_GridBackColour == CLR_DEFAULT ? SystemColour(COLOR_BTNSHADOW) : m_GridBackColour);
    const int tableRight = std::max(rightEdge, fixedWidth);
    const int tableBottom = std::max(bottomEdge, fixedHeight);
    fill(QRect(tableRight, 0, client.width() - tableRight, client.height()), outside);
    fill(QRect(0, tableBottom, tableRight, client.height() - tableBottom), outside);
}

// ---- mouse ------------------------------------------------------------------------------------

int CGridCtrl::ColumnBorderAt(QPoint point) const {
    if (!m_ColumnResizeAllowed || point.y() < 0 || point.y() >= GetFixedRowHeight()) {
        return -1;
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    long long right = 0;
    const auto near = [&](int col) {
        right += m_ColumnWidths[std::size_t(col)];
        return m_ColumnWidths[std::size_t(col)] > 0 && std::abs(point.x() - right) < m_ResizeCaptureRange;
    };
    for (int col = 0; col < m_FixedColumnCount; ++col) {
        if (near(col)) {
            return col;
        }
    }
    for (int col = visible.MinCol; col >= 0 && col <= visible.MaxCol; ++col) {
        if (near(col)) {
            return col;
        }
    }
    return -1;
}

int CGridCtrl::RowBorderAt(QPoint point) const {
    if (!m_RowResizeAllowed || point.x() < 0 || point.x() >= GetFixedColumnWidth()) {
        return -1;
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    long long bottom = 0;
    const auto near = [&](int row) {
        bottom += m_RowHeights[std::size_t(row)];
        return m_RowHeights[std::size_t(row)] > 0 && std::abs(point.y() - bottom) < m_ResizeCaptureRange;
    };
    for (int row = 0; row < m_FixedRowCount; ++row) {
        if (near(row)) {
            return row;
        }
    }
    for (int row = visible.MinRow; row >= 0 && row <= visible.MaxRow; ++row) {
        if (near(row)) {
            return row;
        }
    }
    return -1;
}

void CGridCtrl::UpdateCursorAndTip(QPoint point) {
    if (ColumnBorderAt(point) >= 0) {
        m_MouseMode = MouseMode::PrepareSizeColumn;
        viewport()->setCursor(Qt::SizeHorCursor);
        HideTitleTip();
        return;
    }
    if (RowBorderAt(point) >= 0) {
        m_MouseMode = MouseMode::PrepareSizeRow;
        viewport()->setCursor(Qt::SizeVerCursor);
        HideTitleTip();
        return;
    }
    m_MouseMode = MouseMode::Nothing;
    const GridCellId id = GetCellFromPt(point);
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    if (cell == nullptr || !cell->OnSetCursor()) {
        viewport()->setCursor(Qt::ArrowCursor);
    }
    if (m_TitleTip != nullptr && m_TitleTip->isVisible() && !m_TitleTip->HoverRect().contains(point)) {
        HideTitleTip();
    }
    if (m_TitleTips && cell != nullptr) {
        ShowTitleTip(id);
    }
}

void CGridCtrl::ShowTitleTip(GridCellId id) {
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    QRect cellRect;
    if (cell == nullptr || cell->IsEditing() || !GetCellRect(id.Row, id.Col, cellRect)) {
        return;
    }
    const std::string tip = cell->TipText();
    if (tip.empty()) {
        return;
    }
    QRect textRect = cellRect;
    if (!cell->TipTextRect(textRect)) {
        return;
    }
    const QString text = QString::fromStdString(tip);
    const QFont font = cell->FontObject();
    const QFontMetrics metrics(font);
    const int margin = int(cell->Margin());
    const int textWidth = metrics.horizontalAdvance(text);
    // The cell shows its text between its margins; only a cut text needs the tip.
    if (textWidth <= textRect.width() - 2 * margin) {
        return;
    }
    if (m_TitleTip != nullptr && m_TitleTip->isVisible() && m_TitleTip->HoverRect() == cellRect) {
        return;
    }
    if (m_TitleTip == nullptr) {
        m_TitleTip = std::make_unique<CGridTitleTip>(viewport());
    }
    const CGridDefaultCell* defaultCell = cell->DefaultCell();
    QColor textColour = cell->TextColour() != CLR_DEFAULT ? ToQColor(cell->TextColour())
                        : defaultCell != nullptr          ? TextOf(*defaultCell)
                                                          : ToQColor(SystemColour(COLOR_INFOTEXT));
    QColor backColour = cell->BackColour() != CLR_DEFAULT ? ToQColor(cell->BackColour())
                        : defaultCell != nullptr
                            ? BackOf(*defaultCell, cell->IsFixed() ? COLOR_BTNFACE : COLOR_WINDOW)
                            : ToQColor(SystemColour(COLOR_INFOBK));
    const QRect tipRect(cellRect.topLeft(), QSize(textWidth + 2 * margin + 3, cellRect.height()));
    m_TitleTip->Show(cellRect, tipRect, text, font, textColour, backColour, margin, cell->Format());
}

void CGridCtrl::HideTitleTip() {
    if (m_TitleTip != nullptr) {
        m_TitleTip->Hide();
    }
}

bool CGridCtrl::IsTitleTipShown() const {
    return m_TitleTip != nullptr && m_TitleTip->isVisible();
}

void CGridCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    HideTitleTip();
    setFocus(Qt::MouseFocusReason);
    m_LeftButtonDown = true;
    m_LastMousePoint = point;
    m_LeftClickDownCell = GetCellFromPt(point);

    if (m_MouseMode == MouseMode::PrepareSizeColumn || m_MouseMode == MouseMode::PrepareSizeRow) {
        const bool columns = m_MouseMode == MouseMode::PrepareSizeColumn;
        m_SizingIndex = columns ? ColumnBorderAt(point) : RowBorderAt(point);
        QPoint origin;
        if (m_SizingIndex >= 0 &&
            GetCellOrigin(columns ? 0 : m_SizingIndex, columns ? m_SizingIndex : 0, origin)) {
            m_SizingStart = columns ? origin.x() : origin.y();
            m_SizingLine = std::max(columns ? point.x() : point.y(), m_SizingStart);
            m_MouseMode = columns ? MouseMode::SizingColumn : MouseMode::SizingRow;
            viewport()->update();
            return;
        }
        m_MouseMode = MouseMode::Nothing;
    }

    const GridCellId id = m_LeftClickDownCell;
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    if (cell == nullptr) {
        m_MouseMode = MouseMode::Nothing;
        return;
    }
    QRect cellRect;
    GetCellRect(id.Row, id.Col, cellRect);
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool inFixedRow = id.Row < m_FixedRowCount;
    const bool inFixedCol = id.Col < m_FixedColumnCount;

    if (!inFixedRow && !inFixedCol) {
        if (m_Editable && id == m_FocusCell && !shift && !control && !cell->IsReadOnly()) {
            // A second click on the focus cell edits it when the button comes up.
            m_MouseMode = MouseMode::PrepareEdit;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = id;
        }
        SetFocusCell(id.Row, id.Col);
    } else if (inFixedRow && !inFixedCol) {
        if (m_SortOnHeaderClick) {
            SortTextItems(id.Col, id.Col == m_SortColumn ? !m_SortAscending : true);
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        if (!m_FixedColumnSelection) {
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = MouseMode::SelectingColumns;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = {m_FixedRowCount, id.Col};
        }
        SetFocusCell(m_FocusCell.IsValid() ? m_FocusCell.Row : m_FixedRowCount, id.Col);
    } else if (inFixedCol && !inFixedRow) {
        if (!m_ListMode && !m_FixedColumnSelection) {
            m_MouseMode = MouseMode::Nothing;
            cell->OnClickDown(point - cellRect.topLeft());
            return;
        }
        m_MouseMode = MouseMode::SelectingRows;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = {id.Row, m_FixedColumnCount};
        }
        SetFocusCell(id.Row, m_FocusCell.IsValid() ? m_FocusCell.Col : m_FixedColumnCount);
    } else {
        m_MouseMode = MouseMode::Nothing;
        cell->OnClickDown(point - cellRect.topLeft());
        return;
    }

    // Single-row or single-column selection keeps nothing of an earlier selection.
    const bool keep = control && !m_SingleRowSelection && !m_SingleColumnSelection;
    m_PreviousSelectedCells = keep ? m_SelectedCells : std::unordered_set<std::uint64_t>{};
    OnSelecting(id);
    m_AutoScrollTimer.start();
    cell->OnClickDown(point - cellRect.topLeft());
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    m_LastMousePoint = point;
    if (!(event->buttons() & Qt::LeftButton) || !m_LeftButtonDown) {
        UpdateCursorAndTip(point);
        return;
    }
    const QRect client = viewport()->rect();
    switch (m_MouseMode) {
    case MouseMode::SizingColumn:
        m_SizingLine = std::clamp(point.x(), m_SizingStart, std::max(m_SizingStart, client.right()));
        viewport()->update();
        return;
    case MouseMode::SizingRow:
        m_SizingLine = std::clamp(point.y(), m_SizingStart, std::max(m_SizingStart, client.bottom()));
        viewport()->update();
        return;
    case MouseMode::PrepareEdit: {
        const GridCellId id = GetCellFromPt(point);
        if (id == m_LeftClickDownCell) {
            return;
        }
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        m_SelectionStartCell = m_LeftClickDownCell;
        m_PreviousSelectedCells.clear();
        m_AutoScrollTimer.start();
        break;
    }
    case MouseMode::SelectingCells:
    case MouseMode::SelectingRows:
    case MouseMode::SelectingColumns:
        break;
    default:
        return;
    }
    // Clamp into the visible cells so a drag past the edge keeps extending to the last one.
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    QRect lastRect;
    QPoint clamped = point;
    if (visible.IsValid() && GetCellRect(visible.MaxRow, visible.MaxCol, lastRect)) {
        clamped.setX(
            std::clamp(point.x(), GetFixedColumnWidth(), std::max(GetFixedColumnWidth(), lastRect.right())));
        clamped.setY(
            std::clamp(point.y(), GetFixedRowHeight(), std::max(GetFixedRowHeight(), lastRect.bottom())));
        if (m_MouseMode == MouseMode::SelectingColumns) {
            clamped.setY(GetFixedRowHeight());
        }
        if (m_MouseMode == MouseMode::SelectingRows && point.x() < GetFixedColumnWidth()) {
            clamped.setX(GetFixedColumnWidth());
        }
    }
    const GridCellId id = GetCellFromPt(clamped);
    if (!id.IsValid() || id == m_LastDragCell) {
        return;
    }
    if (m_MouseMode == MouseMode::SelectingCells) {
        SetFocusCell(id.Row, id.Col);
    } else if (m_MouseMode == MouseMode::SelectingRows) {
        SetFocusCell(id.Row, m_FocusCell.IsValid() ? m_FocusCell.Col : m_FixedColumnCount);
    }
    OnSelecting(id);
}

void CGridCtrl::StopMouseAction() {
    m_AutoScrollTimer.stop();
    m_LeftButtonDown = false;
    m_SizingLine = -1;
    m_MouseMode = MouseMode::Nothing;
    m_LastDragCell = {};
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const GridCellId id = GetCellFromPt(point);
    CGridCellBase* cell = GetCell(id.Row, id.Col);
    QRect cellRect;
    GetCellRect(id.Row, id.Col, cellRect);
    if (event->button() == Qt::RightButton) {
        if (cell != nullptr) {
            cell->OnRightClick(point - cellRect.topLeft());
        }
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const MouseMode mode = m_MouseMode;
    const int sizingIndex = m_SizingIndex;
    const int sizingStart = m_SizingStart;
    StopMouseAction();
    switch (mode) {
    case MouseMode::SizingColumn:
        SetColumnWidth(sizingIndex, std::max(0, point.x() - sizingStart));
        break;
    case MouseMode::SizingRow:
        SetRowHeight(sizingIndex, std::max(0, point.y() - sizingStart));
        break;
    case MouseMode::PrepareEdit:
        if (cell != nullptr && id == m_LeftClickDownCell) {
            cell->OnClick(point - cellRect.topLeft());
            EditCell(id.Row, id.Col, CGridInPlaceEdit::StartedByMouse);
        }
        break;
    default:
        if (cell != nullptr && id == m_LeftClickDownCell) {
            cell->OnClick(point - cellRect.topLeft());
        }
        break;
    }
    viewport()->update();
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const int column = ColumnBorderAt(point);
    if (column >= 0) {
        StopMouseAction();
        AutoSizeColumn(column);
        return;
    }
    const int row = RowBorderAt(point);
    if (row >= 0) {
        StopMouseAction();
        AutoSizeRow(row);
        return;
    }
    const GridCellId id = GetCellFromPt(point);
    if (CGridCellBase* cell = GetCell(id.Row, id.Col)) {
        QRect cellRect;
        GetCellRect(id.Row, id.Col, cellRect);
        cell->OnDoubleClick(point - cellRect.topLeft());
    }
    // The second press also starts a drag like the first.
    mousePressEvent(event);
}

void CGridCtrl::OnAutoScroll() {
    if (!m_LeftButtonDown) {
        m_AutoScrollTimer.stop();
        return;
    }
    const QPoint point = m_LastMousePoint;
    const QRect client = viewport()->rect();
    const bool vertical = m_MouseMode == MouseMode::SelectingCells || m_MouseMode == MouseMode::SelectingRows;
    const bool horizontal =
        m_MouseMode == MouseMode::SelectingCells || m_MouseMode == MouseMode::SelectingColumns;
    if (vertical && point.y() > client.bottom()) {
        HandleKey(Qt::Key_Down, Qt::NoModifier);
    } else if (vertical && point.y() < GetFixedRowHeight()) {
        HandleKey(Qt::Key_Up, Qt::NoModifier);
    }
    if (horizontal && point.x() > client.right()) {
        HandleKey(Qt::Key_Right, Qt::NoModifier);
    } else if (horizontal && point.x() < GetFixedColumnWidth()) {
        HandleKey(Qt::Key_Left, Qt::NoModifier);
    }
    const GridCellRange visible = GetVisibleNonFixedCellRange();
    QRect lastRect;
    if (!visible.IsValid() || !GetCellRect(visible.MaxRow, visible.MaxCol, lastRect)) {
        return;
    }
    QPoint clamped(
        std::clamp(point.x(), GetFixedColumnWidth(), std::max(GetFixedColumnWidth(), lastRect.right())),
        std::clamp(point.y(), GetFixedRowHeight(), std::max(GetFixedRowHeight(), lastRect.bottom())));
    OnSelecting(GetCellFromPt(clamped));
}

// ---- wheel and keys ---------------------------------------------------------------------------

void CGridCtrl::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    HideTitleTip();
    const GridWheelSteps steps = m_Wheel.Add(delta);
    for (int line = 0; line < std::abs(steps.Lines); ++line) {
        Scroll(Qt::Vertical, steps.Lines > 0 ? ScrollCode::LineUp : ScrollCode::LineDown);
    }
    for (int page = 0; page < std::abs(steps.Pages); ++page) {
        Scroll(Qt::Vertical, steps.Pages > 0 ? ScrollCode::PageUp : ScrollCode::PageDown);
    }
    event->accept();
}

bool CGridCtrl::focusNextPrevChild(bool next) {
    // With Tab handling on, Tab moves between cells (see keyPressEvent).
    if (m_HandleTabKey && !(QGuiApplication::keyboardModifiers() & Qt::ControlModifier)) {
        return false;
    }
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool CGridCtrl::MoveByTab(bool forward) {
    if (m_RowCount <= m_FixedRowCount || m_ColumnCount <= m_FixedColumnCount) {
        return false;
    }
    GridCellId next = m_FocusCell;
    if (!next.IsValid() || next.Row < m_FixedRowCount || next.Col < m_FixedColumnCount) {
        next = {m_FixedRowCount, m_FixedColumnCount};
    } else if (forward) {
        if (next.Col < m_ColumnCount - 1) {
            ++next.Col;
        } else if (next.Row < m_RowCount - 1) {
            ++next.Row;
            next.Col = m_FixedColumnCount;
        } else {
            return false;
        }
    } else {
        if (next.Col > m_FixedColumnCount) {
            --next.Col;
        } else if (next.Row > m_FixedRowCount) {
            --next.Row;
            next.Col = m_ColumnCount - 1;
        } else {
            return false;
        }
    }
    MoveFocusByKey(next, false);
    return true;
}

void CGridCtrl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && m_HandleTabKey && !control) {
        const bool forward = key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier);
        // Past the last (first) cell the focus leaves the grid, so Tab never traps the user here.
        if (!MoveByTab(forward)) {
            QAbstractScrollArea::focusNextPrevChild(forward);
        }
        return;
    }
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
    case Qt::Key_F2:
        HandleKey(key, modifiers);
        return;
    case Qt::Key_A:
        if (control) {
            HandleKey(key, modifiers);
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_Editable && m_FocusCell.IsValid() &&
            EditCell(m_FocusCell.Row, m_FocusCell.Col, Qt::Key_Return)) {
            return;
        }
        event->ignore();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (m_Editable && m_FocusCell.IsValid() && !text.isEmpty() && text.at(0).isPrint() &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        const char32_t code = text.toUcs4().value(0);
        if (EditCell(m_FocusCell.Row, m_FocusCell.Col, int(code))) {
            return;
        }
    }
    event->ignore();
}

void CGridCtrl::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    if (m_RowCount <= m_FixedRowCount || m_ColumnCount <= m_FixedColumnCount) {
        return;
    }
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    if (key == Qt::Key_A && control) {
        SelectAllCells();
        return;
    }
    if (!m_FocusCell.IsValid() || m_FocusCell.Row < m_FixedRowCount || m_FocusCell.Col < m_FixedColumnCount) {
        // The first key gives the focus to the top-left visible cell.
        const GridCellId topLeft = GetTopLeftNonFixedCell();
        MoveFocusByKey({std::min(topLeft.Row, m_RowCount - 1), std::min(topLeft.Col, m_ColumnCount - 1)},
                       false);
        return;
    }
    if (key == Qt::Key_Delete) {
        emit DeleteKeyPressed(m_FocusCell.Row, m_FocusCell.Col);
        return;
    }
    if (key == Qt::Key_F2) {
        EditCell(m_FocusCell.Row, m_FocusCell.Col, CGridInPlaceEdit::StartedByMouse);
        return;
    }
    GridCellId next = m_FocusCell;
    const auto height = [this](int row) { return m_RowHeights[std::size_t(row)]; };
    const auto width = [this](int col) { return m_ColumnWidths[std::size_t(col)]; };
    switch (key) {
    case Qt::Key_Down:
        for (int row = next.Row + 1; row < m_RowCount; ++row) {
            if (height(row) > 0) {
                next.Row = row;
                break;
            }
        }
        break;
    case Qt::Key_Up:
        for (int row = next.Row - 1; row >= m_FixedRowCount; --row) {
            if (height(row) > 0) {
                next.Row = row;
                break;
            }
        }
        break;
    case Qt::Key_Right:
        for (int col = next.Col + 1; col < m_ColumnCount; ++col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        break;
    case Qt::Key_Left:
        for (int col = next.Col - 1; col >= m_FixedColumnCount; --col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        break;
    case Qt::Key_PageDown: {
        const int oldTop = GetTopLeftNonFixedCell().Row;
        Scroll(Qt::Vertical, ScrollCode::PageDown);
        const int moved = GetTopLeftNonFixedCell().Row - oldTop;
        next.Row = moved > 0 ? std::min(next.Row + moved, m_RowCount - 1) : m_RowCount - 1;
        break;
    }
    case Qt::Key_PageUp: {
        const int oldTop = GetTopLeftNonFixedCell().Row;
        Scroll(Qt::Vertical, ScrollCode::PageUp);
        const int moved = oldTop - GetTopLeftNonFixedCell().Row;
        next.Row = moved > 0 ? std::max(next.Row - moved, m_FixedRowCount) : m_FixedRowCount;
        break;
    }
    case Qt::Key_Home:
        Scroll(Qt::Horizontal, ScrollCode::Top);
        for (int col = m_FixedColumnCount; col < m_ColumnCount; ++col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        if (control) {
            Scroll(Qt::Vertical, ScrollCode::Top);
            next.Row = m_FixedRowCount;
        }
        break;
    case Qt::Key_End:
        Scroll(Qt::Horizontal, ScrollCode::Bottom);
        for (int col = m_ColumnCount - 1; col >= m_FixedColumnCount; --col) {
            if (width(col) > 0) {
                next.Col = col;
                break;
            }
        }
        if (control) {
            Scroll(Qt::Vertical, ScrollCode::Bottom);
            next.Row = m_RowCount - 1;
        }
        break;
    default:
        return;
    }
    MoveFocusByKey(next, shift);
}

void CGridCtrl::MoveFocusByKey(GridCellId next, bool shift) {
    if (!IsValid(next.Row, next.Col)) {
        return;
    }
    const bool dragging = m_MouseMode == MouseMode::SelectingCells ||
                          m_MouseMode == MouseMode::SelectingRows ||
                          m_MouseMode == MouseMode::SelectingColumns;
    if (!dragging && m_SelectionEnabled && next != m_FocusCell) {
        // Outside a drag the selection follows the focus (its row, in list mode).
        const MouseMode mode = m_MouseMode;
        m_PreviousSelectedCells.clear();
        m_MouseMode = m_ListMode ? MouseMode::SelectingRows : MouseMode::SelectingCells;
        if (!shift || !m_SelectionStartCell.IsValid()) {
            m_SelectionStartCell = next;
        }
        OnSelecting(next);
        m_LastDragCell = {};
        m_MouseMode = mode;
    }
    SetFocusCell(next.Row, next.Col);
    EnsureVisible(next.Row, next.Col);
}

void CGridCtrl::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    // The auto-scroll drag ends when another window takes the mouse.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        StopMouseAction();
    }
}

// ---- sorting ----------------------------------------------------------------------------------

bool CGridCtrl::SortTextItems(int col, bool ascending) {
    if (col < 0 || col >= m_ColumnCount) {
        return false;
    }
    EndEditing();
    ClearSelection();
    std::vector<int> order(std::size_t(m_RowCount - m_FixedRowCount));
    std::iota(order.begin(), order.end(), m_FixedRowCount);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const std::string& left = GetItemText(a, col);
        const std::string& right = GetItemText(b, col);
        return ascending ? left < right : right < left;
    });
    std::vector<RowEntry> rows;
    std::vector<int> heights;
    rows.reserve(std::size_t(m_RowCount));
    heights.reserve(std::size_t(m_RowCount));
    for (int row = 0; row < m_FixedRowCount; ++row) {
        rows.push_back(std::move(m_Rows[std::size_t(row)]));
        heights.push_back(m_RowHeights[std::size_t(row)]);
    }
    for (int row : order) {
        rows.push_back(std::move(m_Rows[std::size_t(row)]));
        heights.push_back(m_RowHeights[std::size_t(row)]);
    }
    m_Rows = std::move(rows);
    m_RowHeights = std::move(heights);
    m_SortColumn = col;
    m_SortAscending = ascending;
    Refresh();
    return true;
}

// ---- in-place editing -------------------------------------------------------------------------

bool CGridCtrl::EditCell(int row, int col, int firstChar) {
    if (!m_Editable || row < m_FixedRowCount || col < m_FixedColumnCount) {
        return false;
    }
    CGridCellBase* cell = GetCell(row, col);
    if (cell == nullptr || cell->IsReadOnly()) {
        return false;
    }
    if (m_InPlaceEdit != nullptr) {
        return cell->IsEditing();
    }
    EnsureVisible(row, col);
    QRect rect;
    if (!GetCellRect(row, col, rect)) {
        return false;
    }
    HideTitleTip();
    return cell->Edit(row, col, rect, rect.topLeft(), IDC_INPLACE_EDIT, firstChar);
}

void CGridCtrl::EndEditing() {
    if (m_InPlaceEdit != nullptr) {
        m_InPlaceEdit->EndEdit();
    }
}

CGridInPlaceEdit* CGridCtrl::AdoptInPlaceEdit(std::unique_ptr<CGridInPlaceEdit> edit) {
    EndEditing();
    m_InPlaceEdit = std::move(edit);
    connect(m_InPlaceEdit.get(), &CGridInPlaceEdit::EditEnded, this,
            [this](int row, int col, const QString& text, int lastKey) {
                OnEndInPlaceEdit(row, col, text, lastKey);
            });
    return m_InPlaceEdit.get();
}

void CGridCtrl::OnEndInPlaceEdit(int row, int col, const QString& text, int lastKey) {
    std::unique_ptr<CGridInPlaceEdit> edit = std::move(m_InPlaceEdit);
    if (edit != nullptr) {
        const bool hadFocus = edit->hasFocus();
        disconnect(edit.get(), nullptr, this, nullptr);
        if (hadFocus) {
            setFocus(Qt::OtherFocusReason);
        }
        edit->hide();
        // The edit may be inside its own event handler: let the event loop delete it.
        edit.release()->deleteLater();
    }
    if (CGridCellBase* cell = GetCell(row, col)) {
        const std::string value = text.toStdString();
        if (value != cell->Text() && cell->ValidateEdit(value)) {
            cell->SetText(value);
            SetModified(true, row, col);
        }
        cell->OnEndEdit();
        RedrawCell(row, col);
    }
    emit GridNotification(GVN_ENDLABELEDIT, row, col);
    if (lastKey == Qt::Key_Tab || lastKey == Qt::Key_Backtab) {
        MoveByTab(lastKey == Qt::Key_Tab);
    } else if (IsArrowOrPageKey(lastKey)) {
        HandleKey(lastKey, Qt::NoModifier);
    }
}

// ---- printing ---------------------------------------------------------------------------------

QString CGridCtrl::PrintTitle() const {
    for (const QWidget* widget = this; widget != nullptr; widget = widget->parentWidget()) {
        if (!widget->windowTitle().isEmpty()) {
            return widget->windowTitle();
        }
    }
    return QGuiApplication::applicationDisplayName();
}

bool CGridCtrl::Print(QPrinter& printer) {
    EndEditing();
    return CGridPrinter(*this).Print(printer);
}

int CGridCtrl::PrintPageCount(QPrinter& printer) {
    return CGridPrinter(*this).PageCount(printer);
}

void CGridCtrl::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) {
        Print(printer);
    }
}

#include "grid/GridCtrl.h"

#include "grid/GridAccessible.h"
#include "grid/GridCellClassRegistry.h"
#include "grid/GridColours.h"
#include "grid/GridCtrlDetail.h"
#include "grid/GridFont.h"
#include "grid/GridInPlaceEdit.h"
#include "grid/GridPrinter.h"
#include "grid/GridTitleTip.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollBar>
#include <QStyleHints>

#include <algorithm>
#include <new>
#include <numeric>

namespace {

unsigned PlatformWheelLines() {
    const int lines = QGuiApplication::styleHints()->wheelScrollLines();
    return lines > 0 ? unsigned(lines) : 3u;
}

bool IsArrowOrPageKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

} // namespace

using GridCtrlDetail::ClampToInt;

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
    InstallGridAccessibility();

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
    m_AccessibleDescriptions.clear();
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
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        HideTitleTip();
    } else if (event->type() == QEvent::FontChange) {
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
    const CGridPrinter job(*this);
    const int pages = job.PrintedPageCount(printer);
    if (pages <= LongPrintJobPages) {
        return job.Print(printer);
    }
    // A long job keeps the window alive: the progress dialog runs the events and offers Cancel.
    QProgressDialog progress(tr("Printing..."), tr("Cancel"), 0, pages, this);
    progress.setWindowTitle(PrintTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    return job.Print(printer, [&progress](int done, int total) {
        progress.setLabelText(tr("Printing page %1 of %2...").arg(done + 1).arg(total));
        progress.setValue(done);
        return !progress.wasCanceled();
    });
}

int CGridCtrl::PrintPageCount(QPrinter& printer) {
    return CGridPrinter(*this).PageCount(printer);
}

void CGridCtrl::OnFilePrint() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max(1, PrintPageCount(printer)));
    dialog.setOptions(dialog.options() | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies);
    if (dialog.exec() == QDialog::Accepted) {
        Print(printer);
    }
}

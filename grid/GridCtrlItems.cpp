#include "grid/GridCtrl.h"

#include "grid/GridAccessible.h"

#include "grid/GridFont.h"

// ---- items ------------------------------------------------------------------------------------

bool CGridCtrl::SetItem(const GridItem& item) {
    CGridCellBase* cell = GetCell(item.Row, item.Col);
    if (cell == nullptr) {
        return false;
    }
    SetModified(true, item.Row, item.Col);
    if (item.Mask & GVIF_TEXT) {
        cell->SetText(item.Text);
        NotifyGridAccessibility(*this, QAccessible::NameChanged, item.Row, item.Col);
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
    NotifyGridAccessibility(*this, QAccessible::NameChanged, row, col);
    return true;
}

bool CGridCtrl::SetItemAccessibleDescription(int row, int col, const QString& description) {
    if (GetCell(row, col) == nullptr) {
        return false;
    }
    const std::uint64_t key = GridCellId{row, col}.Key();
    if (description.isEmpty()) {
        m_AccessibleDescriptions.erase(key);
    } else {
        m_AccessibleDescriptions[key] = description;
    }
    NotifyGridAccessibility(*this, QAccessible::DescriptionChanged, row, col);
    return true;
}

QString CGridCtrl::GetItemAccessibleDescription(int row, int col) const {
    const auto found = m_AccessibleDescriptions.find(GridCellId{row, col}.Key());
    return found != m_AccessibleDescriptions.end() && IsValid(row, col) ? found->second : QString();
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

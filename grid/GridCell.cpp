#include "grid/GridCell.h"

#include "grid/GridCtrl.h"
#include "grid/GridDefaultCell.h"
#include "grid/GridFont.h"
#include "grid/GridInPlaceEdit.h"

#include <algorithm>
#include <climits>

static_assert(sizeof(void*) != 8 || sizeof(CGridCell) <= 88, "a cell should fit an 88-byte allocation");

CGridCell::~CGridCell() = default;

void CGridCell::SetImage(int image) {
    m_Image = std::int16_t(std::clamp(image, -1, int(INT16_MAX)));
}

void CGridCell::SetMargin(unsigned margin) {
    m_Margin =
        margin == GRID_UNSET ? UnsetMargin : std::uint16_t(std::min(margin, unsigned(UnsetMargin - 1)));
}

CGridInPlaceEdit* CGridCell::EditWindow() const {
    return m_Editing && m_Grid != nullptr ? m_Grid->GetInPlaceEdit() : nullptr;
}

void CGridCell::SetFont(const LogFont* font) {
    if (font == nullptr) {
        m_Font.reset();
        return;
    }
    if (m_Font == nullptr) {
        m_Font = std::make_unique<LogFont>(*font);
    } else {
        *m_Font = *font;
    }
}

unsigned CGridCell::Format() const {
    if (m_Format != GRID_UNSET) {
        return m_Format;
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    // A default cell whose own format is unset must not ask itself again.
    if (defaultCell == nullptr || defaultCell == this) {
        return 0;
    }
    return defaultCell->Format();
}

unsigned CGridCell::Margin() const {
    if (m_Margin != UnsetMargin) {
        return m_Margin;
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    if (defaultCell == nullptr || defaultCell == this) {
        return 0;
    }
    return defaultCell->Margin();
}

const LogFont* CGridCell::Font() const {
    if (m_Font != nullptr) {
        return m_Font.get();
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    if (defaultCell == nullptr || defaultCell == this) {
        return nullptr;
    }
    return defaultCell->Font();
}

QFont CGridCell::FontObject() const {
    if (m_Font != nullptr) {
        return ToQFont(*m_Font);
    }
    const CGridDefaultCell* defaultCell = DefaultCell();
    if (defaultCell == nullptr || defaultCell == this) {
        return ToQFont(LogFont{});
    }
    return defaultCell->FontObject();
}

void CGridCell::Reset() {
    CGridCellBase::Reset();
    m_Text.clear();
    m_Image = -1;
    m_Format = GRID_UNSET;
    m_Margin = UnsetMargin;
    m_TextColour = CLR_DEFAULT;
    m_BackColour = CLR_DEFAULT;
    m_Font.reset();
    m_Editing = false;
    m_Grid = nullptr;
}

bool CGridCell::Edit(int row, int col, QRect rect, QPoint, int controlId, int firstChar) {
    if (m_Grid == nullptr) {
        return false;
    }
    if (m_Editing) {
        if (CGridInPlaceEdit* edit = EditWindow()) {
            edit->setFocus();
        }
        return true;
    }
    auto edit =
        std::make_unique<CGridInPlaceEdit>(m_Grid->viewport(), rect, Format(), FontObject(), controlId, row,
                                           col, QString::fromStdString(m_Text), firstChar);
    CGridInPlaceEdit* window = m_Grid->AdoptInPlaceEdit(std::move(edit));
    m_Editing = true;
    window->Start();
    return true;
}

void CGridCell::EndEdit() {
    if (CGridInPlaceEdit* edit = EditWindow()) {
        edit->EndEdit();
    }
}

void CGridCell::OnEndEdit() {
    m_Editing = false;
}

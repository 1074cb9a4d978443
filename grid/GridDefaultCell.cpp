#include "grid/GridDefaultCell.h"

#include "grid/GridFont.h"

#include <QFontMetrics>
#include <QGuiApplication>

CGridDefaultCell::CGridDefaultCell() {
    SetFormat(DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    const LogFont font = MessageFont();
    SetFont(&font);
}

void CGridDefaultCell::SetFont(const LogFont* font) {
    if (font == nullptr) {
        return;
    }
    CGridCell::SetFont(font);
    if (QGuiApplication::instance() == nullptr) {
        // No screen to measure on.
        m_FontObject = QFont();
        SetMargin(3);
        m_Width = 40;
        m_Height = 16;
        return;
    }
    m_FontObject = ToQFont(*font);
    const QFontMetrics metrics(m_FontObject);
    SetMargin(unsigned(metrics.horizontalAdvance(QLatin1Char(' '))));
    m_Width = metrics.horizontalAdvance(QStringLiteral(" XXXXXXXXXXXX "));
    m_Height = metrics.height() * 3 / 2;
}

const LogFont* CGridDefaultCell::Font() const {
    // Its own record only; never the record of another default cell.
    return IsDefaultFont() ? nullptr : CGridCell::Font();
}

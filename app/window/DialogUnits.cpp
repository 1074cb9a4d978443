#include "app/window/DialogUnits.h"

#include <QFontMetrics>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded as dialog templates always were.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_BaseWidth = (letters / 26 + 1) / 2;
    m_BaseHeight = metrics.height();
    if (m_BaseWidth <= 0)
        m_BaseWidth = 6;
    if (m_BaseHeight <= 0)
        m_BaseHeight = 13;
}

DialogUnits::DialogUnits(const QFont& font, double widthScale) : DialogUnits(font) {
    m_WidthScale = widthScale < 1.0 ? 1.0 : widthScale;
}

int DialogUnits::X(int units) const {
    return static_cast<int>(units * m_BaseWidth * m_WidthScale / 4.0);
}

int DialogUnits::Y(int units) const {
    return units * m_BaseHeight / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(x + width) - X(x), Y(y + height) - Y(y));
}

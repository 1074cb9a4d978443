#pragma once

#include <QFont>
#include <QRect>

// Converts the dialog units of the window's layout into pixels of a font: a
// horizontal unit is a quarter of the font's average character width, a vertical
// unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    // Horizontal units widened by `widthScale` (>= 1): fonts whose letters are wider
    // than their average suggests still fit the texts they are laid out for.
    DialogUnits(const QFont& font, double widthScale);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;

    int BaseWidth() const { return m_BaseWidth; }
    int BaseHeight() const { return m_BaseHeight; }

private:
    int m_BaseWidth = 6;
    int m_BaseHeight = 13;
    double m_WidthScale = 1.0;
};

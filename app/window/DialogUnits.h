#pragma once

#include <QFont>
#include <QRect>

// Converts the dialog units of the window's layout into pixels of a font: a
// horizontal unit is a quarter of the font's average character width, a vertical
// unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;

    int BaseWidth() const { return m_BaseWidth; }
    int BaseHeight() const { return m_BaseHeight; }

private:
    int m_BaseWidth = 6;
    int m_BaseHeight = 13;
};

#pragma once
// One-pixel lines drawn as exactly one device pixel. At a fractional display scale (150 %) a logical
// pixel covers one or two device pixels, so lines filled as logical pixels alternate in weight.

#include <QColor>
#include <QPainter>
#include <QTransform>

class CGridDeviceLines {
public:
    explicit CGridDeviceLines(QPainter& dc);
    ~CGridDeviceLines();
    CGridDeviceLines(const CGridDeviceLines&) = delete;
    CGridDeviceLines& operator=(const CGridDeviceLines&) = delete;

    // A line in logical pixel column x from logical row top to bottom (inclusive). Of the device pixels
    // that x covers it takes the first with nearSide, else the last: lines that close a cell on the
    // right sit next to the cell that follows, lines that open one on the left sit at its start.
    void Vertical(int x, int top, int bottom, const QColor& colour, bool nearSide = false);
    // The same for a line in logical pixel row y from left to right (inclusive).
    void Horizontal(int y, int left, int right, const QColor& colour, bool nearSide = false);

private:
    QPainter& m_Dc;
    QTransform m_ToDevice;
    // Printers and unscaled devices get the lines as they are given.
    bool m_Logical = true;
};

#pragma once
// Text in cells: DrawText format flags carried out with QPainter.

#include <QFontMetrics>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

// Qt text flags for a DrawText format (alignment, line breaking, tabs, mnemonics, clipping).
int ToQtTextFlags(unsigned format);

// Draws text into rect as DrawText would with format; escapement in tenths of a degree.
void DrawCellText(QPainter& dc, const QRect& rect, const QString& text, unsigned format, int escapement = 0);

// Width and height of text laid out with format, before margins are added.
QSize MeasureCellText(const QFontMetrics& metrics, const QString& text, unsigned format);

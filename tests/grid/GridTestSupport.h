#pragma once
// Shared pieces of the grid tests: a palette whose colours are all distinct, a grid of known
// geometry, rendering, and synthetic mouse and wheel input.

#include "grid/GridCtrl.h"

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPalette>
#include <QPoint>

#include <memory>

class QWidget;

constexpr int TestColumnWidth = 60;
constexpr int TestRowHeight = 20;

QPalette TestPalette();

// A shown grid without frame, every column 60 and every row 20 pixels.
std::unique_ptr<CGridCtrl> MakeGrid(int rows, int cols, int fixedRows, int fixedCols,
                                    QSize size = QSize(400, 300));

QImage Render(CGridCtrl& grid);
QColor Pixel(const QImage& image, QPoint point);
QColor Colour(COLORREF colour);

// Centre of a cell in client coordinates (the cell must be visible).
QPoint CellCentre(const CGridCtrl& grid, int row, int col);

void SendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Hover(QWidget* widget, QPoint point);
void SendWheel(QWidget* widget, QPoint point, int delta);

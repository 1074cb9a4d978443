#pragma once
// Shared pieces of the grid tests: a palette whose colours are all distinct, a grid of known
// geometry, rendering, and synthetic mouse and wheel input.

#include "grid/GridCtrl.h"

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPalette>
#include <QPoint>

#include <initializer_list>
#include <memory>
#include <utility>

class QWidget;

constexpr int TestColumnWidth = 60;
constexpr int TestRowHeight = 20;

QPalette TestPalette();

// A shown grid without frame, every column 60 and every row 20 pixels.
std::unique_ptr<CGridCtrl> MakeGrid(int rows, int cols, int fixedRows, int fixedCols,
                                    QSize size = QSize(400, 300));

QImage Render(CGridCtrl& grid);
QColor Pixel(const QImage& image, QPoint point);
QColor System(int index);
// Expects each point of the image in its colour, naming the point that differs.
void ExpectPixels(const QImage& image, std::initializer_list<std::pair<QPoint, QColor>> expected);

// Centre of a cell in client coordinates (the cell must be visible).
QPoint CellCentre(const CGridCtrl& grid, int row, int col);

void SendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Left button pressed at `from`, moved to `to` and released there.
void Drag(QWidget* widget, QPoint from, QPoint to);
void Hover(QWidget* widget, QPoint point);
void SendWheel(QWidget* widget, QPoint point, int delta);

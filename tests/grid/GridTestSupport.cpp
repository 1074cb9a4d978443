#include "tests/grid/GridTestSupport.h"

#include "grid/GridColours.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

QPalette TestPalette() {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(255, 255, 255));
    palette.setColor(QPalette::Text, QColor(0, 0, 0));
    palette.setColor(QPalette::Button, QColor(212, 208, 200));
    palette.setColor(QPalette::ButtonText, QColor(16, 16, 16));
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 254));
    palette.setColor(QPalette::Light, QColor(255, 255, 128));
    palette.setColor(QPalette::Shadow, QColor(64, 0, 0));
    palette.setColor(QPalette::Dark, QColor(128, 128, 0));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, QColor(0, 0, 0));
    return palette;
}

std::unique_ptr<CGridCtrl> MakeGrid(int rows, int cols, int fixedRows, int fixedCols, QSize size) {
    auto grid = std::make_unique<CGridCtrl>(rows, cols, fixedRows, fixedCols);
    grid->setFrameShape(QFrame::NoFrame);
    for (int col = 0; col < cols; ++col) {
        grid->SetColumnWidth(col, TestColumnWidth);
    }
    for (int row = 0; row < rows; ++row) {
        grid->SetRowHeight(row, TestRowHeight);
    }
    grid->resize(size);
    grid->show();
    QApplication::processEvents();
    grid->ResetScrollBars();
    return grid;
}

QImage Render(CGridCtrl& grid) {
    return grid.viewport()->grab().toImage();
}

QColor Pixel(const QImage& image, QPoint point) {
    return QColor(image.pixel(point));
}

QColor System(int index) {
    return ToQColor(SystemColour(index));
}

void ExpectPixels(const QImage& image, std::initializer_list<std::pair<QPoint, QColor>> expected) {
    for (const auto& [point, colour] : expected)
        EXPECT_EQ(Pixel(image, point), colour) << "at " << point.x() << "," << point.y();
}

QPoint CellCentre(const CGridCtrl& grid, int row, int col) {
    QRect rect;
    grid.GetCellRect(row, col, rect);
    return rect.center();
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint point, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(type, QPointF(point), QPointF(widget->mapToGlobal(point)), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers) {
    SendMouse(widget, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton, modifiers);
    SendMouse(widget, QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton, modifiers);
}

void Drag(QWidget* widget, QPoint from, QPoint to) {
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void Hover(QWidget* widget, QPoint point) {
    SendMouse(widget, QEvent::MouseMove, point, Qt::NoButton, Qt::NoButton);
}

void SendWheel(QWidget* widget, QPoint point, int delta) {
    QWheelEvent event(QPointF(point), QPointF(widget->mapToGlobal(point)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

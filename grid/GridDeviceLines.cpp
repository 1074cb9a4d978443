#include "grid/GridDeviceLines.h"

#include <QPaintDevice>

#include <cmath>

CGridDeviceLines::CGridDeviceLines(QPainter& dc) : m_Dc(dc), m_ToDevice(dc.deviceTransform()) {
    const bool printer = dc.device() != nullptr && dc.device()->devType() == QInternal::Printer;
    const bool wholePixels = m_ToDevice.type() <= QTransform::TxTranslate &&
                             m_ToDevice.dx() == std::floor(m_ToDevice.dx()) &&
                             m_ToDevice.dy() == std::floor(m_ToDevice.dy());
    m_Logical = printer || wholePixels || m_ToDevice.type() > QTransform::TxScale;
    if (!m_Logical) {
        // Draw in device pixels: undo whatever lies between the world and the device.
        const QTransform base = dc.worldTransform().inverted() * m_ToDevice;
        m_Dc.save();
        m_Dc.setWorldTransform(base.inverted());
    }
}

CGridDeviceLines::~CGridDeviceLines() {
    if (!m_Logical) {
        m_Dc.restore();
    }
}

void CGridDeviceLines::Vertical(int x, int top, int bottom, const QColor& colour, bool nearSide) {
    if (bottom < top) {
        return;
    }
    if (m_Logical) {
        m_Dc.fillRect(QRect(x, top, 1, bottom - top + 1), colour);
        return;
    }
    const QPointF start = m_ToDevice.map(QPointF(x, top));
    const QPointF end = m_ToDevice.map(QPointF(x + 1, bottom + 1));
    const int column = nearSide ? int(std::lround(start.x())) : int(std::lround(end.x())) - 1;
    const int first = int(std::lround(start.y()));
    m_Dc.fillRect(QRect(column, first, 1, int(std::lround(end.y())) - first), colour);
}

void CGridDeviceLines::Horizontal(int y, int left, int right, const QColor& colour, bool nearSide) {
    if (right < left) {
        return;
    }
    if (m_Logical) {
        m_Dc.fillRect(QRect(left, y, right - left + 1, 1), colour);
        return;
    }
    const QPointF start = m_ToDevice.map(QPointF(left, y));
    const QPointF end = m_ToDevice.map(QPointF(right + 1, y + 1));
    const int row = nearSide ? int(std::lround(start.y())) : int(std::lround(end.y())) - 1;
    const int first = int(std::lround(start.x()));
    m_Dc.fillRect(QRect(first, row, int(std::lround(end.x())) - first, 1), colour);
}

#include "grid/GridTitleTip.h"

#include "grid/GridColours.h"
#include "grid/GridText.h"
#include "grid/GridTypes.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

CGridTitleTip::CGridTitleTip(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_Owner(owner) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
}

void CGridTitleTip::Show(const QRect& hoverRect, const QRect& tipRect, const QString& text, const QFont& font,
                         const QColor& textColour, const QColor& backColour, int margin, unsigned format) {
    m_HoverRect = hoverRect;
    m_Text = text;
    m_Font = font;
    m_TextColour = textColour;
    m_BackColour = backColour;
    m_Margin = margin;
    m_Format = format;
    setGeometry(QRect(m_Owner->mapToGlobal(tipRect.topLeft()), tipRect.size()));
    show();
    raise();
    update();
}

void CGridTitleTip::Hide() {
    if (m_ButtonDown && (QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        return;
    }
    m_ButtonDown = false;
    if (isVisible()) {
        hide();
    }
    if (QWidget::mouseGrabber() == this) {
        releaseMouse();
    }
}

void CGridTitleTip::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    dc.fillRect(rect(), m_BackColour);
    dc.setPen(QPen(ToQColor(SystemColour(COLOR_3DDKSHADOW)), 0));
    dc.drawRect(rect().adjusted(0, 0, -1, -1));
    dc.setFont(m_Font);
    dc.setPen(m_TextColour);
    // The whole text on one line: that is what the tip is for.
    const unsigned format =
        (m_Format & ~(DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) | DT_NOPREFIX;
    DrawCellText(dc, rect().adjusted(m_Margin + 1, 1, -1, -1), m_Text, format & ~(DT_CENTER | DT_RIGHT));
}

void CGridTitleTip::mouseMoveEvent(QMouseEvent* event) {
    if (m_ButtonDown) {
        // A drag that began on the tip is the grid's drag.
        PassToOwner(event);
        return;
    }
    const QPoint global = event->globalPosition().toPoint();
    if (m_HoverRect.contains(m_Owner->mapFromGlobal(global))) {
        return;
    }
    Hide();
    // The move that ended the tip belongs to whatever lies under the pointer now.
    QWidget* target = QApplication::widgetAt(global);
    if (target == nullptr || target == this) {
        target = m_Owner;
    }
    QMouseEvent forwarded(QEvent::MouseMove, QPointF(target->mapFromGlobal(global)), event->globalPosition(),
                          event->button(), event->buttons(), event->modifiers());
    QApplication::sendEvent(target, &forwarded);
}

void CGridTitleTip::PassToOwner(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    QMouseEvent forwarded(event->type(), QPointF(m_Owner->mapFromGlobal(global)), event->globalPosition(),
                          event->button(), event->buttons(), event->modifiers());
    QApplication::sendEvent(m_Owner, &forwarded);
}

void CGridTitleTip::mousePressEvent(QMouseEvent* event) {
    m_ButtonDown = event->button() == Qt::LeftButton || m_ButtonDown;
    PassToOwner(event);
}

void CGridTitleTip::mouseReleaseEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        m_ButtonDown = false;
        Hide();
    }
    PassToOwner(event);
}

void CGridTitleTip::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void CGridTitleTip::leaveEvent(QEvent*) {
    // The tip covers its whole cell, so a pointer that leaves the tip has left the cell too.
    Hide();
}

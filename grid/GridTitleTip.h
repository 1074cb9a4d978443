#pragma once
// The pop-up that shows a cell's whole text while the pointer rests on a cell too narrow for it.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

class CGridTitleTip : public QWidget {
    Q_OBJECT

public:
    // owner: the widget whose coordinates the hover rectangle is given in (the grid's client area).
    explicit CGridTitleTip(QWidget* owner);

    // Places the tip over tipRect (owner coordinates) and shows it without taking the focus.
    void Show(const QRect& hoverRect, const QRect& tipRect, const QString& text, const QFont& font,
              const QColor& textColour, const QColor& backColour, int margin, unsigned format);
    // While a button pressed on the tip is down the tip stays until its release, so that the window
    // system gives the release to the tip and the tip passes press and release on as a pair.
    void Hide();
    const QRect& HoverRect() const { return m_HoverRect; }
    const QString& TipText() const { return m_Text; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PassToOwner(QMouseEvent* event);

    QWidget* m_Owner = nullptr;
    QRect m_HoverRect;
    QString m_Text;
    QFont m_Font;
    QColor m_TextColour;
    QColor m_BackColour;
    int m_Margin = 0;
    unsigned m_Format = 0;
    bool m_ButtonDown = false;
};

#include "grid/GridInPlaceEdit.h"

#include "grid/GridTypes.h"

#include <QKeyEvent>

#include <algorithm>

namespace {

bool IsNavigationKey(int key) {
    return key >= Qt::Key_Home && key <= Qt::Key_PageDown;
}

bool IsCaretKey(int key) {
    return key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_Up || key == Qt::Key_Down;
}

} // namespace

CGridInPlaceEdit::CGridInPlaceEdit(QWidget* parent, const QRect& rect, unsigned format, const QFont& font,
                                   int controlId, int row, int col, const QString& text, int firstChar)
    : QLineEdit(parent), m_Row(row), m_Col(col), m_ControlId(controlId), m_FirstChar(firstChar),
      m_ExitOnArrows(firstChar != StartedByMouse), m_InitialText(text), m_Rect(rect) {
    setFont(font);
    setFrame(true);
    if (format & DT_RIGHT) {
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    } else if (format & DT_CENTER) {
        setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    } else {
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    setText(text);
    setGeometry(rect);
    hide();
}

void CGridInPlaceEdit::Start() {
    show();
    setFocus(Qt::OtherFocusReason);
    const int first = m_FirstChar;
    if (first == StartedByMouse || first == Qt::Key_Return || first == Qt::Key_Enter ||
        first == Qt::Key_Backspace) {
        deselect();
        setCursorPosition(int(text().size()));
        return;
    }
    selectAll();
    if (first == Qt::Key_Tab || first == ' ' || IsNavigationKey(first) || first <= 0) {
        return;
    }
    // Any other character replaces the text.
    const char32_t code = char32_t(first);
    insert(QString::fromUcs4(&code, 1));
    FitToText();
}

void CGridInPlaceEdit::EndEdit() {
    if (m_Ending) {
        return;
    }
    m_Ending = true;
    emit EditEnded(m_Row, m_Col, text(), m_LastKey);
}

bool CGridInPlaceEdit::event(QEvent* event) {
    // Tab ends the edit instead of moving the focus on.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CGridInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (IsCaretKey(key)) {
        if (m_ExitOnArrows || (event->modifiers() & Qt::ControlModifier)) {
            m_LastKey = key;
            EndEdit();
            return;
        }
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_LastKey = key;
        EndEdit();
        return;
    }
    if (key == Qt::Key_Escape) {
        setText(m_InitialText);
        m_LastKey = key;
        EndEdit();
        return;
    }
    QLineEdit::keyPressEvent(event);
    FitToText();
}

void CGridInPlaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    EndEdit();
}

void CGridInPlaceEdit::FitToText() {
    if (parentWidget() == nullptr) {
        return;
    }
    const int wanted = fontMetrics().horizontalAdvance(text() + QStringLiteral("  ")) +
                       (width() - contentsRect().width()) + textMargins().left() + textMargins().right() + 4;
    const int room = parentWidget()->width() - x();
    const int newWidth = std::min(wanted, room);
    if (newWidth > width()) {
        resize(newWidth, height());
    }
}

#pragma once
// The single-line edit laid over a cell while its text is edited in place.

#include <QLineEdit>
#include <QRect>
#include <QString>

class CGridInPlaceEdit : public QLineEdit {
    Q_OBJECT

public:
    // First "character" values that are not characters: a mouse button press. Keys are Qt::Key values.
    static constexpr int StartedByMouse = 1;

    CGridInPlaceEdit(QWidget* parent, const QRect& rect, unsigned format, const QFont& font, int controlId,
                     int row, int col, const QString& text, int firstChar);

    // Shows the edit, takes the focus and places the caret as the starting character asks.
    void Start();
    // Reports the text and closes; runs once.
    void EndEdit();

    int Row() const { return m_Row; }
    int Col() const { return m_Col; }
    int ControlId() const { return m_ControlId; }
    int LastKey() const { return m_LastKey; }
    const QString& InitialText() const { return m_InitialText; }

signals:
    void EditEnded(int row, int col, const QString& text, int lastKey);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void FitToText();

    int m_Row = -1;
    int m_Col = -1;
    int m_ControlId = 0;
    int m_FirstChar = 0;
    int m_LastKey = 0;
    bool m_ExitOnArrows = true;
    bool m_Ending = false;
    QString m_InitialText;
    QRect m_Rect;
};

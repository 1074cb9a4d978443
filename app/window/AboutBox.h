#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <array>

// The about box: the program's icon, name and version, and an OK button.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

private:
    QLabel m_Icon{this};
    std::array<QLabel, 4> m_Lines;
    QPushButton m_Ok{QStringLiteral("OK"), this};
};

#include "app/window/AboutBox.h"

#include "app/window/DialogUnits.h"

#include <QIcon>

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About KavelApplication"));
    const DialogUnits units(font());
    setFixedSize(units.X(235), units.Y(81));

    m_Icon.setPixmap(QIcon(QStringLiteral(":/eventmanager.png")).pixmap(units.X(21), units.X(21)));
    m_Icon.setGeometry(units.Rect(11, 17, 21, 21));

    const QString texts[] = {
        QStringLiteral("KavelApplication Version 1.0"),
        QStringLiteral("Tool for monitoring events in q.rix configured"),
        QStringLiteral("projects and starting the tools that handle them."),
        QStringLiteral("Copyright (C) Kavel"),
    };
    for (std::size_t i = 0; i < m_Lines.size(); ++i) {
        m_Lines[i].setParent(this);
        m_Lines[i].setText(texts[i]);
        m_Lines[i].setGeometry(units.Rect(40, 10 + 10 * static_cast<int>(i), 188, 8));
    }

    m_Ok.setObjectName(QStringLiteral("IDOK"));
    m_Ok.setDefault(true);
    m_Ok.setGeometry(units.Rect(178, 60, 50, 14));
    connect(&m_Ok, &QPushButton::clicked, this, &QDialog::accept);
}

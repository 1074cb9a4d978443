#include "app/window/EventManagerApp.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("q.rix Event Manager"));
    InstallMessageBoxes();
    return EventManagerApp().InitInstance();
}

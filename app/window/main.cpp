#include "app/window/EventManagerApp.h"
#include "platform/StandardDescriptors.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Before anything opens a file that could become standard output.
    OpenClosedStandardDescriptors();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("q.rix Event Manager"));
    InstallMessageBoxes();
    return EventManagerApp().InitInstance();
}

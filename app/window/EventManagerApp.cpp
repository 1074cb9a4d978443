#include "app/window/EventManagerApp.h"

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "app/window/EventManagerWindow.h"
#include "app/window/TerminationSignals.h"

#include <QMessageBox>

void InstallMessageBoxes() {
    SetModalBoxHandler([](void* owner, const std::string& text, const std::string& title, unsigned style) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (style & 0xF0u) {
        case MB_ICONHAND:
            icon = QMessageBox::Critical;
            break;
        case MB_ICONQUESTION:
            icon = QMessageBox::Question;
            break;
        case MB_ICONEXCLAMATION:
            icon = QMessageBox::Warning;
            break;
        case MB_ICONASTERISK:
            icon = QMessageBox::Information;
            break;
        default:
            break;
        }
        QMessageBox box(icon, QString::fromLocal8Bit(title.c_str()), QString::fromLocal8Bit(text.c_str()),
                        QMessageBox::Ok, static_cast<QWidget*>(owner));
        if (style & MB_TOPMOST)
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
        return IDOK;
    });
}

EventManagerApp::EventManagerApp(std::string lockName) : m_LockName(std::move(lockName)) {}

int EventManagerApp::InitInstance() {
    SingleInstanceLock lock(m_LockName);
    if (lock.Result() != SingleInstanceLock::Outcome::Acquired) {
        // Without the lock another instance may observe too and every tool would run twice.
        std::string text = LoadString(IDS_ONLY_ONE_INSTANCE);
        if (lock.Result() == SingleInstanceLock::Outcome::Failed)
            text +=
                "\n\nThe single-instance lock " + lock.LockPath() + " cannot be taken: " + lock.ErrorText();
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        ShowSystemMessage(nullptr, 0, text, MB_ICONHAND, true);
        return 1;
    }

    EventManagerWindow window;
    TerminationSignals terminations;
    // SIGTERM and SIGINT close the window as Escape does (deactivate, save, end),
    // also while a dialog or message box of the window is open.
    QObject::connect(&terminations, &TerminationSignals::Received, &window, &EventManagerWindow::Stop);
    window.Open();
    // Closed while the start-up ran (a stop request in its file dialog): not shown again.
    if (!window.IsClosed())
        window.exec();
    return 0;
}

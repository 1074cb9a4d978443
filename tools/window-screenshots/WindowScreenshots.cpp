// Opens the main window on the settings beside this program and saves pictures
// of it in its three states: locked (as loaded), ready and observing, and of the
// newest run of a tool as "Last run…" shows it. Used to keep the pictures in
// docs/ current:
//   window-screenshots OUTPUT_FOLDER [SECONDS_TO_OBSERVE]
#include "app/core/AppSettings.h"
#include "app/window/EventManagerApp.h"
#include "app/window/EventManagerWindow.h"
#include "app/window/LastRunDialog.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <iostream>

namespace {

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget& window, const QString& path) {
    const bool ok = window.grab().save(path);
    std::cout << (ok ? "wrote " : "could not write ") << path.toStdString() << std::endl;
    return ok;
}

// The tool that ended last, a failed one first, as "Last run…" shows it.
bool SaveLastRun(EventManagerWindow& window, const QString& path) {
    const EventManagerDialog& logic = window.Logic();
    int newest = -1;
    std::pair<bool, std::int64_t> newestKey;
    for (int bit = 0; bit < ToolSlotCount; ++bit) {
        const std::optional<RunRecord> run = logic.LastRun(bit);
        if (!run)
            continue;
        const std::pair key{RunFailed(*run), run->EndMilliseconds};
        if (newest < 0 || key > newestKey) {
            newest = bit;
            newestKey = key;
        }
    }
    if (newest < 0) {
        std::cerr << "no tool has run\n";
        return false;
    }
    LastRunDialog box(newest, logic.LastRun(newest), logic.OutputFilePath(newest), &window);
    box.show();
    Settle(300);
    return Save(box, path);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: window-screenshots OUTPUT_FOLDER [SECONDS_TO_OBSERVE]\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int observeMs = argc > 2 ? std::atoi(argv[2]) * 1000 : 8000;
    SetSettingsFilePath(DirectoryPart(ProgramPath()) + "/eventmanager.KAVELCFG");
    InstallMessageBoxes();

    EventManagerWindow window;
    window.Open();
    Settle(500);
    EventManagerDialog& logic = window.Logic();
    bool ok = true;
    if (logic.ObservationActive) {
        logic.OnDeactivateButton();
        Settle(300);
    }
    // Locked: what the window shows while a configuration is reloaded.
    logic.ControlStateCode = 255;
    logic.UpdateControlStates();
    ok = Save(window, folder + "/window-locked.png") && ok;
    logic.LoadConfiguration();
    Settle(300);
    ok = Save(window, folder + "/window-ready.png") && ok;
    if (window.Control(IDC_ACTIVATE_OBSERVATION)->isEnabled()) {
        logic.OnActivateButton();
        Settle(observeMs);
        ok = Save(window, folder + "/window-observing.png") && ok;
        ok = SaveLastRun(window, folder + "/last-run.png") && ok;
    } else {
        std::cerr << "the configuration cannot be activated\n";
        ok = false;
    }
    window.reject();
    return ok ? 0 : 1;
}

#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "app/logic/EventManagerDialog.h"
#include "platform/Paths.h"
#include "platform/SingleInstanceLock.h"
#include "platform/StandardDescriptors.h"
#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ConsoleToolTable.h"
#include "tools/eventmanager-headless/ControlRequests.h"
#include "tools/eventmanager-headless/HeadlessObserver.h"
#include "tools/eventmanager-headless/LineWriter.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Usage =
    "Usage: eventmanager-headless [--log-runs] [--reload | --help | --version]\n"
    "\n"
    "Observes the event variable of the configuration that the event manager's\n"
    "window uses, without a window, and starts the configured tools.\n"
    "\n"
    "It reads the window program's settings file eventmanager.KAVELCFG beside\n"
    "itself (project file, configuration in use, simulation mode), loads the\n"
    "configuration and activates observation whatever \"Start when application is\n"
    "opened\" says. Every line of the message list goes to standard output with a\n"
    "time stamp. Output that is lost or not read never stops observation: lines\n"
    "that do not fit into the queue are dropped and counted. Only one event\n"
    "manager runs at a time, window or not, whoever started it.\n"
    "\n"
    "Every run of a tool is recorded in Temp/runs.jsonl beside the program, and\n"
    "what a tool writes to standard output and error goes to Temp/slot-NN.log (NN\n"
    "its row in the tool table; the newest 256 KiB are kept). A run that fails (exit\n"
    "code other than 0, ended by a signal, not started) gets a line; with --log-runs\n"
    "every run does.\n"
    "\n";

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a file that could become standard output.
    OpenClosedStandardDescriptors();
    bool logRuns = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 && argc == 2) {
            std::fputs(Usage, stdout);
            std::fputs(ControlRequestsUsage(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 && argc == 2) {
            std::printf("eventmanager-headless %s\n", KAVEL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--reload") == 0 && argc == 2)
            return SendReloadRequest();
        if (std::strcmp(argv[i], "--log-runs") == 0) {
            logRuns = true;
            continue;
        }
        std::fprintf(stderr, "eventmanager-headless: unknown option '%s'\n\n%s%s", argv[i], Usage,
                     ControlRequestsUsage());
        return 2;
    }

    LineWriter output(1);
    ConsoleLog log(output, StandardOutputIsJournal());
    const std::string settingsFile = DirectoryPart(ProgramPath()) + PathSeparator + "eventmanager.KAVELCFG";
    SetSettingsFilePath(settingsFile);

    const SingleInstanceLock instanceLock;
    if (instanceLock.Result() == SingleInstanceLock::Outcome::HeldElsewhere) {
        log.WriteLine(LoadString(IDS_ONLY_ONE_INSTANCE));
        return 1;
    }
    if (instanceLock.Result() == SingleInstanceLock::Outcome::Failed) {
        log.WriteLine("The single-instance lock " + instanceLock.LockPath() +
                      " cannot be taken, so the observer does not start: " + instanceLock.ErrorText());
        return 1;
    }

    ControlRequests requests;
    WakeUpChannel wakeUp;
    if (!requests.IsValid() || !wakeUp.IsValid()) {
        log.WriteLine("The handling of stop and reload requests could not be set up");
        return 1;
    }
    log.WriteLine("Settings file: " + settingsFile);

    ConsoleControls controls(log, wakeUp, settingsFile);
    ConsoleToolTable table(log);
    EventManagerDialog dialog(controls, table);
    dialog.SaveSettingsOnClose = false;
    dialog.LogRuns = logRuns;
    ServiceNotifier notifier(dialog.PollCycles);
    HeadlessObserver observer(dialog, controls, log, wakeUp, requests, notifier);
    return observer.Run();
}

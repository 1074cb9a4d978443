#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "app/logic/EventManagerDialog.h"
#include "platform/Paths.h"
#include "platform/SingleInstanceLock.h"
#include "platform/StandardDescriptors.h"
#include "tools/eventmanager-headless/ConsoleControls.h"
#include "tools/eventmanager-headless/ConsoleLog.h"
#include "tools/eventmanager-headless/ConsoleToolTable.h"
#include "tools/eventmanager-headless/HeadlessObserver.h"
#include "tools/eventmanager-headless/LineWriter.h"
#include "tools/eventmanager-headless/ServiceNotifier.h"
#include "tools/eventmanager-headless/SignalPipe.h"
#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* Usage =
    "Usage: eventmanager-headless [--log-runs] [--help | --version]\n"
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
    "\n"
    "Under systemd (a unit of Type=notify) it reports ready, reloading, stopping and\n"
    "its status, pings the watchdog while the poll cycle runs, and gives the lines\n"
    "their journal priority when standard output is the journal.\n"
    "\n"
    "Signals:\n"
    "  SIGHUP           deactivate, read the settings and the configuration again, activate\n"
    "  SIGTERM, SIGINT  deactivate (running tools are stopped and acknowledged) and exit 0,\n"
    "                   also when they cut the start or a reload short\n"
    "\n"
    "Exit status: 0 after SIGTERM or SIGINT; 1 when another event manager runs, the\n"
    "single-instance lock cannot be taken, no usable configuration loads or observation\n"
    "cannot start (the lines before say why); 2 for a wrong option.\n";

} // namespace

int main(int argc, char** argv) {
    // Before anything opens a file that could become standard output.
    OpenClosedStandardDescriptors();
    // A reader that went away costs lines, never the observation; tools are
    // started with the default dispositions whatever this process ignores.
    std::signal(SIGPIPE, SIG_IGN);
    bool logRuns = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 && argc == 2) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 && argc == 2) {
            std::printf("eventmanager-headless %s\n", KAVEL_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--log-runs") == 0) {
            logRuns = true;
            continue;
        }
        std::fprintf(stderr, "eventmanager-headless: unknown option '%s'\n\n%s", argv[i], Usage);
        return 2;
    }

    LineWriter output(STDOUT_FILENO);
    ConsoleLog log(output, StandardOutputIsJournal());
    const std::string settingsFile = DirectoryPart(ProgramPath()) + "/eventmanager.KAVELCFG";
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

    SignalPipe signals({SIGHUP, SIGTERM, SIGINT});
    WakeUpChannel wakeUp;
    if (!signals.IsValid() || !wakeUp.IsValid()) {
        log.WriteLine("The signal handling could not be set up");
        return 1;
    }
    log.WriteLine("Settings file: " + settingsFile);

    ConsoleControls controls(log, wakeUp, settingsFile);
    ConsoleToolTable table(log);
    EventManagerDialog dialog(controls, table);
    dialog.SaveSettingsOnClose = false;
    dialog.LogRuns = logRuns;
    ServiceNotifier notifier(dialog.PollCycles);
    HeadlessObserver observer(dialog, controls, log, wakeUp, signals, notifier);
    return observer.Run();
}

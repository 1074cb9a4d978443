#include "tools/eventmanager-headless/ControlRequests.h"

#include "platform/ErrorText.h"
#include "platform/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

// Only one event manager runs at a time (the single-instance mutex), so one
// fixed name serves every session: a service in session 0 included.
constexpr const wchar_t* ReloadEventName = L"Global\\KavelEventManagerReload";
constexpr DWORD NoStop = ~DWORD{0};
// Longer than the system gives a handler for close, log-off and shut-down: the
// process ends when main returns (exit status 0) or when the system's time is up.
constexpr DWORD CloseGraceMs = 30000;

// The handler runs on a thread the system creates, so it only touches these.
std::atomic<DWORD> PendingStop{NoStop};
std::atomic<HANDLE> StopArrived{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
    DWORD expected = NoStop;
    PendingStop.compare_exchange_strong(expected, type);
    if (const HANDLE arrived = StopArrived.load())
        ::SetEvent(arrived);
    // Returning would let the system end the process at once, before the tools
    // are stopped: wait here until main has stopped them and returns.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        ::Sleep(CloseGraceMs);
    return TRUE;
}

std::string ControlName(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
        return "Console closed";
    case CTRL_LOGOFF_EVENT:
        return "Log-off";
    case CTRL_SHUTDOWN_EVENT:
        return "Shut-down";
    default:
        return "Console event " + std::to_string(type);
    }
}

} // namespace

struct ControlRequests::State {
    UniqueHandle Arrived{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle Reload{::CreateEventW(nullptr, FALSE, FALSE, ReloadEventName)};
    bool ReloadSeen = false;
    bool StopTaken = false;
    bool Valid = false;
};

ControlRequests::ControlRequests() : m_State(std::make_unique<State>()) {
    if (!m_State->Arrived.IsValid() || !m_State->Reload.IsValid())
        return;
    StopArrived = m_State->Arrived.Get();
    // A parent that started us in a process group of our own has switched Ctrl+C off.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    m_State->Valid = ::SetConsoleCtrlHandler(OnConsoleControl, TRUE) != FALSE;
}

ControlRequests::~ControlRequests() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    StopArrived = nullptr;
}

bool ControlRequests::IsValid() const {
    return m_State->Valid;
}

ControlRequest ControlRequests::Take() {
    const DWORD stop = PendingStop.load();
    if (stop != NoStop && !m_State->StopTaken) {
        m_State->StopTaken = true;
        return {ControlRequest::Kind::Stop, ControlName(stop)};
    }
    if (m_State->ReloadSeen || ::WaitForSingleObject(m_State->Reload.Get(), 0) == WAIT_OBJECT_0) {
        m_State->ReloadSeen = false;
        return {ControlRequest::Kind::Reload, "Reload request"};
    }
    return {};
}

ControlRequests::WaitResult ControlRequests::Wait(const WakeUpChannel& wakeUp, int timeoutMs) {
    const HANDLE handles[3] = {m_State->Arrived.Get(), m_State->Reload.Get(), wakeUp.Get()};
    const DWORD result =
        ::WaitForMultipleObjects(3, handles, FALSE, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    WaitResult outcome;
    if (result == WAIT_FAILED) {
        outcome.Failed = true;
        return outcome;
    }
    // The reload event resets itself when a wait takes it: remember it for Take.
    if (result == WAIT_OBJECT_0 + 1)
        m_State->ReloadSeen = true;
    outcome.WokenUp = result == WAIT_OBJECT_0 + 2 || ::WaitForSingleObject(wakeUp.Get(), 0) == WAIT_OBJECT_0;
    return outcome;
}

int SendReloadRequest() {
    const UniqueHandle reload(::OpenEventW(EVENT_MODIFY_STATE, FALSE, ReloadEventName));
    if (!reload.IsValid()) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            std::fputs("eventmanager-headless: no observer runs\n", stderr);
        else
            std::fprintf(stderr, "eventmanager-headless: the reload request cannot be sent: %s",
                         ErrorText(static_cast<int>(error)).c_str());
        return 1;
    }
    if (!::SetEvent(reload.Get())) {
        std::fprintf(stderr, "eventmanager-headless: the reload request cannot be sent: %s",
                     LastErrorText().c_str());
        return 1;
    }
    std::puts("Reload requested");
    return 0;
}

const char* ControlRequestsUsage() {
    return "Stopping and reloading:\n"
           "  Ctrl+C, Ctrl+Break, closing the console, log-off, shut-down\n"
           "                   deactivate (running tools are stopped and acknowledged) and exit 0,\n"
           "                   also when they cut the start or a reload short\n"
           "  eventmanager-headless --reload\n"
           "                   makes the observer that runs deactivate, read the settings and the\n"
           "                   configuration again and activate (named event\n"
           "                   Global\\KavelEventManagerReload)\n"
           "\n"
           "Exit status: 0 after a stop request; 1 when another event manager runs, the\n"
           "single-instance lock cannot be taken, no usable configuration loads or observation\n"
           "cannot start (the lines before say why), and for --reload when no observer runs;\n"
           "2 for a wrong option.\n";
}

#include "tools/eventmanager-headless/WakeUpChannel.h"

#include <windows.h>

// Manual reset: it stays signalled until the main loop has seen it.
WakeUpChannel::WakeUpChannel() : m_Handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void WakeUpChannel::Signal() {
    ::SetEvent(m_Handle.Get());
}

void WakeUpChannel::Clear() {
    ::ResetEvent(m_Handle.Get());
}

#pragma once

#include "events/NativeHandle.h"

// Wakes the main loop from any thread without blocking: an eventfd on POSIX,
// an event object on Windows. The main loop waits for it and then clears it.
class WakeUpChannel {
public:
    WakeUpChannel();

    bool IsValid() const { return m_Handle.IsValid(); }
    auto Get() const { return m_Handle.Get(); }
    void Signal();
    void Clear();

private:
    NativeHandle m_Handle;
};

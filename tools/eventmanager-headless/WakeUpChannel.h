#pragma once

#include "platform/UniqueFd.h"

// An eventfd that any thread may signal without blocking; the main loop waits
// for it to become readable and then clears it.
class WakeUpChannel {
public:
    WakeUpChannel();

    bool IsValid() const { return m_Fd.IsValid(); }
    int Descriptor() const { return m_Fd.Get(); }
    void Signal();
    void Clear();

private:
    UniqueFd m_Fd;
};

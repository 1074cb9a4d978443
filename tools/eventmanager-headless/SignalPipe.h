#pragma once

#include "platform/UniqueFd.h"

#include <initializer_list>
#include <vector>

// Turns SIGHUP, SIGTERM and the like into bytes on a pipe: the handler only
// writes the signal's number, and the main loop reads and acts on it.
// One instance per process; the handlers are restored when it goes.
class SignalPipe {
public:
    explicit SignalPipe(std::initializer_list<int> signals);
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool IsValid() const { return m_Valid; }
    int Descriptor() const { return m_ReadEnd.Get(); }
    // The next signal that arrived, or 0 when none is waiting.
    int TakeSignal();

private:
    UniqueFd m_ReadEnd;
    UniqueFd m_WriteEnd;
    bool m_Valid = false;
    std::vector<int> m_Signals;
};

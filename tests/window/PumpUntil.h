#pragma once

#include "tests/support/WaitUntil.h"

#include <QApplication>

#include <chrono>
#include <functional>

// Runs the window's events until `condition` holds, for 20 s at most.
inline bool PumpUntil(const std::function<bool()>& condition) {
    return WaitUntil(
        [&] {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            return condition();
        },
        std::chrono::seconds(20));
}

#pragma once

#include "platform/SingleInstanceLock.h"

#include <string>

// The program's life: one instance at a time, the main window, the end.
class EventManagerApp {
public:
    explicit EventManagerApp(std::string lockName = SingleInstanceLock::DefaultName);

    // Runs the whole life of the program and returns its exit code. A second
    // instance, or one that cannot take the single-instance lock, shows why it
    // ends and returns 1 without opening a window.
    int InitInstance();

private:
    std::string m_LockName;
};

// Shows the modal system messages as Qt message boxes.
void InstallMessageBoxes();

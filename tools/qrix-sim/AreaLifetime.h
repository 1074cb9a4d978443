#pragma once

#include "tools/qrix-sim/SharedArea.h"

#include <atomic>
#include <string>
#include <vector>

// How long the simulator's areas live differs by system: POSIX areas stay in
// the system until they are removed; a Windows file mapping lives only while a
// handle to it is open, so there `create` keeps running and holds them.

// Ctrl+C (and SIGTERM, Ctrl+Break or closing the console) sets `stop`.
void InstallStopHandlers(std::atomic<bool>& stop);

// What `create` does once both areas exist: POSIX returns at once, the areas
// stay; Windows holds them until `stop` or a `qrix-sim remove` of one of them.
int KeepCreatedAreas(std::vector<SharedArea> areas, const std::atomic<bool>& stop);

// "NAME: cannot ACTION: reason" with the system's text for `errorNumber`.
std::string AreaFailureText(const std::string& name, const std::string& action, int errorNumber);

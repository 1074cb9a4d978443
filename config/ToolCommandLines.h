#pragma once

#include "config/ProjectPaths.h"
#include "config/ToolSlot.h"
#include "config/ToolTable.h"

#include <array>

struct AppSettings;

// Fills the slots and the table rows 1..16 from the configuration in use:
// the command line with its placeholders replaced, whether the program exists
// (unless "@NO_PATHCHECK" is in its path or tool), the program and arguments the
// tool runner starts, and each row black on white or, for a program not found,
// white on red. Nothing happens while the table has no window.
void PrepareToolSlots(std::array<ToolSlot, ToolSlotCount>& slots, const AppSettings& settings,
                      const ProjectPaths& paths, ToolTable& table);

// Colours one cell of a slot's row by its Runnable flag.
void SetRowColours(const ToolSlot& slot, ToolTable& table, int row, int column);

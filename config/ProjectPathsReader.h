#pragma once

#include "config/ProjectPaths.h"

// Reads the "PathData" of the project file named in the settings into `paths`,
// replacing "@KAVEL_PATH" by the program's folder, and the controller address
// from the project's variable definition file. A missing or empty element keeps
// the field's earlier value. False when there is no project file (reported), it
// cannot be loaded, or "AdvancedPara", "KavelPara" or "PathData" is missing.
bool ReadProjectPaths(ProjectPaths& paths);

#pragma once

// Puts /dev/null on each of the descriptors 0, 1 and 2 that is closed, so that
// the next file the program opens cannot become its input or output. Call it
// first in main, before anything opens a file. False when one stays closed.
bool OpenClosedStandardDescriptors();

#pragma once

#include "platform/UniqueFd.h"

#include <string>

// Opens or creates (mode 0644) a regular file for the run files with `flags`
// besides O_CREAT. A link is not followed and a fifo, device or folder under the
// name is refused without waiting for it; `error` then says why.
UniqueFd OpenRegularFile(const std::string& path, int flags, std::string& error);

// The system's description of an error number as part of a line (no line break).
std::string ErrorReason(int errorNumber);
// The same for errno, taken at once.
std::string LastErrorReason();

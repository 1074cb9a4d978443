#pragma once

#include <string>

// The system's description of `errno` of the calling thread, ending with a line
// break; "Unknown Error " when there is none. Call it right after the failing call.
std::string LastErrorText();
// The same for a given error number.
std::string ErrorText(int errorNumber);

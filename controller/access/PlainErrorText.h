#pragma once

#include <string>

// The system's text for an error number without the line break that ends it,
// for texts that go on after it.
std::string PlainErrorText(int errorNumber);

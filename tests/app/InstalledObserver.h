#pragma once

#include <string>

// Copies the headless observer, and the access library it loads from beside
// itself, into `folder`, so that it keeps its settings file there. Its path.
std::string InstallObserver(const std::string& folder);

#pragma once

#include <cstddef>
#include <string>

// The file mapping's name for an area named "/NAME" portably.
std::string MappingName(const std::string& name);
// Bytes mapped from `address` on: the mapping's size rounded up to whole pages.
std::size_t MappedRegionSize(const void* address);

#pragma once

#include <cstdint>
#include <string>

// The event bits a command works on: "all", a list of bit numbers and ranges
// ("0,3,8-11"), or a mask ("0x0109"). Only bits 0 to 15 carry events.
bool ParseBitSelection(const std::string& text, std::uint16_t& mask, std::string& error);
// "0,3,8" (empty for no bit).
std::string FormatBitList(std::uint32_t mask);

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Unsigned decimal (a leading zero does not mean octal) or, with "0x", hexadecimal.
bool ParseNumber(const std::string& text, std::uint64_t& value);

// Bytes written as hexadecimal pairs, one or more per word ("01 80", "0x0180").
bool ParseHexBytes(const std::vector<std::string>& words, std::vector<std::uint8_t>& bytes,
                   std::string& error);
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);
std::string FormatHex32(std::uint32_t value);

#pragma once

#include <cstdint>
#include <string>

// Numbers written as attribute and profile values, read the way "%u" and "%x"
// read them: leading white space, an optional sign, digits up to the first
// character that does not fit. A minus sign negates modulo 2^32 ("-1" gives
// 4294967295); digits beyond 32 bits keep the low 32 bits. False (and `value`
// unchanged) when the text does not begin with a number.
bool ScanUnsignedDecimal(const std::string& text, std::uint32_t& value);
// As above with hexadecimal digits of either case after an optional "0x" or "0X".
bool ScanHexadecimal(const std::string& text, std::uint32_t& value);

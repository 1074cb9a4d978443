#pragma once

#include <cstdint>
#include <string>

// Data types are carried by name as the summary file writes them and compared
// exactly: "BOOL", "SINT8", "USINT8", "SET8", "SINT16", "USINT16", "SET16",
// "SINT32", "USINT32", "SET32", "FLOAT", "DOUBLE". Any other name is unknown.

// Size in bytes, 0 for an unknown name.
int GetDataTypeSize(const std::string& dataTypeName);

// 10^precision * value truncated toward zero. The 64-bit intermediate saturates:
// values at or beyond its range give its largest or smallest value, NaN gives 0.
std::int64_t ScaleToInteger(double value, int precision);

// Writes the raw bytes of value, lowest byte first, into raw (at least 8 bytes):
// integer types take the lowest bytes of ScaleToInteger, FLOAT and DOUBLE the
// unscaled IEEE 754 value. False, with nothing written, for an unknown name.
bool ValueToRaw(const std::string& dataTypeName, int precision, double value, unsigned char* raw);

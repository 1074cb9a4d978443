#pragma once

#include <optional>
#include <string>

// The leading floating-point number of `text` as strtod reads it in the C locale
// (blanks skipped, a decimal point whatever the user's locale says); none when
// the text does not start with one.
std::optional<double> LeadingClassicDouble(const std::string& text);

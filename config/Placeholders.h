#pragma once

#include <string>

// Replaces every occurrence of `placeholder` in `text` by `value`, scanning once
// from left to right: what was inserted is never scanned again.
std::string ReplacePlaceholder(const std::string& text, const std::string& placeholder,
                               const std::string& value);

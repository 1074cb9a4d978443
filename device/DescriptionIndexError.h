#pragma once

#include <stdexcept>

// Thrown for an index outside a module or variable list; what() is the text
// that the controller session reports.
class DescriptionIndexError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

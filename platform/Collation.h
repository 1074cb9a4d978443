#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The order in which a person reading the user's language expects the texts
// (UTF-8) in a sorted list: letter case does not separate them, accented letters
// sort with their base letters ("Änderung" before "Zyklus"). Texts that compare
// equal keep their order. The indexes of `texts` in that order.
std::vector<std::size_t> CollatedOrder(const std::vector<std::string>& texts);

#pragma once

#include <string>
#include <vector>

// The order of a sorted list box: texts compare byte by byte with the ASCII
// letters folded to lower case, so "alpha" and "Beta" sort as a person expects.
// Negative, 0 or positive like strcmp.
int CompareListTexts(const std::string& a, const std::string& b);

// Where a sorted list puts `text`: after every item that does not sort after
// it, so items that compare equal keep the order in which they were added.
int SortedInsertIndex(const std::vector<std::string>& sortedTexts, const std::string& text);

#include "app/logic/ComboBoxOrder.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> InsertAll(const std::vector<std::string>& texts) {
    std::vector<std::string> sorted;
    for (const std::string& text : texts)
        sorted.insert(sorted.begin() + SortedInsertIndex(sorted, text), text);
    return sorted;
}

TEST(ComboBoxOrder, SortsWithoutRegardToLetterCaseAndKeepsEqualTextsInTheirOrder) {
    EXPECT_EQ(InsertAll({"beta", "Alpha", "gamma", "alpha two", "B"}),
              (std::vector<std::string>{"Alpha", "alpha two", "B", "beta", "gamma"}));
    EXPECT_EQ(InsertAll({"Tool", "tool", "TOOL"}), (std::vector<std::string>{"Tool", "tool", "TOOL"}));
    // Digits and the punctuation before the lower-case letters come first.
    EXPECT_EQ(InsertAll({"b", "_x", "10", "9", "Z"}), (std::vector<std::string>{"10", "9", "_x", "b", "Z"}));
    EXPECT_EQ(InsertAll({"ab", "a", ""}), (std::vector<std::string>{"", "a", "ab"}));
}

} // namespace

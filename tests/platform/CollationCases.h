#pragma once

#include "platform/Collation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::vector<std::string> Sorted(const std::vector<std::string>& texts) {
    std::vector<std::string> sorted;
    for (const std::size_t index : CollatedOrder(texts))
        sorted.push_back(texts[index]);
    return sorted;
}

// The order a reader of a Latin-script language expects, whatever the system's
// default locale is: case ignored, accents with their base letters, equal texts
// in their order.
inline void ExpectReadersOrder() {
    EXPECT_EQ(Sorted({"Zyklus", "Änderung", "ende", "Anfang"}),
              (std::vector<std::string>{"Änderung", "Anfang", "ende", "Zyklus"}));
    EXPECT_EQ(Sorted({"beta", "Alpha", "gamma", "alpha two", "B"}),
              (std::vector<std::string>{"Alpha", "alpha two", "B", "beta", "gamma"}));
    EXPECT_EQ(Sorted({"Tool", "tool", "TOOL"}), (std::vector<std::string>{"Tool", "tool", "TOOL"}));
    EXPECT_EQ(Sorted({"ab", "a", ""}), (std::vector<std::string>{"", "a", "ab"}));
    EXPECT_EQ(Sorted({"b", "10", "9", "Z"}), (std::vector<std::string>{"10", "9", "b", "Z"}));
    // Bytes that are no UTF-8 still get a place, never a crash.
    EXPECT_EQ(Sorted({"b", "\xff\xfe", "a"}).size(), 3u);
}

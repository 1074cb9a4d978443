#include "platform/Collation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

std::vector<std::string> Sorted(const std::vector<std::string>& texts) {
    std::vector<std::string> sorted;
    for (const std::size_t index : CollatedOrder(texts))
        sorted.push_back(texts[index]);
    return sorted;
}

// Sets one environment variable for a scope and restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_Name(name) {
        if (const char* old = std::getenv(name))
            m_Old = old;
        ::setenv(name, value, 1);
    }
    ~ScopedVariable() {
        if (m_Old)
            ::setenv(m_Name, m_Old->c_str(), 1);
        else
            ::unsetenv(m_Name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_Name;
    std::optional<std::string> m_Old;
};

TEST(Collation, SortsAsAPersonReadsAndKeepsEqualTextsInTheirOrder) {
    // Neither the C locale nor none at all falls back to byte order.
    for (const char* locale : {"C", "POSIX", "", "en_GB.UTF-8"}) {
        SCOPED_TRACE(locale);
        ScopedVariable all("LC_ALL", locale);
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
    // The user's language decides where its letters go: in Swedish Ä follows Z.
    ScopedVariable collate("LC_ALL", "sv_SE.UTF-8");
    EXPECT_EQ(Sorted({"Änderung", "Zyklus", "Anfang"}),
              (std::vector<std::string>{"Anfang", "Zyklus", "Änderung"}));
}

} // namespace

#include "tests/platform/CollationCases.h"

#include <cstdlib>
#include <optional>

namespace {

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

// The locale comes from the environment here.
TEST(Collation, FollowsTheEnvironmentsLocaleAndNeverFallsBackToByteOrder) {
    for (const char* locale : {"C", "POSIX", "", "en_GB.UTF-8"}) {
        SCOPED_TRACE(locale);
        ScopedVariable all("LC_ALL", locale);
        ExpectReadersOrder();
    }
    // The user's language decides where its letters go: in Swedish Ä follows Z.
    ScopedVariable collate("LC_ALL", "sv_SE.UTF-8");
    EXPECT_EQ(Sorted({"Änderung", "Zyklus", "Anfang"}),
              (std::vector<std::string>{"Anfang", "Zyklus", "Änderung"}));
}

} // namespace

#include "tests/platform/CollationCases.h"

TEST(Collation, SortsAsAPersonReadsInTheDefaultLocale) {
    ExpectReadersOrder();
}

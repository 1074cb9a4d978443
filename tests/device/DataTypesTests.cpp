#include "device/DataTypes.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Raw(const std::string& type, int precision, double value) {
    std::array<unsigned char, 100> raw{};
    EXPECT_TRUE(ValueToRaw(type, precision, value, raw.data())) << type;
    return Bytes(raw.begin(), raw.begin() + GetDataTypeSize(type));
}

TEST(DataTypesTest, UnknownNamesHaveNoSizeAndWriteNothing) {
    for (const std::string unknown : {"usint32", "-", "", "USINT32 "}) {
        std::array<unsigned char, 8> raw{};
        EXPECT_EQ(GetDataTypeSize(unknown), 0) << unknown;
        EXPECT_FALSE(ValueToRaw(unknown, 0, 1.0, raw.data())) << unknown;
        EXPECT_EQ(raw, (std::array<unsigned char, 8>{})) << "nothing written";
    }
    EXPECT_FALSE(ValueToRaw("BOOL", 0, 1.0, nullptr));
}

// The byte counts compared also check each type's size.
TEST(DataTypesTest, RawBytesAreScaledTruncatedAndLowestByteFirst) {
    EXPECT_EQ(Raw("USINT32", 0, 5.0), (Bytes{0x05, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Raw("USINT32", 2, 5.0), (Bytes{0xF4, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Raw("USINT32", 0, 4000000000.0), (Bytes{0x00, 0x28, 0x6B, 0xEE}));
    EXPECT_EQ(Raw("SINT16", 0, -2.0), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(Raw("SINT8", 0, 1.9), (Bytes{0x01}));
    EXPECT_EQ(Raw("SINT8", 0, -1.9), (Bytes{0xFF}));
    EXPECT_EQ(Raw("SET32", -1, 1234.0), (Bytes{0x7B, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Raw("FLOAT", 3, 1.0), (Bytes{0x00, 0x00, 0x80, 0x3F})) << "floating types are not scaled";
    EXPECT_EQ(Raw("DOUBLE", 3, 1.0), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F}));
    EXPECT_EQ(Raw("BOOL", 0, 1.0), (Bytes{0x01}));
    EXPECT_EQ(Raw("SET16", 0, 258.0), (Bytes{0x02, 0x01}));
}

TEST(DataTypesTest, ValuesBeyondThe64BitIntermediateSaturate) {
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    constexpr double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ScaleToInteger(9223372036854775808.0, 0), max);
    EXPECT_EQ(ScaleToInteger(4611686018427387904.0, 0), 4611686018427387904LL);
    EXPECT_EQ(ScaleToInteger(-9223372036854775808.0, 0), min);
    EXPECT_EQ(ScaleToInteger(-1e30, 0), min);
    EXPECT_EQ(ScaleToInteger(infinity, 0), max);
    EXPECT_EQ(ScaleToInteger(-infinity, 0), min);
    EXPECT_EQ(ScaleToInteger(std::numeric_limits<double>::quiet_NaN(), 0), 0);
    EXPECT_EQ(ScaleToInteger(1.0, 400), max);
    EXPECT_EQ(ScaleToInteger(0.0, 400), 0) << "zero times an infinite scale";
    EXPECT_EQ(Raw("USINT32", 0, 1e30), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Raw("SINT16", 0, -1e30), (Bytes{0x00, 0x00}));
}

} // namespace

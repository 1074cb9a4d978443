#include "device/DataTypes.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <string_view>

namespace {

enum class RawForm { Integer, Float, Double };

struct DataTypeInfo {
    std::string_view Name;
    int Size = 0;
    RawForm Form = RawForm::Integer;
};

constexpr std::array<DataTypeInfo, 12> DataTypeTable{{
    {"BOOL", 1, RawForm::Integer},
    {"SINT8", 1, RawForm::Integer},
    {"USINT8", 1, RawForm::Integer},
    {"SET8", 1, RawForm::Integer},
    {"SINT16", 2, RawForm::Integer},
    {"USINT16", 2, RawForm::Integer},
    {"SET16", 2, RawForm::Integer},
    {"SINT32", 4, RawForm::Integer},
    {"USINT32", 4, RawForm::Integer},
    {"SET32", 4, RawForm::Integer},
    {"FLOAT", 4, RawForm::Float},
    {"DOUBLE", 8, RawForm::Double},
}};

const DataTypeInfo* FindDataType(const std::string& name) {
    for (const DataTypeInfo& info : DataTypeTable) {
        if (info.Name == name) {
            return &info;
        }
    }
    return nullptr;
}

void StoreLittleEndian(std::uint64_t bits, int size, unsigned char* raw) {
    for (int i = 0; i < size; ++i) {
        raw[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xFFU);
    }
}

} // namespace

int GetDataTypeSize(const std::string& dataTypeName) {
    const DataTypeInfo* info = FindDataType(dataTypeName);
    return info != nullptr ? info->Size : 0;
}

std::int64_t ScaleToInteger(double value, int precision) {
    const double scaled = std::pow(10.0, precision) * value;
    constexpr double twoTo63 = 9223372036854775808.0;
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled >= twoTo63) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (scaled < -twoTo63) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(scaled);
}

bool ValueToRaw(const std::string& dataTypeName, int precision, double value, unsigned char* raw) {
    const DataTypeInfo* info = FindDataType(dataTypeName);
    if (info == nullptr || raw == nullptr) {
        return false;
    }
    switch (info->Form) {
    case RawForm::Integer:
        StoreLittleEndian(static_cast<std::uint64_t>(ScaleToInteger(value, precision)), info->Size, raw);
        break;
    case RawForm::Float:
        StoreLittleEndian(std::bit_cast<std::uint32_t>(static_cast<float>(value)), info->Size, raw);
        break;
    case RawForm::Double:
        StoreLittleEndian(std::bit_cast<std::uint64_t>(value), info->Size, raw);
        break;
    }
    return true;
}

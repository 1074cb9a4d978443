#include "device/DeviceDescription.h"

#include "device/DataTypes.h"

namespace {

template <typename Item> bool IsInside(const std::vector<Item>& items, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < items.size();
}

bool IsReadableDirection(const std::string& direction) {
    return direction == "I" || direction == "IO";
}

bool IsWritableDirection(const std::string& direction) {
    return direction == "IO" || direction == "O";
}

} // namespace

const DeviceModule& DeviceDescription::ModuleAt(int index) const {
    if (!IsInside(Modules, index)) {
        throw DescriptionIndexError("Index for module is out of bound!");
    }
    return Modules[static_cast<std::size_t>(index)];
}

const DeviceVariable& DeviceDescription::VariableAt(int index) const {
    if (!IsInside(Variables, index)) {
        throw DescriptionIndexError("Index for variables is out of bound!");
    }
    return Variables[static_cast<std::size_t>(index)];
}

const DeviceVariable& DeviceDescription::ModuleVariableAt(const DeviceModule& module, int index) const {
    if (!IsInside(module.Variables, index)) {
        throw DescriptionIndexError("Index for variable is out of bound!");
    }
    return module.Variables[static_cast<std::size_t>(index)];
}

const DeviceVariable& DeviceDescription::VariableFor(int module, int variable) const {
    return module < 0 ? VariableAt(variable) : ModuleVariableAt(ModuleAt(module), variable);
}

std::string DeviceDescription::GetDataTypeName(int module, int variable) const {
    return VariableFor(module, variable).DataType;
}

int DeviceDescription::GetDataTypeSize(int module, int variable) const {
    return ::GetDataTypeSize(VariableFor(module, variable).DataType);
}

int DeviceDescription::GetFormatPrecision(int module, int variable) const {
    return VariableFor(module, variable).FormatPrecision;
}

std::int32_t DeviceDescription::GetOutSplitOffset(int module, int variable) const {
    return VariableFor(module, variable).OutSplitDataFieldOffs;
}

bool DeviceDescription::IsReadable(int module, int variable) const {
    return IsReadableDirection(VariableFor(module, variable).DataDirection);
}

bool DeviceDescription::IsWritable(int module, int variable) const {
    return IsWritableDirection(VariableFor(module, variable).DataDirection);
}

bool DeviceDescription::ValueToRaw(int module, int variable, double value, unsigned char* raw) const {
    const DeviceVariable& found = VariableFor(module, variable);
    return ::ValueToRaw(found.DataType, found.FormatPrecision, value, raw);
}

std::int32_t DeviceDescription::InputDataLength() const {
    std::int64_t length = 0;
    const auto addReadable = [&length](const DeviceVariable& variable) {
        if (IsReadableDirection(variable.DataDirection)) {
            const int size = ::GetDataTypeSize(variable.DataType);
            if (size > 0) {
                length += size;
            }
        }
    };
    for (const DeviceVariable& variable : Variables) {
        addReadable(variable);
    }
    for (const DeviceModule& module : Modules) {
        for (const DeviceVariable& variable : module.Variables) {
            addReadable(variable);
        }
    }
    return static_cast<std::int32_t>(length);
}

const DeviceVariable* DeviceDescription::FindVariableByName(const std::string& name,
                                                            std::uint32_t& index) const {
    index = 0;
    for (std::size_t i = 0; i < Variables.size(); ++i) {
        if (Variables[i].Name == name) {
            index = static_cast<std::uint32_t>(i);
            return &Variables[i];
        }
    }
    return nullptr;
}

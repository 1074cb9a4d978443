#include "tools/qrix-emulator/ProcessImages.h"

#include "controller/access/ControllerProtocol.h"
#include "device/DataTypes.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsReadable(const DeviceVariable& variable) {
    return variable.DataDirection == "I" || variable.DataDirection == "IO";
}

bool IsWritable(const DeviceVariable& variable) {
    return variable.DataDirection == "O" || variable.DataDirection == "IO";
}

std::uint64_t EndOf(std::int32_t offset, const DeviceVariable& variable) {
    const int size = GetDataTypeSize(variable.DataType);
    if (offset < 0 || size <= 0)
        return 0;
    return static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(size);
}

bool ChooseSize(const char* what, std::uint64_t needed, std::optional<std::uint32_t> requested,
                std::vector<unsigned char>& image, std::string& error) {
    if (requested && *requested < needed) {
        error = std::string(what) + " image of " + std::to_string(*requested) +
                " bytes is smaller than the summary's variables need (" + std::to_string(needed) + " bytes)";
        return false;
    }
    const std::uint64_t size = requested ? *requested : needed;
    if (size > MaxImageSize) {
        error = std::string(what) + " image of " + std::to_string(size) + " bytes exceeds the limit of " +
                std::to_string(MaxImageSize) + " bytes";
        return false;
    }
    image.assign(static_cast<std::size_t>(size), 0);
    return true;
}

std::string Hex(std::uint64_t value, std::uint32_t size) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*" PRIX64, static_cast<int>(size * 2), value);
    return text;
}

} // namespace

std::string SideName(ImageSide side) {
    return side == ImageSide::Input ? "in" : "out";
}

bool ProcessImages::Configure(const DeviceDescription& description, std::optional<std::uint32_t> inputSize,
                              std::optional<std::uint32_t> outputSize, std::string& error) {
    m_Description = &description;
    // The event manager asks for InputDataLength bytes: the image holds at least those.
    std::uint64_t inputNeeded = static_cast<std::uint64_t>(std::max(description.InputDataLength(), 0));
    std::uint64_t outputNeeded = 0;
    const auto account = [&](const DeviceVariable& variable) {
        if (IsReadable(variable))
            inputNeeded = std::max(inputNeeded, EndOf(variable.InpSplitDataFieldOffs, variable));
        if (IsWritable(variable))
            outputNeeded = std::max(outputNeeded, EndOf(variable.OutSplitDataFieldOffs, variable));
    };
    for (const DeviceVariable& variable : description.Variables)
        account(variable);
    for (const DeviceModule& module : description.Modules)
        for (const DeviceVariable& variable : module.Variables)
            account(variable);
    return ChooseSize("input", inputNeeded, inputSize, m_Input, error) &&
           ChooseSize("output", outputNeeded, outputSize, m_Output, error);
}

std::optional<ImageSlot> ProcessImages::Find(const std::string& name, ImageSide side,
                                             std::string& error) const {
    std::uint32_t index = 0;
    const DeviceVariable* variable = m_Description ? m_Description->FindVariableByName(name, index) : nullptr;
    if (variable == nullptr) {
        error = "no variable named " + name;
        return std::nullopt;
    }
    const bool present = side == ImageSide::Input ? IsReadable(*variable) : IsWritable(*variable);
    const std::int32_t offset =
        side == ImageSide::Input ? variable->InpSplitDataFieldOffs : variable->OutSplitDataFieldOffs;
    const int size = GetDataTypeSize(variable->DataType);
    if (!present || offset < 0) {
        error = name + " is not part of the " + (side == ImageSide::Input ? "input" : "output") + " image";
        return std::nullopt;
    }
    if (size <= 0) {
        error = name + " has the unknown data type " + variable->DataType;
        return std::nullopt;
    }
    ImageSlot slot{side, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size),
                   variable->DataType};
    if (static_cast<std::uint64_t>(slot.Offset) + slot.Size > Image(side).size()) {
        error = name + " lies outside the " + SideName(side) + " image";
        return std::nullopt;
    }
    return slot;
}

std::uint64_t ProcessImages::Read(const ImageSlot& slot) const {
    const auto& image = Image(slot.Side);
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i < slot.Size; ++i)
        value = (value << 8) | image[slot.Offset + i];
    return value;
}

void ProcessImages::Write(const ImageSlot& slot, std::uint64_t value) {
    auto& image = Image(slot.Side);
    for (std::uint32_t i = 0; i < slot.Size; ++i)
        image[slot.Offset + slot.Size - 1 - i] = static_cast<unsigned char>(value >> (8 * i));
}

std::string ProcessImages::Show(const ImageSlot& slot) const {
    const std::uint64_t raw = Read(slot);
    const unsigned bits = slot.Size * 8;
    std::string number;
    if (slot.DataType == "FLOAT") {
        number = std::to_string(std::bit_cast<float>(static_cast<std::uint32_t>(raw)));
    } else if (slot.DataType == "DOUBLE") {
        number = std::to_string(std::bit_cast<double>(raw));
    } else if (slot.DataType.starts_with("SINT")) {
        const std::uint64_t sign = std::uint64_t{1} << (bits - 1);
        const auto value = static_cast<std::int64_t>((raw ^ sign) - sign);
        number = std::to_string(value);
    } else {
        number = std::to_string(raw);
    }
    return number + " (" + Hex(raw, slot.Size) + ")";
}

bool ProcessImages::Set(const ImageSlot& slot, const std::string& text, std::string& error) {
    char* end = nullptr;
    errno = 0;
    std::uint64_t raw = 0;
    if (slot.DataType == "FLOAT" || slot.DataType == "DOUBLE") {
        const double value = std::strtod(text.c_str(), &end);
        raw = slot.DataType == "FLOAT" ? std::bit_cast<std::uint32_t>(static_cast<float>(value))
                                       : std::bit_cast<std::uint64_t>(value);
    } else if (!text.empty() && text[0] == '-') {
        raw = static_cast<std::uint64_t>(std::strtoll(text.c_str(), &end, 0));
    } else {
        raw = std::strtoull(text.c_str(), &end, 0);
    }
    if (text.empty() || end == nullptr || *end != '\0' || errno == ERANGE) {
        error = "not a number: " + text;
        return false;
    }
    const unsigned bits = slot.Size * 8;
    if (bits < 64 && slot.DataType != "FLOAT" && slot.DataType != "DOUBLE") {
        const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
        const bool fitsUnsigned = (raw & ~mask) == 0;
        const bool fitsSigned = text[0] == '-' && (raw | (mask >> 1)) == ~std::uint64_t{0};
        if (!fitsUnsigned && !fitsSigned) {
            error = text + " does not fit into " + std::to_string(slot.Size) + " bytes";
            return false;
        }
        raw &= mask;
    }
    Write(slot, raw);
    return true;
}

bool ProcessImages::ToggleBit(const ImageSlot& slot, unsigned bit, std::string& error) {
    if (bit >= slot.Size * 8) {
        error = "bit " + std::to_string(bit) + " is beyond the variable's " + std::to_string(slot.Size * 8) +
                " bits";
        return false;
    }
    Write(slot, Read(slot) ^ (std::uint64_t{1} << bit));
    return true;
}

bool ProcessImages::Peek(ImageSide side, std::uint32_t offset, std::uint32_t length, std::string& bytes,
                         std::string& error) const {
    const auto& image = Image(side);
    if (static_cast<std::uint64_t>(offset) + length > image.size()) {
        error = "bytes " + std::to_string(offset) + " to " + std::to_string(std::uint64_t{offset} + length) +
                " lie outside the " + SideName(side) + " image of " + std::to_string(image.size()) + " bytes";
        return false;
    }
    bytes.clear();
    for (std::uint32_t i = 0; i < length; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, i == 0 ? "%02X" : " %02X", image[offset + i]);
        bytes += text;
    }
    return true;
}

bool ProcessImages::Poke(ImageSide side, std::uint32_t offset, const std::vector<unsigned char>& bytes,
                         std::string& error) {
    auto& image = Image(side);
    if (static_cast<std::uint64_t>(offset) + bytes.size() > image.size()) {
        error = "bytes " + std::to_string(offset) + " to " + std::to_string(offset + bytes.size()) +
                " lie outside the " + SideName(side) + " image of " + std::to_string(image.size()) + " bytes";
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
    return true;
}

#pragma once

#include "device/DeviceDescription.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ImageSide { Input, Output };

// Where a named variable lies in one image.
struct ImageSlot {
    ImageSide Side = ImageSide::Input;
    std::uint32_t Offset = 0;
    std::uint32_t Size = 0;
    std::string DataType;
};

// The controller's two process images: the input image that the event manager
// reads and the output image that it writes. Values in them are most
// significant byte first, as on the high-speed port.
class ProcessImages {
public:
    // Sizes the images from the description (readable variables by their input
    // offsets, writable ones by their output offsets); an explicit size replaces
    // the computed one but may not be smaller. False with a text when a size is
    // too small or beyond the protocol's limit.
    bool Configure(const DeviceDescription& description, std::optional<std::uint32_t> inputSize,
                   std::optional<std::uint32_t> outputSize, std::string& error);

    std::vector<unsigned char>& Image(ImageSide side) {
        return side == ImageSide::Input ? m_Input : m_Output;
    }
    const std::vector<unsigned char>& Image(ImageSide side) const {
        return side == ImageSide::Input ? m_Input : m_Output;
    }

    // The device-level variable of that name in the image of that side.
    std::optional<ImageSlot> Find(const std::string& name, ImageSide side, std::string& error) const;

    // The raw value of a slot as an unsigned number (at most 8 bytes).
    std::uint64_t Read(const ImageSlot& slot) const;
    void Write(const ImageSlot& slot, std::uint64_t value);

    // Text forms for the command channel.
    std::string Show(const ImageSlot& slot) const;
    // Integer types take a decimal or 0x number (negative for two's complement),
    // FLOAT and DOUBLE a decimal fraction.
    bool Set(const ImageSlot& slot, const std::string& text, std::string& error);
    bool ToggleBit(const ImageSlot& slot, unsigned bit, std::string& error);

    bool Peek(ImageSide side, std::uint32_t offset, std::uint32_t length, std::string& bytes,
              std::string& error) const;
    bool Poke(ImageSide side, std::uint32_t offset, const std::vector<unsigned char>& bytes,
              std::string& error);

private:
    const DeviceDescription* m_Description = nullptr;
    std::vector<unsigned char> m_Input;
    std::vector<unsigned char> m_Output;
};

std::string SideName(ImageSide side);

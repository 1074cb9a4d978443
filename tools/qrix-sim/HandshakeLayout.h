#pragma once

#include <cstdint>
#include <string>

// Where the event manager finds its two 32-bit variables: the event variable in
// the input image, the acknowledge variable in the output image and, as a copy,
// in the input image.
struct HandshakeLayout {
    std::uint32_t EventOffset = 4;
    std::uint32_t AckInOffset = 8;
    std::uint32_t AckOutOffset = 4;
};

// Empty when the event manager can use the layout, else why not.
std::string CheckHandshakeLayout(const HandshakeLayout& layout);

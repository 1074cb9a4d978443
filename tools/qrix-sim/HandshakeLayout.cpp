#include "tools/qrix-sim/HandshakeLayout.h"

#include "controller/SimulationBuffers.h"

namespace {

constexpr std::uint32_t ValueLength = 4;
// The event manager's offsets are 16-bit.
constexpr std::uint32_t HighestOffset = 0xFFFF;

} // namespace

std::string CheckHandshakeLayout(const HandshakeLayout& layout) {
    if (layout.EventOffset < SimulationTickStampLength)
        return "the event offset must be 4 or more: offsets 0 to 3 of the input image read as the tick stamp";
    if (layout.AckInOffset < SimulationTickStampLength)
        return "the acknowledge input offset must be 4 or more: offsets 0 to 3 of the input image read as "
               "the "
               "tick stamp";
    for (const std::uint32_t offset : {layout.EventOffset, layout.AckInOffset, layout.AckOutOffset})
        if (offset > HighestOffset)
            return "offset " + std::to_string(offset) +
                   " is beyond 65535, the highest the event manager reaches";
    const bool overlap = layout.EventOffset < layout.AckInOffset + ValueLength &&
                         layout.AckInOffset < layout.EventOffset + ValueLength;
    if (overlap)
        return "the event variable and the acknowledge copy in the input image overlap";
    return {};
}

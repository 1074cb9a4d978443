#include "controller/SimulationBuffers.h"

#include "platform/SharedMemory.h"
#include "platform/TickCount.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <utility>

namespace {

struct SimulationArea {
    MappedView Mapping;
    // Published separately so that the poll thread reads it without a lock.
    std::atomic<std::byte*> View{nullptr};
    std::uint32_t Size = 0;
    std::string Name;
};

std::string InputBufferName = DefaultInputBufferName;
std::string OutputBufferName = DefaultOutputBufferName;
SimulationArea InputArea;
SimulationArea OutputArea;
std::atomic<std::uint32_t> TimeStamp{0};

void OpenArea(SimulationArea& area, const std::string& name) {
    if (area.Mapping.IsValid())
        return;
    area.Name = name;
    area.Size = SimulationBufferSize;
    // A failure is retried by the next read or write.
    SharedMemoryStatus status;
    area.Mapping = MapSharedMemory(name, SimulationBufferSize, status);
    area.View.store(area.Mapping.Get(), std::memory_order_release);
}

void CloseArea(SimulationArea& area) {
    area.View.store(nullptr, std::memory_order_release);
    area.Mapping.Reset();
}

// Computed in 64 bits: a huge length must not wrap around to a small end.
bool RangeFits(std::uint32_t length, std::uint16_t offset) {
    return length != 0 && std::uint64_t{offset} + length < SimulationBufferSize;
}

void WriteArea(SimulationArea& area, const void* source, std::uint32_t length, std::uint16_t offset,
               std::uint16_t& status) {
    std::byte* view = area.View.load(std::memory_order_acquire);
    if (view == nullptr) {
        OpenSimulationBuffers();
        return;
    }
    if (source == nullptr || !RangeFits(length, offset)) {
        status = SimulationStatusRejected;
        return;
    }
    std::memcpy(view + offset, source, length);
    status = SimulationStatusDone;
}

} // namespace

void SetSimulationBufferNames(const std::string& input, const std::string& output) {
    InputBufferName = input;
    OutputBufferName = output;
}

void ResetSimulationBuffers() {
    for (SimulationArea* area : {&InputArea, &OutputArea}) {
        CloseArea(*area);
        area->Size = 0;
        area->Name.clear();
    }
}

void OpenSimulationBuffers() {
    OpenArea(InputArea, InputBufferName);
    OpenArea(OutputArea, OutputBufferName);
}

void CloseSimulationBuffers() {
    CloseArea(InputArea);
    CloseArea(OutputArea);
}

void ReadInputBuffer(void* destination, std::uint32_t length, std::uint16_t offset, std::uint16_t& status) {
    const std::byte* view = InputArea.View.load(std::memory_order_acquire);
    if (view == nullptr) {
        OpenSimulationBuffers();
        return;
    }
    if (destination == nullptr || length == 0) {
        status = SimulationStatusRejected;
        return;
    }
    if (offset < SimulationTickStampLength) {
        if (length > SimulationTickStampLength) {
            status = SimulationStatusRejected;
            return;
        }
        const std::uint32_t stamp = TickCount();
        TimeStamp.store(stamp, std::memory_order_relaxed);
        const std::array<std::uint8_t, 4> bytes{
            static_cast<std::uint8_t>(stamp), static_cast<std::uint8_t>(stamp >> 8),
            static_cast<std::uint8_t>(stamp >> 16), static_cast<std::uint8_t>(stamp >> 24)};
        std::memcpy(destination, bytes.data(), length);
        status = SimulationStatusDone;
        return;
    }
    if (!RangeFits(length, offset)) {
        status = SimulationStatusRejected;
        return;
    }
    std::memcpy(destination, view + offset, length);
    status = SimulationStatusDone;
}

void WriteOutputBuffer(const void* source, std::uint32_t length, std::uint16_t offset,
                       std::uint16_t& status) {
    WriteArea(OutputArea, source, length, offset, status);
}

void WriteInputBuffer(const void* source, std::uint32_t length, std::uint16_t offset, std::uint16_t& status) {
    WriteArea(InputArea, source, length, offset, status);
}

#include "controller/SimulationBuffers.h"

#include "app/core/SystemMessage.h"
#include "platform/SharedMemoryFile.h"
#include "platform/TickCount.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

// Reads and writes go through the area's descriptor: an area that the simulator
// shrinks or replaces while we observe is noticed and reported, never a crash.
struct SimulationArea {
    SharedMemoryFile File;
    std::string Name;
    // Set when an area we had was dropped, so that finding it again is said once.
    bool Lost = false;
};

// The poll thread reads the names when it retries an open; they may be set at any time.
std::mutex NamesGuard;
std::string InputBufferName = DefaultInputBufferName;
std::string OutputBufferName = DefaultOutputBufferName;
SimulationArea InputArea;
SimulationArea OutputArea;
std::atomic<std::uint32_t> TimeStamp{0};

std::string ShownName(const SimulationArea& area) {
    return area.Name.starts_with('/') ? area.Name.substr(1) : area.Name;
}

// Attaches when not attached; true when the area is attached now.
bool OpenArea(SimulationArea& area, const std::string& name) {
    if (area.File.IsValid())
        return true;
    area.Name = name;
    // A failure is retried by the next read or write.
    SharedMemoryStatus status;
    area.File = SharedMemoryFile::Open(name, SimulationBufferSize, status);
    if (!area.File.IsValid())
        return false;
    if (area.Lost) {
        AddMessage("---- Simulation area " + ShownName(area) + " is there again: observing it");
        area.Lost = false;
    }
    return true;
}

void CloseArea(SimulationArea& area) {
    area.File.Reset();
}

// Drops an area that is no longer whole or no longer the one under its name,
// and attaches to a new one at once if the simulator made it; true when an
// area can be used now.
bool KeepUsable(SimulationArea& area) {
    const SharedMemoryFile::Condition condition = area.File.Examine();
    if (condition == SharedMemoryFile::Condition::Whole)
        return true;
    if (condition == SharedMemoryFile::Condition::Shrunk) {
        AddMessage("**** Simulation area " + ShownName(area) + " shrank to " +
                   std::to_string(area.File.CurrentSize()) + " bytes: not used until it has " +
                   std::to_string(SimulationBufferSize) + " bytes again");
        CloseArea(area);
        area.Lost = true;
        return false;
    }
    CloseArea(area);
    const std::string name = area.Name;
    if (OpenArea(area, name)) {
        AddMessage("---- Simulation area " + ShownName(area) + " was created anew: observing the new one");
        return true;
    }
    AddMessage("**** Simulation area " + ShownName(area) +
               " was removed: waiting for the simulator to create it again");
    area.Lost = true;
    return false;
}

// Computed in 64 bits: a huge length must not wrap around to a small end.
bool RangeFits(std::uint32_t length, std::uint16_t offset) {
    return length != 0 && std::uint64_t{offset} + length < SimulationBufferSize;
}

// A transfer that came up short means the area changed under us.
void TransferFailed(SimulationArea& area) {
    if (KeepUsable(area)) {
        AddMessage("**** Simulation area " + ShownName(area) + " could not be accessed");
    }
}

void WriteArea(SimulationArea& area, const void* source, std::uint32_t length, std::uint16_t offset,
               std::uint16_t& status) {
    if (!area.File.IsValid()) {
        OpenSimulationBuffers();
        return;
    }
    if (source == nullptr || !RangeFits(length, offset)) {
        status = SimulationStatusRejected;
        return;
    }
    if (!KeepUsable(area))
        return;
    if (!area.File.Write(source, length, offset)) {
        TransferFailed(area);
        return;
    }
    status = SimulationStatusDone;
}

} // namespace

void SetSimulationBufferNames(const std::string& input, const std::string& output) {
    std::lock_guard lock(NamesGuard);
    InputBufferName = input;
    OutputBufferName = output;
}

void ResetSimulationBuffers() {
    for (SimulationArea* area : {&InputArea, &OutputArea}) {
        CloseArea(*area);
        area->Name.clear();
        area->Lost = false;
    }
}

void OpenSimulationBuffers() {
    std::string input;
    std::string output;
    {
        std::lock_guard lock(NamesGuard);
        input = InputBufferName;
        output = OutputBufferName;
    }
    OpenArea(InputArea, input);
    OpenArea(OutputArea, output);
}

void CloseSimulationBuffers() {
    CloseArea(InputArea);
    CloseArea(OutputArea);
}

void ReadInputBuffer(void* destination, std::uint32_t length, std::uint16_t offset, std::uint16_t& status) {
    if (!InputArea.File.IsValid()) {
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
    if (!KeepUsable(InputArea))
        return;
    if (!InputArea.File.Read(destination, length, offset)) {
        TransferFailed(InputArea);
        return;
    }
    status = SimulationStatusDone;
}

void WriteOutputBuffer(const void* source, std::uint32_t length, std::uint16_t offset,
                       std::uint16_t& status) {
    WriteArea(OutputArea, source, length, offset, status);
}

void WriteInputBuffer(const void* source, std::uint32_t length, std::uint16_t offset, std::uint16_t& status) {
    WriteArea(InputArea, source, length, offset, status);
}

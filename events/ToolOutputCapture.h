#pragma once

#include "events/NativeHandle.h"
#include "events/RunFile.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Catches what the tools write to standard output and error into one file per
// slot ("slot-03.log" for the tool of bit 2), keeping the newest bytes. A thread
// reads the tools' pipes as fast as they write, so no tool ever waits for the
// disk; another writes the files. Output that arrives faster than the disk takes
// it is dropped from the front, as the file would drop it anyway.
class ToolOutputCapture {
public:
    static constexpr int SlotCount = 16;
    static constexpr std::size_t DefaultKeptBytes = 256 * 1024;
    // Pipes of earlier runs that are still open (a tool's child holds them) per slot;
    // the oldest is closed when a run would open one more.
    static constexpr int OpenPipesPerSlot = 8;

    explicit ToolOutputCapture(std::string folder, std::size_t keptBytes = DefaultKeptBytes);
    ~ToolOutputCapture();
    ToolOutputCapture(const ToolOutputCapture&) = delete;
    ToolOutputCapture& operator=(const ToolOutputCapture&) = delete;

    // False when the threads could not start; then nothing is caught.
    bool IsValid() const { return m_Valid; }
    std::string FilePath(int bit) const;

    // A pipe for the next run of `bit`: the tool gets `writeEnd` as its standard
    // output and error. False when none can be had (the tool then writes where we do).
    bool OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd);
    // After the tool has started: `heading` goes into the file, then whatever the
    // tool writes to the pipe's other end.
    void Attach(int bit, const std::string& heading, NativeHandle readEnd);
    // Until everything read so far is in the files and no pipe of a run is open,
    // or the time is up. For orderly ends and tests.
    bool WaitUntilWritten(int milliseconds);

private:
    // The reading side of the pipes: the system's own way to wait for several.
    struct Reader;
    struct Slot {
        std::string Pending;  // read, not yet written
        bool Restart = false; // Pending lost its front: what the file holds is older still
        RunFile File;
        std::uint64_t FileBytes = 0;
        int OpenPipes = 0;
        bool Settle = false; // the last open pipe has closed: bring the file to its size
        bool WriteFailed = false;
    };

    bool StartWriter();
    void StopWriter();
    // A run's pipe of `bit` is open: false when the capture is stopping.
    bool PipeOpened(int bit);
    void PipeClosed(int bit);
    void WriteFiles();
    void Append(int bit, const char* data, std::size_t length);
    void WriteSlot(int bit, Slot& slot, const std::string& data, bool restart, bool idle);
    bool OpenFile(int bit, Slot& slot, bool truncate);
    bool TrimFile(int bit, Slot& slot);
    void ReportWrite(int bit, bool failed, const std::string& reason);

    const std::string m_Folder;
    const std::size_t m_KeptBytes;
    bool m_Valid = false;

    std::mutex m_Guard;
    std::condition_variable m_Changed;
    // Only the stop ends the writer's pause between batches, not each new piece of work.
    std::condition_variable m_StopRequested;
    std::array<Slot, SlotCount> m_Slots;
    int m_OpenPipes = 0;
    bool m_Writing = false;
    bool m_Stop = false;
    int m_FailingSlots = 0; // writer thread only
    std::unique_ptr<Reader> m_Reader;
    std::thread m_Writer;
};

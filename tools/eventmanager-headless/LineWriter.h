#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

// Writes whole lines to a C runtime descriptor on a thread of its own, so that output
// nobody reads never blocks the caller. The queue is bounded: lines that do not
// fit are dropped and counted in a line before the next one that fits. A line
// whose write fails (the reader went away) is lost; the next one is tried again.
class LineWriter {
public:
    static constexpr std::size_t DefaultMaxLines = 10000;
    static constexpr std::size_t DefaultMaxBytes = 4 * 1024 * 1024;
    static constexpr std::chrono::milliseconds DefaultFlushWait{1000};

    explicit LineWriter(int descriptor, std::size_t maxLines = DefaultMaxLines,
                        std::size_t maxBytes = DefaultMaxBytes);
    // Finish(DefaultFlushWait) unless already finished.
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // `line` ends with its line break. Never blocks on the descriptor.
    void Write(std::string line);
    // Writes what is queued, waiting at most `wait`; a writer still stuck then
    // is left behind (it ends with the process). Later lines are dropped.
    void Finish(std::chrono::milliseconds wait);
    // True when nothing is queued or being written.
    bool Idle() const;

    struct State;

private:
    std::shared_ptr<State> m_State;
};

// Writes all of `line` to the descriptor, waiting as long as it takes; false, with
// the system's last error set, when it cannot (the reader went away, a full disk).
bool WriteWholeLine(int descriptor, const std::string& line);

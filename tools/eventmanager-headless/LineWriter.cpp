#include "tools/eventmanager-headless/LineWriter.h"

#include "platform/ErrorText.h"
#include "tools/eventmanager-headless/ConsoleLog.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct LineWriter::State {
    State(int descriptor, std::size_t maxLines, std::size_t maxBytes)
        : Descriptor(descriptor), MaxLines(maxLines), MaxBytes(maxBytes) {}

    const int Descriptor;
    const std::size_t MaxLines;
    const std::size_t MaxBytes;
    mutable std::mutex Mutex;
    std::condition_variable Changed;
    std::deque<std::string> Queue;
    std::size_t QueuedBytes = 0;
    long long Dropped = 0;
    bool Writing = false;
    bool Finishing = false;
    bool Done = false;
    std::thread Thread;

    void Push(std::string line) {
        QueuedBytes += line.size();
        Queue.push_back(std::move(line));
    }
};

namespace {

std::string CountLine(long long count, const std::string& why) {
    return StampedLine("(" + std::to_string(count) + (count == 1 ? " line " : " lines ") + why + ")");
}

void WriteLines(LineWriter::State& state) {
    long long lost = 0;
    std::string lostReason;
    std::unique_lock lock(state.Mutex);
    for (;;) {
        state.Changed.wait(lock, [&] { return !state.Queue.empty() || state.Finishing; });
        if (state.Queue.empty())
            break;
        std::string line = std::move(state.Queue.front());
        state.Queue.pop_front();
        state.QueuedBytes -= line.size();
        state.Writing = true;
        lock.unlock();
        if (lost > 0 && WriteWholeLine(state.Descriptor, CountLine(lost, "lost: " + lostReason)))
            lost = 0;
        if (!WriteWholeLine(state.Descriptor, line)) {
            lostReason = LastErrorText();
            while (!lostReason.empty() && lostReason.back() == '\n')
                lostReason.pop_back();
            ++lost;
        }
        lock.lock();
        state.Writing = false;
        state.Changed.notify_all();
    }
    state.Done = true;
    state.Changed.notify_all();
}

} // namespace

LineWriter::LineWriter(int descriptor, std::size_t maxLines, std::size_t maxBytes)
    : m_State(std::make_shared<State>(descriptor, maxLines, maxBytes)) {
    // The thread keeps the state alive should it be left behind.
    m_State->Thread = std::thread([state = m_State] { WriteLines(*state); });
}

LineWriter::~LineWriter() {
    Finish(DefaultFlushWait);
}

void LineWriter::Write(std::string line) {
    State& state = *m_State;
    const std::lock_guard lock(state.Mutex);
    if (state.Finishing)
        return;
    if (state.Queue.size() >= state.MaxLines || state.QueuedBytes + line.size() > state.MaxBytes) {
        ++state.Dropped;
        return;
    }
    if (state.Dropped > 0) {
        state.Push(CountLine(state.Dropped, "dropped: output not read"));
        state.Dropped = 0;
    }
    state.Push(std::move(line));
    state.Changed.notify_all();
}

void LineWriter::Finish(std::chrono::milliseconds wait) {
    State& state = *m_State;
    std::unique_lock lock(state.Mutex);
    if (!state.Thread.joinable())
        return;
    if (state.Dropped > 0)
        state.Push(CountLine(state.Dropped, "dropped: output not read"));
    state.Dropped = 0;
    state.Finishing = true;
    state.Changed.notify_all();
    const bool done = state.Changed.wait_for(lock, wait, [&] { return state.Done; });
    std::thread thread = std::move(state.Thread);
    lock.unlock();
    if (done)
        thread.join();
    else
        thread.detach();
}

bool LineWriter::Idle() const {
    const std::lock_guard lock(m_State->Mutex);
    return m_State->Queue.empty() && !m_State->Writing;
}

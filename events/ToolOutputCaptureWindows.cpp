#include "events/ToolOutputCapture.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <list>
#include <vector>

namespace {

constexpr DWORD ReadChunk = 64 * 1024;
constexpr DWORD CancelRetryMs = 10;

} // namespace

// An anonymous pipe cannot be waited on together with others, so each open pipe
// has a thread of its own that reads it until its writers have all gone. Stopping
// cancels the read a thread waits in; what the pipe holds by then is still read.
struct ToolOutputCapture::Reader {
    struct Pipe {
        NativeHandle Read;
        int Bit = 0;
        NativeHandle Thread;
        std::atomic<bool> Stop{false};
        std::atomic<bool> Ended{false};
        ToolOutputCapture* Capture = nullptr;
    };

    static DWORD WINAPI Run(void* argument);
    // Stops the pipe's thread and waits for it to end.
    static void Finish(Pipe& pipe);
    // Joins the threads that have ended (under the capture's guard).
    void TakeEnded(std::vector<std::unique_ptr<Pipe>>& ended);

    std::list<std::unique_ptr<Pipe>> Pipes; // under the capture's guard
};

DWORD WINAPI ToolOutputCapture::Reader::Run(void* argument) {
    Pipe& pipe = *static_cast<Pipe*>(argument);
    std::vector<char> buffer(ReadChunk);
    for (;;) {
        DWORD wanted = ReadChunk;
        if (pipe.Stop.load()) {
            // Only what is there already: a tool's child may keep the pipe open for ever.
            DWORD available = 0;
            if (!::PeekNamedPipe(pipe.Read.Get(), nullptr, 0, nullptr, &available, nullptr) || available == 0)
                break;
            wanted = std::min(available, ReadChunk);
        }
        DWORD got = 0;
        if (::ReadFile(pipe.Read.Get(), buffer.data(), wanted, &got, nullptr)) {
            if (got > 0)
                pipe.Capture->Append(pipe.Bit, buffer.data(), got);
            continue;
        }
        // Cancelled by a stop: read what is left; anything else is the pipe's end.
        if (::GetLastError() != ERROR_OPERATION_ABORTED || !pipe.Stop.load())
            break;
    }
    pipe.Read.Reset();
    pipe.Capture->PipeClosed(pipe.Bit);
    pipe.Ended.store(true);
    return 0;
}

void ToolOutputCapture::Reader::Finish(Pipe& pipe) {
    pipe.Stop.store(true);
    // The thread may be just about to read: cancel until it has ended.
    while (::WaitForSingleObject(pipe.Thread.Get(), CancelRetryMs) == WAIT_TIMEOUT)
        ::CancelSynchronousIo(pipe.Thread.Get());
}

void ToolOutputCapture::Reader::TakeEnded(std::vector<std::unique_ptr<Pipe>>& ended) {
    for (auto it = Pipes.begin(); it != Pipes.end();) {
        if ((*it)->Ended.load()) {
            ended.push_back(std::move(*it));
            it = Pipes.erase(it);
        } else {
            ++it;
        }
    }
}

ToolOutputCapture::ToolOutputCapture(std::string folder, std::size_t keptBytes)
    : m_Folder(std::move(folder)), m_KeptBytes(std::max<std::size_t>(keptBytes, 1)),
      m_Reader(std::make_unique<Reader>()) {
    m_Valid = StartWriter();
}

ToolOutputCapture::~ToolOutputCapture() {
    std::list<std::unique_ptr<Reader::Pipe>> pipes;
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
        pipes.swap(m_Reader->Pipes);
    }
    for (const auto& pipe : pipes)
        Reader::Finish(*pipe);
    StopWriter();
}

bool ToolOutputCapture::OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd) {
    if (!m_Valid)
        return false;
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    // Neither end is inheritable: the tool's end is handed to that one process by name.
    if (!::CreatePipe(&read, &write, nullptr, ReadChunk))
        return false;
    readEnd = NativeHandle(read);
    writeEnd = NativeHandle(write);
    return true;
}

void ToolOutputCapture::Attach(int bit, const std::string& heading, NativeHandle readEnd) {
    if (bit < 0 || bit >= SlotCount || !readEnd.IsValid() || !PipeOpened(bit))
        return;
    Append(bit, (heading + "\n").data(), heading.size() + 1);
    auto pipe = std::make_unique<Reader::Pipe>();
    pipe->Read = std::move(readEnd);
    pipe->Bit = bit;
    pipe->Capture = this;
    std::vector<std::unique_ptr<Reader::Pipe>> finished;
    Reader::Pipe* oldest = nullptr;
    {
        std::lock_guard lock(m_Guard);
        m_Reader->TakeEnded(finished);
        // A tool's children may hold a run's pipe for ever: bound them per slot.
        const auto sameSlot = [bit](const auto& open) { return open->Bit == bit && !open->Stop.load(); };
        if (std::count_if(m_Reader->Pipes.begin(), m_Reader->Pipes.end(), sameSlot) >= OpenPipesPerSlot) {
            oldest = std::find_if(m_Reader->Pipes.begin(), m_Reader->Pipes.end(), sameSlot)->get();
            oldest->Stop.store(true);
        }
        pipe->Thread = NativeHandle(::CreateThread(nullptr, 0, &Reader::Run, pipe.get(), 0, nullptr));
        if (pipe->Thread.IsValid())
            m_Reader->Pipes.push_back(std::move(pipe));
    }
    if (pipe != nullptr)
        PipeClosed(bit); // no thread: the run's output goes unread
    if (oldest != nullptr)
        ::CancelSynchronousIo(oldest->Thread.Get());
}

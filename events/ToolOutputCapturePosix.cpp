#include "events/ToolOutputCapture.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <limits>
#include <system_error>
#include <vector>

namespace {

constexpr std::uint64_t WakeKey = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t ReadChunk = 64 * 1024;
// Reads of one pipe before the others get their turn.
constexpr int ReadsPerTurn = 16;
// While the tools write little, the reader waits this long after each round, so
// that many short runs cost one wake-up, not three each. The pipes hold what comes
// meanwhile; a round that reads a full chunk is followed by the next at once.
constexpr auto QuietPause = std::chrono::milliseconds(2);
constexpr int PipeBytes = 256 * 1024;

} // namespace

// One thread reads every pipe as it becomes readable.
struct ToolOutputCapture::Reader {
    struct Pipe {
        UniqueFd Fd;
        int Bit = 0;
        unsigned long long Order = 0;
    };

    void Wake() const {
        const std::uint64_t one = 1;
        (void)!::write(WakeEvent.Get(), &one, sizeof one);
    }
    void Run(ToolOutputCapture& capture);

    UniqueFd Poll;
    UniqueFd WakeEvent;
    std::deque<Pipe> NewPipes; // under the capture's guard
    unsigned long long NextOrder = 0;
    std::thread Thread;
};

ToolOutputCapture::ToolOutputCapture(std::string folder, std::size_t keptBytes)
    : m_Folder(std::move(folder)), m_KeptBytes(std::max<std::size_t>(keptBytes, 1)),
      m_Reader(std::make_unique<Reader>()) {
    m_Reader->Poll = UniqueFd(::epoll_create1(EPOLL_CLOEXEC));
    m_Reader->WakeEvent = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_Reader->Poll.IsValid() || !m_Reader->WakeEvent.IsValid())
        return;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = WakeKey;
    if (::epoll_ctl(m_Reader->Poll.Get(), EPOLL_CTL_ADD, m_Reader->WakeEvent.Get(), &event) != 0)
        return;
    try {
        m_Reader->Thread = std::thread(&Reader::Run, m_Reader.get(), std::ref(*this));
    } catch (const std::system_error&) {
        return;
    }
    m_Valid = StartWriter();
}

ToolOutputCapture::~ToolOutputCapture() {
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
    }
    m_Reader->Wake();
    if (m_Reader->Thread.joinable())
        m_Reader->Thread.join();
    StopWriter();
}

bool ToolOutputCapture::OpenPipe(NativeHandle& readEnd, NativeHandle& writeEnd) {
    if (!m_Valid)
        return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    readEnd = UniqueFd(ends[0]);
    writeEnd = UniqueFd(ends[1]);
    // Room for what a busy tool writes during a pause of the reader; the system
    // may give less, which costs nothing but that room.
    ::fcntl(writeEnd.Get(), F_SETPIPE_SZ, PipeBytes);
    // Only our end: the tool's output stays an ordinary blocking descriptor.
    const int flags = ::fcntl(readEnd.Get(), F_GETFL);
    return flags >= 0 && ::fcntl(readEnd.Get(), F_SETFL, flags | O_NONBLOCK) == 0;
}

void ToolOutputCapture::Attach(int bit, const std::string& heading, NativeHandle readEnd) {
    if (bit < 0 || bit >= SlotCount || !readEnd.IsValid() || !PipeOpened(bit))
        return;
    {
        std::lock_guard lock(m_Guard);
        m_Reader->NewPipes.push_back(Reader::Pipe{std::move(readEnd), bit, m_Reader->NextOrder++});
    }
    Append(bit, (heading + "\n").data(), heading.size() + 1);
    m_Reader->Wake();
}

void ToolOutputCapture::Reader::Run(ToolOutputCapture& capture) {
    std::vector<Pipe> pipes;
    std::vector<char> buffer(ReadChunk);
    const auto closePipe = [&](std::size_t index) {
        ::epoll_ctl(Poll.Get(), EPOLL_CTL_DEL, pipes[index].Fd.Get(), nullptr);
        const int bit = pipes[index].Bit;
        pipes.erase(pipes.begin() + static_cast<std::ptrdiff_t>(index));
        capture.PipeClosed(bit);
    };
    bool busy = false; // a read of this round filled the buffer
    // False once the pipe has ended (and is closed).
    const auto drain = [&](std::size_t index, int turns) {
        for (int turn = 0; turn < turns; ++turn) {
            const ssize_t got = ::read(pipes[index].Fd.Get(), buffer.data(), buffer.size());
            if (got > 0) {
                busy = busy || static_cast<std::size_t>(got) == buffer.size();
                capture.Append(pipes[index].Bit, buffer.data(), static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && (errno == EINTR))
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return true;
            closePipe(index);
            return false;
        }
        return true;
    };

    epoll_event events[32];
    for (;;) {
        busy = false;
        const int count = ::epoll_wait(Poll.Get(), events, 32, -1);
        if (count < 0 && errno != EINTR)
            break;
        bool stop = false;
        for (int i = 0; i < count; ++i) {
            if (events[i].data.u64 == WakeKey) {
                std::uint64_t value = 0;
                (void)!::read(WakeEvent.Get(), &value, sizeof value);
                std::deque<Pipe> added;
                {
                    std::lock_guard lock(capture.m_Guard);
                    added.swap(NewPipes);
                    stop = capture.m_Stop;
                }
                for (Pipe& pipe : added) {
                    // A tool's children may hold a run's pipe for ever: bound them per slot.
                    const auto sameSlot = [&](const Pipe& open) { return open.Bit == pipe.Bit; };
                    if (std::count_if(pipes.begin(), pipes.end(), sameSlot) >= OpenPipesPerSlot)
                        closePipe(static_cast<std::size_t>(
                            std::find_if(pipes.begin(), pipes.end(), sameSlot) - pipes.begin()));
                    epoll_event event{};
                    event.events = EPOLLIN;
                    event.data.u64 = pipe.Order;
                    pipes.push_back(std::move(pipe));
                    if (::epoll_ctl(Poll.Get(), EPOLL_CTL_ADD, pipes.back().Fd.Get(), &event) != 0)
                        closePipe(pipes.size() - 1);
                }
                continue;
            }
            const auto found = std::find_if(pipes.begin(), pipes.end(), [&](const Pipe& pipe) {
                return pipe.Order == events[i].data.u64;
            });
            if (found != pipes.end())
                drain(static_cast<std::size_t>(found - pipes.begin()), ReadsPerTurn);
        }
        if (stop)
            break;
        if (!busy)
            std::this_thread::sleep_for(QuietPause);
    }
    // What the tools wrote before the end is kept; their pipes close.
    {
        std::lock_guard lock(capture.m_Guard);
        for (Pipe& pipe : NewPipes)
            pipes.push_back(std::move(pipe));
        NewPipes.clear();
    }
    while (!pipes.empty()) {
        if (drain(pipes.size() - 1, ReadsPerTurn))
            closePipe(pipes.size() - 1);
    }
}

#include "events/ToolOutputCapture.h"

#include "app/core/SystemMessage.h"
#include "events/RunFile.h"
#include "platform/ErrorText.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>
#include <vector>

namespace {

constexpr std::uint64_t WakeKey = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t ReadChunk = 64 * 1024;
// Reads of one pipe before the others get their turn.
constexpr int ReadsPerTurn = 16;
constexpr auto BatchInterval = std::chrono::milliseconds(20);

bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

ToolOutputCapture::ToolOutputCapture(std::string folder, std::size_t keptBytes)
    : m_Folder(std::move(folder)), m_KeptBytes(std::max<std::size_t>(keptBytes, 1)) {
    m_Poll = UniqueFd(::epoll_create1(EPOLL_CLOEXEC));
    m_Wake = UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_Poll.IsValid() || !m_Wake.IsValid())
        return;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = WakeKey;
    if (::epoll_ctl(m_Poll.Get(), EPOLL_CTL_ADD, m_Wake.Get(), &event) != 0)
        return;
    try {
        m_Reader = std::thread(&ToolOutputCapture::ReadPipes, this);
        m_Writer = std::thread(&ToolOutputCapture::WriteFiles, this);
        m_Valid = true;
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(m_Guard);
            m_Stop = true;
        }
        m_Changed.notify_all();
        const std::uint64_t one = 1;
        (void)!::write(m_Wake.Get(), &one, sizeof one);
    }
}

ToolOutputCapture::~ToolOutputCapture() {
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
    }
    const std::uint64_t one = 1;
    (void)!::write(m_Wake.Get(), &one, sizeof one);
    m_Changed.notify_all();
    if (m_Reader.joinable())
        m_Reader.join();
    if (m_Writer.joinable())
        m_Writer.join();
}

std::string ToolOutputCapture::FilePath(int bit) const {
    char name[32];
    std::snprintf(name, sizeof name, "slot-%02d.log", bit + 1);
    return m_Folder + PathSeparator + name;
}

bool ToolOutputCapture::OpenPipe(UniqueFd& readEnd, UniqueFd& writeEnd) {
    if (!m_Valid)
        return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    readEnd = UniqueFd(ends[0]);
    writeEnd = UniqueFd(ends[1]);
    // Only our end: the tool's output stays an ordinary blocking descriptor.
    const int flags = ::fcntl(readEnd.Get(), F_GETFL);
    return flags >= 0 && ::fcntl(readEnd.Get(), F_SETFL, flags | O_NONBLOCK) == 0;
}

void ToolOutputCapture::Attach(int bit, const std::string& heading, UniqueFd readEnd) {
    if (bit < 0 || bit >= SlotCount || !readEnd.IsValid())
        return;
    {
        std::lock_guard lock(m_Guard);
        if (m_Stop)
            return;
        ++m_Slots[bit].OpenPipes;
        ++m_OpenPipes;
        m_NewPipes.push_back(Pipe{std::move(readEnd), bit, m_NextOrder++});
    }
    Append(bit, (heading + "\n").data(), heading.size() + 1);
    const std::uint64_t one = 1;
    (void)!::write(m_Wake.Get(), &one, sizeof one);
}

bool ToolOutputCapture::WaitUntilWritten(int milliseconds) {
    std::unique_lock lock(m_Guard);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
        if (m_Writing || m_OpenPipes != 0 || !m_NewPipes.empty())
            return false;
        return std::all_of(m_Slots.begin(), m_Slots.end(),
                           [](const Slot& slot) { return slot.Pending.empty() && !slot.Settle; });
    });
}

void ToolOutputCapture::Append(int bit, const char* data, std::size_t length) {
    {
        std::lock_guard lock(m_Guard);
        Slot& slot = m_Slots[bit];
        slot.Pending.append(data, length);
        if (slot.Pending.size() > m_KeptBytes) {
            slot.Pending.erase(0, slot.Pending.size() - m_KeptBytes);
            slot.Restart = true;
        }
    }
    m_Changed.notify_all();
}

void ToolOutputCapture::ReadPipes() {
    std::vector<Pipe> pipes;
    std::vector<char> buffer(ReadChunk);
    const auto closePipe = [&](std::size_t index) {
        ::epoll_ctl(m_Poll.Get(), EPOLL_CTL_DEL, pipes[index].Fd.Get(), nullptr);
        const int bit = pipes[index].Bit;
        pipes.erase(pipes.begin() + static_cast<std::ptrdiff_t>(index));
        {
            std::lock_guard lock(m_Guard);
            --m_OpenPipes;
            if (--m_Slots[bit].OpenPipes == 0)
                m_Slots[bit].Settle = true;
        }
        m_Changed.notify_all();
    };
    // False once the pipe has ended (and is closed).
    const auto drain = [&](std::size_t index, int turns) {
        for (int turn = 0; turn < turns; ++turn) {
            const ssize_t got = ::read(pipes[index].Fd.Get(), buffer.data(), buffer.size());
            if (got > 0) {
                Append(pipes[index].Bit, buffer.data(), static_cast<std::size_t>(got));
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
        const int count = ::epoll_wait(m_Poll.Get(), events, 32, -1);
        if (count < 0 && errno != EINTR)
            break;
        bool stop = false;
        for (int i = 0; i < count; ++i) {
            if (events[i].data.u64 == WakeKey) {
                std::uint64_t value = 0;
                (void)!::read(m_Wake.Get(), &value, sizeof value);
                std::deque<Pipe> added;
                {
                    std::lock_guard lock(m_Guard);
                    added.swap(m_NewPipes);
                    stop = m_Stop;
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
                    if (::epoll_ctl(m_Poll.Get(), EPOLL_CTL_ADD, pipes.back().Fd.Get(), &event) != 0)
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
    }
    // What the tools wrote before the end is kept; their pipes close.
    {
        std::lock_guard lock(m_Guard);
        for (Pipe& pipe : m_NewPipes)
            pipes.push_back(std::move(pipe));
        m_NewPipes.clear();
    }
    while (!pipes.empty()) {
        if (drain(pipes.size() - 1, ReadsPerTurn))
            closePipe(pipes.size() - 1);
    }
}

void ToolOutputCapture::WriteFiles() {
    std::unique_lock lock(m_Guard);
    for (;;) {
        const auto hasWork = [this] {
            return std::any_of(m_Slots.begin(), m_Slots.end(), [](const Slot& slot) {
                return !slot.Pending.empty() || slot.Restart || slot.Settle;
            });
        };
        m_Changed.wait(lock, [&] { return hasWork() || (m_Stop && m_OpenPipes == 0); });
        if (!hasWork())
            break;
        m_Writing = true;
        for (int bit = 0; bit < SlotCount; ++bit) {
            Slot& slot = m_Slots[bit];
            if (slot.Pending.empty() && !slot.Restart && !slot.Settle)
                continue;
            std::string data = std::move(slot.Pending);
            slot.Pending.clear();
            const bool restart = std::exchange(slot.Restart, false);
            // No run of the slot writes any more: the file gets down to its size.
            const bool idle = slot.OpenPipes == 0;
            slot.Settle = false;
            lock.unlock();
            WriteSlot(bit, slot, data, restart, idle);
            lock.lock();
        }
        m_Writing = false;
        m_Changed.notify_all();
        // Output of the next moments goes in one write per slot, not one per read.
        m_Changed.wait_for(lock, BatchInterval, [this] { return m_Stop; });
    }
}

// Only the writer thread touches a slot's file.
void ToolOutputCapture::WriteSlot(int bit, Slot& slot, const std::string& data, bool restart, bool idle) {
    if (data.empty() && !restart && !(idle && slot.FileBytes > m_KeptBytes))
        return;
    struct stat info {};
    // A file removed or replaced under us is written afresh under its name.
    if (slot.File.IsValid() && (::fstat(slot.File.Get(), &info) != 0 || info.st_nlink == 0))
        slot.File.Reset();
    if (!slot.File.IsValid()) {
        if (!OpenFile(bit, slot, restart) || ::fstat(slot.File.Get(), &info) != 0)
            return;
    }
    slot.FileBytes = static_cast<std::size_t>(info.st_size);
    if (restart) {
        if (::ftruncate(slot.File.Get(), 0) != 0) {
            ReportWrite(bit, true, LastErrorReason());
            slot.File.Reset();
            return;
        }
        slot.FileBytes = 0;
    }
    if (!WriteAll(slot.File.Get(), data.data(), data.size())) {
        ReportWrite(bit, true, LastErrorReason());
        slot.File.Reset();
        return;
    }
    slot.FileBytes += data.size();
    // Some slack while a tool writes, so that a flood does not copy the file per read.
    if (slot.FileBytes > m_KeptBytes + m_KeptBytes / 4 || (idle && slot.FileBytes > m_KeptBytes)) {
        if (!TrimFile(bit, slot))
            return;
    }
    ReportWrite(bit, false, {});
}

bool ToolOutputCapture::OpenFile(int bit, Slot& slot, bool truncate) {
    std::string error;
    slot.File = OpenRegularFile(FilePath(bit), O_RDWR | O_APPEND | (truncate ? O_TRUNC : 0), error);
    if (!slot.File.IsValid()) {
        ReportWrite(bit, true, error);
        return false;
    }
    return true;
}

// The newest bytes, from the start of a line, through a new file that replaces
// the old one at once, so that a reader never sees half of it.
bool ToolOutputCapture::TrimFile(int bit, Slot& slot) {
    struct stat info {};
    if (::fstat(slot.File.Get(), &info) != 0)
        return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    std::string kept(std::min(size, m_KeptBytes), '\0');
    std::size_t got = 0;
    while (got < kept.size()) {
        const ssize_t part = ::pread(slot.File.Get(), kept.data() + got, kept.size() - got,
                                     static_cast<off_t>(size - kept.size() + got));
        if (part <= 0)
            break;
        got += static_cast<std::size_t>(part);
    }
    if (got != kept.size()) {
        ReportWrite(bit, true, "it cannot be read back");
        slot.File.Reset();
        return false;
    }
    const auto lineStart = kept.find('\n');
    if (lineStart != std::string::npos && lineStart + 1 < kept.size())
        kept.erase(0, lineStart + 1);
    const std::string path = FilePath(bit);
    const std::string replacement = path + ".new";
    std::string error;
    UniqueFd file = OpenRegularFile(replacement, O_RDWR | O_TRUNC | O_APPEND, error);
    if (file.IsValid() &&
        (!WriteAll(file.Get(), kept.data(), kept.size()) || ::rename(replacement.c_str(), path.c_str()) != 0))
        error = LastErrorReason();
    if (!error.empty()) {
        ReportWrite(bit, true, error);
        ::unlink(replacement.c_str());
        slot.File.Reset();
        return false;
    }
    slot.File = std::move(file);
    slot.FileBytes = kept.size();
    return true;
}

// One line when the first slot fails and one when the last recovers: a full disk
// or a folder that cannot be written is one fault, not sixteen.
void ToolOutputCapture::ReportWrite(int bit, bool failed, const std::string& reason) {
    Slot& slot = m_Slots[bit];
    if (failed == slot.WriteFailed)
        return;
    slot.WriteFailed = failed;
    m_FailingSlots += failed ? 1 : -1;
    if (failed && m_FailingSlots == 1)
        AddMessage("**** The output of the tools cannot be written to " + m_Folder + " (" +
                   FileNamePart(FilePath(bit)) + ": " + reason + "); it is dropped until it can");
    else if (!failed && m_FailingSlots == 0)
        AddMessage("---- The output of the tools is written to " + m_Folder + " again");
}

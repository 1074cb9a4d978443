#include "events/ToolOutputCapture.h"

#include "app/core/SystemMessage.h"
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

constexpr auto BatchInterval = std::chrono::milliseconds(20);

bool WriteAll(RunFile& file, const char* data, std::size_t length, std::string& error) {
    while (length > 0) {
        std::size_t written = 0;
        if (file.Append(data, length, written, error))
            return true;
        if (written == 0)
            return false;
        data += written;
        length -= written;
    }
    return true;
}

} // namespace

std::string ToolOutputCapture::FilePath(int bit) const {
    char name[32];
    std::snprintf(name, sizeof name, "slot-%02d.log", bit + 1);
    return m_Folder + PathSeparator + name;
}

bool ToolOutputCapture::StartWriter() {
    try {
        m_Writer = std::thread(&ToolOutputCapture::WriteFiles, this);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void ToolOutputCapture::StopWriter() {
    {
        std::lock_guard lock(m_Guard);
        m_Stop = true;
    }
    m_Changed.notify_all();
    m_StopRequested.notify_all();
    if (m_Writer.joinable())
        m_Writer.join();
}

bool ToolOutputCapture::PipeOpened(int bit) {
    std::lock_guard lock(m_Guard);
    if (m_Stop)
        return false;
    ++m_Slots[bit].OpenPipes;
    ++m_OpenPipes;
    return true;
}

void ToolOutputCapture::PipeClosed(int bit) {
    {
        std::lock_guard lock(m_Guard);
        --m_OpenPipes;
        if (--m_Slots[bit].OpenPipes == 0)
            m_Slots[bit].Settle = true;
    }
    m_Changed.notify_all();
}

bool ToolOutputCapture::WaitUntilWritten(int milliseconds) {
    std::unique_lock lock(m_Guard);
    return m_Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] {
        if (m_Writing || m_OpenPipes != 0)
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
            // The newest bytes from the start of a line, as a trimmed file keeps them.
            std::size_t cut = slot.Pending.size() - m_KeptBytes;
            const auto lineEnd = slot.Pending.find('\n', cut == 0 ? 0 : cut - 1);
            if (lineEnd != std::string::npos && lineEnd + 1 < slot.Pending.size())
                cut = lineEnd + 1;
            slot.Pending.erase(0, cut);
            slot.Restart = true;
        }
    }
    m_Changed.notify_all();
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
        m_StopRequested.wait_for(lock, BatchInterval, [this] { return m_Stop; });
    }
}

// Only the writer thread touches a slot's file.
void ToolOutputCapture::WriteSlot(int bit, Slot& slot, const std::string& data, bool restart, bool idle) {
    if (data.empty() && !restart && !(idle && slot.FileBytes > m_KeptBytes))
        return;
    // A file removed or replaced under us is written afresh under its name.
    if (slot.File.IsOpen() && !slot.File.StillNamed())
        slot.File.Close();
    if (!slot.File.IsOpen() && !OpenFile(bit, slot, restart))
        return;
    std::string error;
    if (!slot.File.Size(slot.FileBytes, error) || (restart && !slot.File.Truncate(0, error))) {
        ReportWrite(bit, true, error);
        slot.File.Close();
        return;
    }
    if (restart)
        slot.FileBytes = 0;
    if (!WriteAll(slot.File, data.data(), data.size(), error)) {
        ReportWrite(bit, true, error);
        slot.File.Close();
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
    slot.File = RunFile(FilePath(bit), {truncate, true}, error);
    if (!slot.File.IsOpen()) {
        ReportWrite(bit, true, error);
        return false;
    }
    return true;
}

// The newest bytes, from the start of a line, through a new file that replaces
// the old one at once, so that a reader never sees half of it.
bool ToolOutputCapture::TrimFile(int bit, Slot& slot) {
    std::uint64_t size = 0;
    std::string error;
    if (!slot.File.Size(size, error))
        return false;
    std::string kept(static_cast<std::size_t>(std::min<std::uint64_t>(size, m_KeptBytes)), '\0');
    if (!slot.File.ReadAt(size - kept.size(), kept.data(), kept.size())) {
        ReportWrite(bit, true, "it cannot be read back");
        slot.File.Close();
        return false;
    }
    const auto lineStart = kept.find('\n');
    if (lineStart != std::string::npos && lineStart + 1 < kept.size())
        kept.erase(0, lineStart + 1);
    const std::string path = FilePath(bit);
    const std::string replacement = path + ".new";
    // Ours closes first: a file that is open without sharing its deletion cannot be replaced.
    slot.File.Close();
    RunFile file(replacement, {true, true}, error);
    if (file.IsOpen() &&
        (!WriteAll(file, kept.data(), kept.size(), error) || !ReplaceRunFile(replacement, path, error)))
        file.Close();
    if (!file.IsOpen()) {
        ReportWrite(bit, true, error);
        std::string ignored;
        RemoveRunFile(replacement, ignored);
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

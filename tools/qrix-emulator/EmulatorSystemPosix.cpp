#include "tools/qrix-emulator/EmulatorSystem.h"

#include "controller/access/PlainErrorText.h"
#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

namespace {

volatile std::sig_atomic_t StopSignalled = 0;

void OnStopSignal(int) {
    StopSignalled = 1;
}

} // namespace

void InstallStopRequests() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A driver that stops reading our output must not end us in the middle of a line.
    ::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() {
    return StopSignalled != 0;
}

// Standard input is waited for directly.
struct CommandInput::Channel {};

CommandInput::CommandInput() = default;
CommandInput::~CommandInput() = default;

void CommandInput::AddTo(SocketWait& wait) {
    m_Entry = wait.Add(STDIN_FILENO, SocketWait::Read);
}

bool CommandInput::Fill(const SocketWait& wait) {
    if (!wait.Readable(m_Entry) && !wait.Broken(m_Entry))
        return true;
    std::array<char, 4096> buffer{};
    const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (got == 0)
        return false;
    m_Lines.Append({buffer.data(), static_cast<std::size_t>(got)});
    return true;
}

ProtocolStatus LoadPlainFile(const std::string& path, bool followLinks, const std::string& name,
                             std::vector<unsigned char>& content, std::string& error) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    UniqueFd fd(::open(path.c_str(), flags));
    struct stat info {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "file \"" + name + "\" not found";
        return ProtocolStatus::FileNotFound;
    }
    if (info.st_size > static_cast<off_t>(MaxFileSize)) {
        error = "file \"" + name + "\" is larger than " + std::to_string(MaxFileSize) + " bytes";
        return ProtocolStatus::TooLarge;
    }
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t got = ::read(fd.Get(), content.data() + done, content.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = "file \"" + name + "\" cannot be read: " + PlainErrorText(errno);
            return ProtocolStatus::FileUnreadable;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    content.resize(done); // a file that shrank meanwhile is served as it is now
    return ProtocolStatus::Ok;
}

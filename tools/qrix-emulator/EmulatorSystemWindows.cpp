#include "tools/qrix-emulator/EmulatorSystem.h"

#include "controller/access/PlainErrorText.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <windows.h>
#include <winsock2.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace {

std::atomic<bool> StopAsked{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        StopAsked = true;
        return TRUE;
    default:
        return FALSE;
    }
}

// A datagram socket connected to itself: the reader thread sends a byte to end
// the main thread's wait on the sockets, as nothing else can be waited for with them.
UniqueSocket SelfConnectedSocket() {
    if (!StartSockets())
        return {};
    UniqueSocket socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    if (!socket.IsValid() || ::bind(socket.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
        return {};
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket.Get()), HANDLE_FLAG_INHERIT, 0);
    return socket;
}

} // namespace

void InstallStopRequests() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopRequested() {
    return StopAsked;
}

// Standard input cannot be waited for with sockets: a thread of its own reads
// it. The thread may stay blocked in its read until the program ends, so it
// shares this channel rather than borrowing the reader's.
struct CommandInput::Channel {
    std::mutex Lock;
    std::string Text;
    bool Ended = false;
    UniqueSocket Wake = SelfConnectedSocket();

    void Read() {
        const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
        std::array<char, 4096> buffer{};
        for (;;) {
            DWORD got = 0;
            const bool read =
                ::ReadFile(input, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
            {
                const std::lock_guard<std::mutex> guard(Lock);
                if (read && got > 0)
                    Text.append(buffer.data(), got);
                else
                    Ended = true;
            }
            const char byte = 0;
            ::send(Wake.Get(), &byte, 1, 0);
            if (!read || got == 0)
                return;
        }
    }
};

CommandInput::CommandInput() : m_Channel(std::make_shared<Channel>()) {
    std::thread([channel = m_Channel] { channel->Read(); }).detach();
}

CommandInput::~CommandInput() = default;

void CommandInput::AddTo(SocketWait& wait) {
    if (m_Channel->Wake.IsValid())
        m_Entry = wait.Add(m_Channel->Wake.Get(), SocketWait::Read);
}

bool CommandInput::Fill(const SocketWait&) {
    // Whatever woke the wait, the text is looked at: without a wake socket the
    // loop's longest sleep still brings commands in.
    std::array<char, 64> drain{};
    while (m_Channel->Wake.IsValid() && ::recv(m_Channel->Wake.Get(), drain.data(), drain.size(), 0) > 0) {
    }
    const std::lock_guard<std::mutex> guard(m_Channel->Lock);
    m_Lines.Append(m_Channel->Text);
    m_Channel->Text.clear();
    return !m_Channel->Ended;
}

ProtocolStatus LoadPlainFile(const std::string& path, bool followLinks, const std::string& name,
                             std::vector<unsigned char>& content, std::string& error) {
    const DWORD flags = followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT;
    UniqueHandle file(::CreateFileW(WideText(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    // Devices such as CON or NUL open under any folder: only disk files count.
    if (!file.IsValid() || ::GetFileType(file.Get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        error = "file \"" + name + "\" not found";
        return ProtocolStatus::FileNotFound;
    }
    const unsigned long long size =
        (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > MaxFileSize) {
        error = "file \"" + name + "\" is larger than " + std::to_string(MaxFileSize) + " bytes";
        return ProtocolStatus::TooLarge;
    }
    content.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < content.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), content.data() + done, static_cast<DWORD>(content.size() - done), &got,
                        nullptr)) {
            error =
                "file \"" + name + "\" cannot be read: " + PlainErrorText(static_cast<int>(::GetLastError()));
            return ProtocolStatus::FileUnreadable;
        }
        if (got == 0)
            break;
        done += got;
    }
    content.resize(done); // a file that shrank meanwhile is served as it is now
    return ProtocolStatus::Ok;
}

#include "tools/qrix-emulator/ServerSockets.h"

#include "controller/access/PlainErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// Nonblocking, and kept from the programs a driving test or tool starts.
bool PrepareSocket(const UniqueSocket& socket) {
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
        return false;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket.Get()), HANDLE_FLAG_INHERIT, 0);
    return true;
}

int ChunkOf(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

} // namespace

// Started once and never stopped: the sockets live until the program ends.
bool StartSockets() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

UniqueSocket ListenOn(const std::string& address, std::uint16_t port, std::string& error) {
    if (!StartSockets()) {
        error = "cannot start Windows Sockets";
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        error = "cannot resolve " + address + ": " + PlainErrorText(lookup);
        return {};
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    UniqueSocket socket(::socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    if (!socket.IsValid() || !PrepareSocket(socket)) {
        error = "cannot create a socket: " + PlainErrorText(::WSAGetLastError());
        return {};
    }
    // Windows' SO_REUSEADDR would let a second emulator take the same port;
    // exclusive use refuses it, as a busy address is refused elsewhere.
    const BOOL on = TRUE;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                 sizeof on);
    if (::bind(socket.Get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0 ||
        ::listen(socket.Get(), 16) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                PlainErrorText(::WSAGetLastError());
        return {};
    }
    return socket;
}

UniqueSocket AcceptConnection(const UniqueSocket& listener) {
    UniqueSocket socket(::accept(listener.Get(), nullptr, nullptr));
    if (!socket.IsValid() || !PrepareSocket(socket))
        return {};
    const BOOL on = TRUE;
    ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return socket;
}

Transfer ReceiveSome(const UniqueSocket& socket, unsigned char* data, std::size_t length) {
    const int got = ::recv(socket.Get(), reinterpret_cast<char*>(data), ChunkOf(length), 0);
    if (got > 0)
        return {static_cast<std::size_t>(got), false};
    return {0, got == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK};
}

Transfer SendSome(const UniqueSocket& socket, const unsigned char* data, std::size_t length) {
    const int sent = ::send(socket.Get(), reinterpret_cast<const char*>(data), ChunkOf(length), 0);
    if (sent >= 0)
        return {static_cast<std::size_t>(sent), false};
    return {0, ::WSAGetLastError() != WSAEWOULDBLOCK};
}

bool SocketWait::Wait(std::chrono::milliseconds timeout, std::string& error) {
    std::vector<WSAPOLLFD> entries;
    entries.reserve(m_Entries.size());
    for (Entry& entry : m_Entries) {
        entry.Ready = 0;
        const short events = static_cast<short>(((entry.Interest & Read) ? POLLRDNORM : 0) |
                                                ((entry.Interest & Write) ? POLLWRNORM : 0));
        entries.push_back({entry.Handle, events, 0});
    }
    const int ready = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()),
                                static_cast<INT>(std::max<long long>(timeout.count(), 0)));
    if (ready < 0) {
        error = "waiting for the sockets failed: " + PlainErrorText(::WSAGetLastError());
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short revents = entries[i].revents;
        m_Entries[i].Ready = ((revents & POLLRDNORM) ? Read : 0) | ((revents & POLLWRNORM) ? Write : 0) |
                             ((revents & (POLLERR | POLLHUP | POLLNVAL)) ? BrokenFlag : 0);
    }
    return true;
}

#include "tools/qrix-emulator/ServerSockets.h"

#include "controller/access/PlainErrorText.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

} // namespace

bool StartSockets() {
    return true;
}

UniqueSocket ListenOn(const std::string& address, std::uint16_t port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        error = "cannot resolve " + address + ": " + ::gai_strerror(lookup);
        return {};
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    UniqueSocket fd(
        ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol));
    if (!fd.IsValid()) {
        error = "cannot create a socket: " + PlainErrorText(errno);
        return {};
    }
    // A restarted emulator must get its ports back while old connections linger.
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.Get(), found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd.Get(), 16) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + PlainErrorText(errno);
        return {};
    }
    return fd;
}

UniqueSocket AcceptConnection(const UniqueSocket& listener) {
    UniqueSocket fd(::accept4(listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (fd.IsValid()) {
        const int on = 1;
        ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return fd;
}

Transfer ReceiveSome(const UniqueSocket& socket, unsigned char* data, std::size_t length) {
    const ssize_t got = ::recv(socket.Get(), data, length, MSG_DONTWAIT);
    if (got > 0)
        return {static_cast<std::size_t>(got), false};
    return {0, got == 0 || !WouldBlock()};
}

Transfer SendSome(const UniqueSocket& socket, const unsigned char* data, std::size_t length) {
    // A client that went away must not end the emulator with SIGPIPE.
    const ssize_t sent = ::send(socket.Get(), data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0)
        return {static_cast<std::size_t>(sent), false};
    return {0, !WouldBlock()};
}

bool SocketWait::Wait(std::chrono::milliseconds timeout, std::string& error) {
    std::vector<pollfd> entries;
    entries.reserve(m_Entries.size());
    for (Entry& entry : m_Entries) {
        entry.Ready = 0;
        const short events = static_cast<short>(((entry.Interest & Read) ? POLLIN : 0) |
                                                ((entry.Interest & Write) ? POLLOUT : 0));
        entries.push_back({entry.Handle, events, 0});
    }
    const int ready =
        ::poll(entries.data(), entries.size(), static_cast<int>(std::max<long long>(timeout.count(), 0)));
    if (ready < 0) {
        if (errno == EINTR)
            return true;
        error = "poll failed: " + PlainErrorText(errno);
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short revents = entries[i].revents;
        m_Entries[i].Ready = ((revents & POLLIN) ? Read : 0) | ((revents & POLLOUT) ? Write : 0) |
                             ((revents & (POLLERR | POLLHUP | POLLNVAL)) ? BrokenFlag : 0);
    }
    return true;
}

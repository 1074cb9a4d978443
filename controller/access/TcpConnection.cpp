#include "controller/access/TcpConnection.h"

#include "controller/access/PlainErrorText.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace {

int RemainingMilliseconds(Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

// Waits until fd is ready for `events`; false when the deadline passed first.
bool WaitReady(int fd, short events, Deadline deadline, int& errorNumber) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, RemainingMilliseconds(deadline));
        if (ready > 0)
            return true;
        if (ready == 0) {
            errorNumber = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            errorNumber = errno;
            return false;
        }
    }
}

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

} // namespace

Deadline DeadlineAfter(std::chrono::milliseconds timeout) {
    return std::chrono::steady_clock::now() + timeout;
}

bool TcpConnection::Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                            std::string& error) {
    Close();
    const Deadline deadline = DeadlineAfter(timeout);
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        error = "cannot resolve controller address " + host + ": " + ::gai_strerror(lookup);
        return false;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    error = "cannot connect to " + where;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        UniqueFd fd(::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                             address->ai_protocol));
        if (!fd.IsValid()) {
            error = "cannot create a socket: " + PlainErrorText(errno);
            continue;
        }
        int errorNumber = 0;
        if (::connect(fd.Get(), address->ai_addr, address->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                error = "cannot connect to " + where + ": " + PlainErrorText(errno);
                continue;
            }
            if (!WaitReady(fd.Get(), POLLOUT, deadline, errorNumber)) {
                error = errorNumber == ETIMEDOUT
                            ? "connection to " + where + " timed out after " +
                                  std::to_string(timeout.count()) + " ms"
                            : "cannot connect to " + where + ": " + PlainErrorText(errorNumber);
                if (errorNumber == ETIMEDOUT)
                    return false;
                continue;
            }
            socklen_t size = sizeof errorNumber;
            if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &errorNumber, &size) != 0)
                errorNumber = errno;
            if (errorNumber != 0) {
                error = "cannot connect to " + where + ": " + PlainErrorText(errorNumber);
                continue;
            }
        }
        // Requests are small and answered at once: never hold them back.
        const int on = 1;
        ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        m_Socket = std::move(fd);
        error.clear();
        return true;
    }
    return false;
}

TransferResult TcpConnection::SendAll(const unsigned char* data, std::size_t length, Deadline deadline,
                                      std::string& error) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t sent = ::send(m_Socket.Get(), data + done, length - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            int errorNumber = 0;
            if (!WaitReady(m_Socket.Get(), POLLOUT, deadline, errorNumber)) {
                error = errorNumber == ETIMEDOUT
                            ? "the controller took no request within the time allowed"
                            : "cannot send to the controller: " + PlainErrorText(errorNumber);
                return errorNumber == ETIMEDOUT ? TransferResult::TimedOut : TransferResult::Failed;
            }
            continue;
        }
        const int errorNumber = sent < 0 ? errno : EPIPE;
        error = "cannot send to the controller: " + PlainErrorText(errorNumber);
        return (errorNumber == EPIPE || errorNumber == ECONNRESET) ? TransferResult::Closed
                                                                   : TransferResult::Failed;
    }
    return TransferResult::Ok;
}

TransferResult TcpConnection::ReceiveAll(unsigned char* data, std::size_t length, Deadline deadline,
                                         std::string& error) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t received = ::recv(m_Socket.Get(), data + done, length - done, MSG_DONTWAIT);
        if (received > 0) {
            done += static_cast<std::size_t>(received);
            continue;
        }
        if (received == 0) {
            error = "the controller closed the connection";
            return TransferResult::Closed;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            int errorNumber = 0;
            if (!WaitReady(m_Socket.Get(), POLLIN, deadline, errorNumber)) {
                error = errorNumber == ETIMEDOUT
                            ? "no answer from the controller within the time allowed"
                            : "cannot receive from the controller: " + PlainErrorText(errorNumber);
                return errorNumber == ETIMEDOUT ? TransferResult::TimedOut : TransferResult::Failed;
            }
            continue;
        }
        const int errorNumber = errno;
        error = "cannot receive from the controller: " + PlainErrorText(errorNumber);
        return errorNumber == ECONNRESET ? TransferResult::Closed : TransferResult::Failed;
    }
    return TransferResult::Ok;
}

#include "controller/access/TcpConnection.h"

#include "controller/access/PlainErrorText.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

// Winsock is started once for the whole program and never stopped: connections
// may live until the program ends.
bool SocketsStarted() {
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

timeval RemainingTime(Deadline deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now()).count();
    const long long micro = std::max<long long>(left, 0);
    return timeval{static_cast<long>(micro / 1000000), static_cast<long>(micro % 1000000)};
}

// Waits until the socket can be written (or, connecting, has failed) or read;
// false when the deadline passed first or the wait failed.
bool WaitReady(SOCKET socket, bool forWriting, Deadline deadline, int& errorNumber) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout = RemainingTime(deadline);
    const int count =
        ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
    if (count > 0)
        return true;
    errorNumber = count == 0 ? WSAETIMEDOUT : ::WSAGetLastError();
    return false;
}

int ChunkOf(std::size_t length) {
    return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
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
    if (!SocketsStarted()) {
        error = "cannot start Windows Sockets";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0) {
        error = "cannot resolve controller address " + host + ": " + PlainErrorText(lookup);
        return false;
    }
    const std::unique_ptr<addrinfo, AddressListDeleter> addresses(found);
    error = "cannot connect to " + where;
    for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
        UniqueSocket socket(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
        u_long nonBlocking = 1;
        if (!socket.IsValid() || ::ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0) {
            error = "cannot create a socket: " + PlainErrorText(::WSAGetLastError());
            continue;
        }
        // Tools started later must not inherit the connection.
        ::SetHandleInformation(reinterpret_cast<HANDLE>(socket.Get()), HANDLE_FLAG_INHERIT, 0);
        int errorNumber = 0;
        if (::connect(socket.Get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
            if (::WSAGetLastError() != WSAEWOULDBLOCK) {
                error = "cannot connect to " + where + ": " + PlainErrorText(::WSAGetLastError());
                continue;
            }
            if (!WaitReady(socket.Get(), true, deadline, errorNumber)) {
                error = errorNumber == WSAETIMEDOUT
                            ? "connection to " + where + " timed out after " +
                                  std::to_string(timeout.count()) + " ms"
                            : "cannot connect to " + where + ": " + PlainErrorText(errorNumber);
                if (errorNumber == WSAETIMEDOUT)
                    return false;
                continue;
            }
            int size = sizeof errorNumber;
            if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&errorNumber),
                             &size) != 0)
                errorNumber = ::WSAGetLastError();
            if (errorNumber != 0) {
                error = "cannot connect to " + where + ": " + PlainErrorText(errorNumber);
                continue;
            }
        }
        // Requests are small and answered at once: never hold them back.
        const BOOL on = TRUE;
        ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        m_Socket = std::move(socket);
        error.clear();
        return true;
    }
    return false;
}

TransferResult TcpConnection::SendAll(const unsigned char* data, std::size_t length, Deadline deadline,
                                      std::string& error) {
    std::size_t done = 0;
    while (done < length) {
        const int sent =
            ::send(m_Socket.Get(), reinterpret_cast<const char*>(data + done), ChunkOf(length - done), 0);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        const int errorNumber = sent < 0 ? ::WSAGetLastError() : WSAECONNRESET;
        if (errorNumber == WSAEWOULDBLOCK) {
            int waitError = 0;
            if (!WaitReady(m_Socket.Get(), true, deadline, waitError)) {
                error = waitError == WSAETIMEDOUT
                            ? "the controller took no request within the time allowed"
                            : "cannot send to the controller: " + PlainErrorText(waitError);
                return waitError == WSAETIMEDOUT ? TransferResult::TimedOut : TransferResult::Failed;
            }
            continue;
        }
        error = "cannot send to the controller: " + PlainErrorText(errorNumber);
        return errorNumber == WSAECONNRESET || errorNumber == WSAECONNABORTED || errorNumber == WSAESHUTDOWN
                   ? TransferResult::Closed
                   : TransferResult::Failed;
    }
    return TransferResult::Ok;
}

TransferResult TcpConnection::ReceiveAll(unsigned char* data, std::size_t length, Deadline deadline,
                                         std::string& error) {
    std::size_t done = 0;
    while (done < length) {
        const int received =
            ::recv(m_Socket.Get(), reinterpret_cast<char*>(data + done), ChunkOf(length - done), 0);
        if (received > 0) {
            done += static_cast<std::size_t>(received);
            continue;
        }
        if (received == 0) {
            error = "the controller closed the connection";
            return TransferResult::Closed;
        }
        const int errorNumber = ::WSAGetLastError();
        if (errorNumber == WSAEWOULDBLOCK) {
            int waitError = 0;
            if (!WaitReady(m_Socket.Get(), false, deadline, waitError)) {
                error = waitError == WSAETIMEDOUT
                            ? "no answer from the controller within the time allowed"
                            : "cannot receive from the controller: " + PlainErrorText(waitError);
                return waitError == WSAETIMEDOUT ? TransferResult::TimedOut : TransferResult::Failed;
            }
            continue;
        }
        error = "cannot receive from the controller: " + PlainErrorText(errorNumber);
        return errorNumber == WSAECONNRESET || errorNumber == WSAECONNABORTED ? TransferResult::Closed
                                                                              : TransferResult::Failed;
    }
    return TransferResult::Ok;
}

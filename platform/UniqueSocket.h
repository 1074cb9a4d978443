#pragma once

#ifdef _WIN32
#include <winsock2.h>

#include <utility>

// Owns one Windows socket and closes it when it goes.
class UniqueSocket {
public:
    UniqueSocket() = default;
    explicit UniqueSocket(SOCKET socket) : m_Socket(socket) {}
    UniqueSocket(UniqueSocket&& other) noexcept : m_Socket(std::exchange(other.m_Socket, INVALID_SOCKET)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.m_Socket, INVALID_SOCKET));
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    ~UniqueSocket() { Reset(); }

    SOCKET Get() const { return m_Socket; }
    bool IsValid() const { return m_Socket != INVALID_SOCKET; }
    void Reset(SOCKET socket = INVALID_SOCKET) {
        if (IsValid())
            ::closesocket(m_Socket);
        m_Socket = socket;
    }

private:
    SOCKET m_Socket = INVALID_SOCKET;
};
#else
#include "platform/UniqueFd.h"

// A socket is a descriptor here.
using UniqueSocket = UniqueFd;
#endif

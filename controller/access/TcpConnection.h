#pragma once

#include "platform/UniqueSocket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

using Deadline = std::chrono::steady_clock::time_point;

Deadline DeadlineAfter(std::chrono::milliseconds timeout);

// What became of one transfer; the caller drops a connection that is not Ok.
enum class TransferResult { Ok, TimedOut, Closed, Failed };

// A client TCP connection whose every operation ends by a deadline.
class TcpConnection {
public:
    // Tries each address of host in turn until one accepts or the time is up.
    bool Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                 std::string& error);
    TransferResult SendAll(const unsigned char* data, std::size_t length, Deadline deadline,
                           std::string& error);
    TransferResult ReceiveAll(unsigned char* data, std::size_t length, Deadline deadline, std::string& error);
    void Close() { m_Socket.Reset(); }
    bool IsOpen() const { return m_Socket.IsValid(); }

private:
    UniqueSocket m_Socket;
};

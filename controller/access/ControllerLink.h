#pragma once

#include "controller/access/ControllerProtocol.h"
#include "controller/access/TcpConnection.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// How one request ended.
enum class RequestResult {
    Ok,      // the expected answer's header was read; its payload is next
    Refused, // the controller sent an error answer; the connection stays usable
    Broken,  // time-out, closed connection or a malformed answer; the connection is dropped
};

// One connection to a controller port that carries request and answer frames.
class ControllerLink {
public:
    bool Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                 std::string& error);
    void Close() { m_Connection.Close(); }
    bool IsOpen() const { return m_Connection.IsOpen(); }

    // Sends one frame made of `fixed` and `tail` as payload, then reads the
    // answer's header. The answer must be `expected` with a payload of at most
    // `maxPayload` bytes, or an error answer, whose text becomes `error`.
    RequestResult Request(MessageType type, const unsigned char* fixed, std::size_t fixedLength,
                          const unsigned char* tail, std::size_t tailLength, MessageType expected,
                          std::uint32_t maxPayload, FrameHeader& answer, Deadline deadline,
                          std::string& error);
    // Reads the payload announced by the answer's header.
    RequestResult ReceivePayload(unsigned char* data, std::size_t length, Deadline deadline,
                                 std::string& error);
    // True when the last Broken result was the controller closing the connection
    // before any byte of the answer arrived: the request may be sent again.
    bool ClosedBeforeAnswer() const { return m_ClosedBeforeAnswer; }

private:
    RequestResult Drop(const std::string& reason, std::string& error);

    TcpConnection m_Connection;
    std::vector<unsigned char> m_SendBuffer;
    bool m_ClosedBeforeAnswer = false;
};

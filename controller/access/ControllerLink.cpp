#include "controller/access/ControllerLink.h"

#include <array>

bool ControllerLink::Connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                             std::string& error) {
    return m_Connection.Connect(host, port, timeout, error);
}

RequestResult ControllerLink::Drop(const std::string& reason, std::string& error) {
    m_Connection.Close();
    error = reason;
    return RequestResult::Broken;
}

RequestResult ControllerLink::Request(MessageType type, const unsigned char* fixed, std::size_t fixedLength,
                                      const unsigned char* tail, std::size_t tailLength, MessageType expected,
                                      std::uint32_t maxPayload, FrameHeader& answer, Deadline deadline,
                                      std::string& error) {
    m_ClosedBeforeAnswer = false;
    if (!m_Connection.IsOpen()) {
        error = "the connection to the controller is not open";
        return RequestResult::Broken;
    }
    const std::size_t payloadLength = fixedLength + tailLength;
    if (payloadLength > MaxPayloadLength(type))
        return Drop("request larger than the protocol allows", error);

    // One send per request: the header and the payload leave together.
    m_SendBuffer.resize(FrameHeaderSize + payloadLength);
    EncodeFrameHeader({type, 0, static_cast<std::uint32_t>(payloadLength)}, m_SendBuffer.data());
    if (fixedLength > 0)
        std::copy(fixed, fixed + fixedLength, m_SendBuffer.begin() + FrameHeaderSize);
    if (tailLength > 0)
        std::copy(tail, tail + tailLength,
                  m_SendBuffer.begin() + static_cast<std::ptrdiff_t>(FrameHeaderSize + fixedLength));

    std::string reason;
    TransferResult result = m_Connection.SendAll(m_SendBuffer.data(), m_SendBuffer.size(), deadline, reason);
    if (result == TransferResult::Ok) {
        std::array<unsigned char, FrameHeaderSize> header{};
        result = m_Connection.ReceiveAll(header.data(), header.size(), deadline, reason);
        if (result == TransferResult::Ok) {
            const HeaderProblem problem = DecodeFrameHeader(header.data(), answer);
            if (problem != HeaderProblem::None)
                return Drop("malformed answer from the controller: " + HeaderProblemText(problem), error);
            if (answer.Type == MessageType::ErrorAnswer) {
                std::array<unsigned char, MaxErrorTextLength> text{};
                if (m_Connection.ReceiveAll(text.data(), answer.PayloadLength, deadline, reason) !=
                    TransferResult::Ok)
                    return Drop(reason, error);
                error = "the controller answered: " + PrintableText(text.data(), answer.PayloadLength);
                // After a framing error the controller closes its side: so do we.
                const auto status = static_cast<ProtocolStatus>(answer.Status);
                if (status == ProtocolStatus::Malformed || status == ProtocolStatus::UnsupportedVersion ||
                    status == ProtocolStatus::UnknownMessage) {
                    m_Connection.Close();
                    return RequestResult::Broken;
                }
                return RequestResult::Refused;
            }
            if (answer.Type != expected)
                return Drop("malformed answer from the controller: unexpected message type", error);
            if (answer.PayloadLength > maxPayload)
                return Drop("malformed answer from the controller: answer longer than requested", error);
            return RequestResult::Ok;
        }
    }
    m_ClosedBeforeAnswer = result == TransferResult::Closed;
    return Drop(reason, error);
}

RequestResult ControllerLink::ReceivePayload(unsigned char* data, std::size_t length, Deadline deadline,
                                             std::string& error) {
    std::string reason;
    if (m_Connection.ReceiveAll(data, length, deadline, reason) != TransferResult::Ok)
        return Drop(reason, error);
    return RequestResult::Ok;
}

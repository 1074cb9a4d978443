#include "controller/access/ControllerProtocol.h"

#include <algorithm>

std::uint32_t MaxPayloadLength(MessageType type) {
    switch (type) {
    case MessageType::LoginRequest:
        return 2 + 2 * static_cast<std::uint32_t>(MaxNameLength);
    case MessageType::ReadFileRequest:
        return ReadFileFixedSize + static_cast<std::uint32_t>(MaxNameLength);
    case MessageType::HelloRequest:
    case MessageType::LoginAnswer:
        return 0;
    case MessageType::ExchangeRequest:
        return ExchangeFixedSize + MaxImageSize;
    case MessageType::ErrorAnswer:
        return static_cast<std::uint32_t>(MaxErrorTextLength);
    case MessageType::ReadFileAnswer:
        return ReadFileAnswerFixedSize + MaxFileChunk;
    case MessageType::HelloAnswer:
        return HelloAnswerSize;
    case MessageType::ExchangeAnswer:
        return MaxImageSize;
    }
    return 0;
}

bool IsKnownMessageType(std::uint8_t type) {
    switch (static_cast<MessageType>(type)) {
    case MessageType::LoginRequest:
    case MessageType::ReadFileRequest:
    case MessageType::HelloRequest:
    case MessageType::ExchangeRequest:
    case MessageType::ErrorAnswer:
    case MessageType::LoginAnswer:
    case MessageType::ReadFileAnswer:
    case MessageType::HelloAnswer:
    case MessageType::ExchangeAnswer:
        return true;
    }
    return false;
}

void PutUint32(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value >> 24);
    out[1] = static_cast<unsigned char>(value >> 16);
    out[2] = static_cast<unsigned char>(value >> 8);
    out[3] = static_cast<unsigned char>(value);
}

std::uint32_t GetUint32(const unsigned char* in) {
    return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) |
           std::uint32_t{in[3]};
}

void PutUint16(unsigned char* out, std::uint16_t value) {
    out[0] = static_cast<unsigned char>(value >> 8);
    out[1] = static_cast<unsigned char>(value);
}

std::uint16_t GetUint16(const unsigned char* in) {
    return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

void EncodeFrameHeader(const FrameHeader& header, unsigned char* out) {
    std::copy(ProtocolMagic.begin(), ProtocolMagic.end(), out);
    out[4] = ProtocolVersion;
    out[5] = static_cast<unsigned char>(header.Type);
    PutUint16(out + 6, header.Status);
    PutUint32(out + 8, header.PayloadLength);
}

HeaderProblem DecodeFrameHeader(const unsigned char* in, FrameHeader& header) {
    if (!std::equal(ProtocolMagic.begin(), ProtocolMagic.end(), in))
        return HeaderProblem::BadMagic;
    if (in[4] != ProtocolVersion)
        return HeaderProblem::BadVersion;
    if (!IsKnownMessageType(in[5]))
        return HeaderProblem::UnknownType;
    header.Type = static_cast<MessageType>(in[5]);
    header.Status = GetUint16(in + 6);
    header.PayloadLength = GetUint32(in + 8);
    if (header.PayloadLength > MaxPayloadLength(header.Type))
        return HeaderProblem::TooLong;
    return HeaderProblem::None;
}

std::string HeaderProblemText(HeaderProblem problem) {
    switch (problem) {
    case HeaderProblem::None:
        return "no problem";
    case HeaderProblem::BadMagic:
        return "not a frame of this protocol";
    case HeaderProblem::BadVersion:
        return "unsupported protocol version";
    case HeaderProblem::UnknownType:
        return "unknown message type";
    case HeaderProblem::TooLong:
        return "payload longer than the message allows";
    }
    return "unknown problem";
}

std::string PrintableText(const unsigned char* data, std::size_t length) {
    std::string text;
    const std::size_t kept = std::min(length, MaxErrorTextLength);
    text.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i)
        text += (data[i] >= 0x20 && data[i] < 0x7F) ? static_cast<char>(data[i]) : '?';
    return text;
}

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The wire format between the access library and a controller (or the
// emulator). docs/controller-protocol.md describes it; every number here is
// part of that contract. Integers on the wire are most significant byte first.

// The event manager's fixed log-in; an emulator accepts it unless told otherwise.
constexpr const char* ControllerUserName = "1";
constexpr const char* ControllerPassword = "1";

constexpr std::uint16_t FileTransferPort = 26801;
constexpr std::uint16_t HighspeedPort = 26802;

constexpr std::uint8_t ProtocolVersion = 1;
constexpr std::array<unsigned char, 4> ProtocolMagic = {'Q', 'R', 'X', 'P'};
constexpr std::size_t FrameHeaderSize = 12;

// Limits that both sides check before they allocate or copy anything.
constexpr std::uint32_t MaxImageSize = 0x100000;
constexpr std::uint32_t MaxFileSize = 16U * 1024U * 1024U;
constexpr std::uint32_t MaxFileChunk = 64U * 1024U;
constexpr std::size_t MaxNameLength = 199;
constexpr std::size_t MaxErrorTextLength = 255;

// Request payload bytes before the variable part.
constexpr std::uint32_t ReadFileFixedSize = 9;  // offset, max length, name length
constexpr std::uint32_t ExchangeFixedSize = 12; // write offset, write length, read length
constexpr std::uint32_t HelloAnswerSize = 8;    // input image size, output image size
constexpr std::uint32_t ReadFileAnswerFixedSize = 4;

enum class MessageType : std::uint8_t {
    LoginRequest = 0x01,
    ReadFileRequest = 0x02,
    HelloRequest = 0x10,
    ExchangeRequest = 0x11,
    ErrorAnswer = 0x7F,
    LoginAnswer = 0x81,
    ReadFileAnswer = 0x82,
    HelloAnswer = 0x90,
    ExchangeAnswer = 0x91,
};

// Status of an error answer.
enum class ProtocolStatus : std::uint16_t {
    Ok = 0,
    UnsupportedVersion = 1,
    UnknownMessage = 2,
    Malformed = 3,
    NotLoggedIn = 4,
    LoginFailed = 5,
    FileNotFound = 6,
    OutOfRange = 7,
    TooLarge = 8,
    FileUnreadable = 9,
};

struct FrameHeader {
    MessageType Type = MessageType::ErrorAnswer;
    std::uint16_t Status = 0;
    std::uint32_t PayloadLength = 0;
};

// The largest payload a message of this type may carry; 0 for an unknown type.
std::uint32_t MaxPayloadLength(MessageType type);
bool IsKnownMessageType(std::uint8_t type);

void EncodeFrameHeader(const FrameHeader& header, unsigned char* out);

enum class HeaderProblem { None, BadMagic, BadVersion, UnknownType, TooLong };
// Checks magic, version, type and the payload limit of the type.
HeaderProblem DecodeFrameHeader(const unsigned char* in, FrameHeader& header);
std::string HeaderProblemText(HeaderProblem problem);

void PutUint32(unsigned char* out, std::uint32_t value);
std::uint32_t GetUint32(const unsigned char* in);
void PutUint16(unsigned char* out, std::uint16_t value);
std::uint16_t GetUint16(const unsigned char* in);

// An error text from the other side made safe to show: printable ASCII only,
// at most MaxErrorTextLength characters.
std::string PrintableText(const unsigned char* data, std::size_t length);

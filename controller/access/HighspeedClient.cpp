#include "controller/access/HighspeedClient.h"

#include <array>

std::int32_t HighspeedClient::Open(const std::string& host, std::chrono::milliseconds requestTimeout,
                                   std::string& error) {
    Close();
    m_Host = host;
    if (const std::int32_t code = Connect(requestTimeout, error); code != CDDLG_OK)
        return code;
    m_Open = true;
    return CDDLG_OK;
}

void HighspeedClient::Close() {
    m_Link.Close();
    m_Open = false;
    m_Host.clear();
}

std::int32_t HighspeedClient::Connect(std::chrono::milliseconds requestTimeout, std::string& error) {
    if (!m_Link.Connect(m_Host, HighspeedPort, ConnectTimeout, error))
        return CDDLG_ERROR_CONNECT;
    FrameHeader answer;
    const Deadline deadline = DeadlineAfter(requestTimeout);
    const RequestResult result =
        m_Link.Request(MessageType::HelloRequest, nullptr, 0, nullptr, 0, MessageType::HelloAnswer,
                       HelloAnswerSize, answer, deadline, error);
    if (result != RequestResult::Ok) {
        m_Link.Close();
        return result == RequestResult::Refused ? CDDLG_ERROR_REFUSED : CDDLG_ERROR_COMMUNICATION;
    }
    std::array<unsigned char, HelloAnswerSize> sizes{};
    if (answer.PayloadLength != HelloAnswerSize) {
        m_Link.Close();
        error = "malformed answer from the controller: image sizes missing";
        return CDDLG_ERROR_COMMUNICATION;
    }
    if (m_Link.ReceivePayload(sizes.data(), sizes.size(), deadline, error) != RequestResult::Ok)
        return CDDLG_ERROR_COMMUNICATION;
    m_InputSize = GetUint32(sizes.data());
    m_OutputSize = GetUint32(sizes.data() + 4);
    if (m_InputSize > MaxImageSize || m_OutputSize > MaxImageSize) {
        m_Link.Close();
        error = "malformed answer from the controller: image larger than " + std::to_string(MaxImageSize) +
                " bytes";
        return CDDLG_ERROR_COMMUNICATION;
    }
    return CDDLG_OK;
}

bool HighspeedClient::CheckRanges(std::int32_t writeLength, std::int32_t writeOffset, std::int32_t readLength,
                                  std::string& error) const {
    if (writeLength > 0 &&
        (writeOffset < 0 || static_cast<std::uint64_t>(writeOffset) + writeLength > m_OutputSize)) {
        error = "write of " + std::to_string(writeLength) + " bytes at offset " +
                std::to_string(writeOffset) + " lies outside the output image of " +
                std::to_string(m_OutputSize) + " bytes";
        return false;
    }
    if (static_cast<std::uint32_t>(readLength) > m_InputSize) {
        error = "read of " + std::to_string(readLength) + " bytes exceeds the input image of " +
                std::to_string(m_InputSize) + " bytes";
        return false;
    }
    return true;
}

RequestResult HighspeedClient::Send(const unsigned char* writeData, std::int32_t writeLength,
                                    std::int32_t writeOffset, unsigned char* readData,
                                    std::int32_t readLength, Deadline deadline, std::string& error) {
    std::array<unsigned char, ExchangeFixedSize> fixed{};
    PutUint32(fixed.data(), writeLength > 0 ? static_cast<std::uint32_t>(writeOffset) : 0);
    PutUint32(fixed.data() + 4, static_cast<std::uint32_t>(writeLength));
    PutUint32(fixed.data() + 8, static_cast<std::uint32_t>(readLength));
    FrameHeader answer;
    const auto expected = static_cast<std::uint32_t>(readLength);
    RequestResult result = m_Link.Request(MessageType::ExchangeRequest, fixed.data(), fixed.size(), writeData,
                                          static_cast<std::size_t>(writeLength), MessageType::ExchangeAnswer,
                                          expected, answer, deadline, error);
    if (result != RequestResult::Ok)
        return result;
    if (answer.PayloadLength != expected) {
        m_Link.Close();
        error = "malformed answer from the controller: " + std::to_string(answer.PayloadLength) +
                " bytes instead of " + std::to_string(expected);
        return RequestResult::Broken;
    }
    return expected == 0 ? RequestResult::Ok : m_Link.ReceivePayload(readData, expected, deadline, error);
}

std::int32_t HighspeedClient::Exchange(const unsigned char* writeData, std::int32_t writeLength,
                                       std::int32_t writeOffset, unsigned char* readData,
                                       std::int32_t readLength, std::chrono::milliseconds requestTimeout,
                                       std::string& error) {
    if (!m_Open) {
        error = "no high-speed port is open";
        return CDDLG_ERROR_NOT_OPEN;
    }
    if (writeLength < 0 || readLength < 0) {
        error =
            "negative length: write " + std::to_string(writeLength) + ", read " + std::to_string(readLength);
        return CDDLG_ERROR_ARGUMENT;
    }
    if ((writeLength > 0 && writeData == nullptr) || (readLength > 0 && readData == nullptr)) {
        error = "no buffer given for the data to write or to read";
        return CDDLG_ERROR_ARGUMENT;
    }
    const bool reused = m_Link.IsOpen();
    if (!reused) {
        if (const std::int32_t code = Connect(requestTimeout, error); code != CDDLG_OK)
            return code;
    }
    // Sizes that the controller announced do not fit this request: the link is
    // useless, and only a new hello tells when the controller has changed.
    if (!CheckRanges(writeLength, writeOffset, readLength, error)) {
        m_Link.Close();
        return CDDLG_ERROR_ARGUMENT;
    }
    RequestResult result =
        Send(writeData, writeLength, writeOffset, readData, readLength, DeadlineAfter(requestTimeout), error);
    // A connection that lay idle may have been closed by a controller that
    // restarted; writes are absolute, so sending the request again is safe.
    if (result == RequestResult::Broken && reused && m_Link.ClosedBeforeAnswer()) {
        if (const std::int32_t code = Connect(requestTimeout, error); code != CDDLG_OK)
            return code;
        if (!CheckRanges(writeLength, writeOffset, readLength, error)) {
            m_Link.Close();
            return CDDLG_ERROR_ARGUMENT;
        }
        result = Send(writeData, writeLength, writeOffset, readData, readLength,
                      DeadlineAfter(requestTimeout), error);
    }
    if (result == RequestResult::Ok)
        return CDDLG_OK;
    return result == RequestResult::Refused ? CDDLG_ERROR_REFUSED : CDDLG_ERROR_COMMUNICATION;
}

std::int32_t HighspeedClient::ImageSizes(std::chrono::milliseconds requestTimeout, std::uint32_t& inputSize,
                                         std::uint32_t& outputSize, std::string& error) {
    if (!m_Open) {
        error = "no high-speed port is open";
        return CDDLG_ERROR_NOT_OPEN;
    }
    if (!m_Link.IsOpen()) {
        if (const std::int32_t code = Connect(requestTimeout, error); code != CDDLG_OK)
            return code;
    }
    inputSize = m_InputSize;
    outputSize = m_OutputSize;
    return CDDLG_OK;
}

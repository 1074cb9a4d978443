#include "controller/access/FileTransferClient.h"

#include "controller/access/LocalFileStore.h"

#include <algorithm>
#include <array>

namespace {

void AppendText(std::vector<unsigned char>& out, const std::string& text) {
    out.push_back(static_cast<unsigned char>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

} // namespace

std::int32_t FileTransferClient::Open(const std::string& host, const std::string& userName,
                                      const std::string& password, std::chrono::milliseconds connectTimeout,
                                      std::string& error) {
    if (userName.size() > MaxNameLength || password.size() > MaxNameLength) {
        error = "user name or password longer than " + std::to_string(MaxNameLength) + " characters";
        return CDDLG_ERROR_ARGUMENT;
    }
    if (!m_Link.Connect(host, FileTransferPort, connectTimeout, error))
        return CDDLG_ERROR_CONNECT;
    std::vector<unsigned char> payload;
    AppendText(payload, userName);
    AppendText(payload, password);
    FrameHeader answer;
    const RequestResult result =
        m_Link.Request(MessageType::LoginRequest, payload.data(), payload.size(), nullptr, 0,
                       MessageType::LoginAnswer, 0, answer, DeadlineAfter(RequestTimeout), error);
    if (result != RequestResult::Ok) {
        m_Link.Close();
        return result == RequestResult::Refused ? CDDLG_ERROR_REFUSED : CDDLG_ERROR_COMMUNICATION;
    }
    return CDDLG_OK;
}

std::int32_t FileTransferClient::Download(const std::string& remoteName, std::vector<unsigned char>& content,
                                          std::string& error) {
    std::uint32_t total = 0;
    bool knowTotal = false;
    content.clear();
    std::vector<unsigned char> name(remoteName.begin(), remoteName.end());
    for (;;) {
        const auto offset = static_cast<std::uint32_t>(content.size());
        std::array<unsigned char, ReadFileFixedSize> fixed{};
        PutUint32(fixed.data(), offset);
        PutUint32(fixed.data() + 4, MaxFileChunk);
        fixed[8] = static_cast<unsigned char>(name.size());
        FrameHeader answer;
        const Deadline deadline = DeadlineAfter(RequestTimeout);
        const RequestResult result = m_Link.Request(
            MessageType::ReadFileRequest, fixed.data(), fixed.size(), name.data(), name.size(),
            MessageType::ReadFileAnswer, ReadFileAnswerFixedSize + MaxFileChunk, answer, deadline, error);
        if (result != RequestResult::Ok)
            return result == RequestResult::Refused ? CDDLG_ERROR_REFUSED : CDDLG_ERROR_COMMUNICATION;
        if (answer.PayloadLength < ReadFileAnswerFixedSize) {
            m_Link.Close();
            error = "malformed answer from the controller: file answer without its size";
            return CDDLG_ERROR_COMMUNICATION;
        }
        std::array<unsigned char, ReadFileAnswerFixedSize> size{};
        if (m_Link.ReceivePayload(size.data(), size.size(), deadline, error) != RequestResult::Ok)
            return CDDLG_ERROR_COMMUNICATION;
        const std::uint32_t announced = GetUint32(size.data());
        const std::uint32_t chunk = answer.PayloadLength - ReadFileAnswerFixedSize;
        if (announced > MaxFileSize) {
            m_Link.Close();
            error = "the file " + remoteName + " is larger than " + std::to_string(MaxFileSize) + " bytes";
            return CDDLG_ERROR_COMMUNICATION;
        }
        const std::uint32_t expected = std::min(MaxFileChunk, announced - std::min(announced, offset));
        if ((knowTotal && announced != total) || chunk != expected) {
            m_Link.Close();
            error = "malformed answer from the controller: file size or piece out of range";
            return CDDLG_ERROR_COMMUNICATION;
        }
        if (!knowTotal) {
            total = announced;
            knowTotal = true;
            content.reserve(total);
        }
        content.resize(offset + chunk);
        if (chunk > 0 &&
            m_Link.ReceivePayload(content.data() + offset, chunk, deadline, error) != RequestResult::Ok)
            return CDDLG_ERROR_COMMUNICATION;
        if (content.size() == total)
            return CDDLG_OK;
    }
}

std::int32_t FileTransferClient::ReadFile(const std::string& remoteName, const std::string& localPath,
                                          std::string& error) {
    if (!m_Link.IsOpen()) {
        error = "no file transfer connection is open";
        return CDDLG_ERROR_NOT_OPEN;
    }
    if (remoteName.empty() || remoteName.size() > MaxNameLength) {
        error = "remote file name empty or longer than " + std::to_string(MaxNameLength) + " characters";
        return CDDLG_ERROR_ARGUMENT;
    }
    if (localPath.empty()) {
        error = "no local path given";
        return CDDLG_ERROR_ARGUMENT;
    }
    std::vector<unsigned char> content;
    if (const std::int32_t code = Download(remoteName, content, error); code != CDDLG_OK)
        return code;
    return StoreFileWhole(localPath, content, error) ? CDDLG_OK : CDDLG_ERROR_LOCAL_FILE;
}

#include "tools/qrix-emulator/ProtocolServer.h"

#include "controller/access/PlainErrorText.h"

#include <array>
#include <iostream>

bool ProtocolServer::Listen(const std::string& address, std::string& error) {
    m_FileListener = ListenOn(address, FileTransferPort, error);
    if (!m_FileListener.IsValid())
        return false;
    m_HighspeedListener = ListenOn(address, HighspeedPort, error);
    return m_HighspeedListener.IsValid();
}

void ProtocolServer::Log(const std::string& text) const {
    if (m_Verbose)
        std::cerr << "qrix-emulator: " << text << std::endl;
}

void ProtocolServer::AddPollEntries(SocketWait& wait, Clock::time_point now) {
    m_Connections.remove_if([](const Connection& connection) { return connection.Dead; });
    m_FirstEntry = wait.Add(m_FileListener.Get(), SocketWait::Read);
    wait.Add(m_HighspeedListener.Get(), SocketWait::Read);
    m_Polled.clear();
    const bool stalled = now < m_StallUntil;
    for (Connection& connection : m_Connections) {
        unsigned interest = 0;
        if (connection.OutputSent < connection.Output.size())
            interest = SocketWait::Write;
        else if (!connection.CloseAfterOutput && !(stalled && connection.Kind == Port::Highspeed))
            interest = SocketWait::Read;
        wait.Add(connection.Socket.Get(), interest);
        m_Polled.push_back(&connection);
    }
}

void ProtocolServer::HandlePollEntries(const SocketWait& wait) {
    if (wait.Readable(m_FirstEntry))
        Accept(m_FileListener, Port::FileTransfer);
    if (wait.Readable(m_FirstEntry + 1))
        Accept(m_HighspeedListener, Port::Highspeed);
    for (std::size_t i = 0; i < m_Polled.size(); ++i) {
        Connection& connection = *m_Polled[i];
        const std::size_t entry = m_FirstEntry + 2 + i;
        if (wait.Writable(entry))
            Flush(connection);
        else if (wait.Readable(entry))
            Receive(connection);
        else if (wait.Broken(entry))
            connection.Dead = true;
    }
}

void ProtocolServer::Accept(const UniqueSocket& listener, Port kind) {
    UniqueSocket socket = AcceptConnection(listener);
    if (!socket.IsValid())
        return;
    std::size_t open = 0;
    for (const Connection& connection : m_Connections)
        open += (connection.Kind == kind && !connection.Dead) ? 1 : 0;
    if (open >= MaxConnectionsPerPort) {
        Log("connection refused: too many connections");
        return;
    }
    Log(std::string(kind == Port::FileTransfer ? "file transfer" : "high-speed") + " connection accepted");
    Connection& connection = m_Connections.emplace_back();
    connection.Socket = std::move(socket);
    connection.Kind = kind;
}

void ProtocolServer::Receive(Connection& connection) {
    // Only the bytes the current frame still needs, so nothing grows beyond one frame.
    for (;;) {
        FrameHeader header;
        std::size_t needed = FrameHeaderSize;
        if (connection.Input.size() >= FrameHeaderSize) {
            DecodeFrameHeader(connection.Input.data(), header);
            needed = FrameHeaderSize + header.PayloadLength;
        }
        const std::size_t had = connection.Input.size();
        if (had < needed) {
            connection.Input.resize(needed);
            const Transfer got = ReceiveSome(connection.Socket, connection.Input.data() + had, needed - had);
            connection.Input.resize(had + got.Bytes);
            if (got.Bytes == 0) {
                if (got.Ended) {
                    connection.Dead = true;
                    Log("connection closed by the client");
                }
                return;
            }
        }
        if (connection.Input.size() < FrameHeaderSize)
            return;
        if (had < FrameHeaderSize) {
            const HeaderProblem problem = DecodeFrameHeader(connection.Input.data(), header);
            if (problem != HeaderProblem::None) {
                connection.Input.clear();
                const ProtocolStatus status =
                    problem == HeaderProblem::BadVersion    ? ProtocolStatus::UnsupportedVersion
                    : problem == HeaderProblem::UnknownType ? ProtocolStatus::UnknownMessage
                                                            : ProtocolStatus::Malformed;
                Refuse(connection, status, HeaderProblemText(problem), true);
                return;
            }
            continue; // the payload may be waiting already
        }
        if (connection.Input.size() == needed) {
            HandleFrame(connection, header, connection.Input.data() + FrameHeaderSize);
            connection.Input.clear();
            return;
        }
    }
}

void ProtocolServer::HandleFrame(Connection& connection, const FrameHeader& header,
                                 const unsigned char* payload) {
    const std::uint32_t length = header.PayloadLength;
    if (connection.Kind == Port::FileTransfer && header.Type == MessageType::LoginRequest)
        HandleLogin(connection, payload, length);
    else if (connection.Kind == Port::FileTransfer && header.Type == MessageType::ReadFileRequest)
        HandleReadFile(connection, payload, length);
    else if (connection.Kind == Port::Highspeed && header.Type == MessageType::HelloRequest)
        HandleHello(connection, length);
    else if (connection.Kind == Port::Highspeed && header.Type == MessageType::ExchangeRequest)
        HandleExchange(connection, payload, length);
    else
        Refuse(connection, ProtocolStatus::UnknownMessage, "message not served on this port", true);
}

void ProtocolServer::HandleLogin(Connection& connection, const unsigned char* payload, std::uint32_t length) {
    // user name length, user name, password length, password: nothing more, nothing less
    if (length < 1 || length < 2u + payload[0] || length != 2u + payload[0] + payload[1u + payload[0]]) {
        Refuse(connection, ProtocolStatus::Malformed, "malformed log-in request", true);
        return;
    }
    const std::string user(reinterpret_cast<const char*>(payload + 1), payload[0]);
    const std::string password(reinterpret_cast<const char*>(payload + 2 + payload[0]),
                               payload[1u + payload[0]]);
    if (user != m_Credentials.UserName || password != m_Credentials.Password) {
        connection.LoggedIn = false;
        ++m_Counters.RefusedLogins;
        Refuse(connection, ProtocolStatus::LoginFailed, "wrong user name or password");
        return;
    }
    connection.LoggedIn = true;
    ++m_Counters.Logins;
    Log("log-in of " + user);
    Answer(connection, MessageType::LoginAnswer, nullptr, 0, nullptr, 0);
}

void ProtocolServer::HandleReadFile(Connection& connection, const unsigned char* payload,
                                    std::uint32_t length) {
    if (length < ReadFileFixedSize || length != ReadFileFixedSize + payload[8]) {
        Refuse(connection, ProtocolStatus::Malformed, "malformed file request", true);
        return;
    }
    if (!connection.LoggedIn) {
        Refuse(connection, ProtocolStatus::NotLoggedIn, "not logged in");
        return;
    }
    const std::uint32_t offset = GetUint32(payload);
    const std::uint32_t maxLength = std::min(GetUint32(payload + 4), MaxFileChunk);
    const std::string name(reinterpret_cast<const char*>(payload + ReadFileFixedSize), payload[8]);
    std::vector<unsigned char> content;
    std::string error;
    const ProtocolStatus status = m_Files.Load(name, content, error);
    if (status != ProtocolStatus::Ok) {
        Refuse(connection, status, error);
        return;
    }
    if (offset > content.size()) {
        Refuse(connection, ProtocolStatus::OutOfRange, "offset beyond the end of \"" + name + "\"");
        return;
    }
    const std::size_t chunk = std::min<std::size_t>(maxLength, content.size() - offset);
    std::array<unsigned char, ReadFileAnswerFixedSize> size{};
    PutUint32(size.data(), static_cast<std::uint32_t>(content.size()));
    Answer(connection, MessageType::ReadFileAnswer, size.data(), size.size(), content.data() + offset, chunk);
    if (offset + chunk == content.size()) {
        ++m_Counters.FilesServed;
        Log("served \"" + name + "\"");
    }
}

void ProtocolServer::HandleHello(Connection& connection, std::uint32_t length) {
    if (length != 0) {
        Refuse(connection, ProtocolStatus::Malformed, "malformed hello", true);
        return;
    }
    std::array<unsigned char, HelloAnswerSize> sizes{};
    PutUint32(sizes.data(), static_cast<std::uint32_t>(m_Images.Image(ImageSide::Input).size()));
    PutUint32(sizes.data() + 4, static_cast<std::uint32_t>(m_Images.Image(ImageSide::Output).size()));
    Answer(connection, MessageType::HelloAnswer, sizes.data(), sizes.size(), nullptr, 0);
}

void ProtocolServer::HandleExchange(Connection& connection, const unsigned char* payload,
                                    std::uint32_t length) {
    if (length < ExchangeFixedSize || length - ExchangeFixedSize != GetUint32(payload + 4)) {
        Refuse(connection, ProtocolStatus::Malformed, "malformed exchange request", true);
        return;
    }
    const std::uint32_t writeOffset = GetUint32(payload);
    const std::uint32_t writeLength = GetUint32(payload + 4);
    const std::uint32_t readLength = GetUint32(payload + 8);
    auto& output = m_Images.Image(ImageSide::Output);
    const auto& input = m_Images.Image(ImageSide::Input);
    if (writeLength > 0 && std::uint64_t{writeOffset} + writeLength > output.size()) {
        Refuse(connection, ProtocolStatus::OutOfRange,
               "write of " + std::to_string(writeLength) + " bytes at offset " + std::to_string(writeOffset) +
                   " lies outside the output image of " + std::to_string(output.size()) + " bytes");
        return;
    }
    if (readLength > input.size()) {
        Refuse(connection, ProtocolStatus::OutOfRange,
               "read of " + std::to_string(readLength) + " bytes exceeds the input image of " +
                   std::to_string(input.size()) + " bytes");
        return;
    }
    std::copy(payload + ExchangeFixedSize, payload + ExchangeFixedSize + writeLength,
              output.begin() + writeOffset);
    Answer(connection, MessageType::ExchangeAnswer, input.data(), readLength, nullptr, 0);
    ++m_Counters.Exchanges;
    if (OnExchange)
        OnExchange();
}

void ProtocolServer::Answer(Connection& connection, MessageType type, const unsigned char* fixed,
                            std::size_t fixedLength, const unsigned char* tail, std::size_t tailLength) {
    const std::size_t start = connection.Output.size();
    connection.Output.resize(start + FrameHeaderSize + fixedLength + tailLength);
    unsigned char* out = connection.Output.data() + start;
    EncodeFrameHeader({type, 0, static_cast<std::uint32_t>(fixedLength + tailLength)}, out);
    if (fixedLength > 0)
        std::copy(fixed, fixed + fixedLength, out + FrameHeaderSize);
    if (tailLength > 0)
        std::copy(tail, tail + tailLength, out + FrameHeaderSize + fixedLength);
    Flush(connection);
}

void ProtocolServer::Refuse(Connection& connection, ProtocolStatus status, const std::string& text,
                            bool close) {
    ++m_Counters.ErrorAnswers;
    Log("refused: " + text);
    const std::string kept = text.substr(0, MaxErrorTextLength);
    const std::size_t start = connection.Output.size();
    connection.Output.resize(start + FrameHeaderSize + kept.size());
    EncodeFrameHeader({MessageType::ErrorAnswer, static_cast<std::uint16_t>(status),
                       static_cast<std::uint32_t>(kept.size())},
                      connection.Output.data() + start);
    std::copy(kept.begin(), kept.end(),
              connection.Output.begin() + static_cast<std::ptrdiff_t>(start + FrameHeaderSize));
    connection.CloseAfterOutput = connection.CloseAfterOutput || close;
    Flush(connection);
}

void ProtocolServer::Flush(Connection& connection) {
    while (connection.OutputSent < connection.Output.size()) {
        const Transfer sent = SendSome(connection.Socket, connection.Output.data() + connection.OutputSent,
                                       connection.Output.size() - connection.OutputSent);
        connection.OutputSent += sent.Bytes;
        if (sent.Ended)
            connection.Dead = true;
        if (sent.Bytes == 0)
            return;
    }
    connection.Output.clear();
    connection.OutputSent = 0;
    if (connection.CloseAfterOutput)
        connection.Dead = true;
}

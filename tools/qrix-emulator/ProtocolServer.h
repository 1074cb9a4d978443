#pragma once

#include "controller/access/ControllerProtocol.h"
#include "tools/qrix-emulator/FileCatalogue.h"
#include "tools/qrix-emulator/ProcessImages.h"
#include "tools/qrix-emulator/ServerSockets.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;

struct Credentials {
    std::string UserName;
    std::string Password;
};

struct ServerCounters {
    std::uint64_t Logins = 0;
    std::uint64_t RefusedLogins = 0;
    std::uint64_t FilesServed = 0;
    std::uint64_t Exchanges = 0;
    std::uint64_t ErrorAnswers = 0;
};

// The server side of the controller protocol on both ports. It runs inside the
// caller's poll loop: AddPollEntries, wait, then HandlePollEntries.
class ProtocolServer {
public:
    static constexpr std::size_t MaxConnectionsPerPort = 16;

    ProtocolServer(ProcessImages& images, const FileCatalogue& files, Credentials credentials, bool verbose)
        : m_Images(images), m_Files(files), m_Credentials(std::move(credentials)), m_Verbose(verbose) {}

    bool Listen(const std::string& address, std::string& error);

    void AddPollEntries(SocketWait& wait, Clock::time_point now);
    void HandlePollEntries(const SocketWait& wait);

    // Holds back the answers of the high-speed port until the time has passed.
    void Stall(std::chrono::milliseconds duration) { m_StallUntil = Clock::now() + duration; }
    Clock::time_point StallEnd() const { return m_StallUntil; }

    const ServerCounters& Counters() const { return m_Counters; }
    // Called after every exchange, once its write is in the output image.
    std::function<void()> OnExchange;

private:
    enum class Port { FileTransfer, Highspeed };

    struct Connection {
        UniqueSocket Socket;
        Port Kind = Port::FileTransfer;
        std::vector<unsigned char> Input;
        std::vector<unsigned char> Output;
        std::size_t OutputSent = 0;
        bool LoggedIn = false;
        bool CloseAfterOutput = false;
        bool Dead = false;
    };

    void Accept(const UniqueSocket& listener, Port kind);
    void Receive(Connection& connection);
    void Flush(Connection& connection);
    void HandleFrame(Connection& connection, const FrameHeader& header, const unsigned char* payload);
    void HandleLogin(Connection& connection, const unsigned char* payload, std::uint32_t length);
    void HandleReadFile(Connection& connection, const unsigned char* payload, std::uint32_t length);
    void HandleHello(Connection& connection, std::uint32_t length);
    void HandleExchange(Connection& connection, const unsigned char* payload, std::uint32_t length);
    void Answer(Connection& connection, MessageType type, const unsigned char* fixed, std::size_t fixedLength,
                const unsigned char* tail, std::size_t tailLength);
    void Refuse(Connection& connection, ProtocolStatus status, const std::string& text, bool close = false);
    void Log(const std::string& text) const;

    ProcessImages& m_Images;
    const FileCatalogue& m_Files;
    Credentials m_Credentials;
    bool m_Verbose = false;
    UniqueSocket m_FileListener;
    UniqueSocket m_HighspeedListener;
    std::list<Connection> m_Connections;
    std::size_t m_FirstEntry = 0;      // our first wait entry: the two listeners, then m_Polled
    std::vector<Connection*> m_Polled; // the connection of each later entry
    Clock::time_point m_StallUntil{};
    ServerCounters m_Counters;
};

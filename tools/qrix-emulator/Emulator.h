#pragma once

#include "device/DeviceDescription.h"
#include "tools/qrix-emulator/FileCatalogue.h"
#include "tools/qrix-emulator/Handshake.h"
#include "tools/qrix-emulator/ProcessImages.h"
#include "tools/qrix-emulator/ProtocolServer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct EmulatorOptions {
    std::string SummaryPath;
    std::string Folder;
    std::string Address = "127.0.0.1";
    Credentials Login;
    std::optional<std::uint32_t> InputSize;
    std::optional<std::uint32_t> OutputSize;
    bool ReadCommands = true;
    bool Verbose = false;
    // A handshake run that starts with the first exchange of a client.
    bool StartupHandshake = false;
    std::string EventName;
    std::string AcknowledgeName;
    HandshakeSettings Handshake;
    std::chrono::seconds WaitForClient{60};
    bool QuitAfterHandshake = false;
};

// The emulated controller: its description, images, files and server, driven
// by one poll loop that also reads the command channel.
class Emulator {
public:
    explicit Emulator(EmulatorOptions options);

    bool Start(std::string& error);
    // Serves until "quit", a signal, or the end of a start-up handshake with
    // QuitAfterHandshake. 0, or 2 when that handshake left bits unacknowledged.
    int Run();

    ProcessImages& Images() { return m_Images; }
    ProtocolServer& Server() { return *m_Server; }
    bool StartHandshake(const std::string& eventName, const std::string& acknowledgeName,
                        const HandshakeSettings& settings, std::string& error);
    void Quit() { m_Quit = true; }

private:
    void FinishHandshake();
    void AfterExchange();

    EmulatorOptions m_Options;
    DeviceDescription m_Description;
    ProcessImages m_Images;
    FileCatalogue m_Files;
    std::unique_ptr<ProtocolServer> m_Server;
    std::unique_ptr<Handshake> m_Handshake;
    bool m_WaitingForClient = false;
    bool m_Quit = false;
    int m_ExitCode = 0;
};

// Writes one line to standard output at once, so that a driving program sees it.
void PrintLine(const std::string& line);

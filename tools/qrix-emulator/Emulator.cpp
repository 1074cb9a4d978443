#include "tools/qrix-emulator/Emulator.h"

#include "platform/FileContent.h"
#include "tools/qrix-emulator/CommandInterpreter.h"
#include "tools/qrix-emulator/EmulatorSystem.h"

#include <algorithm>
#include <iostream>

namespace {

constexpr std::chrono::milliseconds LongestSleep{200};

} // namespace

void PrintLine(const std::string& line) {
    std::cout << line << std::endl;
}

Emulator::Emulator(EmulatorOptions options)
    : m_Options(std::move(options)), m_Files(m_Options.SummaryPath, m_Options.Folder) {}

bool Emulator::Start(std::string& error) {
    if (!m_Options.SummaryPath.empty()) {
        std::string summary;
        if (!ReadFileContent(m_Options.SummaryPath, MaxFileSize, summary)) {
            error = "cannot read the summary file " + m_Options.SummaryPath + " (a plain file of at most " +
                    std::to_string(MaxFileSize) + " bytes)";
            return false;
        }
        ParseSummaryFile(m_Description, m_Options.SummaryPath);
        if (!m_Description.CountLimitMessage.empty())
            std::cerr << "qrix-emulator: " << m_Description.CountLimitMessage << std::endl;
    }
    std::optional<std::uint32_t> inputSize = m_Options.InputSize;
    std::optional<std::uint32_t> outputSize = m_Options.OutputSize;
    // Without a summary the images still need a size for peek, poke and exchanges.
    constexpr std::uint32_t DefaultImageSize = 1024;
    if (m_Options.SummaryPath.empty()) {
        inputSize = inputSize.value_or(DefaultImageSize);
        outputSize = outputSize.value_or(DefaultImageSize);
    }
    if (!m_Images.Configure(m_Description, inputSize, outputSize, error))
        return false;
    m_Server = std::make_unique<ProtocolServer>(m_Images, m_Files, m_Options.Login, m_Options.Verbose);
    m_Server->OnExchange = [this] { AfterExchange(); };
    if (!m_Server->Listen(m_Options.Address, error))
        return false;
    if (m_Options.StartupHandshake) {
        // Check the names now, so that a typing error ends the start and not the run.
        for (const auto& [name, side] : {std::pair{m_Options.EventName, ImageSide::Input},
                                         std::pair{m_Options.AcknowledgeName, ImageSide::Output}})
            if (!m_Images.Find(name, side, error))
                return false;
        m_WaitingForClient = true;
    }
    return true;
}

bool Emulator::StartHandshake(const std::string& eventName, const std::string& acknowledgeName,
                              const HandshakeSettings& settings, std::string& error) {
    if (m_Handshake) {
        error = "a handshake is running already";
        return false;
    }
    const auto event = m_Images.Find(eventName, ImageSide::Input, error);
    if (!event)
        return false;
    const auto acknowledge = m_Images.Find(acknowledgeName, ImageSide::Output, error);
    if (!acknowledge)
        return false;
    for (unsigned bit : settings.Bits) {
        if (bit >= std::min(event->Size, acknowledge->Size) * 8) {
            error = "bit " + std::to_string(bit) + " lies beyond the variables";
            return false;
        }
    }
    m_Handshake = std::make_unique<Handshake>(m_Images, *event, *acknowledge, settings, Clock::now());
    return true;
}

void Emulator::AfterExchange() {
    if (m_WaitingForClient) {
        m_WaitingForClient = false;
        std::string error;
        if (StartHandshake(m_Options.EventName, m_Options.AcknowledgeName, m_Options.Handshake, error))
            PrintLine("handshake: started with the first exchange");
        else
            PrintLine("handshake: " + error);
    }
    if (m_Handshake)
        m_Handshake->Step(Clock::now());
}

void Emulator::FinishHandshake() {
    const std::string report = m_Handshake->Report();
    PrintLine(report);
    const bool allAcknowledged = report.ends_with("never acknowledged: none");
    m_Handshake.reset();
    if (m_Options.QuitAfterHandshake) {
        m_ExitCode = allAcknowledged ? 0 : 2;
        m_Quit = true;
    }
}

int Emulator::Run() {
    InstallStopRequests();
    PrintLine("qrix-emulator: serving " + m_Options.Address + " (file transfer port " +
              std::to_string(FileTransferPort) + ", high-speed port " + std::to_string(HighspeedPort) +
              "), input image " + std::to_string(m_Images.Image(ImageSide::Input).size()) +
              " bytes, output image " + std::to_string(m_Images.Image(ImageSide::Output).size()) + " bytes");
    std::optional<CommandInput> commands;
    if (m_Options.ReadCommands)
        commands.emplace();
    bool readingCommands = commands.has_value();
    const Clock::time_point waitEnd = Clock::now() + m_Options.WaitForClient;
    SocketWait wait;
    while (!m_Quit && !StopRequested()) {
        Clock::time_point now = Clock::now();
        if (m_Handshake) {
            m_Handshake->Step(now);
            if (m_Handshake->Done())
                FinishHandshake();
        }
        if (m_WaitingForClient && now >= waitEnd) {
            m_WaitingForClient = false;
            PrintLine("handshake: no client exchanged within " +
                      std::to_string(m_Options.WaitForClient.count()) + " s");
            if (m_Options.QuitAfterHandshake) {
                m_ExitCode = 2;
                break;
            }
        }
        if (m_Quit)
            break;
        wait.Clear();
        if (readingCommands)
            commands->AddTo(wait);
        m_Server->AddPollEntries(wait, now);
        Clock::time_point wake = now + LongestSleep;
        if (m_Handshake)
            wake = std::min(wake, m_Handshake->NextWakeup());
        if (m_WaitingForClient)
            wake = std::min(wake, waitEnd);
        if (m_Server->StallEnd() > now)
            wake = std::min(wake, m_Server->StallEnd());
        const auto sleep = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        std::string error;
        if (!wait.Wait(std::chrono::milliseconds(sleep), error)) {
            std::cerr << "qrix-emulator: " << error << std::endl;
            return 1;
        }
        if (readingCommands) {
            readingCommands = commands->Fill(wait);
            while (auto line = commands->NextLine()) {
                const std::string answer = ExecuteCommand(*this, *line);
                if (!answer.empty())
                    PrintLine(answer);
            }
        }
        m_Server->HandlePollEntries(wait);
    }
    return m_ExitCode;
}

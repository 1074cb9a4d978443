#include "controller/access/ControllerProtocol.h"
#include "platform/ProgramArguments.h"
#include "tools/qrix-emulator/CommandInterpreter.h"
#include "tools/qrix-emulator/Emulator.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>

namespace {

constexpr const char* Description =
    "qrix-emulator: a controller for the event manager without hardware.\n"
    "It serves the controller protocol (docs/controller-protocol.md) on the given address: the file\n"
    "transfer port (log-in, the summary file as \"#summary.sta\" and the files of --folder) and the\n"
    "high-speed port (the input image it holds, the output image the event manager writes).\n"
    "Images are sized from the summary's variables. Commands, one per line on standard input:\n"
    "  set NAME VALUE              value of a variable in the input image\n"
    "  toggle NAME BIT             toggle one bit of it\n"
    "  get in|out NAME             value of a variable in the input or output image\n"
    "  peek in|out OFFSET LENGTH   bytes of an image, in hexadecimal\n"
    "  poke in|out OFFSET HEX...   write bytes, e.g. poke in 0 00 00 01 02\n"
    "  handshake EVENT ACK BITS SECONDS [RATE]\n"
    "                              act as the controller: toggle BITS (e.g. 0-3,7) of EVENT, wait until\n"
    "                              ACK (output image) matches, repeat at RATE per bit (0: at once) for\n"
    "                              SECONDS, then print handshakes per second, latency p50/p99/max and\n"
    "                              the bits never acknowledged\n"
    "  stall MS                    serve no high-speed request for MS milliseconds\n"
    "  stats | help | quit\n"
    "Values are written most significant byte first, as the high-speed port carries them.\n"
    "See docs/emulator.md.";

// CLI11's own path checks read a path in the ANSI code page on Windows; these take UTF-8.
std::filesystem::path PathOf(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

const CLI::Validator ExistingFile(
    [](const std::string& path) {
        std::error_code error;
        const auto status = std::filesystem::status(PathOf(path), error);
        return std::filesystem::exists(status) && !std::filesystem::is_directory(status)
                   ? std::string()
                   : "File does not exist: " + path;
    },
    "FILE");

const CLI::Validator ExistingDirectory(
    [](const std::string& path) {
        std::error_code error;
        return std::filesystem::is_directory(PathOf(path), error) ? std::string()
                                                                  : "Directory does not exist: " + path;
    },
    "DIR");

} // namespace

int main(int argc, char** argv) {
    CLI::App app{Description, "qrix-emulator"};
    EmulatorOptions options;
    options.Login = {ControllerUserName, ControllerPassword};
    std::uint32_t inputSize = 0;
    std::uint32_t outputSize = 0;
    std::string bits = "0";
    double durationSeconds = 10.0;
    double graceSeconds = 2.0;
    long long waitSeconds = 60;
    bool noCommands = false;

    app.add_option("--summary", options.SummaryPath,
                   "summary file: served as \"#summary.sta\"; its variables size the images and name them")
        ->check(ExistingFile);
    app.add_option("--folder", options.Folder, "also serve the regular files directly inside this folder")
        ->check(ExistingDirectory);
    app.add_option("--address", options.Address, "address to listen on")->capture_default_str();
    app.add_option("--user", options.Login.UserName, "user name the file transfer accepts")
        ->capture_default_str();
    app.add_option("--password", options.Login.Password, "password the file transfer accepts")
        ->capture_default_str();
    auto* inputOption =
        app.add_option("--input-size", inputSize,
                       "input image bytes (default: what the summary needs, 1024 without one)")
            ->check(CLI::Range(0U, MaxImageSize));
    auto* outputOption =
        app.add_option("--output-size", outputSize,
                       "output image bytes (default: what the summary needs, 1024 without one)")
            ->check(CLI::Range(0U, MaxImageSize));
    app.add_flag("--no-commands", noCommands, "read no commands from standard input");
    app.add_flag("--verbose", options.Verbose, "log connections and refused requests to standard error");

    auto* handshake =
        app.add_option_group("handshake", "run a handshake once a client has made its first exchange");
    auto* eventOption = handshake->add_option("--event", options.EventName, "event variable (input image)");
    auto* ackOption =
        handshake->add_option("--ack", options.AcknowledgeName, "acknowledge variable (output image)");
    handshake->add_option("--bits", bits, "bits to toggle, e.g. 0-3,7 or all")->capture_default_str();
    handshake->add_option("--duration", durationSeconds, "seconds of toggling")
        ->check(CLI::Range(0.001, 86400.0))
        ->capture_default_str();
    handshake->add_option("--rate", options.Handshake.Rate, "toggles per second and bit; 0: at once")
        ->check(CLI::Range(0.0, 1e6))
        ->capture_default_str();
    handshake->add_option("--grace", graceSeconds, "seconds to wait for late acknowledgements")
        ->check(CLI::Range(0.0, 3600.0))
        ->capture_default_str();
    handshake->add_option("--wait", waitSeconds, "seconds to wait for the first exchange")
        ->check(CLI::Range(1LL, 86400LL))
        ->capture_default_str();
    handshake->add_flag("--quit-after", options.QuitAfterHandshake,
                        "end after the handshake (exit code 2 if a bit was never acknowledged)");
    eventOption->needs(ackOption);
    ackOption->needs(eventOption);

    // Paths beyond ASCII arrive intact on every system.
    std::vector<std::string> arguments = Utf8ProgramArguments(argc, argv);
    std::vector<char*> words;
    for (std::string& argument : arguments)
        words.push_back(argument.data());
    try {
        app.parse(static_cast<int>(words.size()), words.data());
    } catch (const CLI::ParseError& problem) {
        // --help ends with 0; every bad option with 1, as documented.
        return app.exit(problem) == 0 ? 0 : 1;
    }

    if (*inputOption)
        options.InputSize = inputSize;
    if (*outputOption)
        options.OutputSize = outputSize;
    options.ReadCommands = !noCommands;
    std::string error;
    if (*eventOption) {
        options.StartupHandshake = true;
        if (!ParseBitList(bits, 64, options.Handshake.Bits, error)) {
            std::cerr << "qrix-emulator: " << error << std::endl;
            return 1;
        }
        options.Handshake.Duration =
            std::chrono::milliseconds(static_cast<long long>(durationSeconds * 1000.0));
        options.Handshake.Grace = std::chrono::milliseconds(static_cast<long long>(graceSeconds * 1000.0));
        options.WaitForClient = std::chrono::seconds(waitSeconds);
    }

    Emulator emulator(std::move(options));
    if (!emulator.Start(error)) {
        std::cerr << "qrix-emulator: " << error << std::endl;
        return 1;
    }
    return emulator.Run();
}

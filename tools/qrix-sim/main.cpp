#include "controller/SimulationBuffers.h"
#include "tools/qrix-sim/AreaLifetime.h"
#include "tools/qrix-sim/BitSelection.h"
#include "tools/qrix-sim/HandshakeRun.h"
#include "tools/qrix-sim/NumberText.h"
#include "tools/qrix-sim/Responder.h"
#include "tools/qrix-sim/SharedArea.h"
#include "tools/qrix-sim/ValueWatch.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitNotAcknowledged = 3;

std::atomic<bool> StopRequested{false};

// Accepts decimal and 0x-hexadecimal numbers and hands CLI11 the decimal text.
CLI::Validator NumberValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::uint64_t value = 0;
            if (!ParseNumber(text, value))
                return "'" + text + "' is not a decimal or 0x-hexadecimal number";
            text = std::to_string(value);
            return {};
        },
        "NUMBER");
}

CLI::Validator BitsValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::uint16_t mask = 0;
            std::string error;
            if (!ParseBitSelection(text, mask, error))
                return error;
            text = std::to_string(mask);
            return {};
        },
        "BITS");
}

struct Settings {
    std::string InputName = DefaultInputBufferName;
    std::string OutputName = DefaultOutputBufferName;
    bool Json = false;
    bool Replace = false;
    std::string Area = "input";
    std::uint32_t Offset = 4;
    std::uint32_t Length = 4;
    std::vector<std::string> ByteWords;
    std::uint32_t Value = 0;
    unsigned Bit = 0;
    WatchOptions Watch;
    std::string WatchAckArea = "output";
    HandshakeOptions Handshake;
    std::optional<std::uint64_t> Seed;
    ResponderOptions Responder;
};

int Fail(const std::string& message) {
    std::cerr << "qrix-sim: " << message << '\n';
    return ExitFailure;
}

std::optional<SharedArea> OpenArea(const std::string& name) {
    std::string error;
    std::optional<SharedArea> area = SharedArea::Open(name, error);
    if (!area)
        std::cerr << "qrix-sim: " << error << '\n';
    return area;
}

const std::string& AreaName(const Settings& settings, const std::string& area) {
    return area == "output" ? settings.OutputName : settings.InputName;
}

void PrintValue(std::uint32_t value, bool json) {
    if (json)
        std::cout << "{\"value\":" << value << ",\"hex\":\"" << FormatHex32(value) << "\"}\n";
    else
        std::cout << "value=" << value << "\nhex=" << FormatHex32(value) << '\n';
}

int RunCreate(const Settings& settings) {
    std::vector<SharedArea> created;
    for (const std::string& name : {settings.InputName, settings.OutputName}) {
        std::string error;
        bool existed = false;
        std::optional<SharedArea> area;
        if (!settings.Replace || SharedArea::Remove(name, existed, error))
            area = SharedArea::Create(name, error);
        if (!area) {
            // Both areas or neither: the event manager needs the pair.
            std::vector<std::string> names;
            for (const SharedArea& made : created)
                names.push_back(made.Name());
            created.clear();
            std::string ignored;
            for (const std::string& made : names)
                SharedArea::Remove(made, existed, ignored);
            return Fail(error);
        }
        created.push_back(std::move(*area));
    }
    for (const SharedArea& area : created)
        std::cout << "created " << area.Name() << '\n';
    std::cout.flush();
    return KeepCreatedAreas(std::move(created), StopRequested);
}

int RunRemove(const Settings& settings) {
    int result = 0;
    for (const std::string& name : {settings.InputName, settings.OutputName}) {
        std::string error;
        bool existed = false;
        if (!SharedArea::Remove(name, existed, error))
            result = Fail(error);
        else
            std::cout << (existed ? "removed " : "absent ") << name << '\n';
    }
    return result;
}

int RunRead(const Settings& settings) {
    std::optional<SharedArea> area = OpenArea(AreaName(settings, settings.Area));
    if (!area)
        return ExitFailure;
    if (!area->Fits(settings.Offset, settings.Length))
        return Fail("offset and length reach beyond the area's " + std::to_string(area->Size()) + " bytes");
    std::vector<std::uint8_t> bytes(settings.Length);
    area->Read(settings.Offset, bytes.data(), settings.Length);
    if (settings.Json)
        std::cout << "{\"offset\":" << settings.Offset << ",\"length\":" << settings.Length << ",\"bytes\":\""
                  << FormatHexBytes(bytes) << "\"}\n";
    else
        std::cout << "bytes=" << FormatHexBytes(bytes) << '\n';
    return 0;
}

int RunWrite(const Settings& settings) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ParseHexBytes(settings.ByteWords, bytes, error))
        return Fail(error);
    std::optional<SharedArea> area = OpenArea(AreaName(settings, settings.Area));
    if (!area)
        return ExitFailure;
    if (!area->Fits(settings.Offset, bytes.size()))
        return Fail("offset and length reach beyond the area's " + std::to_string(area->Size()) + " bytes");
    area->Write(settings.Offset, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return 0;
}

int RunValueCommand(const Settings& settings, const std::string& command) {
    std::optional<SharedArea> area = OpenArea(AreaName(settings, settings.Area));
    if (!area)
        return ExitFailure;
    if (!area->Fits(settings.Offset, 4))
        return Fail("a 32-bit value at that offset reaches beyond the area's " +
                    std::to_string(area->Size()) + " bytes");
    if (command == "write32") {
        area->Write32(settings.Offset, settings.Value);
        return 0;
    }
    std::uint32_t value = area->Read32(settings.Offset);
    if (command == "toggle") {
        value ^= 1u << settings.Bit;
        area->Write32(settings.Offset, value);
    }
    PrintValue(value, settings.Json);
    return 0;
}

int RunWatch(Settings settings) {
    std::optional<SharedArea> eventArea = OpenArea(settings.InputName);
    std::optional<SharedArea> ackArea = OpenArea(AreaName(settings, settings.WatchAckArea));
    if (!eventArea || !ackArea)
        return ExitFailure;
    if (!eventArea->Fits(settings.Watch.EventOffset, 4) || !ackArea->Fits(settings.Watch.AckOffset, 4))
        return Fail("an offset reaches beyond the area");
    settings.Watch.Json = settings.Json;
    WatchValues(*eventArea, *ackArea, settings.Watch, std::cout, StopRequested);
    return 0;
}

int RunHandshakeCommand(Settings settings) {
    settings.Handshake.Seed = settings.Seed ? *settings.Seed : std::random_device{}();
    if (const std::string problem = CheckHandshakeOptions(settings.Handshake); !problem.empty())
        return Fail(problem);
    std::optional<SharedArea> input = OpenArea(settings.InputName);
    std::optional<SharedArea> output = OpenArea(settings.OutputName);
    if (!input || !output)
        return ExitFailure;
    const HandshakeReport report = RunHandshake(*input, *output, settings.Handshake, StopRequested);
    WriteHandshakeReport(report, settings.Json, std::cout);
    if (report.NeverAcknowledged != 0)
        std::cerr << "qrix-sim: never acknowledged within " << settings.Handshake.TimeoutMs << " ms: bits "
                  << FormatBitList(report.NeverAcknowledged) << '\n';
    if (report.UnexpectedAcknowledge != 0)
        std::cerr << "qrix-sim: acknowledged without a toggle: bits "
                  << FormatBitList(report.UnexpectedAcknowledge) << '\n';
    return report.Succeeded() ? 0 : ExitNotAcknowledged;
}

int RunRespond(const Settings& settings) {
    if (const std::string problem = CheckHandshakeLayout(settings.Responder.Layout); !problem.empty())
        return Fail(problem);
    std::optional<SharedArea> input = OpenArea(settings.InputName);
    std::optional<SharedArea> output = OpenArea(settings.OutputName);
    if (!input || !output)
        return ExitFailure;
    const std::uint64_t acknowledged = RunResponder(*input, *output, settings.Responder, StopRequested);
    if (settings.Json)
        std::cout << "{\"acknowledged\":" << acknowledged << "}\n";
    else
        std::cout << "acknowledged=" << acknowledged << '\n';
    return 0;
}

void AddAreaOptions(CLI::App& command, Settings& settings, const std::string& what) {
    command.add_option("--area", settings.Area, "Image to " + what + ": input or output")
        ->check(CLI::IsMember({"input", "output"}))
        ->capture_default_str();
    command.add_option("--offset", settings.Offset, "Byte offset in the image (decimal or 0x-hex)")
        ->transform(NumberValidator())
        ->check(CLI::Range(0u, SimulationBufferSize - 1))
        ->capture_default_str();
}

void AddLayoutOptions(CLI::App& command, HandshakeLayout& layout) {
    command
        .add_option("--event-offset", layout.EventOffset, "Offset of the event variable in the input image")
        ->transform(NumberValidator())
        ->capture_default_str();
    command
        .add_option("--ack-in-offset", layout.AckInOffset,
                    "Offset of the acknowledge copy the event manager writes into the input image")
        ->transform(NumberValidator())
        ->capture_default_str();
    command
        .add_option("--ack-out-offset", layout.AckOutOffset,
                    "Offset of the acknowledge variable the event manager writes into the output image")
        ->transform(NumberValidator())
        ->capture_default_str();
}

constexpr const char* Description =
    "Simulator of the q.rix controller for the event manager's simulation mode.\n"
    "It makes the two shared-memory areas the event manager attaches to (input image:\n"
    "what the controller delivers; output image: what the event manager sends), reads\n"
    "and writes them, and plays the controller's side of the event handshake.\n"
    "Values are 32-bit, least significant byte first. Offsets 0 to 3 of the input\n"
    "image read as the event manager's tick stamp, so variables start at offset 4.\n"
    "Numbers are decimal or 0x-hexadecimal. Global options may follow the command.\n"
    "Exit codes: 0 done, 1 failure (message on standard error), 3 handshake: a bit\n"
    "was never acknowledged in time or acknowledged without a toggle; other values\n"
    "are command-line errors.";

constexpr const char* Footer = "Examples:\n"
                               "  qrix-sim create\n"
                               "  qrix-sim write32 --offset 4 0x8001\n"
                               "  qrix-sim toggle --offset 4 --bit 3\n"
                               "  qrix-sim watch --event-offset 4 --ack-offset 4 --duration 30\n"
                               "  qrix-sim handshake --bits 0-3 --rate 20 --duration 10 --timeout 5000\n"
                               "  qrix-sim remove\n"
                               "See docs/simulator.md for the whole story.";

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    CLI::App app(Description, "qrix-sim");
    app.footer(Footer);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_option("--input-name", settings.InputName, "Shared-memory name of the input image")
        ->capture_default_str();
    app.add_option("--output-name", settings.OutputName, "Shared-memory name of the output image")
        ->capture_default_str();
    app.add_flag("--json", settings.Json, "Print results as JSON instead of key=value lines");

    CLI::App* create = app.add_subcommand(
        "create", "Create both areas (1 MiB each, mode 0600, zero-filled); they stay until 'remove' "
                  "(on Windows, create holds them while it runs: end it with Ctrl+C or 'remove')");
    create->add_flag("--replace", settings.Replace, "Remove existing areas of those names first");

    CLI::App* remove = app.add_subcommand("remove", "Remove both areas (an absent one is no error)");

    CLI::App* read = app.add_subcommand("read", "Print bytes of an image as hexadecimal pairs");
    AddAreaOptions(*read, settings, "read");
    read->add_option("--length", settings.Length, "Number of bytes")
        ->transform(NumberValidator())
        ->check(CLI::Range(1u, SimulationBufferSize))
        ->capture_default_str();

    CLI::App* write =
        app.add_subcommand("write", "Write bytes given as hexadecimal pairs (\"01 80\" or 0x0180)");
    AddAreaOptions(*write, settings, "write");
    write->add_option("bytes", settings.ByteWords, "The bytes, lowest address first")->required();

    CLI::App* read32 = app.add_subcommand("read32", "Print the 32-bit value at an offset");
    AddAreaOptions(*read32, settings, "read");

    CLI::App* write32 = app.add_subcommand("write32", "Write a 32-bit value at an offset");
    AddAreaOptions(*write32, settings, "write");
    write32->add_option("value", settings.Value, "The value (decimal or 0x-hex)")
        ->transform(NumberValidator())
        ->required();

    CLI::App* toggle =
        app.add_subcommand("toggle", "Toggle one bit of the 32-bit value at an offset and print it");
    AddAreaOptions(*toggle, settings, "change");
    toggle->add_option("--bit", settings.Bit, "Bit number, 0 = least significant")
        ->check(CLI::Range(0u, 31u))
        ->required();

    CLI::App* watch = app.add_subcommand(
        "watch", "Print the event and acknowledge values at the start and whenever either changes");
    watch
        ->add_option("--event-offset", settings.Watch.EventOffset,
                     "Offset of the event variable (input image)")
        ->transform(NumberValidator())
        ->capture_default_str();
    watch->add_option("--ack-offset", settings.Watch.AckOffset, "Offset of the acknowledge variable")
        ->transform(NumberValidator())
        ->capture_default_str();
    watch->add_option("--ack-area", settings.WatchAckArea, "Image holding the acknowledge variable")
        ->check(CLI::IsMember({"input", "output"}))
        ->capture_default_str();
    watch->add_option("--duration", settings.Watch.DurationSeconds, "Seconds to watch (Ctrl+C ends earlier)")
        ->check(CLI::Range(0.001, 86400.0))
        ->capture_default_str();
    watch->add_option("--poll-us", settings.Watch.PollMicroseconds, "Microseconds between two looks")
        ->check(CLI::Range(10u, 1'000'000u))
        ->capture_default_str();

    CLI::App* handshake = app.add_subcommand(
        "handshake",
        "Act as the controller: toggle event bits, wait for each acknowledgement in the output image, "
        "repeat; then print handshakes per second, toggle-to-acknowledge latency (p50, p99, max) and "
        "the bits never acknowledged within the timeout");
    AddLayoutOptions(*handshake, settings.Handshake.Layout);
    handshake
        ->add_option("--bits", settings.Handshake.Bits,
                     "Bits to toggle: all, a list such as 0,3,8-11, or a mask such as 0x0109")
        ->transform(BitsValidator())
        ->default_str("all");
    handshake
        ->add_option("--rate", settings.Handshake.Rate,
                     "Toggles per second over all bits; 0 = every idle bit at once, as fast as the "
                     "acknowledgements allow")
        ->capture_default_str();
    handshake
        ->add_option("--duration", settings.Handshake.DurationSeconds,
                     "Seconds of toggling; the run then waits at most one timeout for open toggles")
        ->capture_default_str();
    handshake
        ->add_option("--timeout", settings.Handshake.TimeoutMs,
                     "Milliseconds a toggle may wait for its acknowledgement; a bit that waits longer "
                     "is reported and left alone until it comes back into step")
        ->capture_default_str();
    handshake->add_option("--seed", settings.Seed,
                          "Seed of the random choices (printed; default: a fresh one)");
    handshake->add_flag("--random", settings.Handshake.Random,
                        "Random idle bits at random moments (exponential gaps with --rate, random subsets "
                        "without)");
    handshake->add_option("--poll-us", settings.Handshake.PollMicroseconds, "Microseconds between two looks")
        ->check(CLI::Range(10u, 1'000'000u))
        ->capture_default_str();

    CLI::App* respond = app.add_subcommand(
        "respond", "Act as the event manager without tools: acknowledge each toggled bit after a delay "
                   "(output image, then the input copy); for trying 'handshake' alone");
    AddLayoutOptions(*respond, settings.Responder.Layout);
    respond->add_option("--bits", settings.Responder.Bits, "Bits to acknowledge (others never are)")
        ->transform(BitsValidator())
        ->default_str("all");
    respond
        ->add_option("--delay", settings.Responder.DelayMs,
                     "Milliseconds from seeing a toggle to acknowledging")
        ->check(CLI::Range(0u, 3'600'000u))
        ->capture_default_str();
    respond
        ->add_option("--duration", settings.Responder.DurationSeconds, "Seconds to run (Ctrl+C ends earlier)")
        ->check(CLI::Range(0.001, 86400.0))
        ->capture_default_str();
    respond->add_option("--poll-us", settings.Responder.PollMicroseconds, "Microseconds between two looks")
        ->check(CLI::Range(10u, 1'000'000u))
        ->capture_default_str();

    CLI11_PARSE(app, argc, argv);
    InstallStopHandlers(StopRequested);

    if (create->parsed())
        return RunCreate(settings);
    if (remove->parsed())
        return RunRemove(settings);
    if (read->parsed())
        return RunRead(settings);
    if (write->parsed())
        return RunWrite(settings);
    if (watch->parsed())
        return RunWatch(settings);
    if (handshake->parsed())
        return RunHandshakeCommand(settings);
    if (respond->parsed())
        return RunRespond(settings);
    for (CLI::App* command : {read32, write32, toggle})
        if (command->parsed())
            return RunValueCommand(settings, command->get_name());
    return ExitFailure;
}

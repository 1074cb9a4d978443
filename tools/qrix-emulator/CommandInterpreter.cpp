#include "tools/qrix-emulator/CommandInterpreter.h"

#include "tools/qrix-emulator/Emulator.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return *end == '\0' && errno == 0 && value <= limit;
}

bool ParseSide(const std::string& text, ImageSide& side) {
    if (text == "in" || text == "input")
        side = ImageSide::Input;
    else if (text == "out" || text == "output")
        side = ImageSide::Output;
    else
        return false;
    return true;
}

bool ParseHexBytes(const std::vector<std::string>& words, std::size_t first,
                   std::vector<unsigned char>& bytes) {
    std::string digits;
    for (std::size_t i = first; i < words.size(); ++i)
        digits += words[i];
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) ||
            !std::isxdigit(static_cast<unsigned char>(digits[i + 1])))
            return false;
        bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return true;
}

std::string Error(const std::string& text) {
    return "error: " + text;
}

std::string ShowVariable(Emulator& emulator, const std::string& name, ImageSide side) {
    std::string error;
    const auto slot = emulator.Images().Find(name, side, error);
    if (!slot)
        return Error(error);
    return SideName(side) + " " + name + " = " + emulator.Images().Show(*slot);
}

std::string SetOrToggle(Emulator& emulator, const std::vector<std::string>& words) {
    std::string error;
    const auto slot = emulator.Images().Find(words[1], ImageSide::Input, error);
    if (!slot)
        return Error(error);
    if (words[0] == "set") {
        if (!emulator.Images().Set(*slot, words[2], error))
            return Error(error);
    } else {
        std::uint64_t bit = 0;
        if (!ParseNumber(words[2], 63, bit))
            return Error("bad bit number " + words[2]);
        if (!emulator.Images().ToggleBit(*slot, static_cast<unsigned>(bit), error))
            return Error(error);
    }
    return ShowVariable(emulator, words[1], ImageSide::Input);
}

std::string PeekOrPoke(Emulator& emulator, const std::vector<std::string>& words) {
    ImageSide side{};
    std::uint64_t offset = 0;
    if (!ParseSide(words[1], side) || !ParseNumber(words[2], 0xFFFFFFFF, offset))
        return Error("usage: " + words[0] + " in|out OFFSET ...");
    std::string error;
    if (words[0] == "peek") {
        std::uint64_t length = 0;
        std::string bytes;
        if (words.size() != 4 || !ParseNumber(words[3], 0x10000, length))
            return Error("usage: peek in|out OFFSET LENGTH (at most 65536 bytes)");
        if (!emulator.Images().Peek(side, static_cast<std::uint32_t>(offset),
                                    static_cast<std::uint32_t>(length), bytes, error))
            return Error(error);
        return SideName(side) + " " + std::to_string(offset) + ": " + bytes;
    }
    std::vector<unsigned char> bytes;
    if (!ParseHexBytes(words, 3, bytes))
        return Error("usage: poke in|out OFFSET HEXBYTES, e.g. poke in 0 00 00 01 02");
    if (!emulator.Images().Poke(side, static_cast<std::uint32_t>(offset), bytes, error))
        return Error(error);
    return "ok";
}

std::string StartHandshake(Emulator& emulator, const std::vector<std::string>& words) {
    HandshakeSettings settings;
    std::string error;
    double seconds = 0.0;
    double rate = 0.0;
    try {
        seconds = std::stod(words[4]);
        rate = words.size() == 6 ? std::stod(words[5]) : 0.0;
    } catch (const std::exception&) {
        return Error("usage: handshake EVENT ACK BITS SECONDS [RATE]");
    }
    if (!(seconds > 0.0 && seconds <= 86400.0) || !(rate >= 0.0 && rate <= 1e6))
        return Error("SECONDS must lie in (0, 86400] and RATE in [0, 1000000]");
    if (!ParseBitList(words[3], 64, settings.Bits, error))
        return Error(error);
    settings.Duration = std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
    settings.Rate = rate;
    if (!emulator.StartHandshake(words[1], words[2], settings, error))
        return Error(error);
    return "ok: handshake running";
}

} // namespace

std::string CommandSummary() {
    return "commands: set NAME VALUE | toggle NAME BIT | get in|out NAME | peek in|out OFFSET LENGTH | "
           "poke in|out OFFSET HEXBYTES | handshake EVENT ACK BITS SECONDS [RATE] | stall MS | stats | help "
           "| quit";
}

std::string ExecuteCommand(Emulator& emulator, const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty())
        return {};
    const std::string& command = words[0];
    if ((command == "set" || command == "toggle") && words.size() == 3)
        return SetOrToggle(emulator, words);
    if (command == "get" && words.size() == 3) {
        ImageSide side{};
        if (!ParseSide(words[1], side))
            return Error("usage: get in|out NAME");
        return ShowVariable(emulator, words[2], side);
    }
    if ((command == "peek" || command == "poke") && words.size() >= 4)
        return PeekOrPoke(emulator, words);
    if (command == "handshake" && (words.size() == 5 || words.size() == 6))
        return StartHandshake(emulator, words);
    if (command == "stall" && words.size() == 2) {
        std::uint64_t milliseconds = 0;
        if (!ParseNumber(words[1], 600000, milliseconds))
            return Error("usage: stall MS (at most 600000)");
        emulator.Server().Stall(std::chrono::milliseconds(milliseconds));
        return "ok";
    }
    if (command == "stats" && words.size() == 1) {
        const ServerCounters& counters = emulator.Server().Counters();
        return "stats: logins " + std::to_string(counters.Logins) + ", refused log-ins " +
               std::to_string(counters.RefusedLogins) + ", files served " +
               std::to_string(counters.FilesServed) + ", exchanges " + std::to_string(counters.Exchanges) +
               ", error answers " + std::to_string(counters.ErrorAnswers);
    }
    if (command == "help")
        return CommandSummary();
    if (command == "quit" || command == "exit") {
        emulator.Quit();
        return "bye";
    }
    return Error("unknown command or wrong number of words: " + line + " (try help)");
}

// One CommunicateVariable exchange with a 1024-byte input image against the
// emulator on loopback, and beside it a plain TCP request and answer of the
// same sizes: the floor that no exchange can beat.
#include "controller/ControllerSession.h"
#include "controller/access/ControllerAccessLibrary.h"
#include "controller/access/ControllerProtocol.h"
#include "device/DeviceDescription.h"
#include "platform/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* Address = "127.0.11.1";
constexpr std::uint16_t FloorPort = 26899;
constexpr int Variables = 256; // 256 readable 32-bit variables: 1024 bytes
constexpr std::size_t RequestBytes = FrameHeaderSize + ExchangeFixedSize;
constexpr std::size_t AnswerBytes = FrameHeaderSize + 4 * Variables;

struct Figures {
    double P50 = 0;
    double P99 = 0;
    double Max = 0;
};

Figures Summarise(std::vector<double> microseconds) {
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double fraction) {
        const auto index = static_cast<std::size_t>(fraction * static_cast<double>(microseconds.size() - 1));
        return microseconds[index] / 1000.0;
    };
    return {at(0.50), at(0.99), microseconds.back() / 1000.0};
}

void Print(const char* what, const Figures& figures) {
    std::printf("  %-34s p50 %.3f ms  p99 %.3f ms  max %.3f ms\n", what, figures.P50, figures.P99,
                figures.Max);
}

std::string WriteSummary(const std::filesystem::path& folder) {
    std::string text = "[GENERAL]\nVariablesCount=" + std::to_string(Variables) + "\n";
    for (int i = 0; i < Variables; ++i) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%X", i * 4);
        text += "[V" + std::to_string(i) + "]\nName=V" + std::to_string(i) +
                "\nDataType=USINT32\nDataDirection=IO\nFormat=%d\nInpSplitDataFieldOffs=" + offset +
                "\nOutSplitDataFieldOffs=" + offset + "\n";
    }
    const std::string path = (folder / "bench.sta").string();
    std::ofstream(path) << text;
    return path;
}

// The emulator as a child that dies with us; its first line says it serves.
pid_t StartEmulator(const std::string& summary) {
    int output[2];
    if (::pipe(output) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(output[1], STDOUT_FILENO);
        ::execl(QRIX_EMULATOR_PATH, QRIX_EMULATOR_PATH, "--summary", summary.c_str(), "--address", Address,
                "--no-commands", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(output[1]);
    UniqueFd reader(output[0]);
    pollfd entry{reader.Get(), POLLIN, 0};
    char line[256] = {};
    if (pid < 0 || ::poll(&entry, 1, 10000) != 1 || ::read(reader.Get(), line, sizeof line - 1) <= 0 ||
        std::string(line).find("serving") == std::string::npos) {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        return -1;
    }
    return pid;
}

bool ReadAll(int fd, unsigned char* data, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t got = ::recv(fd, data + done, length - done, 0);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t length) {
    for (std::size_t done = 0; done < length;) {
        const ssize_t sent = ::send(fd, data + done, length - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// A plain TCP server answering every request of RequestBytes with AnswerBytes.
std::vector<double> MeasureFloor(int count) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    ::setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(FloorPort);
    ::inet_pton(AF_INET, Address, &where.sin_addr);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listener.Get(), 1) != 0)
        return {};
    std::thread server([&listener, count] {
        UniqueFd client(::accept(listener.Get(), nullptr, nullptr));
        const int on = 1;
        ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::vector<unsigned char> request(RequestBytes), answer(AnswerBytes, 0x5A);
        for (int i = 0; i < count; ++i)
            if (!ReadAll(client.Get(), request.data(), request.size()) ||
                !WriteAll(client.Get(), answer.data(), answer.size()))
                return;
    });
    UniqueFd client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::vector<double> times;
    if (::connect(client.Get(), reinterpret_cast<sockaddr*>(&where), sizeof where) == 0) {
        std::vector<unsigned char> request(RequestBytes, 0x11), answer(AnswerBytes);
        for (int i = 0; i < count; ++i) {
            const auto start = Clock::now();
            if (!WriteAll(client.Get(), request.data(), request.size()) ||
                !ReadAll(client.Get(), answer.data(), answer.size()))
                break;
            times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    }
    client.Reset();
    server.join();
    return times;
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(100, std::atoi(argv[1])) : 10000;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench-exchange-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string summary = WriteSummary(folder);
    const pid_t emulator = StartEmulator(summary);
    if (emulator < 0) {
        std::fprintf(stderr, "bench_exchange: the emulator did not start on %s\n", Address);
        std::filesystem::remove_all(folder);
        return 1;
    }

    ControllerSession session;
    session.Paths.ControllerAddress = Address;
    ParseSummaryFile(RenewCurrentDeviceDescription(), summary);
    int status = 0;
    if (session.OpenHighspeedPort() != 1) {
        std::fprintf(stderr, "bench_exchange: the high-speed port did not open\n");
        status = 1;
    } else {
        VariableReferencePair references;
        references.Event.InputOffset = 4;
        references.Event.Length = 4;
        references.Acknowledge.DeviceIndex = 2;
        std::uint32_t value = 0;
        for (int i = 0; i < 200; ++i) // warm up: connection, caches, page faults
            session.CommunicateVariable(value, references, 0);
        std::vector<double> reads, writes;
        reads.reserve(static_cast<std::size_t>(count));
        writes.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            auto start = Clock::now();
            session.CommunicateVariable(value, references, 0);
            reads.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            value = static_cast<std::uint32_t>(i);
            start = Clock::now();
            session.CommunicateVariable(value, references, 1);
            writes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        const std::vector<double> floor = MeasureFloor(count);
        const Figures read = Summarise(reads);
        std::printf("bench_exchange: %d exchanges each, input image %d bytes, loopback %s\n", count,
                    4 * Variables, Address);
        Print("CommunicateVariable read", read);
        Print("CommunicateVariable write + read", Summarise(writes));
        if (!floor.empty()) {
            char label[64];
            std::snprintf(label, sizeof label, "plain TCP %zu -> %zu bytes (floor)", RequestBytes,
                          AnswerBytes);
            Print(label, Summarise(floor));
        }
        std::printf("  goal: p99 of one exchange under 0.5 ms: %s\n", read.P99 < 0.5 ? "met" : "NOT met");
        session.CloseHighspeedPort();
    }
    ::kill(emulator, SIGTERM);
    ::waitpid(emulator, nullptr, 0);
    std::filesystem::remove_all(folder);
    return status;
}

#include "tests/app/EmulatorProcess.h"

#include "platform/UniqueFd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

namespace {

constexpr std::uint16_t FileTransferPort = 26801;

bool Accepts(const std::string& address) {
    const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(FileTransferPort);
    if (!socket.IsValid() || ::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
        return false;
    // Loopback: a closed port answers at once, so no timeout is needed here.
    return ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0;
}

} // namespace

EmulatorProcess::EmulatorProcess(const std::string& address, const std::string& summaryPath)
    : m_Address(address) {
#ifdef QRIX_EMULATOR_PATH
    m_Process = std::make_unique<ChildProcess>(std::vector<std::string>{
        QRIX_EMULATOR_PATH, "--summary", summaryPath, "--address", address, "--no-commands"});
#else
    (void)summaryPath;
#endif
}

bool EmulatorProcess::Available() {
#ifdef QRIX_EMULATOR_PATH
    return true;
#else
    return false;
#endif
}

bool EmulatorProcess::WaitUntilServing() {
    if (!m_Process || !m_Process->Started())
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(m_Address))
            return true;
        if (m_Process->WaitForExit(0))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

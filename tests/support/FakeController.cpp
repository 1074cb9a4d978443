#include "tests/support/FakeController.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool ReadExactly(int fd, unsigned char* data, std::size_t length,
                 std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < length) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            return false;
        const ssize_t got = ::recv(fd, data + done, length - done, 0);
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

FakeController::FakeController(const std::string& address, std::uint16_t port, Handler handler)
    : m_Handler(std::move(handler)) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (!fd.IsValid() || ::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1 ||
        ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(fd.Get(), 4) != 0)
        return;
    m_Listener = std::move(fd);
    m_Thread = std::thread([this] {
        while (!m_Stop) {
            pollfd entry{m_Listener.Get(), POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0)
                continue;
            UniqueFd client(::accept4(m_Listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.IsValid())
                m_Handler(client.Get());
        }
    });
}

FakeController::~FakeController() {
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
}

bool ReadFrame(int fd, FrameHeader& header, std::vector<unsigned char>& payload,
               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    unsigned char raw[FrameHeaderSize];
    if (!ReadExactly(fd, raw, sizeof raw, deadline) || DecodeFrameHeader(raw, header) != HeaderProblem::None)
        return false;
    payload.resize(header.PayloadLength);
    return ReadExactly(fd, payload.data(), payload.size(), deadline);
}

std::vector<unsigned char> Frame(MessageType type, const std::vector<unsigned char>& payload,
                                 std::uint16_t status) {
    std::vector<unsigned char> frame(FrameHeaderSize);
    EncodeFrameHeader({type, status, static_cast<std::uint32_t>(payload.size())}, frame.data());
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

void SendBytes(int fd, const std::vector<unsigned char>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        done += static_cast<std::size_t>(sent);
    }
}

void AnswerHello(int fd, std::uint32_t inputSize, std::uint32_t outputSize) {
    FrameHeader header;
    std::vector<unsigned char> payload;
    if (!ReadFrame(fd, header, payload) || header.Type != MessageType::HelloRequest)
        return;
    std::vector<unsigned char> sizes(8);
    PutUint32(sizes.data(), inputSize);
    PutUint32(sizes.data() + 4, outputSize);
    SendBytes(fd, Frame(MessageType::HelloAnswer, sizes));
}

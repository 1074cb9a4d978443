#pragma once

#include "controller/access/ControllerProtocol.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A scripted server on one controller port: it runs the handler for every
// connection, one after another. Handlers end by the time Stopping() is true.
class FakeController {
public:
    using Handler = std::function<void(int fd)>;

    FakeController(const std::string& address, std::uint16_t port, Handler handler);
    ~FakeController();
    FakeController(const FakeController&) = delete;
    FakeController& operator=(const FakeController&) = delete;

    bool Listening() const { return m_Listener.IsValid(); }
    bool Stopping() const { return m_Stop; }

private:
    UniqueFd m_Listener;
    Handler m_Handler;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

// Reads one request frame (bounded wait); false when none came whole.
bool ReadFrame(int fd, FrameHeader& header, std::vector<unsigned char>& payload,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
std::vector<unsigned char> Frame(MessageType type, const std::vector<unsigned char>& payload,
                                 std::uint16_t status = 0);
void SendBytes(int fd, const std::vector<unsigned char>& bytes);
// Answers a hello with the given image sizes.
void AnswerHello(int fd, std::uint32_t inputSize, std::uint32_t outputSize);

#pragma once

#include "tests/support/FakeController.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// What the controller does to an exchange that carries a write, or to the
// connections after it.
enum class Misbehaviour {
    CloseBeforeAnswer, // closes without touching the output image
    ApplyThenClose,    // writes, then closes without an answer
    Stall,             // no answer until the client's time-out has passed, then closes
    CloseMidFrame,     // writes, sends half an answer and closes
    GarbageHeader,     // answers twelve bytes of no protocol
    WrongType,         // answers a hello answer
    ShortPayload,      // answers fewer bytes than asked for
    LongPayload,       // announces more bytes than asked for
    ErrorAnswer,       // an error answer with the given status
    Away,              // closes, and closes the next connections at once
    SmallInputImage,   // closes; the next hellos announce an input image too small to read
    SmallOutputImage,  // closes; the next hellos announce an output image too small to write
};

// A controller on both ports of one loopback address that serves a summary file,
// keeps an input and an output image of the given sizes and misbehaves when
// told to. It counts every toggle of each bit of the acknowledge word.
class MisbehavingController {
public:
    MisbehavingController(const std::string& address, std::string summary, std::uint32_t inputSize,
                          std::uint32_t outputSize, std::uint32_t eventInputOffset,
                          std::uint32_t ackOutputOffset);

    bool Listening() const { return m_FileTransfer.Listening() && m_Highspeed.Listening(); }

    // The next `count` exchanges that carry a write meet `kind` (for the image
    // sizes and Away: that many hellos or connections after the first).
    void Misbehave(Misbehaviour kind, int count, std::uint16_t status = 0);
    bool Misbehaving() const;
    // Frozen, the high-speed port takes connections and requests but answers
    // nothing: a controller that stalls with its network still up.
    void Freeze(bool frozen) { m_Frozen = frozen; }

    void SetEvent(std::uint32_t value);
    void ToggleEvent(int bit);
    std::uint32_t Acknowledge() const;
    int AcknowledgeToggles(int bit) const;

private:
    void ServeFiles(int fd);
    void ServeHighspeed(int fd);
    // False when the connection is to be closed.
    bool Exchange(int fd, const std::vector<unsigned char>& request);
    void ApplyWrite(std::uint32_t offset, const unsigned char* data, std::uint32_t length);
    std::uint32_t Word(const std::vector<unsigned char>& image, std::uint32_t offset) const;

    std::string m_Summary;
    std::uint32_t m_EventOffset;
    std::uint32_t m_AckOffset;
    mutable std::mutex m_Guard;
    std::vector<unsigned char> m_Input;
    std::vector<unsigned char> m_Output;
    std::array<int, 32> m_Toggles{};
    Misbehaviour m_Kind = Misbehaviour::CloseBeforeAnswer;
    std::uint16_t m_Status = 0;
    int m_Remaining = 0;
    int m_OddHellos = 0;
    int m_ClosedConnections = 0;
    std::atomic<bool> m_Frozen{false};
    // Last: their threads use everything above.
    FakeController m_FileTransfer;
    FakeController m_Highspeed;
};

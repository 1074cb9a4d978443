#include "tests/support/MisbehavingController.h"

#include <thread>

namespace {

using namespace std::chrono_literals;

// The client gives up after 1 s; a stall is longer, but short enough that its
// next connection still gets its hello answered in time.
constexpr auto StallTime = 1300ms;
constexpr auto IdleLimit = 5000ms;

void PutWord(std::vector<unsigned char>& image, std::uint32_t offset, std::uint32_t value) {
    PutUint32(image.data() + offset, value);
}

} // namespace

MisbehavingController::MisbehavingController(const std::string& address, std::string summary,
                                             std::uint32_t inputSize, std::uint32_t outputSize,
                                             std::uint32_t eventInputOffset, std::uint32_t ackOutputOffset)
    : m_Summary(std::move(summary)), m_EventOffset(eventInputOffset), m_AckOffset(ackOutputOffset),
      m_Input(inputSize), m_Output(outputSize),
      m_FileTransfer(address, FileTransferPort, [this](int fd) { ServeFiles(fd); }),
      m_Highspeed(address, HighspeedPort, [this](int fd) { ServeHighspeed(fd); }) {}

void MisbehavingController::Misbehave(Misbehaviour kind, int count, std::uint16_t status) {
    std::lock_guard lock(m_Guard);
    m_Kind = kind;
    m_Status = status;
    m_Remaining = count;
}

bool MisbehavingController::Misbehaving() const {
    std::lock_guard lock(m_Guard);
    return m_Remaining > 0 || m_OddHellos > 0 || m_ClosedConnections > 0;
}

void MisbehavingController::SetEvent(std::uint32_t value) {
    std::lock_guard lock(m_Guard);
    PutWord(m_Input, m_EventOffset, value);
}

void MisbehavingController::ToggleEvent(int bit) {
    std::lock_guard lock(m_Guard);
    PutWord(m_Input, m_EventOffset, Word(m_Input, m_EventOffset) ^ (1u << bit));
}

std::uint32_t MisbehavingController::Acknowledge() const {
    std::lock_guard lock(m_Guard);
    return Word(m_Output, m_AckOffset);
}

int MisbehavingController::AcknowledgeToggles(int bit) const {
    std::lock_guard lock(m_Guard);
    return m_Toggles.at(static_cast<std::size_t>(bit));
}

std::uint32_t MisbehavingController::Word(const std::vector<unsigned char>& image,
                                          std::uint32_t offset) const {
    return GetUint32(image.data() + offset);
}

void MisbehavingController::ServeFiles(int fd) {
    FrameHeader header;
    std::vector<unsigned char> payload;
    while (!m_FileTransfer.Stopping() && ReadFrame(fd, header, payload, IdleLimit)) {
        if (header.Type == MessageType::LoginRequest) {
            SendBytes(fd, Frame(MessageType::LoginAnswer, {}));
            continue;
        }
        if (header.Type != MessageType::ReadFileRequest || payload.size() < ReadFileFixedSize)
            return;
        const std::uint32_t offset =
            std::min<std::uint32_t>(GetUint32(payload.data()), static_cast<std::uint32_t>(m_Summary.size()));
        std::vector<unsigned char> answer(4);
        PutUint32(answer.data(), static_cast<std::uint32_t>(m_Summary.size()));
        answer.insert(answer.end(), m_Summary.begin() + offset, m_Summary.end());
        SendBytes(fd, Frame(MessageType::ReadFileAnswer, answer));
    }
}

void MisbehavingController::ServeHighspeed(int fd) {
    {
        std::lock_guard lock(m_Guard);
        if (m_ClosedConnections > 0) {
            --m_ClosedConnections;
            return;
        }
    }
    FrameHeader header;
    std::vector<unsigned char> payload;
    while (!m_Highspeed.Stopping() && ReadFrame(fd, header, payload, IdleLimit)) {
        if (m_Frozen) {
            // The client gives up meanwhile; an answer after the thaw would reach nobody.
            while (m_Frozen && !m_Highspeed.Stopping())
                std::this_thread::sleep_for(10ms);
            return;
        }
        if (header.Type == MessageType::HelloRequest) {
            std::vector<unsigned char> sizes(HelloAnswerSize);
            std::lock_guard lock(m_Guard);
            auto input = static_cast<std::uint32_t>(m_Input.size());
            auto output = static_cast<std::uint32_t>(m_Output.size());
            if (m_OddHellos > 0) {
                --m_OddHellos;
                (m_Kind == Misbehaviour::SmallInputImage ? input : output) /= 2;
            }
            PutUint32(sizes.data(), input);
            PutUint32(sizes.data() + 4, output);
            SendBytes(fd, Frame(MessageType::HelloAnswer, sizes));
        } else if (header.Type != MessageType::ExchangeRequest || !Exchange(fd, payload)) {
            return;
        }
    }
}

void MisbehavingController::ApplyWrite(std::uint32_t offset, const unsigned char* data,
                                       std::uint32_t length) {
    const std::uint32_t before = Word(m_Output, m_AckOffset);
    std::copy(data, data + length, m_Output.begin() + offset);
    const std::uint32_t changed = before ^ Word(m_Output, m_AckOffset);
    for (std::size_t bit = 0; bit < m_Toggles.size(); ++bit)
        m_Toggles[bit] += (changed >> bit) & 1u;
}

bool MisbehavingController::Exchange(int fd, const std::vector<unsigned char>& request) {
    std::unique_lock lock(m_Guard);
    if (request.size() < ExchangeFixedSize)
        return false;
    const std::uint32_t offset = GetUint32(request.data());
    const std::uint32_t writeLength = GetUint32(request.data() + 4);
    const std::uint32_t readLength = GetUint32(request.data() + 8);
    if (request.size() != ExchangeFixedSize + writeLength ||
        (writeLength > 0 && std::uint64_t{offset} + writeLength > m_Output.size()) ||
        readLength > m_Input.size()) {
        SendBytes(fd, Frame(MessageType::ErrorAnswer, {'r', 'a', 'n', 'g', 'e'},
                            static_cast<std::uint16_t>(ProtocolStatus::OutOfRange)));
        return true;
    }
    const unsigned char* written = request.data() + ExchangeFixedSize;
    std::vector<unsigned char> answer(m_Input.begin(), m_Input.begin() + readLength);
    if (writeLength == 0 || m_Remaining == 0) {
        if (writeLength > 0)
            ApplyWrite(offset, written, writeLength);
        SendBytes(fd, Frame(MessageType::ExchangeAnswer, answer));
        return true;
    }
    --m_Remaining;
    switch (m_Kind) {
    case Misbehaviour::CloseBeforeAnswer:
        return false;
    case Misbehaviour::ApplyThenClose:
        ApplyWrite(offset, written, writeLength);
        return false;
    case Misbehaviour::Stall:
        lock.unlock();
        std::this_thread::sleep_for(StallTime);
        return false;
    case Misbehaviour::CloseMidFrame: {
        ApplyWrite(offset, written, writeLength);
        const std::vector<unsigned char> frame = Frame(MessageType::ExchangeAnswer, answer);
        SendBytes(fd, std::vector<unsigned char>(frame.begin(), frame.begin() + FrameHeaderSize + 2));
        return false;
    }
    case Misbehaviour::GarbageHeader:
        SendBytes(fd, std::vector<unsigned char>(FrameHeaderSize, 0xA5));
        return true;
    case Misbehaviour::WrongType:
        SendBytes(fd, Frame(MessageType::HelloAnswer, std::vector<unsigned char>(HelloAnswerSize)));
        return true;
    case Misbehaviour::ShortPayload:
        answer.pop_back();
        SendBytes(fd, Frame(MessageType::ExchangeAnswer, answer));
        return true;
    case Misbehaviour::LongPayload:
        answer.resize(answer.size() + 4);
        SendBytes(fd, Frame(MessageType::ExchangeAnswer, answer));
        return true;
    case Misbehaviour::ErrorAnswer:
        SendBytes(fd, Frame(MessageType::ErrorAnswer, {'n', 'o'}, m_Status));
        // After a framing error the controller closes its side.
        return m_Status > static_cast<std::uint16_t>(ProtocolStatus::Malformed);
    case Misbehaviour::Away:
        m_ClosedConnections = m_Remaining;
        m_Remaining = 0;
        return false;
    case Misbehaviour::SmallInputImage:
    case Misbehaviour::SmallOutputImage:
        m_OddHellos = m_Remaining;
        m_Remaining = 0;
        return false;
    }
    return false;
}

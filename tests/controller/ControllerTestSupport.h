#pragma once

#include "app/core/SystemMessage.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Collects the message list's lines while it lives.
class MessageCapture : public MessageSink {
public:
    MessageCapture() { SetMainWindow(this); }
    ~MessageCapture() override { SetMainWindow(nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    void AddMessage(const std::string& text) override {
        std::lock_guard lock(m_Guard);
        m_Lines.push_back(text);
    }
    // The lines so far; they are forgotten.
    std::vector<std::string> Take() {
        std::lock_guard lock(m_Guard);
        return std::exchange(m_Lines, {});
    }

private:
    std::mutex m_Guard;
    std::vector<std::string> m_Lines;
};

// One variable section of a summary file.
struct SummaryVariable {
    std::string Name;
    std::string DataType = "USINT32";
    std::string Direction = "I";
    std::string InputOffset = "-";
    std::string OutputOffset = "-";
    std::string Format = "%d";
};

std::string SummaryText(const std::vector<SummaryVariable>& variables);

// Counter I 0x0, Event I 0x4, Ack IO 0x8/0x20, AckScaled O 0x24 with two
// decimals, Status I 0xC: an input image of 16 bytes, an output image of 40.
std::vector<SummaryVariable> StandardVariables();

#pragma once

#include "app/core/SystemMessage.h"
#include "events/RunRecord.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Collects the message list's lines and the runs' records while it lives; engine
// threads may add to it.
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
    // The lines so far.
    std::vector<std::string> Lines() const {
        std::lock_guard lock(m_Guard);
        return m_Lines;
    }
    void RecordRun(const RunRecord& record) override {
        std::lock_guard lock(m_Guard);
        m_Runs.push_back(record);
    }
    // The records of the runs so far.
    std::vector<RunRecord> Runs() const {
        std::lock_guard lock(m_Guard);
        return m_Runs;
    }
    // The lines so far; they are forgotten.
    std::vector<std::string> Take() {
        std::lock_guard lock(m_Guard);
        return std::exchange(m_Lines, {});
    }

private:
    mutable std::mutex m_Guard;
    std::vector<std::string> m_Lines;
    std::vector<RunRecord> m_Runs;
};

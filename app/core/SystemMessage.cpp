#include "app/core/SystemMessage.h"

#include "app/core/StringTable.h"

#include <atomic>
#include <iostream>
#include <mutex>

namespace {

std::atomic<MessageSink*> TheMainWindow{nullptr};
std::mutex HandlerMutex;
ModalBoxHandler TheModalBoxHandler;

} // namespace

void SetMainWindow(MessageSink* window) { TheMainWindow.store(window); }

MessageSink* MainWindow() { return TheMainWindow.load(); }

void AddMessage(const std::string& text) {
    if (text.empty())
        return;
    if (MessageSink* window = TheMainWindow.load())
        window->AddMessage(text);
}

void SetModalBoxHandler(ModalBoxHandler handler) {
    std::lock_guard lock(HandlerMutex);
    TheModalBoxHandler = std::move(handler);
}

int ShowSystemMessage(void* owner, unsigned stringId, const std::string* text, unsigned style, bool modal) {
    const std::string title = LoadString(IDS_SYSTEM_MESSAGE_TITLE);
    std::string message;
    if (text == nullptr) {
        message = LoadString(stringId);
    } else {
        const std::string format = LoadString(stringId);
        message = format.empty() ? *text : FormatMessage(format, *text);
    }
    if (message.empty())
        return IDCANCEL;
    if (!modal) {
        AddMessage(message);
        return IDCANCEL;
    }
    ModalBoxHandler handler;
    {
        std::lock_guard lock(HandlerMutex);
        handler = TheModalBoxHandler;
    }
    if (!handler) {
        std::cerr << title << ": " << message << std::endl;
        return IDOK;
    }
    return handler(owner, message, title, style | MB_TOPMOST);
}

int ShowSystemMessage(void* owner, unsigned stringId, const std::string& text, unsigned style, bool modal) {
    return ShowSystemMessage(owner, stringId, &text, style, modal);
}

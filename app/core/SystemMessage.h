#pragma once

#include <functional>
#include <string>

struct RunRecord;

// Message box styles and answers, with the classic values.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONHAND = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONASTERISK = 0x40;
constexpr unsigned MB_TOPMOST = 0x40000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Whatever shows the message list: the main window, or a stand-in without one.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Appends one line; callable from any thread, never waits for the user.
    virtual void AddMessage(const std::string& text) = 0;
    // Takes the record of a run that has ended; callable from any thread, never
    // waits for the disk or the user.
    virtual void RecordRun(const RunRecord& record) { (void)record; }
};

// The process-wide main window that messages go to (none: lines are dropped).
void SetMainWindow(MessageSink* window);
MessageSink* MainWindow();

// Appends a line to the main window's message list, if there is one.
void AddMessage(const std::string& text);

// Shows a modal box: (owner window or null, message, title, style) -> answer.
using ModalBoxHandler =
    std::function<int(void* owner, const std::string& text, const std::string& title, unsigned style)>;
// The front end installs how a modal box is shown; without one a modal
// message is written to standard error and answered with IDOK.
void SetModalBoxHandler(ModalBoxHandler handler);

// A string-table message as a modal box or as a line of the message list.
// With a text and a non-empty string for `stringId`, the string is the format and
// the text its "%s"; with a text alone, the text; with no text, the string.
// An empty message shows nothing and gives IDCANCEL, as does the list form.
int ShowSystemMessage(void* owner, unsigned stringId, const std::string* text, unsigned style, bool modal);
// Convenience form for a text that is always given.
int ShowSystemMessage(void* owner, unsigned stringId, const std::string& text, unsigned style, bool modal);

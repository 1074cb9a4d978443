#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Ids of the main window's controls.
enum DialogControlId : int {
    IDC_CONFIGURATION_PATH = 1000,
    IDC_BROWSE_CONFIGURATION = 1001,
    IDC_USE_CONFIGURATION = 1002,
    IDC_USE_SIMULATION = 1003,
    IDC_DEACTIVATE_OBSERVATION = 1004,
    IDC_START_ON_OPEN = 1005,
    IDC_MINIMIZE_ON_START = 1006,
    IDC_ACTIVATE_OBSERVATION = 1007,
    IDC_DELETE_MESSAGES = 1011,
    IDC_MESSAGE_LIST = 1012,
    IDC_REREAD_CONFIGURATION = 1013,
    IDC_TOOL_TABLE = 1021,
};

// What the open-file dialog is asked to show.
struct OpenFileRequest {
    std::string InitialDirectory;
    std::string InitialFileName;
    std::string Filter; // "description|pattern||", as the classic dialogs take it
    std::string DefaultExtension;
};

// The main window's controls as the window's logic sees them. A front end (the
// Qt window, the headless observer, a test) implements it on whatever it shows.
//
// Threads: every function is called on the thread that created the logic (the
// front end's own thread), except the two Post functions, which any thread may
// call and which must neither block nor call back into the logic directly: the
// front end answers them later, on its own thread (a queued call), with
// EventManagerDialog::DeliverPendingMessages or ::ApplyCallCounts.
class DialogControls {
public:
    virtual ~DialogControls() = default;

    // False until the window exists; lines for a window that does not exist are dropped.
    virtual bool HasWindow() const = 0;

    virtual void SetEditText(int id, const std::string& text) = 0;

    // The configuration combo box. The logic keeps it sorted and says where each
    // item goes; the front end inserts exactly there. Indexes count from 0.
    virtual void ResetComboBox() = 0;
    // The index the item got, or -1 when it could not be added.
    virtual int InsertComboItem(int index, const std::string& text) = 0;
    virtual void SetComboItemData(int index, std::int64_t data) = 0;
    virtual std::int64_t ComboItemData(int index) const = 0;
    virtual int ComboItemCount() const = 0;
    // -1 when nothing is selected.
    virtual int ComboCurrentSelection() const = 0;
    virtual void SetComboCurrentSelection(int index) = 0;

    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool IsChecked(int id) const = 0;

    virtual void EnableControl(int id, bool enabled) = 0;
    virtual void ShowControl(int id, bool shown) = 0;

    // The message list. Append gives the new line's index, or -1 when it failed.
    virtual int AppendMessageLine(const std::string& text) = 0;
    virtual void RemoveMessageLine(int index) = 0;
    virtual void SelectMessageLine(int index) = 0;
    virtual void ClearMessageLines() = 0;

    virtual void Minimize() = 0;

    // Shows the open-file dialog (the file must exist); the full path chosen, or
    // nothing when the user cancelled or no dialog can be shown.
    virtual std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) = 0;

    // Shown around long work; calls nest in pairs.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // Any thread: message lines are waiting for DeliverPendingMessages.
    virtual void PostMessageDelivery() = 0;
    // Any thread: call counts changed; answer with ApplyCallCounts.
    virtual void PostCallCountRefresh() = 0;
};

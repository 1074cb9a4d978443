#pragma once

#include "app/core/SystemMessage.h"
#include "app/logic/DialogControls.h"
#include "events/ObservationState.h"
#include "events/RunHistory.h"
#include "events/RunRecord.h"

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ToolTable;

// The main window's state and behaviour without widgets. A front end creates it
// with its controls and its tool table, sets up its grid, calls OnInitDialog,
// forwards each control's notification to the handler of the same name, and
// closes after OnOK or OnCancel.
//
// Threads: everything runs on the thread that constructed the object (the front
// end's thread), except AddMessage and RefreshCallCounts, which any thread may
// call (the poll thread does). From other threads they only queue and post a
// request through DialogControls; the front end answers it on its own thread
// with DeliverPendingMessages or ApplyCallCounts. So the tool table is touched
// only on the front end's thread, and the poll thread never waits for it.
class EventManagerDialog : public ObservationState, public MessageSink {
public:
    // The message list keeps the newest lines up to this many.
    static constexpr int MessageLogCapacity = 10000;

    EventManagerDialog(DialogControls& controls, ToolTable& table);
    ~EventManagerDialog() override;
    EventManagerDialog(const EventManagerDialog&) = delete;
    EventManagerDialog& operator=(const EventManagerDialog&) = delete;

    // What opening the window does once the front end has set up its grid: hide
    // the reread button, read the settings, load the configuration and, when
    // observation may be activated, apply the two start options.
    void OnInitDialog();
    // Closing with Enter: save the settings, deactivate, release the device description.
    void OnOK();
    // Closing with Escape or the close box: deactivate, save the settings, release.
    void OnCancel();

    // Whether OK and Cancel write the settings file. A front end that never lets
    // the user change a setting (the headless observer) leaves it as it finds it,
    // so edits made to the file meanwhile survive.
    bool SaveSettingsOnClose = true;
    // Successful runs get a line in the message list too (failed ones always do).
    std::atomic<bool> LogRuns{false};
    // Where the run history and the tools' output files go; empty: the Temp
    // folder beside the program. Read by OnInitDialog.
    std::string RunFilesFolder;

    void OnBrowseConfiguration();
    void OnConfigurationChosen();
    void OnActivateButton();
    void OnDeactivateButton() override;
    void OnStartOnOpenClicked();
    void OnMinimizeOnStartClicked();
    void OnSimulationClicked();
    void OnDeleteMessages();
    void OnRereadConfiguration();

    // The whole loading sequence; ends with UpdateControlStates. The readers take
    // the project file's path from the settings file, so a caller that changes
    // PathToKavelCfg saves the settings first; a path the file does not hold then
    // is reported and not loaded, rather than another file loaded under its name.
    void LoadConfiguration();
    void PrepareToolSlots();
    void UpdateControlStates();
    // Bit 6 of ControlStateCode is clear: the Activate button may be used.
    bool ActivationAllowed() const { return (ControlStateCode & ActivateLockBit) == 0; }

    // The open-file dialog for a project file, starting in the folder of `path`
    // (of the program when `path` is empty). True and `path` replaced when the
    // user chose a file; false and `path` unchanged otherwise.
    bool ChooseConfigurationFile(std::string& path);

    // Any thread. Lines appear in the order in which they were produced.
    void AddMessage(const std::string& text) override;
    // Any thread: keeps the record as the slot's last run, queues it for the run
    // history and says failures aloud.
    void RecordRun(const RunRecord& record) override;
    // Starts the run history and the capture of the tools' output in RunFilesFolder
    // (OnInitDialog does it; a front end without it calls it before observing).
    void OpenRunFiles();
    // The newest record of slot `bit` since the program started, if any.
    std::optional<RunRecord> LastRun(int bit) const;
    // The file that holds the output of slot `bit`; empty when output is not kept.
    std::string OutputFilePath(int bit) const;
    // The run history; null when it is not kept.
    RunHistory* History() const { return m_History.get(); }
    // Any thread.
    void RefreshCallCounts() override;

    // The front end's answers to DialogControls' Post requests (its own thread).
    void DeliverPendingMessages();
    void ApplyCallCounts();

    static constexpr std::uint16_t ActivateLockBit = 64;

private:
    bool OnOwnThread() const { return std::this_thread::get_id() == m_OwnThread; }
    void AppendMessageLine(const std::string& text);
    void ResetLastValuesAndReload();
    // Asks for a project file when the settings name none that exists.
    bool EnsureConfigurationPath();
    bool ReadConfigurationFiles();
    bool OfferConfigurations();
    void SelectConfigurationInUse();
    void ShowStartOptions();
    bool ResolveVariables();
    void ShowRereadButton(bool shown);

    DialogControls& m_Controls;
    ToolTable& m_Table;
    const std::thread::id m_OwnThread = std::this_thread::get_id();

    std::mutex m_PendingGuard;
    std::deque<std::string> m_PendingMessages;
    bool m_Delivering = false;
    int m_MessageLineCount = 0;
    std::atomic<bool> m_CallCountRefreshPosted{false};
    std::atomic<bool> m_Closing{false};
    // OK or Cancel ran: the window is closing, whatever dialog is still unwinding.
    bool m_Closed = false;

    mutable std::mutex m_RunGuard;
    std::array<std::optional<RunRecord>, ToolSlotCount> m_LastRuns;
    std::unique_ptr<RunHistory> m_History;
};

// Width of a column that takes `percent` of a grid `gridWidth` pixels wide:
// 0 unless 1 <= percent <= 99, otherwise truncated towards zero.
int ColumnWidthFromPercent(int gridWidth, int percent);

#include "app/logic/EventManagerDialog.h"

#include "app/core/AppSettings.h"
#include "app/core/StringTable.h"
#include "config/EventConfiguration.h"
#include "config/ProjectPathsReader.h"
#include "config/ToolCommandLines.h"
#include "config/ToolTable.h"
#include "config/VariableReferences.h"
#include "device/DeviceDescription.h"
#include "events/Activation.h"
#include "events/ToolRunner.h"
#include "platform/Collation.h"
#include "platform/Paths.h"
#include "platform/ProgramTemp.h"

#include <cstdint>

namespace {

// Lock bits of ControlStateCode and the control each one disables.
struct LockBit {
    std::uint16_t Bit;
    int ControlId;
};
constexpr LockBit LockBits[] = {
    {1, IDC_BROWSE_CONFIGURATION},     {2, IDC_USE_CONFIGURATION}, {4, IDC_START_ON_OPEN},
    {8, IDC_MINIMIZE_ON_START},        {16, IDC_USE_SIMULATION},   {64, IDC_ACTIVATE_OBSERVATION},
    {128, IDC_DEACTIVATE_OBSERVATION},
};

constexpr std::uint16_t AllLocked = 255;
constexpr std::uint16_t ObservingCode = 127;
constexpr std::uint16_t BrowseLockBit = 1;
constexpr std::uint16_t ComboLockBit = 2;
// A failed load locks everything but "...", so that another file can be chosen.
constexpr std::uint16_t LoadFailedCode = AllLocked & ~BrowseLockBit;
constexpr std::uint16_t StartOptionLockBits = 4 | 8 | 16;
constexpr unsigned CentredFormat = DT_CENTER | ToolCellLine;

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    explicit WaitCursor(DialogControls& controls) : m_Controls(controls) { m_Controls.BeginWaitCursor(); }
    ~WaitCursor() { m_Controls.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    DialogControls& m_Controls;
};

std::int32_t AsSetting(std::int64_t itemData) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(itemData));
}

bool SameUniqueID(std::int64_t itemData, std::int32_t setting) {
    return static_cast<std::uint32_t>(itemData) == static_cast<std::uint32_t>(setting);
}

} // namespace

EventManagerDialog::EventManagerDialog(DialogControls& controls, ToolTable& table)
    : m_Controls(controls), m_Table(table) {
    SetMainWindow(this);
}

EventManagerDialog::~EventManagerDialog() {
    if (MainWindow() == this)
        SetMainWindow(nullptr);
    // The front end may already be half gone: nothing below may reach it.
    m_Closing = true;
    if (ObservationActive)
        DeactivateObservation(*this);
}

void EventManagerDialog::OnInitDialog() {
    m_Controls.EnableControl(IDC_REREAD_CONFIGURATION, false);
    ShowRereadButton(false);
    OpenRunFiles();
    LoadSettings(Settings);
    LoadConfiguration();
    // A stop request may have closed the window while a dialog of the loading ran.
    if (m_Closed || !ActivationAllowed())
        return;
    if (Settings.MinimizeOnStart)
        m_Controls.Minimize();
    if (Settings.ActivateOnStart)
        OnActivateButton();
}

void EventManagerDialog::OnOK() {
    m_Closed = true;
    if (SaveSettingsOnClose)
        SaveSettings(Settings);
    DeactivateObservation(*this);
    ReleaseDeviceDescription();
}

void EventManagerDialog::OnCancel() {
    m_Closed = true;
    DeactivateObservation(*this);
    if (SaveSettingsOnClose)
        SaveSettings(Settings);
    ReleaseDeviceDescription();
}

void EventManagerDialog::OnBrowseConfiguration() {
    std::string path = Settings.PathToKavelCfg;
    if (!ChooseConfigurationFile(path))
        return;
    Settings.PathToKavelCfg = path;
    SaveSettings(Settings);
    ResetLastValuesAndReload();
}

void EventManagerDialog::OnConfigurationChosen() {
    if (m_Controls.ComboItemCount() <= 0)
        return;
    const int selection = m_Controls.ComboCurrentSelection();
    if (selection < 0)
        return;
    Settings.UsedUniqueID = AsSetting(m_Controls.ComboItemData(selection));
    SaveSettings(Settings);
    ResetLastValuesAndReload();
}

void EventManagerDialog::ResetLastValuesAndReload() {
    ControlStateCode = AllLocked;
    LastEventValue = 0;
    LastAckValue = 0;
    LoadConfiguration();
}

void EventManagerDialog::OnActivateButton() {
    // Nothing observes behind a window that was closed.
    if (m_Closed)
        return;
    ControlStateCode = ObservingCode;
    UpdateControlStates();
    ActivateObservation(*this);
}

void EventManagerDialog::OnDeactivateButton() {
    DeactivateObservation(*this);
    ControlStateCode = AllLocked;
    LoadConfiguration();
}

void EventManagerDialog::OnStartOnOpenClicked() {
    Settings.ActivateOnStart = m_Controls.IsChecked(IDC_START_ON_OPEN) ? 1 : 0;
    SaveSettings(Settings);
}

void EventManagerDialog::OnMinimizeOnStartClicked() {
    Settings.MinimizeOnStart = m_Controls.IsChecked(IDC_MINIMIZE_ON_START) ? 1 : 0;
    SaveSettings(Settings);
}

void EventManagerDialog::OnSimulationClicked() {
    Settings.UseSimEnvironment = m_Controls.IsChecked(IDC_USE_SIMULATION) ? 1 : 0;
    SaveSettings(Settings);
    ControlStateCode = AllLocked;
    UpdateControlStates();
    LoadConfiguration();
}

void EventManagerDialog::OnDeleteMessages() {
    // Lines produced before the click but not shown yet go with the others.
    DeliverPendingMessages();
    m_Controls.ClearMessageLines();
    m_MessageLineCount = 0;
}

void EventManagerDialog::OnRereadConfiguration() {
    LoadConfiguration();
}

void EventManagerDialog::LoadConfiguration() {
    // A reload starts from fresh slots: a run whose program was missing no longer
    // blocks its slot once the program is there.
    if (ObservationActive == 0)
        ResetToolRuns(*this);
    bool activationAllowed = false;
    // The wait cursor shows the loading, not the time the user takes to choose a file.
    bool loaded = EnsureConfigurationPath();
    if (m_Closed)
        return;
    const WaitCursor cursor(m_Controls);
    loaded = loaded && ReadConfigurationFiles();
    if (loaded) {
        m_Controls.SetEditText(IDC_CONFIGURATION_PATH, Settings.PathToKavelCfg);
        ControlStateCode &= ~BrowseLockBit;
        loaded = OfferConfigurations();
    }
    if (loaded) {
        SelectConfigurationInUse();
        ControlStateCode &= ~ComboLockBit;
        ShowStartOptions();
        ControlStateCode &= ~StartOptionLockBits;
        PrepareToolSlots();
        activationAllowed = ResolveVariables();
    } else {
        ControlStateCode = LoadFailedCode;
        ShowSystemMessage(this, IDS_CONFIGURATION_FILE_INVALID, Settings.PathToKavelCfg, MB_ICONEXCLAMATION,
                          false);
    }
    if (activationAllowed)
        ControlStateCode &= ~ActivateLockBit;
    UpdateControlStates();
}

bool EventManagerDialog::EnsureConfigurationPath() {
    if (!Settings.PathToKavelCfg.empty() && FileExists(Settings.PathToKavelCfg))
        return true;
    if (!ChooseConfigurationFile(Settings.PathToKavelCfg))
        return false;
    SaveSettings(Settings);
    return true;
}

bool EventManagerDialog::ReadConfigurationFiles() {
    // Both readers take the path from the settings file, so a path that did not
    // reach it (a write that failed) would load another file than the one shown.
    std::string storedPath;
    ReadConfigurationPath(storedPath);
    if (storedPath != Settings.PathToKavelCfg) {
        ::AddMessage(
            FormatMessage("Error ! The settings file %s could not be written !", SettingsFilePath()));
        return false;
    }
    return ReadProjectPaths(Session.Paths) && ReadToolConfigurations();
}

bool EventManagerDialog::OfferConfigurations() {
    m_Controls.ResetComboBox();
    std::vector<const EventConfiguration*> offers;
    std::vector<std::string> texts;
    for (const EventConfiguration& configuration : Configurations()) {
        if (configuration.UniqueID() == 0)
            continue;
        offers.push_back(&configuration);
        texts.push_back(configuration.GetGlobalParameters().Description);
    }
    // Sorted once and appended in order: inserting each item in its sorted place
    // costs the square of the count with tens of thousands of configurations.
    bool offered = false;
    for (const std::size_t position : CollatedOrder(texts)) {
        const int index = m_Controls.InsertComboItem(m_Controls.ComboItemCount(), texts[position]);
        if (index < 0)
            continue;
        m_Controls.SetComboItemData(index, offers[position]->UniqueID());
        offered = true;
    }
    return offered;
}

void EventManagerDialog::SelectConfigurationInUse() {
    const int count = m_Controls.ComboItemCount();
    for (int index = 0; index < count; ++index) {
        if (SameUniqueID(m_Controls.ComboItemData(index), Settings.UsedUniqueID)) {
            m_Controls.SetComboCurrentSelection(index);
            return;
        }
    }
    Settings.UsedUniqueID = AsSetting(m_Controls.ComboItemData(0));
    // Only the key that changed: what else the file says may have been edited meanwhile.
    SaveUsedUniqueID(Settings);
    m_Controls.SetComboCurrentSelection(0);
}

void EventManagerDialog::ShowStartOptions() {
    m_Controls.SetCheck(IDC_START_ON_OPEN, Settings.ActivateOnStart != 0);
    m_Controls.SetCheck(IDC_MINIMIZE_ON_START, Settings.MinimizeOnStart != 0);
    m_Controls.SetCheck(IDC_USE_SIMULATION, Settings.UseSimEnvironment != 0);
}

bool EventManagerDialog::ResolveVariables() {
    const std::uint32_t code = LoadVariableReferences(this, Settings, Session.Paths, References, Session);
    if (code == ReferencesResolved) {
        m_Controls.EnableControl(IDC_REREAD_CONFIGURATION, false);
        ShowRereadButton(false);
        for (const ToolSlot& slot : ToolSlots) {
            if (slot.Defined)
                return true;
        }
        return false;
    }
    if (!Settings.UseSimEnvironment && (code & ReferencesNoDeviceDescription)) {
        m_Controls.EnableControl(IDC_REREAD_CONFIGURATION, true);
        ShowRereadButton(true);
    }
    return false;
}

void EventManagerDialog::ShowRereadButton(bool shown) {
    m_Controls.ShowControl(IDC_REREAD_CONFIGURATION, shown);
}

void EventManagerDialog::PrepareToolSlots() {
    ::PrepareToolSlots(ToolSlots, Settings, Session.Paths, m_Table);
}

void EventManagerDialog::UpdateControlStates() {
    for (const LockBit& lock : LockBits)
        m_Controls.EnableControl(lock.ControlId, (ControlStateCode & lock.Bit) == 0);
}

bool EventManagerDialog::ChooseConfigurationFile(std::string& path) {
    OpenFileRequest request;
    request.InitialDirectory = DirectoryPart(path.empty() ? SettingsFilePath() : path);
    if (request.InitialDirectory.empty())
        request.InitialDirectory = "/";
    request.InitialFileName = "*.ADPXML";
    request.Filter = "ADPXML - Datei|*.ADPXML||";
    request.DefaultExtension = ".ADPXML";
    const std::optional<std::string> chosen = m_Controls.ChooseOpenFile(request);
    if (!chosen || chosen->empty())
        return false;
    // The settings keep at most this many characters; a longer path would come
    // back cut and name another file.
    if (chosen->size() > MaximumPathLength) {
        ::AddMessage(FormatMessage("Error ! The path %s is longer than 260 characters !", *chosen));
        return false;
    }
    path = *chosen;
    return true;
}

void EventManagerDialog::AddMessage(const std::string& text) {
    if (text.empty() || m_Closing)
        return;
    bool post = false;
    {
        std::lock_guard lock(m_PendingGuard);
        post = m_PendingMessages.empty();
        m_PendingMessages.push_back(text);
        // Lines beyond the capacity would push each other out of the list anyway.
        if (m_PendingMessages.size() > static_cast<std::size_t>(MessageLogCapacity))
            m_PendingMessages.pop_front();
    }
    if (OnOwnThread())
        DeliverPendingMessages();
    else if (post)
        m_Controls.PostMessageDelivery();
}

void EventManagerDialog::DeliverPendingMessages() {
    if (m_Delivering)
        return;
    m_Delivering = true;
    for (;;) {
        std::deque<std::string> lines;
        {
            std::lock_guard lock(m_PendingGuard);
            lines.swap(m_PendingMessages);
        }
        if (lines.empty())
            break;
        for (const std::string& line : lines)
            AppendMessageLine(line);
    }
    m_Delivering = false;
}

void EventManagerDialog::AppendMessageLine(const std::string& text) {
    if (m_Closing || !m_Controls.HasWindow())
        return;
    if (m_MessageLineCount >= MessageLogCapacity) {
        m_Controls.RemoveMessageLine(0);
        --m_MessageLineCount;
    }
    const int index = m_Controls.AppendMessageLine(text);
    if (index < 0)
        return;
    ++m_MessageLineCount;
    m_Controls.SelectMessageLine(index);
}

void EventManagerDialog::OpenRunFiles() {
    if (m_History != nullptr)
        return;
    std::string folder = RunFilesFolder;
    if (folder.empty()) {
        std::string error;
        folder = ProgramTempDirectory(error);
        if (folder.empty()) {
            ::AddMessage(
                "**** The run history and the tools' output are not kept: the folder Temp beside the "
                "program cannot be had: " +
                error);
            return;
        }
    }
    m_History = std::make_unique<RunHistory>(folder + PathSeparator + "runs.jsonl");
    OutputCapture = std::make_shared<ToolOutputCapture>(folder);
}

void EventManagerDialog::RecordRun(const RunRecord& record) {
    if (record.Bit < 0 || record.Bit >= ToolSlotCount)
        return;
    {
        std::lock_guard lock(m_RunGuard);
        m_LastRuns[record.Bit] = record;
    }
    if (m_History != nullptr)
        m_History->Append(record);
    // A tool that could not be started has its line from the engine already.
    if (record.Outcome == RunOutcome::NotStarted)
        return;
    if (LogRuns || RunFailed(record) || record.Outcome == RunOutcome::TerminatedAtDeactivation)
        AddMessage(RunLine(record));
}

std::optional<RunRecord> EventManagerDialog::LastRun(int bit) const {
    if (bit < 0 || bit >= ToolSlotCount)
        return std::nullopt;
    std::lock_guard lock(m_RunGuard);
    return m_LastRuns[bit];
}

std::string EventManagerDialog::OutputFilePath(int bit) const {
    if (OutputCapture == nullptr || bit < 0 || bit >= ToolSlotCount)
        return {};
    return OutputCapture->FilePath(bit);
}

void EventManagerDialog::RefreshCallCounts() {
    if (m_Closing)
        return;
    if (OnOwnThread())
        ApplyCallCounts();
    else if (!m_CallCountRefreshPosted.exchange(true))
        m_Controls.PostCallCountRefresh();
}

void EventManagerDialog::ApplyCallCounts() {
    m_CallCountRefreshPosted = false;
    if (m_Closing || !m_Table.HasWindow())
        return;
    for (int i = 0; i < ToolSlotCount; ++i) {
        const ToolSlot& slot = ToolSlots[i];
        if (!slot.Runnable)
            continue;
        GridItem item;
        item.Row = i + 1;
        item.Col = 1;
        item.Mask = GVIF_TEXT | GVIF_FORMAT;
        item.Format = CentredFormat;
        item.Text = std::to_string(slot.CallCount.load());
        m_Table.SetItem(item);
    }
    m_Table.Invalidate();
}

int ColumnWidthFromPercent(int gridWidth, int percent) {
    if (percent < 1 || percent > 99)
        return 0;
    return static_cast<int>(static_cast<std::int64_t>(gridWidth) * percent / 100);
}

#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "app/window/DialogUnits.h"
#include "app/window/EventManagerApp.h"
#include "app/window/EventManagerWindow.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckOutput = 0x24;

// Processes the window's events until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(2);
    }
    return true;
}

// Answers the next modal file dialog with Cancel.
void CancelNextFileDialog() {
    QTimer::singleShot(50, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
    });
}

struct ControlRow {
    int Id;
    int X, Y, Width, Height;
};

// Every control with an id as the dialog template places it (dialog units).
const ControlRow Layout[] = {
    {IDC_ACTIVATE_OBSERVATION, 36, 289, 151, 14}, {IDC_CONFIGURATION_PATH, 85, 11, 280, 15},
    {IDC_BROWSE_CONFIGURATION, 368, 11, 23, 15},  {IDC_USE_SIMULATION, 267, 51, 120, 14},
    {IDC_TOOL_TABLE, 12, 80, 375, 203},           {IDC_DEACTIVATE_OBSERVATION, 218, 289, 146, 14},
    {IDC_START_ON_OPEN, 9, 51, 120, 14},          {IDC_MINIMIZE_ON_START, 138, 51, 120, 14},
    {IDC_DELETE_MESSAGES, 281, 381, 115, 15},     {IDC_MESSAGE_LIST, 4, 311, 392, 64},
    {IDC_REREAD_CONFIGURATION, 4, 381, 115, 15},
};

// The controls that follow ControlStateCode; the grid and "Delete messages" never lock.
const int Lockable[] = {IDC_BROWSE_CONFIGURATION,  IDC_USE_CONFIGURATION, IDC_START_ON_OPEN,
                        IDC_MINIMIZE_ON_START,     IDC_USE_SIMULATION,    IDC_ACTIVATE_OBSERVATION,
                        IDC_DEACTIVATE_OBSERVATION};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Areas.Valid());
        SetModalBoxHandler([this](void*, const std::string& text, const std::string& title, unsigned style) {
            Boxes.push_back(title + "|" + text + "|" + std::to_string(style));
            return IDOK;
        });
    }
    void TearDown() override {
        Window.reset();
        SetModalBoxHandler(nullptr);
    }

    AppSettings Project(const std::string& path, const std::string& tool, const std::string& parameter,
                        int activateOnStart = 0, int minimizeOnStart = 0) {
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject(
            "p.ADPXML", {{"2", "Bench B", "EventVar", "AckVar", "5", {{0, path, tool, parameter}}},
                         {"1", "Bench A", "EventVar", "AckVar", "5", {{0, path, tool, parameter}}}});
        settings.UsedUniqueID = 2;
        settings.UseSimEnvironment = 1;
        settings.ActivateOnStart = activateOnStart;
        settings.MinimizeOnStart = minimizeOnStart;
        Workspace.SaveTestSettings(settings);
        return settings;
    }

    void Open() {
        Window = std::make_unique<EventManagerWindow>();
        Window->Open();
        QApplication::processEvents();
    }

    QWidget* Control(int id) const { return Window->Control(id); }

    // The enabled state of the lockable controls, as "1" and "0" in Lockable's order.
    std::string EnabledPattern() const {
        std::string pattern;
        for (int id : Lockable)
            pattern += Control(id)->isEnabled() ? '1' : '0';
        return pattern;
    }

    QListWidget& Messages() const { return *qobject_cast<QListWidget*>(Control(IDC_MESSAGE_LIST)); }

    void Click(int id) { QTest::mouseClick(Control(id), Qt::LeftButton); }

    TestWorkspace Workspace;
    SimulationAreas Areas;
    std::vector<std::string> Boxes;
    std::unique_ptr<EventManagerWindow> Window;
};

TEST_F(WindowTest, ControlsStandWhereTheDialogTemplatePutsThem) {
    Window = std::make_unique<EventManagerWindow>();
    const DialogUnits& units = Window->Units();
    EXPECT_EQ(Window->size(), QSize(units.X(400), units.Y(401)));
    EXPECT_EQ(Window->minimumSize(), Window->maximumSize()) << "the window has a fixed size";
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("q.rix Windows Application Eventmanager"));
    for (const ControlRow& row : Layout) {
        SCOPED_TRACE(row.Id);
        ASSERT_NE(Control(row.Id), nullptr);
        EXPECT_EQ(Control(row.Id)->geometry(), units.Rect(row.X, row.Y, row.Width, row.Height));
    }
    const QRect combo = Control(IDC_USE_CONFIGURATION)->geometry();
    EXPECT_EQ(combo.topLeft(), units.Rect(85, 31, 280, 179).topLeft());
    EXPECT_EQ(combo.width(), units.X(365) - units.X(85));

    // Tab order: Activate, path, browse, combo, simulation, grid, Deactivate, the two
    // start options, Delete messages, the list, reread.
    const int order[] = {IDC_ACTIVATE_OBSERVATION,   IDC_CONFIGURATION_PATH, IDC_BROWSE_CONFIGURATION,
                         IDC_USE_CONFIGURATION,      IDC_USE_SIMULATION,     IDC_TOOL_TABLE,
                         IDC_DEACTIVATE_OBSERVATION, IDC_START_ON_OPEN,      IDC_MINIMIZE_ON_START,
                         IDC_DELETE_MESSAGES,        IDC_MESSAGE_LIST,       IDC_REREAD_CONFIGURATION};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* next = Control(order[i])->nextInFocusChain();
        while (next != nullptr && next->property("controlId").isNull())
            next = next->nextInFocusChain();
        EXPECT_EQ(next, Control(order[i + 1])) << "after " << order[i];
    }
}

TEST_F(WindowTest, EveryTextFitsItsControl) {
    Window = std::make_unique<EventManagerWindow>();
    for (int id : {IDC_START_ON_OPEN, IDC_MINIMIZE_ON_START, IDC_USE_SIMULATION, IDC_ACTIVATE_OBSERVATION,
                   IDC_DEACTIVATE_OBSERVATION, IDC_DELETE_MESSAGES, IDC_REREAD_CONFIGURATION}) {
        SCOPED_TRACE(id);
        EXPECT_LE(Control(id)->sizeHint().width(), Control(id)->width());
    }
}

TEST_F(WindowTest, ToolTableIsSetUpWithHeaderNumbersAndColumnWidths) {
    Window = std::make_unique<EventManagerWindow>();
    CGridCtrl& grid = Window->Grid();
    EXPECT_EQ(grid.GetRowCount(), 17);
    EXPECT_EQ(grid.GetColumnCount(), 3);
    EXPECT_EQ(grid.GetFixedRowCount(), 1);
    EXPECT_EQ(grid.GetFixedColumnCount(), 1);
    EXPECT_EQ(grid.GetItemText(0, 0), "#");
    EXPECT_EQ(grid.GetItemText(0, 1), "Calls");
    EXPECT_EQ(grid.GetItemText(0, 2), "Tool");
    EXPECT_EQ(grid.GetItemText(16, 0), "16");
    const int width = grid.width();
    EXPECT_EQ(grid.GetColumnWidth(0), width * 5 / 100);
    EXPECT_EQ(grid.GetColumnWidth(1), width * 10 / 100);
    EXPECT_EQ(grid.GetColumnWidth(2), width * 80 / 100);
    EXPECT_FALSE(grid.IsEditable());
    EXPECT_TRUE(grid.GetListMode());
}

TEST_F(WindowTest, WithoutSettingsTheFileDialogOpensAndCancellingLocksTheWindow) {
    CancelNextFileDialog();
    Open();
    EXPECT_EQ(Window->Logic().ControlStateCode, 255);
    EXPECT_EQ(EnabledPattern(), "0000000");
    EXPECT_TRUE(Control(IDC_TOOL_TABLE)->isEnabled());
    EXPECT_TRUE(Control(IDC_DELETE_MESSAGES)->isEnabled());
    EXPECT_FALSE(Control(IDC_REREAD_CONFIGURATION)->isVisible());
    ASSERT_TRUE(PumpUntil([&] { return Messages().count() > 0; }));
    EXPECT_EQ(Messages().item(Messages().count() - 1)->text(),
              QStringLiteral("Error ! The contents of the configuration file  is not valid !"));
    EXPECT_FALSE(Window->isMinimized());
    EXPECT_EQ(Window->Logic().ObservationActive, 0);
}

TEST_F(WindowTest, ReadyObservingAndBackFollowTheControlStateCode) {
    Project("/bin", "true", "");
    Open();
    EXPECT_EQ(Window->Logic().ControlStateCode, 160);
    EXPECT_EQ(EnabledPattern(), "1111110");
    auto* combo = qobject_cast<QComboBox*>(Control(IDC_USE_CONFIGURATION));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Bench A"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Bench B"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(Control(IDC_CONFIGURATION_PATH))->text().toStdString(),
              Workspace.PathOf("p.ADPXML"));
    EXPECT_TRUE(qobject_cast<QCheckBox*>(Control(IDC_USE_SIMULATION))->isChecked());

    Click(IDC_ACTIVATE_OBSERVATION);
    EXPECT_EQ(Window->Logic().ObservationActive, 1);
    EXPECT_EQ(EnabledPattern(), "0000001");

    Click(IDC_DEACTIVATE_OBSERVATION);
    EXPECT_EQ(Window->Logic().ObservationActive, 0);
    EXPECT_EQ(EnabledPattern(), "1111110");
}

TEST_F(WindowTest, AConfigurationWithoutToolsLoadsButCannotBeActivated) {
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg =
        Workspace.WriteProject("p.ADPXML", {{"1", "Empty", "EventVar", "AckVar", "5", {}}});
    settings.UseSimEnvironment = 1;
    settings.ActivateOnStart = 1;
    settings.MinimizeOnStart = 1;
    Workspace.SaveTestSettings(settings);
    Open();
    EXPECT_EQ(Window->Logic().ControlStateCode, 224);
    EXPECT_EQ(EnabledPattern(), "1111100");
    EXPECT_FALSE(Window->isMinimized());
    EXPECT_EQ(Window->Logic().ObservationActive, 0);
}

TEST_F(WindowTest, BothStartOptionsMinimiseAndObserve) {
    Project("/bin", "true", "", 1, 1);
    Open();
    EXPECT_TRUE(Window->isMinimized());
    EXPECT_EQ(Window->Logic().ObservationActive, 1);
    EXPECT_FALSE(Control(IDC_ACTIVATE_OBSERVATION)->isEnabled());
    EXPECT_TRUE(Control(IDC_DEACTIVATE_OBSERVATION)->isEnabled());
}

TEST_F(WindowTest, CheckBoxesSaveTheirSettingAtOnce) {
    Project("/bin", "true", "");
    Open();
    Click(IDC_START_ON_OPEN);
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 1);
    Click(IDC_MINIMIZE_ON_START);
    EXPECT_EQ(Workspace.StoredSettings().MinimizeOnStart, 1);
    Click(IDC_START_ON_OPEN);
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 0);
    // Leaving simulation mode reloads: the controller (nobody at 127.0.0.1) gives no description.
    Click(IDC_USE_SIMULATION);
    EXPECT_EQ(Workspace.StoredSettings().UseSimEnvironment, 0);
    EXPECT_EQ(Window->Logic().ControlStateCode, 224);
    EXPECT_TRUE(Control(IDC_REREAD_CONFIGURATION)->isVisible());
    EXPECT_TRUE(Control(IDC_REREAD_CONFIGURATION)->isEnabled());
}

TEST_F(WindowTest, ChoosingAConfigurationInTheListSavesAndReloads) {
    Project("/bin", "true", "");
    Open();
    auto* combo = qobject_cast<QComboBox*>(Control(IDC_USE_CONFIGURATION));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 1);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Bench A"));
}

TEST_F(WindowTest, MessagesSelectTheNewestLineAndDeleteMessagesEmptiesTheList) {
    Project("/bin", "true", "");
    Open();
    Click(IDC_DELETE_MESSAGES);
    EXPECT_EQ(Messages().count(), 0);
    for (const char* line : {"one", "two", "three"})
        AddMessage(line);
    ASSERT_TRUE(PumpUntil([&] { return Messages().count() == 3; }));
    EXPECT_EQ(Messages().currentRow(), 2);
    Click(IDC_DELETE_MESSAGES);
    EXPECT_EQ(Messages().count(), 0);
}

TEST_F(WindowTest, AHandshakeShowsItsCallInTheTable) {
    const std::string marker = Workspace.PathOf("ran");
    Project("/usr/bin", "touch", marker, 1, 0);
    Open();
    ASSERT_EQ(Window->Logic().ObservationActive, 1);
    EXPECT_EQ(Window->Grid().GetItemText(1, 1), "0");
    Areas.ToggleInputBit(EventInput, 0);
    ASSERT_TRUE(PumpUntil([&] { return Window->Grid().GetItemText(1, 1) == "1"; }));
    EXPECT_EQ(Areas.ReadOutput(AckOutput) & 1u, 1u);
}

TEST_F(WindowTest, ClosingWhileAToolRunsEndsItAndAcknowledgesIt) {
    Project("/bin", "sleep", "30", 1, 0);
    Open();
    ToolSlot& slot = Window->Logic().ToolSlots[0];
    Areas.ToggleInputBit(EventInput, 0);
    ASSERT_TRUE(PumpUntil([&] {
        std::lock_guard lock(slot.Process.Guard);
        return slot.Process.ProcessId > 0 && !slot.Process.Reaped;
    }));
    Window->reject();
    EXPECT_EQ(Window->Logic().ObservationActive, 0);
    EXPECT_EQ(slot.CallCount, 1u);
    EXPECT_EQ(Areas.ReadOutput(AckOutput) & 1u, 1u);
    EXPECT_FALSE(Window->isVisible());
}

TEST_F(WindowTest, AMissingHelpPageIsReportedInABox) {
    Project("/bin", "true", "");
    Open();
    Window->OnHelp();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], "System message (Kavel - Application)|Error ! The help file " +
                            Workspace.PathOf("eventmanager.html") + " is not available !|" +
                            std::to_string(MB_ICONHAND | MB_TOPMOST));
}

TEST(EventManagerApp, ASecondInstanceSaysSoAndOpensNoWindow) {
    const std::string name = "kavel-window-test-" + std::to_string(::getpid());
    SingleInstanceLock first(name);
    ASSERT_EQ(first.Result(), SingleInstanceLock::Outcome::Acquired);
    std::vector<std::string> boxes;
    SetModalBoxHandler([&](void*, const std::string& text, const std::string& title, unsigned style) {
        boxes.push_back(title + "|" + text + "|" + std::to_string(style));
        return IDOK;
    });
    EXPECT_EQ(EventManagerApp(name).InitInstance(), 1);
    SetModalBoxHandler(nullptr);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0],
              "System message (Kavel - Application)|Only one instance of the application is allowed !|" +
                  std::to_string(MB_ICONHAND | MB_TOPMOST));
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return qobject_cast<EventManagerWindow*>(w) != nullptr; }));
    ::unlink(first.LockPath().c_str());
}

} // namespace

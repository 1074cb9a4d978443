#include "app/core/StringTable.h"
#include "app/core/SystemMessage.h"
#include "app/window/EventManagerApp.h"
#include "app/window/EventManagerWindow.h"
#include "app/window/LastRunDialog.h"
#include "tests/app/SimulationAreas.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitUntil.h"
#include "tests/window/PumpUntil.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

constexpr std::uint32_t EventInput = 0x10;
constexpr std::uint32_t AckOutput = 0x24;

// Processes the window's events until the condition holds or the time is up.
// Answers the next modal file dialog with Cancel.
// Whether the wait cursor covered the last file dialog that CancelNextFileDialog closed.
bool WaitCursorOverDialog = false;

void CancelNextFileDialog() {
    QTimer::singleShot(50, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
                WaitCursorOverDialog = QApplication::overrideCursor() != nullptr;
                dialog->reject();
            }
    });
}

// Every control with an id, in tab order.
const int TabOrder[] = {IDC_ACTIVATE_OBSERVATION,   IDC_CONFIGURATION_PATH, IDC_BROWSE_CONFIGURATION,
                        IDC_USE_CONFIGURATION,      IDC_USE_SIMULATION,     IDC_TOOL_TABLE,
                        IDC_DEACTIVATE_OBSERVATION, IDC_START_ON_OPEN,      IDC_MINIMIZE_ON_START,
                        IDC_DELETE_MESSAGES,        IDC_MESSAGE_LIST,       IDC_REREAD_CONFIGURATION};

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
        std::vector<TestTool> tools;
        if (!tool.empty())
            tools.push_back({0, path, tool, parameter});
        settings.PathToKavelCfg =
            Workspace.WriteProject("p.ADPXML", {{"2", "Bench B", "EventVar", "AckVar", "5", tools},
                                                {"1", "Bench A", "EventVar", "AckVar", "5", tools}});
        settings.UsedUniqueID = 2;
        settings.UseSimEnvironment = 1;
        settings.ActivateOnStart = activateOnStart;
        settings.MinimizeOnStart = minimizeOnStart;
        Workspace.SaveTestSettings(settings);
        return settings;
    }

    void Open() {
        Window = std::make_unique<EventManagerWindow>();
        Window->Logic().RunFilesFolder = Workspace.Folder();
        Window->Open();
        QApplication::processEvents();
    }

    // Right-clicks a cell of the tool table and returns the entries of the menu that opens, a
    // disabled one in brackets; clicks the entry `choice`, or closes the menu.
    QStringList ToolTableMenu(int row, int col, const QString& choice = {}) {
        CGridCtrl& grid = Window->Grid();
        QRect cell;
        EXPECT_TRUE(grid.GetCellRect(row, col, cell));
        auto entries = std::make_shared<QStringList>();
        QTimer::singleShot(0, [entries, choice] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr)
                return;
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                const QString text = action->text().remove(QLatin1Char('&'));
                *entries << (action->isEnabled() ? text : QStringLiteral("(%1)").arg(text));
                if (text == choice)
                    chosen = action;
            }
            if (chosen != nullptr)
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                                  menu->actionGeometry(chosen).center());
            else
                menu->close();
        });
        QTest::mouseClick(Window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                          grid.viewport()->mapTo(Window.get(), cell.center()));
        QApplication::processEvents();
        return *entries;
    }

    // Chooses "Last run…" on a tool's row and returns the dialog it opens.
    LastRunDialog* OpenLastRun(int row) {
        ToolTableMenu(row, 2, QStringLiteral("Last run…"));
        PumpUntil([&] { return Window->LastRunBox() != nullptr && Window->LastRunBox()->isVisible(); });
        return qobject_cast<LastRunDialog*>(Window->LastRunBox());
    }

    // Escape closes the dialog.
    void CloseWithEscape(LastRunDialog* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_TRUE(PumpUntil([&] { return Window->LastRunBox() == nullptr; }));
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

TEST_F(WindowTest, ControlsFitTheFixedWindowWithoutOverlapInTabOrder) {
    Window = std::make_unique<EventManagerWindow>();
    EXPECT_EQ(Window->minimumSize(), Window->maximumSize()) << "the window has a fixed size";
    for (std::size_t i = 0; i < std::size(TabOrder); ++i) {
        QWidget* control = Control(TabOrder[i]);
        ASSERT_NE(control, nullptr) << TabOrder[i];
        EXPECT_TRUE(Window->rect().contains(control->geometry())) << TabOrder[i];
        // Buttons and check boxes show their whole text.
        const bool hasText =
            qobject_cast<QAbstractButton*>(control) != nullptr && TabOrder[i] != IDC_BROWSE_CONFIGURATION;
        EXPECT_TRUE(!hasText || control->sizeHint().width() <= control->width()) << TabOrder[i];
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(control->geometry().intersects(Control(TabOrder[j])->geometry()))
                << TabOrder[i] << " overlaps " << TabOrder[j];
        if (i + 1 < std::size(TabOrder)) {
            QWidget* next = control->nextInFocusChain();
            while (next != nullptr && next->property("controlId").isNull())
                next = next->nextInFocusChain();
            EXPECT_EQ(next, Control(TabOrder[i + 1])) << "after " << TabOrder[i];
        }
    }
}

TEST_F(WindowTest, ToolTableShowsSixteenNumberedRowsAndSelectsWholeRows) {
    Window = std::make_unique<EventManagerWindow>();
    Window->show();
    CGridCtrl& grid = Window->Grid();
    EXPECT_EQ(grid.GetRowCount(), 17);
    EXPECT_EQ(grid.GetItemText(0, 0) + grid.GetItemText(0, 1) + grid.GetItemText(0, 2), "#CallsTool");
    EXPECT_EQ(grid.GetItemText(16, 0), "16");
    EXPECT_FALSE(grid.IsHScrollBarShown()) << "the three columns fit";
    QRect cell;
    ASSERT_TRUE(grid.GetCellRect(3, 2, cell));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    EXPECT_EQ(grid.GetSelectedCells(), (std::vector<GridCellId>{{3, 1}, {3, 2}}));
    QTest::keyClick(&grid, Qt::Key_X);
    EXPECT_EQ(grid.GetInPlaceEdit(), nullptr) << "the table cannot be edited";
}

// All 17 rows in view without a scroll bar, at whatever scale this process runs.
TEST_F(WindowTest, ToolTableShowsAllItsRowsWithoutAScrollBar) {
    Window = std::make_unique<EventManagerWindow>();
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    CGridCtrl& grid = Window->Grid();
    EXPECT_FALSE(grid.IsVScrollBarShown());
    EXPECT_FALSE(grid.IsHScrollBarShown());
    EXPECT_LE(grid.GetVirtualHeight(), grid.viewport()->height());
    const int textHeight = QFontMetrics(grid.GetCell(1, 2)->FontObject()).height();
    for (int row = 0; row < grid.GetRowCount(); ++row) {
        QRect rect;
        ASSERT_TRUE(grid.GetCellRect(row, 2, rect)) << row;
        EXPECT_LE(rect.bottom(), grid.viewport()->height() - 1) << row;
        EXPECT_GE(rect.height(), textHeight + 2) << row;
    }
    // Page Down goes from the first row straight to the last, which leaves the first in view.
    grid.setFocus();
    grid.SetFocusCell(1, 2);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.GetFocusCell().Row, 16);
    EXPECT_EQ(grid.GetTopLeftNonFixedCell().Row, 1);
}

TEST_F(WindowTest, ToolTableFitsAtEveryDisplayScale) {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "runs in the processes it starts";
    for (const char* scale : {"1.25", "1.5", "2"}) {
        SCOPED_TRACE(scale);
        ChildProcess child({"/usr/bin/env", std::string("QT_SCALE_FACTOR=") + scale,
                            "QT_QPA_PLATFORM=offscreen",
                            QCoreApplication::applicationFilePath().toStdString(),
                            "--gtest_filter=WindowTest.ToolTableShowsAllItsRowsWithoutAScrollBar"});
        ASSERT_TRUE(child.Started());
        const std::optional<int> code = child.WaitForExit(std::chrono::seconds(60));
        EXPECT_EQ(code, 0) << child.Output();
    }
}

// What a screen reader gets: named controls, and the tool table with its headers, calls, command
// lines and which rows are red.
TEST_F(WindowTest, AccessibilityReadsTheControlsAndTheToolTable) {
    Workspace.WriteSummary("summary.sta", StandardVariables());
    AppSettings settings;
    settings.PathToKavelCfg = Workspace.WriteProject(
        "p.ADPXML", {{"2",
                      "Bench",
                      "EventVar",
                      "AckVar",
                      "5",
                      {{0, "/bin", "true", "--fast"}, {2, "/nonexistent", "tool", ""}}}});
    settings.UsedUniqueID = 2;
    settings.UseSimEnvironment = 1;
    Workspace.SaveTestSettings(settings);
    Open();

    for (int id : TabOrder) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(Control(id));
        ASSERT_NE(control, nullptr) << id;
        EXPECT_FALSE(control->text(QAccessible::Name).isEmpty()) << id;
    }
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(Control(IDC_TOOL_TABLE));
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Tool table"));
    QAccessibleTableInterface* table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 16);
    ASSERT_EQ(table->columnCount(), 3);
    EXPECT_EQ(table->columnDescription(0) + "|" + table->columnDescription(1) + "|" +
                  table->columnDescription(2),
              QStringLiteral("#|Calls|Tool"));
    const auto text = [&](int row, int col) { return table->cellAt(row, col)->text(QAccessible::Name); };
    EXPECT_EQ(text(0, 0), QStringLiteral("1"));
    EXPECT_EQ(text(0, 1), QStringLiteral("0"));
    EXPECT_EQ(text(0, 2), QStringLiteral("/bin/true --fast"));
    EXPECT_EQ(text(2, 2).toStdString().find("/nonexistent/tool"), 0u);
    EXPECT_EQ(text(5, 1), QString());
    QStringList red;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->cellAt(row, 2)->text(QAccessible::Description).startsWith(QStringLiteral("red")))
            red << text(row, 0);
    }
    EXPECT_EQ(red, QStringList{QStringLiteral("3")});
}

TEST_F(WindowTest, WithoutSettingsTheFileDialogOpensAndCancellingLocksTheWindow) {
    CancelNextFileDialog();
    Open();
    EXPECT_FALSE(WaitCursorOverDialog) << "the wait cursor shows loading, not choosing";
    // Locked but for "...": another file can be chosen without editing the settings.
    EXPECT_EQ(Window->Logic().ControlStateCode, 254);
    EXPECT_EQ(EnabledPattern(), "1000000");
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

TEST_F(WindowTest, StartOptionsMinimiseAndObserveOnlyWithARunnableConfiguration) {
    for (const bool withTool : {true, false}) {
        SCOPED_TRACE(withTool ? "with a tool" : "without tools");
        Project("/bin", withTool ? "true" : "", "", 1, 1);
        Open();
        EXPECT_EQ(Window->Logic().ControlStateCode, withTool ? 127 : 224);
        EXPECT_EQ(EnabledPattern(), withTool ? "0000001" : "1111100");
        EXPECT_EQ(Window->isMinimized(), withTool);
        EXPECT_EQ(Window->Logic().ObservationActive, withTool ? 1 : 0);
        Window.reset();
    }
}

// Enter clicks Activate while it can be clicked; otherwise it closes the window
// as OK does, whichever control has the focus.
TEST_F(WindowTest, EnterActivatesWhileItCanAndOtherwiseClosesAsOK) {
    const struct {
        const char* Name;
        const char* Tool;
        int ActivateOnStart;
        bool Closes;
    } cases[] = {
        {"ready", "true", 0, false},
        {"observing", "true", 1, true},
        {"nothing to observe", "", 0, true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        Project("/bin", test.Tool, "", test.ActivateOnStart);
        Open();
        QTest::keyClick(&Messages(), Qt::Key_Return);
        EXPECT_EQ(Window->isHidden(), test.Closes);
        EXPECT_EQ(Window->result(), test.Closes ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(Window->Logic().ObservationActive, test.Closes ? 0 : 1);
        Window.reset();
    }
}

TEST_F(WindowTest, CheckBoxesAndTheListSaveTheirSettingAtOnce) {
    Project("/bin", "true", "");
    Open();
    auto* combo = qobject_cast<QComboBox*>(Control(IDC_USE_CONFIGURATION));
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 1);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Bench A"));

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

TEST_F(WindowTest, AMissingHelpPageAndASecondInstanceAreReportedInABox) {
    Project("/bin", "true", "");
    Open();
    Window->OnHelp();
    const std::string name = "kavel-window-test-" + std::to_string(::getpid());
    SingleInstanceLock first(name);
    ASSERT_EQ(first.Result(), SingleInstanceLock::Outcome::Acquired);
    EXPECT_EQ(EventManagerApp(name).InitInstance(), 1);
    ::unlink(first.LockPath().c_str());
    const std::string title = "System message (Kavel - Application)|";
    const std::string style = "|" + std::to_string(MB_ICONHAND | MB_TOPMOST);
    EXPECT_EQ(Boxes, (std::vector<std::string>{
                         title + "Error ! The help file " + Workspace.PathOf("eventmanager.html") +
                             " is not available !" + style,
                         title + "Only one instance of the application is allowed !" + style}));
    const auto windows = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                            [](QWidget* w) { return qobject_cast<EventManagerWindow*>(w) != nullptr; }),
              1)
        << "the second instance opened a window";
}

// A tool that fails after writing more than the dialog shows: its record, and the newest whole
// lines of its output, scrolled to the end.
TEST_F(WindowTest, LastRunShowsTheRecordAndTheTailOfTheOutput) {
    const std::string script = Workspace.WriteFile(
        "fails.sh",
        "#!/bin/sh\ni=0\nwhile [ $i -lt 2000 ]; do echo \"line $i of the output, padded to be long\"; "
        "i=$((i+1)); done\necho last line\nexit 3\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    Project(Workspace.Folder(), "fails.sh", "", 1, 0);
    Open();
    ASSERT_EQ(Window->Logic().ObservationActive, 1);
    Areas.ToggleInputBit(EventInput, 0);
    ASSERT_TRUE(PumpUntil([&] { return Window->Logic().LastRun(0).has_value(); }));
    ASSERT_TRUE(Window->Logic().OutputCapture->WaitUntilWritten(20000));

    EXPECT_EQ(ToolTableMenu(1, 2), (QStringList{QStringLiteral("(Copy)"), QStringLiteral("Last run…"),
                                                QStringLiteral("Open output file")}));
    LastRunDialog* box = OpenLastRun(1);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isModal());
    EXPECT_EQ(box->parentWidget(), Window.get());
    const QString record = box->RecordText();
    EXPECT_TRUE(record.startsWith(QStringLiteral("Tool 1 (bit 0) ended with exit code 3 after ")))
        << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("Command line: ") + QString::fromStdString(script)));
    EXPECT_TRUE(record.contains(QStringLiteral("Configuration: 2")));
    const QString output = box->OutputText();
    EXPECT_TRUE(output.endsWith(QStringLiteral("line 1999 of the output, padded to be long\nlast line\n")));
    EXPECT_TRUE(output.startsWith(QStringLiteral("line "))) << "a whole line first";
    EXPECT_LE(output.size(), qsizetype(LastRunDialog::ShownTail));
    EXPECT_FALSE(output.contains(QStringLiteral("===="))) << "the run's heading is older than the tail";
    EXPECT_TRUE(box->OutputHeading().contains(QStringLiteral("newest")));
    const QScrollBar* bar = box->findChild<QPlainTextEdit*>()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum()) << "the newest output is in view";
    CloseWithEscape(box);
}

// Only the tools' rows offer the entries. A row without a run says so and shows what an earlier
// start of the program left in its output file; a file that cannot be shown (too large, a folder,
// a pipe nobody writes to) is said, and the dialog neither hangs nor reads it whole.
TEST_F(WindowTest, LastRunOfRowsWithoutARunAndOutputFilesThatCannotBeShown) {
    Project("/bin", "true", "");
    Workspace.WriteFile("slot-01.log", "==== an earlier start\nearlier output\n");
    std::filesystem::resize_file(Workspace.WriteFile("slot-03.log", ""), 10 * 1024 * 1024);
    std::filesystem::create_directory(Workspace.PathOf("slot-04.log"));
    ASSERT_EQ(::mkfifo(Workspace.PathOf("slot-05.log").c_str(), 0600), 0);
    Open();
    const QStringList copyOnly{QStringLiteral("(Copy)")};
    EXPECT_EQ(ToolTableMenu(0, 2), copyOnly) << "header row";
    EXPECT_EQ(ToolTableMenu(3, 0), copyOnly) << "fixed column";
    const struct {
        int Row;
        const char* OpenEntry;
        const char* Heading;
        const char* Output;
    } cases[] = {
        {1, "Open output file", "Output: ", "==== an earlier start\nearlier output\n"},
        {2, "(Open output file)", "No output file yet: ", ""},
        {3, "Open output file", "The output file ", ""},
        {4, "(Open output file)", "The output file ", ""},
        {5, "(Open output file)", "The output file ", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Row);
        EXPECT_EQ(ToolTableMenu(test.Row, 2),
                  (QStringList{QStringLiteral("(Copy)"), QStringLiteral("Last run…"),
                               QString::fromUtf8(test.OpenEntry)}));
        LastRunDialog* box = OpenLastRun(test.Row);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->RecordText(), QStringLiteral("No run of this tool since the program started."));
        const QString heading = box->OutputHeading();
        EXPECT_TRUE(heading.startsWith(QString::fromUtf8(test.Heading))) << heading.toStdString();
        EXPECT_EQ(heading.contains(QStringLiteral("cannot be shown")), test.Row >= 3)
            << heading.toStdString();
        EXPECT_EQ(box->OutputText(), QString::fromUtf8(test.Output));
        CloseWithEscape(box);
    }
}

} // namespace

#include "tests/app/DialogFixture.h"

#include <thread>

namespace {

class HandlerTest : public DialogFixture {
protected:
    void SetUp() override {
        Project = WriteStandardProject();
        Dialog->OnInitDialog();
        ASSERT_EQ(Dialog->ControlStateCode, 160);
        SettingsBefore = TempFolder::Read(Workspace.SettingsFile());
        LoadsBefore = Controls.WaitCursorShown;
        Dialog->LastEventValue = 0x15;
        Dialog->LastAckValue = 0x14;
    }

    bool Reloaded() const { return Controls.WaitCursorShown > LoadsBefore; }
    bool SettingsUnchanged() const { return TempFolder::Read(Workspace.SettingsFile()) == SettingsBefore; }
    bool LastValuesReset() const { return Dialog->LastEventValue == 0 && Dialog->LastAckValue == 0; }

    std::string Project;
    std::string SettingsBefore;
    int LoadsBefore = 0;
};

TEST_F(HandlerTest, ChoicesThatChooseNothingChangeNothing) {
    const auto expectNothingChanged = [&](const char* after) {
        SCOPED_TRACE(after);
        EXPECT_FALSE(Reloaded());
        EXPECT_TRUE(SettingsUnchanged());
        EXPECT_EQ(Dialog->Settings.PathToKavelCfg, Project);
        EXPECT_EQ(Dialog->LastEventValue, 0x15u);
        EXPECT_EQ(Dialog->ControlStateCode, 160);
    };
    Dialog->OnBrowseConfiguration();
    ASSERT_EQ(Controls.FileRequests.size(), 1u);
    EXPECT_EQ(Controls.FileRequests.back().InitialDirectory, Workspace.Folder());
    expectNothingChanged("a cancelled file dialog");

    Controls.FileAnswers.push_back("/" + std::string(300, 'a') + ".ADPXML");
    Dialog->OnBrowseConfiguration();
    ASSERT_FALSE(Controls.Lines.empty());
    EXPECT_NE(Controls.Lines.back().find("is longer than 260 characters"), std::string::npos);
    expectNothingChanged("a path longer than the settings hold");

    Controls.Selection = -1;
    Dialog->OnConfigurationChosen();
    expectNothingChanged("a confirmation without a selection");
    Controls.ComboItems.clear();
    Controls.Selection = 0;
    Dialog->OnConfigurationChosen();
    expectNothingChanged("a confirmation without items");
}

TEST_F(HandlerTest, AChosenProjectFileIsSavedAndLoadedFromScratch) {
    Workspace.WriteSummary("other.sta", StandardVariables());
    const std::string other = Workspace.WriteProject(
        "sub/other.ADPXML", {{"7", "Other", "EventVar", "AckVar", "5", {{3, "/bin", "true", ""}}}},
        "other.sta");
    Controls.FileAnswers.push_back(other);

    Dialog->OnBrowseConfiguration();

    EXPECT_EQ(Workspace.StoredSettings().PathToKavelCfg, other);
    EXPECT_TRUE(LastValuesReset());
    EXPECT_EQ(Controls.EditTexts[IDC_CONFIGURATION_PATH], other);
    EXPECT_EQ(Controls.ComboTexts(), std::vector<std::string>{"Other"});
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 7);
    EXPECT_EQ(Table.Text(4, 2), "/bin/true");
    EXPECT_EQ(Table.Text(1, 2), "");
    EXPECT_EQ(Dialog->ControlStateCode, 160);

    // The next dialog starts in the folder of the file in use.
    Dialog->OnBrowseConfiguration();
    EXPECT_EQ(Controls.FileRequests.back().InitialDirectory, Workspace.PathOf("sub"));
}

TEST_F(HandlerTest, ConfirmingAConfigurationSavesItResetsAndReloads) {
    Workspace.WriteProject("project.ADPXML",
                           {{"1", "Standard", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}}},
                            {"2", "Another", "EventVar", "AckVar", "5", {{5, "/bin", "true", ""}}}});
    Dialog->OnRereadConfiguration();
    ASSERT_EQ(Controls.ComboTexts(), (std::vector<std::string>{"Another", "Standard"}));
    Dialog->LastEventValue = 3;

    Controls.Selection = 0;
    Dialog->OnConfigurationChosen();
    EXPECT_EQ(Workspace.StoredSettings().UsedUniqueID, 2);
    EXPECT_TRUE(LastValuesReset());
    EXPECT_EQ(Table.Text(6, 2), "/bin/true");
    EXPECT_EQ(Table.Text(1, 2), "");
    EXPECT_EQ(Controls.Selection, 0);

    // The same item once more still reloads and resets.
    const int loads = Controls.WaitCursorShown;
    Dialog->LastEventValue = 9;
    Dialog->LastAckValue = 9;
    Dialog->OnConfigurationChosen();
    EXPECT_GT(Controls.WaitCursorShown, loads);
    EXPECT_TRUE(LastValuesReset());
}

TEST_F(HandlerTest, StartOptionsAreSavedWithoutReloading) {
    Controls.Checks[IDC_START_ON_OPEN] = true;
    Dialog->OnStartOnOpenClicked();
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 1);

    Controls.Checks[IDC_MINIMIZE_ON_START] = true;
    Dialog->OnMinimizeOnStartClicked();
    EXPECT_EQ(Workspace.StoredSettings().MinimizeOnStart, 1);

    Controls.Checks[IDC_START_ON_OPEN] = false;
    Dialog->OnStartOnOpenClicked();
    EXPECT_EQ(Workspace.StoredSettings().ActivateOnStart, 0);
    EXPECT_EQ(Workspace.StoredSettings().MinimizeOnStart, 1);

    EXPECT_FALSE(Reloaded());
    EXPECT_EQ(Dialog->ControlStateCode, 160);
    EXPECT_EQ(Dialog->LastEventValue, 0x15u);
}

TEST_F(HandlerTest, SwitchingSimulationSavesLocksAndReloadsButKeepsTheLastValues) {
    Controls.Checks[IDC_USE_SIMULATION] = false;
    Dialog->OnSimulationClicked();

    EXPECT_EQ(Workspace.StoredSettings().UseSimEnvironment, 0);
    EXPECT_TRUE(Reloaded());
    EXPECT_EQ(Dialog->LastEventValue, 0x15u);
    EXPECT_EQ(Dialog->LastAckValue, 0x14u);
    // Controller mode without a controller: loaded, but no activation, and the
    // reread button is offered.
    EXPECT_EQ(Dialog->ControlStateCode, 224);
    EXPECT_TRUE(Controls.IsShown(IDC_REREAD_CONFIGURATION));

    Controls.Checks[IDC_USE_SIMULATION] = true;
    Dialog->OnSimulationClicked();
    EXPECT_EQ(Workspace.StoredSettings().UseSimEnvironment, 1);
    EXPECT_EQ(Dialog->ControlStateCode, 160);
    EXPECT_FALSE(Controls.IsShown(IDC_REREAD_CONFIGURATION));
}

TEST_F(HandlerTest, RereadingKeepsTheCodeAndSavesNothing) {
    Workspace.WriteProject("project.ADPXML",
                           {{"1", "Standard", "EventVar", "AckVar", "5", {{0, "/bin", "no-such-tool", ""}}}});
    Dialog->OnRereadConfiguration();

    EXPECT_TRUE(Reloaded());
    EXPECT_TRUE(SettingsUnchanged());
    EXPECT_EQ(Dialog->LastEventValue, 0x15u);
    EXPECT_EQ(Table.At(1, 2).BackColour, Rgb(255, 0, 0));
    EXPECT_EQ(Dialog->ControlStateCode, 160);
}

TEST_F(HandlerTest, CallCountsShowOnlyInRowsOfRunnableSlots) {
    Workspace.WriteProject("project.ADPXML", {{"1",
                                               "Standard",
                                               "EventVar",
                                               "AckVar",
                                               "5",
                                               {{0, "/bin", "true", ""}, {1, "/bin", "no-such-tool", ""}}}});
    Dialog->OnRereadConfiguration();
    ASSERT_EQ(Table.Text(2, 1), "0");
    Dialog->ToolSlots[0].CallCount = 4;
    Dialog->ToolSlots[1].CallCount = 6;

    // From another thread only a request is posted; the table is not touched there.
    const int setItems = Table.SetItemCount;
    std::thread poll([this] {
        Dialog->RefreshCallCounts();
        Dialog->RefreshCallCounts();
    });
    poll.join();
    EXPECT_EQ(Controls.RefreshPosts, 1);
    EXPECT_EQ(Table.SetItemCount, setItems);

    const int invalidations = Table.InvalidateCount;
    Dialog->ApplyCallCounts();
    EXPECT_EQ(Table.Text(1, 1), "4");
    EXPECT_EQ(Table.At(1, 1).Format, DT_CENTER | ToolCellLine);
    EXPECT_EQ(Table.Text(2, 1), "0");
    EXPECT_EQ(Table.InvalidateCount, invalidations + 1);

    Dialog->ToolSlots[0].CallCount = 5;
    Dialog->RefreshCallCounts();
    EXPECT_EQ(Table.Text(1, 1), "5");
    EXPECT_EQ(Controls.RefreshPosts, 1);
}

TEST(ColumnWidthFromPercent, TakesOnlyPercentsFrom1To99) {
    EXPECT_EQ(ColumnWidthFromPercent(600, 0), 0);
    EXPECT_EQ(ColumnWidthFromPercent(600, 100), 0);
    EXPECT_EQ(ColumnWidthFromPercent(600, 5), 30);
    EXPECT_EQ(ColumnWidthFromPercent(601, 10), 60);
    EXPECT_EQ(ColumnWidthFromPercent(-101, 50), -50);
}

} // namespace

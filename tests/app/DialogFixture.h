#pragma once

#include "app/logic/EventManagerDialog.h"
#include "tests/app/RecordingControls.h"
#include "tests/app/TestWorkspace.h"
#include "tests/support/RecordingToolTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

// A dialog on recording controls, with the program's folder in a fresh workspace.
class DialogFixture : public ::testing::Test {
protected:
    // One configuration "Standard" (UniqueID 1) with a runnable tool in bit 0,
    // its summary, and settings that use it in simulation mode.
    std::string WriteStandardProject(const std::string& name = "project.ADPXML") {
        Workspace.WriteSummary("summary.sta", StandardVariables());
        // Nothing listens at the controller address: controller mode fails at once.
        const std::string project = Workspace.WriteProject(
            name, {{"1", "Standard", "EventVar", "AckVar", "5", {{0, "/bin", "true", ""}}}}, "summary.sta",
            "127.0.3.250");
        AppSettings settings;
        settings.PathToKavelCfg = project;
        settings.UseSimEnvironment = 1;
        Workspace.SaveTestSettings(settings);
        return project;
    }

    // Configuration "Observed" with one tool in bit 0, in simulation mode, to be
    // activated and minimised on start.
    AppSettings ProjectWithTool(const std::string& path, const std::string& tool,
                                const std::string& parameter) {
        Workspace.WriteSummary("summary.sta", StandardVariables());
        AppSettings settings;
        settings.PathToKavelCfg = Workspace.WriteProject(
            "p.ADPXML", {{"1", "Observed", "EventVar", "AckVar", "5", {{0, path, tool, parameter}}}});
        settings.UseSimEnvironment = 1;
        settings.ActivateOnStart = 1;
        settings.MinimizeOnStart = 1;
        return settings;
    }

    void OpenWith(const AppSettings& settings) {
        Workspace.SaveTestSettings(settings);
        Dialog->OnInitDialog();
    }

    bool HasLine(const std::string& line) const {
        return std::find(Controls.Lines.begin(), Controls.Lines.end(), line) != Controls.Lines.end();
    }

    std::string InvalidFileLine(const std::string& path) const {
        return "Error ! The contents of the configuration file " + path + " is not valid !";
    }

    TestWorkspace Workspace;
    RecordingControls Controls;
    RecordingToolTable Table;
    std::unique_ptr<EventManagerDialog> Dialog = std::make_unique<EventManagerDialog>(Controls, Table);
};

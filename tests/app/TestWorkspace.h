#pragma once

#include "app/core/AppSettings.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>
#include <vector>

// One event configuration as a test writes it into a project file.
struct TestTool {
    int Index = 0;
    std::string Path;
    std::string Tool;
    std::string Parameter;
};

struct TestConfiguration {
    std::string UniqueID;
    std::string Description;
    std::string EventVar = "EventVar";
    std::string AckVar = "AckVar";
    std::string PollCycle = "5";
    std::vector<TestTool> Tools;
};

// A configuration with the usual variables and no tools.
inline TestConfiguration Named(const std::string& uniqueID, const std::string& description) {
    return {uniqueID, description, "EventVar", "AckVar", "5", {}};
}

// A variable of a summary file: type and direction accepted by default.
struct TestVariable {
    std::string Name;
    unsigned InputOffset = 0;
    unsigned OutputOffset = 0;
    std::string DataType = "USINT32";
};

// A temporary folder that stands for the program's folder: the settings file,
// project files and summary files of one test live in it and go with it.
class TestWorkspace {
public:
    TestWorkspace();
    ~TestWorkspace();
    TestWorkspace(const TestWorkspace&) = delete;
    TestWorkspace& operator=(const TestWorkspace&) = delete;

    const std::string& Folder() const { return m_Folder.Path(); }
    std::string PathOf(const std::string& name) const { return m_Folder.File(name); }
    std::string SettingsFile() const { return PathOf("eventmanager.KAVELCFG"); }

    // A project file whose summary is `summaryName` in this folder and whose
    // variable definition file names `controllerAddress` (none: no file).
    std::string WriteProject(const std::string& name, const std::vector<TestConfiguration>& configurations,
                             const std::string& summaryName = "summary.sta",
                             const std::string& controllerAddress = "") const;
    // The summary file in the form both the configuration and the device description read.
    std::string WriteSummary(const std::string& name, const std::vector<TestVariable>& variables) const;
    std::string WriteFile(const std::string& name, const std::string& content) const;
    void SaveTestSettings(const AppSettings& settings) const;
    AppSettings StoredSettings() const;

private:
    TempFolder m_Folder;
};

// The usual pair of variables at input 0x10/0x14 and output 0x20/0x24.
std::vector<TestVariable> StandardVariables();

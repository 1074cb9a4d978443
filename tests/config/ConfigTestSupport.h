#pragma once

#include "app/core/AppSettings.h"
#include "app/core/SystemMessage.h"
#include "config/ToolTable.h"
#include "platform/PrivateProfile.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Collects the lines that would go to the message list.
class RecordingSink : public MessageSink {
public:
    RecordingSink() { SetMainWindow(this); }
    ~RecordingSink() override { SetMainWindow(nullptr); }
    RecordingSink(const RecordingSink&) = delete;
    RecordingSink& operator=(const RecordingSink&) = delete;

    void AddMessage(const std::string& text) override { Lines.push_back(text); }

    std::vector<std::string> Lines;
};

// Remembers what the configuration told the tool table, cell by cell.
class RecordingToolTable : public ToolTable {
public:
    struct Cell {
        std::string Text;
        unsigned Format = 0;
        COLORREF Back = CLR_DEFAULT;
        COLORREF Fore = CLR_DEFAULT;
    };

    bool HasWindow() const override { return Window; }
    bool SetItem(const GridItem& item) override {
        EXPECT_EQ(item.Mask, GVIF_TEXT | GVIF_FORMAT);
        Cell& cell = Touch(item.Row, item.Col);
        cell.Text = item.Text;
        cell.Format = item.Format;
        return true;
    }
    bool SetItemBackColour(int row, int col, COLORREF colour) override {
        Touch(row, col).Back = colour;
        return true;
    }
    bool SetItemTextColour(int row, int col, COLORREF colour) override {
        Touch(row, col).Fore = colour;
        return true;
    }
    void Invalidate() override { ++Invalidations; }

    const Cell& At(int row, int col) { return Cells[{row, col}]; }

    bool Window = true;
    std::map<std::pair<int, int>, Cell> Cells;
    int Calls = 0;
    int Invalidations = 0;

private:
    Cell& Touch(int row, int col) {
        ++Calls;
        return Cells[{row, col}];
    }
};

// A program folder of its own: the settings file lives in a fresh folder, so
// "@KAVEL_PATH" is that folder, and the project file is written beside it.
class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearPrivateProfileCache();
        SetSettingsFilePath(m_Folder.File("eventmanager.KAVELCFG"));
    }
    void TearDown() override { SetSettingsFilePath(""); }

    // Writes the project file and names it in the settings.
    std::string UseProject(const std::string& content, const std::string& name = "project.ADPXML") {
        const std::string path = m_Folder.Write(name, content);
        m_Settings.PathToKavelCfg = path;
        EXPECT_TRUE(SaveSettings(m_Settings));
        return path;
    }

    TempFolder m_Folder;
    AppSettings m_Settings;
    RecordingSink m_Sink;
};

// A project file with the given "PathData" content and "KavelData" content.
inline std::string ProjectXml(const std::string& pathData, const std::string& kavelData) {
    return "<?xml version=\"1.0\"?>\n<AdvancedPara><KavelPara><PathData>" + pathData +
           "</PathData><KavelData>" + kavelData + "</KavelData></KavelPara></AdvancedPara>\n";
}

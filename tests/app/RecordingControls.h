#pragma once

#include "app/logic/DialogControls.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Records what the logic does to the main window's controls.
class RecordingControls : public DialogControls {
public:
    struct ComboItem {
        std::string Text;
        std::int64_t Data = 0;
    };

    bool HasWindow() const override { return WindowExists; }
    void SetEditText(int id, const std::string& text) override { EditTexts[id] = text; }

    void ResetComboBox() override {
        ComboItems.clear();
        Selection = -1;
    }
    int InsertComboItem(int index, const std::string& text) override {
        if (index < 0 || index > ComboItemCount())
            return -1;
        ComboItems.insert(ComboItems.begin() + index, ComboItem{text, 0});
        return index;
    }
    void SetComboItemData(int index, std::int64_t data) override { ComboItems.at(index).Data = data; }
    std::int64_t ComboItemData(int index) const override { return ComboItems.at(index).Data; }
    int ComboItemCount() const override { return static_cast<int>(ComboItems.size()); }
    int ComboCurrentSelection() const override { return Selection; }
    void SetComboCurrentSelection(int index) override { Selection = index; }

    void SetCheck(int id, bool checked) override { Checks[id] = checked; }
    bool IsChecked(int id) const override {
        const auto it = Checks.find(id);
        return it != Checks.end() && it->second;
    }
    void EnableControl(int id, bool enabled) override { Enabled[id] = enabled; }
    void ShowControl(int id, bool shown) override { Shown[id] = shown; }

    int AppendMessageLine(const std::string& text) override {
        Lines.push_back(text);
        ++AppendCount;
        return static_cast<int>(Lines.size()) - 1;
    }
    void RemoveMessageLine(int index) override { Lines.erase(Lines.begin() + index); }
    void SelectMessageLine(int index) override { SelectedLine = index; }
    void ClearMessageLines() override {
        Lines.clear();
        SelectedLine = -1;
    }

    void Minimize() override {
        ++MinimizeCount;
        if (MinimizeHook)
            MinimizeHook();
    }
    std::optional<std::string> ChooseOpenFile(const OpenFileRequest& request) override {
        FileRequests.push_back(request);
        WaitCursorDuringDialog = std::max(WaitCursorDuringDialog, WaitCursorDepth);
        if (FileAnswers.empty())
            return std::nullopt;
        auto answer = FileAnswers.front();
        FileAnswers.pop_front();
        return answer;
    }
    void BeginWaitCursor() override {
        ++WaitCursorDepth;
        ++WaitCursorShown;
    }
    void EndWaitCursor() override { --WaitCursorDepth; }

    void PostMessageDelivery() override { ++MessagePosts; }
    void PostCallCountRefresh() override { ++RefreshPosts; }

    bool IsEnabled(int id) const {
        const auto it = Enabled.find(id);
        return it != Enabled.end() && it->second;
    }
    bool IsShown(int id) const {
        const auto it = Shown.find(id);
        return it != Shown.end() && it->second;
    }
    std::vector<std::string> ComboTexts() const {
        std::vector<std::string> texts;
        for (const ComboItem& item : ComboItems)
            texts.push_back(item.Text);
        return texts;
    }

    bool WindowExists = true;
    std::map<int, std::string> EditTexts;
    std::vector<ComboItem> ComboItems;
    int Selection = -1;
    std::map<int, bool> Checks;
    std::map<int, bool> Enabled;
    std::map<int, bool> Shown;
    std::vector<std::string> Lines;
    int AppendCount = 0;
    int SelectedLine = -1;
    int MinimizeCount = 0;
    std::function<void()> MinimizeHook;
    std::vector<OpenFileRequest> FileRequests;
    std::deque<std::optional<std::string>> FileAnswers;
    int WaitCursorDepth = 0;
    int WaitCursorShown = 0;
    int WaitCursorDuringDialog = 0;
    std::atomic<int> MessagePosts{0};
    std::atomic<int> RefreshPosts{0};
};

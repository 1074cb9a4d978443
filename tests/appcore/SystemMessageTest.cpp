#include "app/core/SystemMessage.h"
#include "app/core/StringTable.h"
#include "tests/support/MessageCapture.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

TEST(SystemMessage, ListLinesAndModalBoxes) {
    MessageCapture sink;
    std::vector<std::string> boxes;
    void* boxOwner = nullptr;
    SetModalBoxHandler([&](void* owner, const std::string& text, const std::string& title, unsigned style) {
        boxOwner = owner;
        boxes.push_back(title + "|" + text + "|" + std::to_string(style));
        return IDOK;
    });
    const std::string title = "System message (Kavel - Application)|";
    const std::string hand = "|" + std::to_string(MB_ICONHAND | MB_TOPMOST);
    struct Case {
        unsigned Id;
        std::optional<std::string> Text;
        bool Modal;
        int Answer;
        std::string Line;
        std::string Box;
    };
    const Case cases[] = {
        // A string with a placeholder takes the text, even an empty one.
        {IDS_CONFIGURATION_FILE_INVALID, "/p/x.ADPXML", false, IDCANCEL,
         "Error ! The contents of the configuration file /p/x.ADPXML is not valid !", ""},
        {IDS_CONFIGURATIONS_NOT_LOADED, "", false, IDCANCEL,
         "Error ! The Kavel - configurations could not be loaded ! ()", ""},
        // Id 0: the text alone, never formatted; nothing at all shows nothing.
        {0, "plain %s text", false, IDCANCEL, "plain %s text", ""},
        {0, "", false, IDCANCEL, "", ""},
        {0, "", true, IDCANCEL, "", ""},
        {0, std::nullopt, true, IDCANCEL, "", ""},
        // The modal form is a top-most box with the system title.
        {0, "Only one", true, IDOK, "", title + "Only one" + hand},
        {IDS_ONLY_ONE_INSTANCE, std::nullopt, true, IDOK, "",
         title + "Only one instance of the application is allowed !" + hand},
    };
    int owner = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Id);
        SCOPED_TRACE(c.Text.value_or("(none)"));
        sink.Take();
        boxes.clear();
        const std::string* text = c.Text ? &*c.Text : nullptr;
        EXPECT_EQ(ShowSystemMessage(&owner, c.Id, text, c.Modal ? MB_ICONHAND : 0u, c.Modal), c.Answer);
        EXPECT_EQ(sink.Lines(), c.Line.empty() ? std::vector<std::string>{} : std::vector{c.Line});
        EXPECT_EQ(boxes, c.Box.empty() ? std::vector<std::string>{} : std::vector{c.Box});
        EXPECT_TRUE(boxes.empty() || boxOwner == &owner) << "the box has its owner";
    }
    SetModalBoxHandler(nullptr);
    // Without a main window lines are dropped.
    SetMainWindow(nullptr);
    ShowSystemMessage(nullptr, 0, "lost", 0, false);
    EXPECT_TRUE(sink.Lines().empty());
}

TEST(StringTable, FormatTakesOnlyPercentS) {
    EXPECT_EQ(FormatMessage("The process %s could not be stopped ! %s", "a"),
              "The process a could not be stopped ! a");
    EXPECT_EQ(FormatMessage("100%% %d %s", "x"), "100% %d x");
    EXPECT_EQ(LoadString(9999), "");
}

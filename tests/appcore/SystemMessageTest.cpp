#include "app/core/SystemMessage.h"
#include "app/core/StringTable.h"
#include "tests/support/MessageCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Box {
    void* Owner;
    std::string Text, Title;
    unsigned Style;
};

class SystemMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMainWindow(&m_Sink);
        SetModalBoxHandler(
            [this](void* owner, const std::string& text, const std::string& title, unsigned style) {
                m_Boxes.push_back({owner, text, title, style});
                return IDOK;
            });
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        SetModalBoxHandler(nullptr);
    }

    MessageCapture m_Sink;
    std::vector<Box> m_Boxes;
};

} // namespace

TEST_F(SystemMessageTest, AStringWithAPlaceholderTakesTheText) {
    EXPECT_EQ(
        ShowSystemMessage(nullptr, IDS_CONFIGURATION_FILE_INVALID, "/p/x.ADPXML", MB_ICONEXCLAMATION, false),
        IDCANCEL);
    ASSERT_EQ(m_Sink.Lines().size(), 1u);
    EXPECT_EQ(m_Sink.Lines()[0], "Error ! The contents of the configuration file /p/x.ADPXML is not valid !");
}

TEST_F(SystemMessageTest, IdZeroShowsTheTextAloneAndNothingShowsNothing) {
    ShowSystemMessage(nullptr, 0, "plain %s text", 0, false);
    EXPECT_EQ(ShowSystemMessage(nullptr, 0, "", 0, false), IDCANCEL);
    EXPECT_EQ(ShowSystemMessage(nullptr, 0, "", 0, true), IDCANCEL);
    EXPECT_EQ(ShowSystemMessage(nullptr, 0, nullptr, 0, true), IDCANCEL);
    ASSERT_EQ(m_Sink.Lines().size(), 1u);
    EXPECT_EQ(m_Sink.Lines()[0], "plain %s text");
    EXPECT_TRUE(m_Boxes.empty());
}

TEST_F(SystemMessageTest, TheEmptyPathStillGivesItsLine) {
    ShowSystemMessage(nullptr, IDS_CONFIGURATIONS_NOT_LOADED, "", 0, false);
    ASSERT_EQ(m_Sink.Lines().size(), 1u);
    EXPECT_EQ(m_Sink.Lines()[0], "Error ! The Kavel - configurations could not be loaded ! ()");
}

TEST_F(SystemMessageTest, TheModalFormIsATopMostBoxWithTheSystemTitle) {
    int owner = 0;
    const std::string text = LoadString(IDS_ONLY_ONE_INSTANCE);
    EXPECT_EQ(ShowSystemMessage(&owner, 0, text, MB_ICONHAND, true), IDOK);
    ASSERT_EQ(m_Boxes.size(), 1u);
    EXPECT_EQ(m_Boxes[0].Owner, &owner);
    EXPECT_EQ(m_Boxes[0].Text, "Only one instance of the application is allowed !");
    EXPECT_EQ(m_Boxes[0].Title, "System message (Kavel - Application)");
    EXPECT_EQ(m_Boxes[0].Style, MB_ICONHAND | MB_TOPMOST);
    EXPECT_TRUE(m_Sink.Lines().empty());
}

TEST_F(SystemMessageTest, WithoutAMainWindowLinesAreDropped) {
    SetMainWindow(nullptr);
    ShowSystemMessage(nullptr, 0, "lost", 0, false);
    EXPECT_TRUE(m_Sink.Lines().empty());
}

TEST(StringTable, FormatTakesOnlyPercentS) {
    EXPECT_EQ(FormatMessage("The process %s could not be stopped ! %s", "a"),
              "The process a could not be stopped ! a");
    EXPECT_EQ(FormatMessage("100%% %d %s", "x"), "100% %d x");
    EXPECT_EQ(LoadString(9999), "");
    EXPECT_EQ(LoadString(IDS_UNKNOWN_ERROR), "Unknown error %s !");
}

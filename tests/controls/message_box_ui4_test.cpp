// The question box with "do not ask again": its answers, its flag and its Cancel button.
#include "controls/message_box_ui4.h"

#include <string>
#include <vector>

#include "tests/controls/controls_test_support.h"
#include "tests/support/case_printing.h"

namespace {

const char kOption[] = "opt_show_next_time";
const char kQuestion[] = "选择的比较少，建议选择更多字段，确定要继续吗？";

struct AnswerCase : testcases::NamedCase {
    std::vector<std::string> clicks;  // control names; "enter" and "escape" are typed keys
    bool answered;                    // result 0
    bool askAgain;
    bool cancelEnabledBeforeLastClick;
};

class MessageBox4Test : public controlstest::SkinTest,
                        public ::testing::WithParamInterface<AnswerCase> {};

// Keys are typed at the keyboard, not sent to the box: they reach it only if it has the focus.
void Act(CMessageBoxUI4& box, const std::string& click) {
    HWND h = box.GetHWND();
    if (click == "enter" || click == "escape") {
        EXPECT_TRUE(
            guisupport::ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; }));
        guisupport::TypeKey(click == "enter" ? VK_RETURN : VK_ESCAPE);
    } else {
        guisupport::Click(h, controlstest::CenterOf(box.GetPaintManager(), click.c_str()));
    }
    guisupport::ProcessMessages();
}

TEST_P(MessageBox4Test, AnswersAsTheUserClicked) {
    const AnswerCase& answer = GetParam();
    CMessageBoxUI4 box;
    bool cancelEnabled = false;
    controlstest::Soon script([&] {
        for (std::size_t i = 0; i < answer.clicks.size(); ++i) {
            if (i + 1 == answer.clicks.size()) {
                cancelEnabled = box.GetPaintManager().FindControl("cancel")->IsEnabled();
                if (std::string(answer.name) == "OkWithOptionTicked")
                    guisupport::SaveScreenshot(box.GetHWND(), "message_box4");
            }
            Act(box, answer.clicks[i]);
        }
        // A box the clicks left open would hang the test: end it with a result no click gives.
        if (!guisupport::ProcessMessagesUntil([&] { return !IsWindow(box.GetHWND()); }, 2000))
            box.Close(99);
    });
    int result = box.DoModal(nullptr, kQuestion);

    EXPECT_EQ(result == 0, answer.answered) << "result " << result;
    EXPECT_NE(result, 99) << "the box did not close";
    EXPECT_EQ(box.IsAskAgain(), answer.askAgain);
    EXPECT_EQ(cancelEnabled, answer.cancelEnabledBeforeLastClick);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, MessageBox4Test,
    ::testing::Values(
        AnswerCase{"Ok", {"ok"}, true, true, true},
        AnswerCase{"OkWithOptionTicked", {kOption, "ok"}, true, false, false},
        AnswerCase{"Cancel", {"cancel"}, false, true, true},
        AnswerCase{"CancelAfterUntick", {kOption, kOption, "cancel"}, false, true, true},
        // A disabled Cancel does nothing: the box stays open for the OK that follows.
        AnswerCase{"DisabledCancelIgnored", {kOption, "cancel", "ok"}, true, false, false},
        AnswerCase{"CloseButton", {"closebtn"}, false, true, true},
        AnswerCase{"CloseButtonForgetsTheTick", {kOption, "closebtn"}, false, true, false},
        AnswerCase{"EnterConfirms", {"enter"}, true, true, true},
        AnswerCase{"EnterWithOptionTicked", {kOption, "enter"}, true, false, false},
        AnswerCase{"EscapeForgetsTheTick", {kOption, "escape"}, false, true, false}),
    testcases::kCaseName);

TEST(MessageBox4HookTest, AnswersInsteadOfTheBox) {
    guisupport::EnsureApplication();
    std::string asked;
    UISetMessageBox4Hook([&](const CDuiString& text, bool& askAgain) {
        asked = text.str();
        askAgain = false;
        return 0;
    });
    bool askAgain = true;
    EXPECT_EQ(UIMessageBox4(nullptr, kQuestion, askAgain), 0);
    UISetMessageBox4Hook(nullptr);
    EXPECT_EQ(asked, kQuestion);
    EXPECT_FALSE(askAgain);
}

// A skin without the box's layout still asks, as a plain question that keeps asking.
TEST(MessageBox4WithoutLayoutTest, FallsBackToThePlainQuestion) {
    guisupport::EnsureApplication();
    guisupport::SkinArchive skin;
    skin.Add("style.txt", "no layouts here");
    ASSERT_TRUE(skin.Install());
    std::vector<bool> questions;
    UISetMessageBoxHook([&](const CDuiString&, UINT icon) {
        questions.push_back(icon == MB_ICONQUESTION);
        return 0;
    });
    bool askAgain = false;
    int result = UIMessageBox4(nullptr, kQuestion, askAgain);
    UISetMessageBoxHook(nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(askAgain);
    EXPECT_EQ(questions, std::vector<bool>{true});
}

}  // namespace

// Clicks, keys and timers arriving at controls, and the notifications they produce, in order.
#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"

namespace {

const char kForm[] =
    u8R"(<Window size="400,320">
  <VerticalLayout name="root" inset="10,10,10,10" childpadding="6">
    <Edit name="user" height="30"/>
    <Edit name="pass" height="30" password="true" maxchar="8"/>
    <Option name="remember" text="记住" checkstyle="box" height="24"/>
    <HorizontalLayout height="24">
      <Option name="east" group="side" text="东" selected="true"/>
      <Option name="west" group="side" text="西"/>
    </HorizontalLayout>
    <Label name="caption" text="说明" tooltip="提示"/>
    <HorizontalLayout height="30">
      <Button name="ok" text="确定" default="true"/>
      <Button name="cancel" text="取消"/>
      <Button name="off" text="停用" enabled="false"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

class InputTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"form.xml", kForm}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("form.xml"));
        dlg.recorder.events.clear();
    }
    void ClickOn(const char* name, UINT keyState = 0) {
        guisupport::Click(dlg.GetHWND(), dlg.Center(name), keyState);
    }
    uitest::TestDialog dlg;
};

TEST_F(InputTest, ButtonClickSendsOneClickAndDisabledButtonsNone) {
    ClickOn("cancel");
    ClickOn("off");
    EXPECT_EQ(dlg.recorder.Sequence(), (std::vector<std::string>{"click:cancel"}));
}

TEST_F(InputTest, PressingThenLeavingTheButtonIsNoClick) {
    HWND h = dlg.GetHWND();
    guisupport::MoveMouse(h, dlg.Center("cancel"));
    guisupport::MouseDown(h, dlg.Center("cancel"));
    guisupport::MoveMouse(h, dlg.Center("caption"));
    guisupport::MouseUp(h, dlg.Center("caption"));
    EXPECT_TRUE(dlg.recorder.OfType("click").empty());
}

TEST_F(InputTest, CheckBoxTogglesAndReportsStateChangeThenClick) {
    auto* remember = dlg.Find<COptionUI>("remember");
    ClickOn("remember");
    EXPECT_TRUE(remember->IsSelected());
    ClickOn("remember");
    EXPECT_FALSE(remember->IsSelected());
    EXPECT_EQ(dlg.recorder.Sequence(),
              (std::vector<std::string>{"selectchanged:remember", "click:remember",
                                        "option_click:remember", "selectchanged:remember",
                                        "click:remember", "option_click:remember"}));
}

TEST_F(InputTest, RadioGroupKeepsOneSelectedAndReportsOnlyTheNewOne) {
    ClickOn("west");
    EXPECT_TRUE(dlg.Find<COptionUI>("west")->IsSelected());
    EXPECT_FALSE(dlg.Find<COptionUI>("east")->IsSelected());
    // Clicking the selected one again changes nothing.
    ClickOn("west");
    EXPECT_EQ(dlg.recorder.Sequence(),
              (std::vector<std::string>{"selectchanged:west", "click:west", "option_click:west",
                                        "click:west", "option_click:west"}));
    dlg.Find<COptionUI>("east")->Selected(true);
    EXPECT_FALSE(dlg.Find<COptionUI>("west")->IsSelected());
    EXPECT_EQ(dlg.recorder.Sequence().back(), "selectchanged:east");
}

TEST_F(InputTest, TypingSendsTextChangedAndEndingTheEditSendsEditClosed) {
    HWND h = dlg.GetHWND();
    ClickOn("user");
    auto* user = dlg.Find<CEditUI>("user");
    ASSERT_TRUE(user->IsEditing());
    ASSERT_TRUE(guisupport::TypeText(h, "张三"));
    EXPECT_EQ(user->GetText(), "张三");
    EXPECT_EQ(dlg.recorder.OfType("textchanged").size(), 2u);
    // Setting text from code does not count as typing.
    user->SetText("李四");
    EXPECT_EQ(dlg.recorder.OfType("textchanged").size(), 2u);
    ClickOn("caption");
    EXPECT_FALSE(user->IsEditing());
    auto closed = dlg.recorder.OfType("editclosed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].wParam, 1u);
    EXPECT_EQ(user->GetText(), "李四");
}

TEST_F(InputTest, EditKeepsItsCharacterLimitAndPasswordStaysHidden) {
    HWND h = dlg.GetHWND();
    ClickOn("pass");
    ASSERT_TRUE(guisupport::TypeText(h, "0123456789"));
    EXPECT_EQ(dlg.Find<CEditUI>("pass")->GetText(), "01234567");
}

TEST_F(InputTest, TabAndShiftTabWalkTheTabStopsInLayoutOrder) {
    HWND h = dlg.GetHWND();
    CPaintManagerUI& pm = dlg.GetPaintManager();
    ClickOn("user");
    std::vector<std::string> order;
    for (int i = 0; i < 7; ++i) {
        guisupport::PressKey(h, VK_TAB);
        order.push_back(pm.GetFocus() ? pm.GetFocus()->GetName().str() : "");
    }
    // The disabled button is skipped and the walk wraps around.
    EXPECT_EQ(order, (std::vector<std::string>{"pass", "remember", "east", "west", "ok", "cancel",
                                               "user"}));
    guisupport::PressKey(h, VK_TAB, MK_SHIFT);
    EXPECT_EQ(pm.GetFocus()->GetName(), "cancel");
}

struct KeyOnFocus : testcases::NamedCase {
    const char* focus;
    UINT key;
    std::vector<std::string> sequence;
};

class KeyOnFocusTest : public InputTest, public ::testing::WithParamInterface<KeyOnFocus> {};

TEST_P(KeyOnFocusTest, KeyActsOnTheFocusedControlOrTheDefaultButton) {
    const KeyOnFocus& param = GetParam();
    dlg.GetPaintManager().SetFocus(dlg.FindControl(param.focus));
    guisupport::PressKey(dlg.GetHWND(), param.key);
    EXPECT_EQ(dlg.recorder.Sequence(), param.sequence);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyOnFocusTest,
    ::testing::Values(KeyOnFocus{"EnterInAnEdit", "user", VK_RETURN, {"return:user", "click:ok"}},
                      KeyOnFocus{"EnterOnAnotherButton", "cancel", VK_RETURN, {"click:cancel"}},
                      // A check box is not pressed by Enter: the dialog's default button is.
                      KeyOnFocus{"EnterOnACheckBox", "remember", VK_RETURN, {"click:ok"}},
                      KeyOnFocus{
                          "SpaceOnACheckBox",
                          "remember",
                          VK_SPACE,
                          {"selectchanged:remember", "click:remember", "option_click:remember"}}),
    testcases::kCaseName);

TEST_F(InputTest, EscapeClosesTheDialogWithCancel) {
    HWND h = dlg.GetHWND();
    dlg.PostMessage(WM_USER);  // the dialog must survive unrelated messages
    ClickOn("user");
    guisupport::PressKey(h, VK_ESCAPE);
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] { return !IsWindow(h); }));
}

TEST_F(InputTest, TimersArriveAsTimerNotificationsUntilKilled) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    CControlUI* caption = dlg.FindControl("caption");
    static const UINT kTimer = CTimerID::g_ID++;
    ASSERT_TRUE(pm.SetTimer(caption, kTimer, 10));
    ASSERT_TRUE(
        guisupport::ProcessMessagesUntil([&] { return dlg.recorder.OfType("timer").size() >= 2; }));
    auto timers = dlg.recorder.OfType("timer");
    EXPECT_EQ(timers[0].sender, "caption");
    EXPECT_EQ(timers[0].wParam, kTimer);
    EXPECT_TRUE(pm.KillTimer(caption, kTimer));
    EXPECT_FALSE(pm.KillTimer(caption, kTimer));
    std::size_t seen = dlg.recorder.OfType("timer").size();
    guisupport::ProcessMessagesUntil([] { return false; }, 60);
    EXPECT_EQ(dlg.recorder.OfType("timer").size(), seen);
}

TEST_F(InputTest, TimersOfADeletedControlStop) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    auto* root = dlg.Find<CContainerUI>("root");
    CControlUI* caption = dlg.FindControl("caption");
    ASSERT_TRUE(pm.SetTimer(caption, 7, 5));
    root->Remove(caption);
    guisupport::ProcessMessagesUntil([] { return false; }, 40);
    EXPECT_TRUE(dlg.recorder.OfType("timer").empty());
    EXPECT_EQ(dlg.FindControl("caption"), nullptr);
}

TEST_F(InputTest, AsynchronousNotificationsArriveAfterTheCurrentMessage) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    pm.SendNotify(dlg.FindControl("ok"), "need_refresh_list", 5, 0, true);
    EXPECT_TRUE(dlg.recorder.events.empty());
    guisupport::ProcessMessages();
    ASSERT_EQ(dlg.recorder.Sequence(), (std::vector<std::string>{"need_refresh_list:ok"}));
    EXPECT_EQ(dlg.recorder.events[0].wParam, 5u);
}

TEST_F(InputTest, NotifiersRemovedWhileNotifiedMissTheRest) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    uitest::NotifyRecorder second;
    struct Remover : INotifyUI {
        CPaintManagerUI* pm;
        INotifyUI* victim;
        void Notify(TNotifyUI&) override { pm->RemoveNotifier(victim); }
    } remover;
    remover.pm = &pm;
    remover.victim = &second;
    pm.AddNotifier(&remover);
    pm.AddNotifier(&second);
    EXPECT_FALSE(pm.AddNotifier(&second));
    pm.SendNotify(dlg.FindControl("ok"), "custom");
    EXPECT_TRUE(second.events.empty());
    pm.RemoveNotifier(&remover);
}

// A control that listens to its own window, as pickers do.
class ListeningControl : public CControlUI, public INotifyUI, public IMessageFilterUI {
public:
    explicit ListeningControl(int* heard) : m_heard(heard) {}
    void DoInit() override {
        m_pManager->AddNotifier(this);
        m_pManager->AddMessageFilter(this);
    }
    void Notify(TNotifyUI&) override { ++*m_heard; }
    LRESULT MessageHandler(UINT, WPARAM, LPARAM, bool&) override {
        ++*m_heard;
        return 0;
    }

private:
    int* m_heard;
};

TEST_F(InputTest, ADestroyedControlNoLongerHearsItsWindow) {
    int heard = 0;
    auto* root = static_cast<CContainerUI*>(dlg.FindControl("root"));
    auto* listener = new ListeningControl(&heard);
    root->Add(listener);
    dlg.GetPaintManager().SendNotify(dlg.FindControl("ok"), "custom");
    ASSERT_GT(heard, 0);
    root->Remove(listener);
    heard = 0;
    dlg.GetPaintManager().SendNotify(dlg.FindControl("ok"), "custom");
    ClickOn("ok");
    EXPECT_EQ(heard, 0);
}

}  // namespace

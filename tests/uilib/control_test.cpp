// How the paint manager treats controls: names, focus, disabled containers, the mouse entering
// and leaving rows, and what an edit lets a derived control see.
#include "tests/uilib/ui_test_support.h"

namespace {

const char kPanel[] =
    u8R"(<Window size="360,300">
  <VerticalLayout name="root" inset="8,8,8,8" childpadding="6">
    <Edit name="date" height="30"/>
    <Edit name="label" height="30" text="旧值"/>
    <HorizontalLayout name="box" height="40" inset="4,4,4,4">
      <Button name="inner" text="里面" width="80"/>
      <Label name="beside" text="旁边"/>
    </HorizontalLayout>
    <Button name="twin" text="一"/>
    <Button name="twin" text="二"/>
  </VerticalLayout>
</Window>)";

// Accepts digits, '-' and ':' only, like a date box, and records what it saw.
class DateEditUI : public CEditUI {
public:
    std::vector<UINT> keys;
    std::vector<bool> ends;
    std::vector<UINT> mouse;

protected:
    bool OnEditChar(UINT ch) override { return (ch >= '0' && ch <= '9') || ch == '-' || ch == ':'; }
    bool OnEditKey(UINT vk, UINT keyState) override {
        keys.push_back(vk);
        return CEditUI::OnEditKey(vk, keyState);
    }
    bool OnEditMouse(UINT uMsg, POINT) override {
        mouse.push_back(uMsg);
        if (uMsg == WM_LBUTTONDBLCLK) SetSel(5, 7);
        return uMsg == WM_LBUTTONDBLCLK;
    }
    void OnEditEnd(bool bChanged) override {
        ends.push_back(bChanged);
        CEditUI::OnEditEnd(bChanged);
    }
};

// Ends its edit itself on Enter or Escape, as an in-place label does.
class InPlaceLabelUI : public CEditUI {
protected:
    bool OnEditKey(UINT vk, UINT) override {
        if (vk != VK_RETURN && vk != VK_ESCAPE) return false;
        m_pManager->SetFocus(nullptr);
        return true;
    }
};

class ControlTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"panel.xml", kPanel}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("panel.xml"));
        auto* root = dlg.Find<CContainerUI>("root");
        date = new DateEditUI;
        date->SetName("date2");
        date->SetFixedHeight(30);
        root->Add(date);
        label = new InPlaceLabelUI;
        label->SetName("label2");
        label->SetText("旧值");
        label->SetFixedHeight(30);
        root->Add(label);
        dlg.GetPaintManager().UpdateLayout();
        dlg.recorder.events.clear();
    }
    uitest::TestDialog dlg;
    DateEditUI* date = nullptr;
    InPlaceLabelUI* label = nullptr;
};

TEST_F(ControlTest, DerivedEditFiltersCharactersAndSeesKeysMouseAndTheEnd) {
    HWND h = dlg.GetHWND();
    guisupport::Click(h, dlg.Center("date2"));
    ASSERT_TRUE(guisupport::TypeText(h, "2014-a2-30x"));
    EXPECT_EQ(date->GetText(), "2014-2-30");
    guisupport::DoubleClick(h, dlg.Center("date2"));
    EXPECT_NE(
        std::find(date->mouse.begin(), date->mouse.end(), static_cast<UINT>(WM_LBUTTONDBLCLK)),
        date->mouse.end());
    guisupport::PressKey(h, VK_TAB);
    EXPECT_EQ(date->keys, std::vector<UINT>{VK_TAB});
    EXPECT_EQ(date->ends, std::vector<bool>{true});
    EXPECT_FALSE(date->IsEditing());
}

TEST_F(ControlTest, EditEndedWithoutChangeReportsZero) {
    HWND h = dlg.GetHWND();
    guisupport::Click(h, dlg.Center("label2"));
    guisupport::PressKey(h, VK_RETURN);
    EXPECT_FALSE(label->IsEditing());
    auto closed = dlg.recorder.OfType("editclosed");
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].wParam, 0u);
    // The window's default behaviour (closing on Escape) does not see keys the control took.
    guisupport::Click(h, dlg.Center("label2"));
    guisupport::PressKey(h, VK_ESCAPE);
    EXPECT_TRUE(IsWindow(h));
    EXPECT_TRUE(dlg.recorder.OfType("return").empty());
}

TEST_F(ControlTest, HidingOrDisablingTheFocusedEditEndsTheEdit) {
    HWND h = dlg.GetHWND();
    guisupport::Click(h, dlg.Center("date"));
    auto* edit = dlg.Find<CEditUI>("date");
    ASSERT_TRUE(edit->IsEditing());
    edit->SetEnabled(false);
    EXPECT_FALSE(edit->IsEditing());
    EXPECT_EQ(dlg.GetPaintManager().GetFocus(), nullptr);
    edit->SetEnabled(true);
    guisupport::Click(h, dlg.Center("date"));
    ASSERT_TRUE(edit->IsEditing());
    dlg.Find<CControlUI>("root")->SetVisible(false);
    EXPECT_FALSE(edit->IsEditing());
    EXPECT_EQ(dlg.recorder.OfType("editclosed").size(), 2u);
}

TEST_F(ControlTest, ADisabledContainerKeepsClicksFromItsChildren) {
    HWND h = dlg.GetHWND();
    POINT inner = dlg.Center("inner");
    dlg.Find<CControlUI>("box")->SetEnabled(false);
    guisupport::Click(h, inner);
    EXPECT_TRUE(dlg.recorder.OfType("click").empty());
    dlg.Find<CControlUI>("box")->SetEnabled(true);
    guisupport::Click(h, inner);
    EXPECT_EQ(dlg.recorder.OfType("click").size(), 1u);
}

// Counts the mouse entering and leaving a container.
class WatchedBoxUI : public CHorizontalLayoutUI {
public:
    int enters = 0, leaves = 0;
    void DoEvent(TEventUI& event) override {
        if (event.Type == UIEVENT_MOUSEENTER) ++enters;
        if (event.Type == UIEVENT_MOUSELEAVE) ++leaves;
        CHorizontalLayoutUI::DoEvent(event);
    }
};

TEST_F(ControlTest, AContainerStaysEnteredWhileTheMouseIsOverItsChildren) {
    auto* root = dlg.Find<CContainerUI>("root");
    auto* box = new WatchedBoxUI;
    box->SetFixedHeight(40);
    auto* button = new CButtonUI;
    button->SetFixedWidth(60);
    box->Add(button);
    root->Add(box);
    dlg.GetPaintManager().UpdateLayout();
    HWND h = dlg.GetHWND();
    RECT rc = box->GetPos();
    guisupport::MoveMouse(h, POINT{rc.right - 5, rc.top + 5});
    guisupport::MoveMouse(h, guisupport::CenterOf(button->GetPos()));
    guisupport::MoveMouse(h, POINT{rc.right - 5, rc.top + 5});
    EXPECT_EQ(box->enters, 1);
    EXPECT_EQ(box->leaves, 0);
    guisupport::MoveMouse(h, dlg.Center("twin"));
    EXPECT_EQ(box->leaves, 1);
}

TEST_F(ControlTest, NamesFollowRenamingAndRemoval) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    auto* root = dlg.Find<CContainerUI>("root");
    CControlUI* first = pm.FindControl("twin");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetText(), "一");
    // With the first one gone, the name finds the other.
    root->Remove(first);
    ASSERT_NE(pm.FindControl("twin"), nullptr);
    EXPECT_EQ(pm.FindControl("twin")->GetText(), "二");
    CControlUI* inner = pm.FindControl("inner");
    inner->SetName("renamed");
    EXPECT_EQ(pm.FindControl("renamed"), inner);
    EXPECT_EQ(pm.FindControl("inner"), nullptr);
    EXPECT_EQ(pm.FindSubControlByClass(root, "EditUI", 1), pm.FindControl("label"));
}

}  // namespace

// The combo-union selectors and their shared drop-down: what opening selects, where the list
// goes, what a click on an item gives the combo, and removing items while it is open.
#include "controls/combo_union_ui.h"

#include <string>

#include "app/dialog_builder_callback_ex.h"
#include "controls/list_item_ui.h"
#include "tests/controls/controls_test_support.h"

namespace {

using guisupport::ProcessMessages;
using guisupport::ProcessMessagesUntil;
using Window = controlstest::LayoutWindow<CDialogBuilderCallbackEx>;

const RECT kMonitor{0, 0, 1280, 800};
const char* const kTypes[] = {"车牌号码", "车主姓名", "联系电话", "车辆类型", "车位编号",
                              "有效期",   "所属部门", "备注",     "颜色",     "品牌"};

class ComboUnionTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        UISetMonitorInfoOverride(&kMonitor, &kMonitor);
        ASSERT_TRUE(m_window.Open(R"(<Window size="360,200"><VerticalLayout inset="20,20,20,20" childpadding="10">
            <ComboUnion name="first" width="200" text="联系电话" userdata="phone"/>
            <ComboUnion name="second" width="200"/>
            <Edit name="other"/></VerticalLayout></Window>)"));
        m_first = m_window.Find<CComboUnionUI>("first");
        m_second = m_window.Find<CComboUnionUI>("second");
        ASSERT_TRUE(m_dropDown.Init(m_window, "combouniondbtypematch.xml", "db_type_list"));
        m_first->SetDropDown(&m_dropDown);
        m_second->SetDropDown(&m_dropDown);
        AddItems(10);
    }
    void TearDown() override {
        UISetMonitorInfoOverride(nullptr, nullptr);
        controlstest::SkinTest::TearDown();
    }
    void AddItems(int count) {
        for (int i = 0; i < count; ++i) {
            auto* item = new CListLabelElementUI;
            item->SetText(kTypes[i % 10]);
            item->SetUserData(std::to_string(i).c_str());
            item->SetFixedHeight(30);
            m_dropDown.GetList()->Add(item);
        }
    }
    void ClickCombo(CComboUnionUI* combo) {
        guisupport::Click(m_window, guisupport::CenterOf(combo->GetPos()));
        ProcessMessages();
        m_dropDown.GetPaintManager().UpdateLayout();
    }
    void ClickItem(int index) {
        CControlUI* item = m_dropDown.GetList()->GetItemAt(index);
        guisupport::Click(m_dropDown, guisupport::CenterOf(item->GetPos()));
        ProcessMessages();
    }
    POINT ScreenPoint(POINT pt) {
        m_window.GetPaintManager().ClientToScreen(pt);
        return pt;
    }

    Window m_window;
    CComboUnionWnd m_dropDown;
    CComboUnionUI* m_first = nullptr;
    CComboUnionUI* m_second = nullptr;
};

TEST_F(ComboUnionTest, OpensBelowWithTheItemOfItsTextSelected) {
    ClickCombo(m_first);
    ASSERT_TRUE(m_first->IsDropped());
    EXPECT_TRUE(m_dropDown.IsVisible());
    EXPECT_EQ(m_dropDown.GetList()->GetCurSel(), 2);
    RECT rc = m_dropDown.GetWindowRect();
    POINT below = ScreenPoint(POINT{m_first->GetPos().left, m_first->GetPos().bottom});
    EXPECT_EQ(rc.left, below.x);
    EXPECT_EQ(rc.top, below.y);
    EXPECT_EQ(rc.GetWidth(), m_first->GetWidth());
    EXPECT_EQ(rc.GetHeight(), 10 * 30 + 2 + 2) << "the rows, the frame's border and inset";
    m_dropDown.GetPaintManager().PaintNow();
    guisupport::SaveScreenshot(m_dropDown, "combo_union_drop_down");
    m_window.GetPaintManager().PaintNow();
    guisupport::SaveScreenshot(m_window, "combo_union_owner");
}

TEST_F(ComboUnionTest, TextWithoutItemSelectsNothingAndShowsTheTop) {
    AddItems(40);
    m_second->SetText("车位编号");
    ClickCombo(m_second);
    m_dropDown.GetList()->EnsureVisible(45);
    ASSERT_GT(m_dropDown.GetList()->GetList()->GetScrollPos().cy, 0);
    ClickCombo(m_second);
    ASSERT_FALSE(m_second->IsDropped()) << "a second click closes";

    m_second->SetText("没有这一项");
    ClickCombo(m_second);
    EXPECT_EQ(m_dropDown.GetList()->GetCurSel(), -1);
    EXPECT_EQ(m_dropDown.GetList()->GetList()->GetScrollPos().cy, 0);
    EXPECT_EQ(m_dropDown.GetWindowRect().GetHeight(), CComboUnionWnd::kMaxHeight);
}

TEST_F(ComboUnionTest, ItemClickGivesTextAndUserDataEvenForTheSameItem) {
    ClickCombo(m_second);
    ClickItem(4);
    EXPECT_FALSE(m_dropDown.IsVisible());
    EXPECT_EQ(std::string(m_second->GetText()), "车位编号");
    EXPECT_EQ(std::string(m_second->GetUserData()), "4");
    ClickCombo(m_second);
    EXPECT_EQ(m_dropDown.GetList()->GetCurSel(), 4);
    ClickItem(4);
    EXPECT_EQ(m_window.Count("value_changed", "second"), 2);
    EXPECT_EQ(m_window.Count("value_changed", "first"), 0);
    EXPECT_EQ(std::string(m_first->GetText()), "联系电话");
}

TEST_F(ComboUnionTest, OpensAboveWhenBelowWouldLeaveTheWorkArea) {
    const RECT small{0, 0, 1280, 400};
    UISetMonitorInfoOverride(&kMonitor, &small);
    ClickCombo(m_first);
    POINT above = ScreenPoint(POINT{m_first->GetPos().left, m_first->GetPos().top});
    const RECT list = m_dropDown.GetWindowRect();
    EXPECT_LT(list.top, above.y);
    EXPECT_EQ(list.top, small.top) << "too tall for the room above: kept on the screen";
}

TEST_F(ComboUnionTest, RemovingItemsShrinksTheOpenListAndTheLastOneClosesIt) {
    ClickCombo(m_first);
    ASSERT_TRUE(m_dropDown.RemoveItemAt(0));
    EXPECT_EQ(m_dropDown.GetWindowRect().GetHeight(), 9 * 30 + 4);
    while (m_dropDown.GetList()->GetCount() > 1) m_dropDown.RemoveItemAt(0);
    EXPECT_TRUE(m_first->IsDropped());
    m_dropDown.RemoveItemAt(0);
    EXPECT_FALSE(m_first->IsDropped());
    EXPECT_FALSE(m_dropDown.IsVisible());
}

// A row of cells selected on opening would give its cells the mouse: its text still chooses it,
// and its button acts for the combo's window without choosing.
TEST_F(ComboUnionTest, ARowOfCellsIsChosenByItsTextAndItsButtonActsForTheCombosWindow) {
    auto* item = new CListTextContainerElementUI;
    item->SetFixedHeight(30);
    m_dropDown.GetList()->Add(item);
    auto* label = new CLabelUI;
    label->SetText("自定义");
    item->Add(label);
    auto* button = new CButtonUI;
    button->SetName("delete_item");
    button->SetFixedWidth(40);
    item->Add(button);
    m_second->SetText("自定义");
    ClickCombo(m_second);
    ASSERT_EQ(m_dropDown.GetList()->GetCurSel(), 10);
    guisupport::Click(m_dropDown, guisupport::CenterOf(button->GetPos()));
    ProcessMessages();
    EXPECT_EQ(m_window.Count("click", "delete_item"), 1);
    EXPECT_TRUE(m_second->IsDropped());
    EXPECT_EQ(m_window.Count("value_changed", "second"), 0);
    guisupport::Click(m_dropDown, guisupport::CenterOf(label->GetPos()));
    ProcessMessages();
    EXPECT_FALSE(m_second->IsDropped());
    EXPECT_EQ(m_window.Count("value_changed", "second"), 1);
    EXPECT_EQ(m_window.Count("click", "delete_item"), 1);
}

TEST_F(ComboUnionTest, ClearingAndLeavingTheCombo) {
    m_first->Clear();
    EXPECT_EQ(std::string(m_first->GetText()), "");
    EXPECT_EQ(std::string(m_first->GetUserData()), "");
    EXPECT_EQ(m_window.Count("value_changed", "first"), 1);
    ClickCombo(m_first);
    ASSERT_TRUE(m_first->IsDropped());
    m_window.Find<CControlUI>("other")->SetFocus();
    EXPECT_FALSE(m_first->IsDropped());
    ClickCombo(m_first);
    ASSERT_TRUE(m_first->IsDropped());
    m_first->SetEnabled(false);
    EXPECT_FALSE(m_first->IsDropped()) << "a disabled combo takes no choice";
    EXPECT_FALSE(m_dropDown.IsVisible());
}

// The keyboard alone opens the list, moves through it, chooses and closes.
TEST_F(ComboUnionTest, KeysOpenMoveChooseAndClose) {
    m_first->SetFocus();
    guisupport::PressKey(m_window, VK_DOWN);
    ASSERT_TRUE(m_first->IsDropped());
    CListUI* list = m_dropDown.GetList();
    EXPECT_EQ(list->GetCurSel(), 2) << "opening selects the item of the text";
    const std::pair<UINT, int> moves[] = {{VK_DOWN, 3}, {VK_UP, 2}, {VK_UP, 1}, {VK_END, 9},
                                          {VK_DOWN, 9}, {VK_HOME, 0}, {VK_UP, 0}, {VK_DOWN, 1}};
    for (const auto& [key, selected] : moves) {
        guisupport::PressKey(m_window, key);
        EXPECT_EQ(list->GetCurSel(), selected) << "key " << key;
    }
    EXPECT_EQ(m_window.Count("value_changed", "first"), 0) << "moving chooses nothing";
    guisupport::PressKey(m_window, VK_RETURN);
    EXPECT_FALSE(m_first->IsDropped());
    EXPECT_EQ(std::string(m_first->GetText()), "车主姓名");
    EXPECT_EQ(std::string(m_first->GetUserData()), "1");
    EXPECT_EQ(m_window.Count("value_changed", "first"), 1);

    guisupport::PressKey(m_window, VK_SPACE);
    ASSERT_TRUE(m_first->IsDropped());
    guisupport::PressKey(m_window, VK_DOWN);
    guisupport::PressKey(m_window, VK_ESCAPE);
    EXPECT_FALSE(m_first->IsDropped());
    EXPECT_EQ(std::string(m_first->GetText()), "车主姓名") << "Escape chooses nothing";

    m_second->SetFocus();
    guisupport::PressKey(m_window, VK_UP);
    ASSERT_TRUE(m_second->IsDropped());
    EXPECT_EQ(list->GetCurSel(), -1);
    guisupport::PressKey(m_window, VK_RETURN);
    EXPECT_TRUE(m_second->IsDropped()) << "nothing selected, nothing chosen";
    guisupport::PressKey(m_window, VK_DOWN);
    EXPECT_EQ(list->GetCurSel(), 0);
    guisupport::PressKey(m_window, VK_TAB);
    EXPECT_FALSE(m_second->IsDropped()) << "Tab takes the focus away and closes the list";
    EXPECT_EQ(m_window.Count("value_changed", "second"), 0);
}

// Escape typed in the list's own window (once clicked into) closes it from there.
TEST_F(ComboUnionTest, ClosingDrawsTheArrowPointingDownAgain) {
    ClickCombo(m_first);
    ASSERT_TRUE(m_first->IsDropped());
    EXPECT_TRUE(guisupport::RepaintsWhile(m_window, m_first->GetPos(), [&] {
        guisupport::PressKey(m_dropDown.GetHWND(), VK_ESCAPE);
    }));
    EXPECT_FALSE(m_first->IsDropped());
}

TEST_F(ComboUnionTest, KeyboardGoingToAnotherWindowClosesIt) {
    HWND h = m_window;
    ASSERT_TRUE(ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; }));
    ClickCombo(m_first);
    ASSERT_TRUE(m_first->IsDropped());
    Window other;
    ASSERT_TRUE(other.Open(R"(<Window size="200,100"><VerticalLayout/></Window>)", 600, 100));
    EXPECT_TRUE(ProcessMessagesUntil([&] { return !m_first->IsDropped(); }));
    EXPECT_FALSE(m_dropDown.IsVisible());
}

}  // namespace

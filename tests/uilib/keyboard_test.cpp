// Working a window from the keyboard alone: the focus is seen where it is, Tab reaches every
// control that takes input, arrows move in lists and menus, and the context menu key opens the
// list's menu.
#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"

namespace {

const char kWindow[] =
    u8R"(<Window size="460,420">
  <VerticalLayout inset="10,10,10,10" childpadding="8">
    <Edit name="plate" height="30"/>
    <HorizontalLayout height="30" childpadding="8">
      <Option name="owned" text="自有" checkstyle="box" width="90"/>
      <Combo name="kind" class="combo_default" width="140">
        <ListLabelElement text="月租"/><ListLabelElement text="临时"/>
      </Combo>
    </HorizontalLayout>
    <List name="grid" header="hidden" height="150"/>
    <Label name="hint" text="说明"/>
    <HorizontalLayout height="34" childpadding="8">
      <Button name="ok" class="btn_primary" text="确定" width="90" default="true"/>
      <Button name="cancel" class="btn_default" text="取消" width="90"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

const char kMenu[] =
    u8R"(<Menu width="160">
  <MenuElement name="menu_edit" text="编辑"/>
  <MenuElement name="menu_merge" text="合并" enabled="false"/>
  <MenuElement name="menu_delete" text="删除"/>
</Menu>)";

class KeyboardTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"keys.xml", kWindow}, {"keys_menu.xml", kMenu}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("keys.xml"));
        grid = dlg.Find<CListUI>("grid");
        for (const char* plate : {"粤B00001", "粤B00002", "粤B00003", "粤B00004"}) {
            auto* row = new CListLabelElementUI;
            row->SetText(plate);
            grid->Add(row);
        }
        dlg.GetPaintManager().UpdateLayout();
        dlg.recorder.events.clear();
    }
    std::string Focused() {
        CControlUI* focus = dlg.GetPaintManager().GetFocus();
        return focus ? focus->GetName().str() : "";
    }
    uitest::TestDialog dlg;
    CListUI* grid = nullptr;
};

TEST_F(KeyboardTest, TabReachesEveryControlThatTakesInputInLayoutOrder) {
    std::vector<std::string> order;
    for (int i = 0; i < 7; ++i) {
        guisupport::PressKey(dlg.GetHWND(), VK_TAB);
        order.push_back(Focused());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"plate", "owned", "kind", "grid", "ok", "cancel",
                                               "plate"}));
    guisupport::PressKey(dlg.GetHWND(), VK_TAB, MK_SHIFT);
    guisupport::PressKey(dlg.GetHWND(), VK_TAB, MK_SHIFT);
    EXPECT_EQ(Focused(), "ok");
}

struct FocusCase : testcases::NamedCase {
    const char* control;
    int currentRow = 1;  // of the grid
};

class FocusVisibleTest : public KeyboardTest, public ::testing::WithParamInterface<FocusCase> {};

// Whatever the look of the control, having the focus puts a 2-pixel ring of the focus colour
// round it (round its current row in a list, round the list without one).
TEST_P(FocusVisibleTest, TheFocusedControlWearsARing) {
    CControlUI* control = dlg.FindControl(GetParam().control);
    const int row = GetParam().currentRow;
    grid->SelectItem(row);
    RECT rc = control == grid && row >= 0 ? grid->GetItemAt(row)->GetPos() : control->GetPos();
    dlg.GetPaintManager().SetFocus(nullptr);
    auto unfocused = guisupport::PixelsOf(dlg.GetHWND(), rc);
    dlg.GetPaintManager().SetFocus(control);
    auto focused = guisupport::PixelsOf(dlg.GetHWND(), rc);
    ASSERT_FALSE(focused.empty());
    EXPECT_NE(focused, unfocused);
    // The middle of its top edge, first and second line.
    const std::size_t middle = static_cast<std::size_t>(rc.GetWidth() / 2);
    const DWORD ring = dlg.GetPaintManager().GetFocusColor();
    EXPECT_EQ(focused[middle], ring);
    EXPECT_EQ(focused[middle + static_cast<std::size_t>(rc.GetWidth())], ring);
    uitest::Screenshot(dlg.GetHWND(), (std::string("focus_") + GetParam().control).c_str());
}

INSTANTIATE_TEST_SUITE_P(Controls, FocusVisibleTest,
                         ::testing::Values(FocusCase{{"PrimaryButton"}, "ok"},
                                           FocusCase{{"PlainButton"}, "cancel"},
                                           FocusCase{{"CheckBox"}, "owned"},
                                           FocusCase{{"Combo"}, "kind"},
                                           FocusCase{{"ListCurrentRow"}, "grid"},
                                           FocusCase{{"ListWithoutCurrentRow"}, "grid", -1}),
                         testcases::kCaseName);

TEST_F(KeyboardTest, ArrowsMoveTheListsCurrentRow) {
    dlg.GetPaintManager().SetFocus(grid);
    guisupport::PressKey(dlg.GetHWND(), VK_DOWN);
    guisupport::PressKey(dlg.GetHWND(), VK_DOWN);
    EXPECT_EQ(grid->GetCurSel(), 1);
    guisupport::PressKey(dlg.GetHWND(), VK_END);
    guisupport::PressKey(dlg.GetHWND(), VK_UP);
    EXPECT_EQ(grid->GetCurSel(), 2);
}

struct MenuKeyCase : testcases::NamedCase {
    UINT key;
    UINT keyState;
    bool opens;
};

class ContextMenuKeyTest : public KeyboardTest, public ::testing::WithParamInterface<MenuKeyCase> {};

// The page learns which row and where to open its menu, as from a right click.
TEST_P(ContextMenuKeyTest, OpensTheMenuOfTheCurrentRow) {
    grid->SelectItem(2, true);
    guisupport::PressKey(dlg.GetHWND(), GetParam().key, GetParam().keyState);
    auto menus = dlg.recorder.OfType("menu");
    if (!GetParam().opens) {
        EXPECT_TRUE(menus.empty());
        return;
    }
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].sender, "grid");
    EXPECT_EQ(static_cast<int>(menus[0].wParam), 2);
}

INSTANTIATE_TEST_SUITE_P(Keys, ContextMenuKeyTest,
                         ::testing::Values(MenuKeyCase{{"MenuKey"}, VK_APPS, 0, true},
                                           MenuKeyCase{{"ShiftF10"}, VK_F10, MK_SHIFT, true},
                                           MenuKeyCase{{"F10Alone"}, VK_F10, 0, false}),
                         testcases::kCaseName);

TEST_F(KeyboardTest, ArrowsMoveInAMenuAndEnterChoosesSkippingNothingDisabled) {
    uitest::NotifyRecorder page;
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(dlg.GetHWND(), "keys_menu.xml", &page));
    menu.Popup(POINT{80, 80});
    menu.GetPaintManager().UpdateLayout();
    HWND h = menu.GetHWND();
    guisupport::PressKey(h, VK_DOWN);
    guisupport::PressKey(h, VK_DOWN);
    uitest::Screenshot(h, "menu_keyboard");
    // The disabled row can be reached but not chosen.
    guisupport::PressKey(h, VK_RETURN);
    EXPECT_TRUE(menu.IsVisible());
    EXPECT_TRUE(page.OfType("itemclick").empty());
    guisupport::PressKey(h, VK_DOWN);
    guisupport::PressKey(h, VK_RETURN);
    EXPECT_FALSE(menu.IsVisible());
    ASSERT_EQ(page.OfType("itemclick").size(), 1u);
    EXPECT_EQ(page.OfType("itemclick")[0].sender, "menu_delete");
    // Opened again it starts with no current row.
    menu.Popup(POINT{80, 80});
    guisupport::PressKey(h, VK_DOWN);
    guisupport::PressKey(h, VK_RETURN);
    EXPECT_EQ(page.OfType("itemclick").back().sender, "menu_edit");
}

// The mouse and the arrow keys move one highlight, across the whole row; reopened, the menu
// highlights nothing.
TEST_F(KeyboardTest, AMenuHighlightsOneWholeRowAndReopensWithNone) {
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(dlg.GetHWND(), "keys_menu.xml", nullptr));
    const HWND h = menu.GetHWND();
    auto highlighted = [&] {
        menu.GetPaintManager().UpdateLayout();
        const RECT whole = menu.GetMenu()->GetPos();
        std::vector<std::string> rows;
        for (int i = 0; i < menu.GetMenu()->GetCount(); ++i) {
            const RECT rc = menu.GetMenu()->GetItemAt(i)->GetPos();
            const int y = (rc.top + rc.bottom) / 2;
            auto pixel = [&](int x) { return guisupport::PixelsOf(h, RECT{x, y, x + 1, y + 1}); };
            const auto left = pixel(whole.left + 3);
            if (left == std::vector<std::uint32_t>{0xFFFFFFFF}) continue;
            EXPECT_EQ(left, pixel(whole.right - 4)) << "row " << i << " highlighted across";
            rows.push_back(menu.GetMenu()->GetItemAt(i)->GetName().str());
        }
        return rows;
    };
    menu.Popup(POINT{80, 80});
    menu.GetPaintManager().UpdateLayout();
    guisupport::MoveMouse(h, guisupport::CenterOf(menu.GetMenu()->GetItemAt(0)->GetPos()));
    EXPECT_EQ(highlighted(), std::vector<std::string>{"menu_edit"});
    guisupport::PressKey(h, VK_DOWN);
    guisupport::PressKey(h, VK_DOWN);
    uitest::Screenshot(h, "menu_mouse_then_keys");
    EXPECT_EQ(highlighted(), std::vector<std::string>{"menu_delete"});
    guisupport::PressKey(h, VK_ESCAPE);
    menu.Popup(POINT{80, 80});
    EXPECT_EQ(highlighted(), std::vector<std::string>{});
}

}  // namespace

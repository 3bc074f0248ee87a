// The list, the combo box and menus: selection, sorting, context menus, drop-downs.
#include <QApplication>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"
#include "uilib/internal/native_window.h"

namespace {

const char kListWindow[] =
    u8R"(<Window size="520,400">
  <VerticalLayout inset="8,8,8,8" childpadding="8">
    <List name="grid" multiselect="true">
      <ListHeaderItem name="h_default" class="list_header_item_default list_header_item_sort_default" width="40"/>
      <ListHeaderItem name="h_plate" class="list_header_item_default_sortable" text="车牌" width="120"/>
      <ListHeaderItem name="h_name" class="list_header_item_default_sortable" text="姓名" width="120"/>
      <ListHeaderItem name="h_end" class="list_header_item_no_sep"/>
    </List>
    <Combo name="sizes" height="32" width="120">
      <ListLabelElement text="20"/><ListLabelElement text="35"/><ListLabelElement text="50"/>
    </Combo>
  </VerticalLayout>
</Window>)";

const char kMenu[] =
    u8R"(<Menu width="180">
  <MenuElement name="menu_edit" text="&lt;x 25&gt;编辑"/>
  <MenuElement name="menu_merge" text="&lt;x 25&gt;更改车辆所属客户"/>
</Menu>)";

class ListTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"list.xml", kListWindow}, {"menu.xml", kMenu}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("list.xml"));
        grid = dlg.Find<CListUI>("grid");
        for (int i = 0; i < 30; ++i) {
            auto* row = new CListTextElementUI;
            grid->Add(row);
            CDuiString text;
            text.Format("粤B%05d", i);
            row->SetText(1, text);
            row->SetText(2, "客户");
            row->SetTag(static_cast<UINT_PTR>(1000 + i));
        }
        dlg.GetPaintManager().UpdateLayout();
        dlg.recorder.events.clear();
    }
    POINT RowPoint(int index) {
        dlg.GetPaintManager().UpdateLayout();
        grid->EnsureVisible(index);
        return guisupport::CenterOf(grid->GetItemAt(index)->GetPos());
    }
    void ClickRow(int index, UINT keyState = 0) {
        guisupport::Click(dlg.GetHWND(), RowPoint(index), keyState);
    }

    uitest::TestDialog dlg;
    CListUI* grid = nullptr;
};

std::vector<int> Range(int first, int last) {
    std::vector<int> values;
    for (int i = first; i <= last; ++i) values.push_back(i);
    return values;
}

struct ClickStep {
    int row;
    UINT keys;
};

struct SelectionCase : testcases::NamedCase {
    std::vector<ClickStep> clicks;
    std::vector<int> selected;
    int current;
};

class ListSelectionTest : public ListTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(ListSelectionTest, ClicksWithCtrlAndShiftSelectAsOnTheDesktop) {
    const SelectionCase& c = GetParam();
    for (const ClickStep& step : c.clicks) ClickRow(step.row, step.keys);
    EXPECT_EQ(grid->GetSelectedItems(), c.selected);
    EXPECT_EQ(grid->GetCurSel(), c.current);
    // Every click reports the selection, then the row clicked.
    auto selects = dlg.recorder.OfType("itemselect");
    ASSERT_EQ(selects.size(), c.clicks.size());
    EXPECT_EQ(static_cast<int>(selects.back().wParam), c.current);
    EXPECT_EQ(dlg.recorder.Sequence().back(), "itemclick:");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListSelectionTest,
    ::testing::Values(
        SelectionCase{"plain_click_selects_one", {{3, 0}, {5, 0}}, {5}, 5},
        SelectionCase{"ctrl_adds_and_removes",
                      {{3, 0}, {5, MK_CONTROL}, {8, MK_CONTROL}, {5, MK_CONTROL}},
                      {3, 8},
                      5},
        SelectionCase{"shift_selects_range_from_anchor", {{4, 0}, {7, MK_SHIFT}}, {4, 5, 6, 7}, 7},
        SelectionCase{
            "shift_range_upwards_replaces", {{4, 0}, {7, MK_SHIFT}, {2, MK_SHIFT}}, {2, 3, 4}, 2},
        SelectionCase{"ctrl_shift_extends_keeping_others",
                      {{1, 0}, {5, MK_CONTROL}, {7, MK_CONTROL | MK_SHIFT}},
                      {1, 5, 6, 7},
                      7},
        SelectionCase{
            "ctrl_click_moves_the_anchor", {{1, 0}, {4, MK_CONTROL}, {6, MK_SHIFT}}, {4, 5, 6}, 6},
        SelectionCase{"far_rows_scroll_into_view", {{0, 0}, {29, MK_SHIFT}}, Range(0, 29), 29}),
    testcases::kCaseName);

TEST_F(ListTest, SingleSelectionListIgnoresModifiers) {
    grid->SetMultiSelect(false);
    ClickRow(2);
    ClickRow(6, MK_CONTROL);
    ClickRow(9, MK_SHIFT);
    EXPECT_EQ(grid->GetSelectedItems(), std::vector<int>{9});
}

TEST_F(ListTest, KeyboardMovesTheCurrentRowAndShiftExtends) {
    ClickRow(3);
    HWND h = dlg.GetHWND();
    guisupport::PressKey(h, VK_DOWN);
    guisupport::PressKey(h, VK_DOWN, MK_SHIFT);
    EXPECT_EQ(grid->GetSelectedItems(), (std::vector<int>{4, 5}));
    guisupport::PressKey(h, VK_END);
    EXPECT_EQ(grid->GetCurSel(), 29);
    EXPECT_LE(grid->GetItemAt(29)->GetPos().bottom, grid->GetList()->GetViewRect().bottom);
}

TEST_F(ListTest, SortableHeaderAlternatesAndTheDefaultItemClears) {
    HWND h = dlg.GetHWND();
    auto click = [&](const char* name) { guisupport::Click(h, dlg.Center(name)); };
    click("h_plate");
    click("h_plate");
    click("h_name");
    click("h_default");
    std::vector<std::pair<std::string, int>> sorts;
    for (const auto& r : dlg.recorder.OfType("sortlist"))
        sorts.emplace_back(r.sender, static_cast<int>(r.wParam));
    EXPECT_EQ(sorts, (std::vector<std::pair<std::string, int>>{
                         {"h_plate", 1}, {"h_plate", 2}, {"h_name", 1}, {"h_default", 0}}));
    EXPECT_EQ(dlg.Find<CListHeaderItemUI>("h_plate")->GetSortOrder(), 0);
    EXPECT_EQ(dlg.Find<CListHeaderItemUI>("h_plate")->GetOwnerList(), grid);
    // Unsortable items send no "sortlist".
    click("h_end");
    EXPECT_EQ(dlg.recorder.OfType("sortlist").size(), 4u);
}

TEST_F(ListTest, DraggingAHeaderEdgeResizesTheColumnNoSmallerThanItsMinimum) {
    HWND h = dlg.GetHWND();
    auto* plate = dlg.Find<CListHeaderItemUI>("h_plate");
    RECT rc = plate->GetPos();
    POINT edge{rc.right - 1, (rc.top + rc.bottom) / 2};
    guisupport::MoveMouse(h, edge);
    guisupport::MouseDown(h, edge);
    guisupport::MoveMouse(h, POINT{edge.x + 30, edge.y});
    guisupport::MouseUp(h, POINT{edge.x + 30, edge.y});
    EXPECT_EQ(plate->GetFixedWidth(), 150);
    dlg.GetPaintManager().UpdateLayout();
    EXPECT_EQ(grid->GetListInfo()->rcColumn[1].right, plate->GetPos().right);
    guisupport::MouseDown(h, POINT{plate->GetPos().right - 1, edge.y});
    guisupport::MoveMouse(h, POINT{rc.left - 200, edge.y});
    guisupport::MouseUp(h, POINT{rc.left - 200, edge.y});
    EXPECT_EQ(plate->GetFixedWidth(), plate->GetMinWidth());
    EXPECT_TRUE(dlg.recorder.OfType("sortlist").empty());
}

TEST_F(ListTest, RightClickSelectsAnUnselectedRowAndSendsMenu) {
    ClickRow(1);
    ClickRow(2, MK_CONTROL);
    guisupport::RightClick(dlg.GetHWND(), RowPoint(2));
    // Inside the selection: kept.
    EXPECT_EQ(grid->GetSelectedItems(), (std::vector<int>{1, 2}));
    guisupport::RightClick(dlg.GetHWND(), RowPoint(7));
    EXPECT_EQ(grid->GetSelectedItems(), std::vector<int>{7});
    auto menus = dlg.recorder.OfType("menu");
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].sender, "grid");
    EXPECT_EQ(static_cast<int>(menus[1].wParam), 7);
}

TEST_F(ListTest, RemoveAllEmptiesAtOnceAndForgetsTheSelection) {
    ClickRow(4);
    grid->RemoveAll();
    EXPECT_EQ(grid->GetCount(), 0);
    EXPECT_EQ(grid->GetCurSel(), -1);
    EXPECT_TRUE(grid->GetSelectedItems().empty());
    guisupport::ProcessMessages();
    auto* row = new CListTextElementUI;
    EXPECT_TRUE(grid->Add(row));
    EXPECT_EQ(row->GetIndex(), 0);
}

// Lists and combo boxes keep their rows' indexes, their current row and their item attributes
// alike; the parameter names the owner.
class RowOwnerTest : public ListTest, public ::testing::WithParamInterface<std::string> {
protected:
    CContainerUI* Owner() {
        return static_cast<CContainerUI*>(dlg.FindControl(GetParam().c_str()));
    }
    IListOwnerUI* ListOwner() {
        return static_cast<IListOwnerUI*>(Owner()->GetInterface("IListOwner"));
    }
    // Whether every row knows its own position.
    bool RowsNumbered() {
        for (int i = 0; i < Owner()->GetCount(); ++i) {
            auto* row = static_cast<IListItemUI*>(Owner()->GetItemAt(i)->GetInterface("ListItem"));
            if (!row || row->GetIndex() != i || row->GetOwner() != ListOwner()) return false;
        }
        return true;
    }
};

TEST_P(RowOwnerTest, InsertingAndRemovingRowsKeepsTheCurrentRowOnItsRow) {
    ASSERT_TRUE(ListOwner()->SelectItem(1));
    CControlUI* current = Owner()->GetItemAt(1);
    ASSERT_TRUE(Owner()->AddAt(new CListLabelElementUI, 0));
    EXPECT_EQ(Owner()->GetItemAt(ListOwner()->GetCurSel()), current);
    EXPECT_TRUE(RowsNumbered());
    ASSERT_TRUE(Owner()->AddAt(new CListLabelElementUI, 3));
    EXPECT_EQ(ListOwner()->GetCurSel(), 2) << "a row added after the current one moves nothing";
    ASSERT_TRUE(Owner()->RemoveAt(0));
    EXPECT_EQ(Owner()->GetItemAt(ListOwner()->GetCurSel()), current);
    ASSERT_TRUE(Owner()->RemoveAt(1));
    EXPECT_EQ(ListOwner()->GetCurSel(), -1) << "the current row is gone";
    EXPECT_TRUE(RowsNumbered());
}

TEST_P(RowOwnerTest, ItemAttributesStyleTheRows) {
    Owner()->SetAttribute("itemalign", "right");
    Owner()->SetAttribute("itemhotbkcolor", "#FF102030");
    Owner()->SetAttribute("itemfont", "3");
    Owner()->SetAttribute("itemshowhtml", "true");
    const TListInfoUI* info = ListOwner()->GetListInfo();
    EXPECT_EQ(info->uTextStyle & (DT_CENTER | DT_RIGHT), static_cast<UINT>(DT_RIGHT));
    EXPECT_EQ(info->dwHotBkColor, 0xFF102030u);
    EXPECT_EQ(info->nFont, 3);
    EXPECT_TRUE(info->bShowHtml);
}

INSTANTIATE_TEST_SUITE_P(Owners, RowOwnerTest, ::testing::Values("grid", "sizes"),
                         [](const auto& info) { return info.param; });

TEST_F(ListTest, ComboChoosesFromItsDropDownAndReportsTheChange) {
    auto* sizes = dlg.Find<CComboUI>("sizes");
    EXPECT_TRUE(sizes->SelectItem(0));
    EXPECT_EQ(sizes->GetText(), "20");
    guisupport::Click(dlg.GetHWND(), dlg.Center("sizes"));
    ASSERT_TRUE(sizes->IsDropDown());
    HWND drop = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->windowType() == Qt::Popup)
            drop = static_cast<uilib_detail::NativeWindow*>(top)->owner()->GetHWND();
    ASSERT_NE(drop, nullptr);
    uitest::Screenshot(dlg.GetHWND(), "combo_owner");
    uitest::Screenshot(drop, "combo_drop_down");
    CControlUI* item = sizes->GetItemAt(2);
    guisupport::Click(drop, guisupport::CenterOf(item->GetPos()));
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] { return !sizes->IsDropDown(); }));
    EXPECT_EQ(sizes->GetCurSel(), 2);
    EXPECT_EQ(sizes->GetText(), "50");
    auto selects = dlg.recorder.OfType("itemselect");
    ASSERT_FALSE(selects.empty());
    EXPECT_EQ(selects.back().sender, "sizes");
    EXPECT_EQ(selects.back().wParam, 2u);
    EXPECT_EQ(selects.back().lParam, 0);
    // The items are the combo's again.
    EXPECT_EQ(item->GetManager(), &dlg.GetPaintManager());
}

TEST_F(ListTest, ComboWithoutChoiceShowsItsOwnTextAndSkipsRepeatedChoice) {
    auto* sizes = dlg.Find<CComboUI>("sizes");
    sizes->SetText("无");
    EXPECT_EQ(sizes->GetText(), "无");
    sizes->SelectItem(1);
    sizes->SelectItem(1);
    EXPECT_EQ(dlg.recorder.OfType("itemselect").size(), 1u);
    sizes->RemoveAt(1);
    EXPECT_EQ(sizes->GetCurSel(), -1);
    EXPECT_EQ(sizes->GetText(), "无");
    EXPECT_FALSE(sizes->SelectItem(5));
}

TEST_F(ListTest, MenuSendsTheCommandOfAnEnabledItemAndHides) {
    uitest::NotifyRecorder page;
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(dlg.GetHWND(), "menu.xml", &page));
    ASSERT_TRUE(menu.EnableItem("menu_merge", false));
    EXPECT_FALSE(menu.EnableItem("menu_absent", false));
    menu.Popup(POINT{100, 100});
    ASSERT_TRUE(menu.IsVisible());
    menu.GetPaintManager().UpdateLayout();
    uitest::Screenshot(menu.GetHWND(), "menu");
    HWND h = menu.GetHWND();
    guisupport::Click(h, guisupport::CenterOf(menu.FindItem("menu_merge")->GetPos()));
    EXPECT_TRUE(menu.IsVisible());
    guisupport::Click(h, guisupport::CenterOf(menu.FindItem("menu_edit")->GetPos()));
    EXPECT_FALSE(menu.IsVisible());
    EXPECT_EQ(page.OfType("itemclick").size(), 1u);
    EXPECT_EQ(page.OfType("itemclick")[0].sender, "menu_edit");
    // Reused: opens again, and Escape closes it without a command.
    menu.Popup(POINT{50, 50});
    guisupport::PressKey(h, VK_ESCAPE);
    EXPECT_FALSE(menu.IsVisible());
    EXPECT_EQ(page.OfType("itemclick").size(), 1u);
}

// Two wide columns; the test sizes the list so that its content just fits beside one bar.
const char kWideListWindow[] =
    u8R"(<Window size="700,500">
  <VerticalLayout>
    <List name="wide">
      <ListHeaderItem width="300"/>
      <ListHeaderItem width="300"/>
    </List>
  </VerticalLayout>
</Window>)";

class WideListTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"wide.xml", kWideListWindow}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("wide.xml"));
        grid = dlg.Find<CListUI>("wide");
    }
    void Fill(int rows) {
        grid->RemoveAll();
        for (int i = 0; i < rows; ++i) {
            auto* row = new CListTextElementUI;
            grid->Add(row);
            row->SetText(0, "粤B00001");
        }
    }
    void Resize(int cx, int cy) {
        grid->SetFixedWidth(cx);
        grid->SetFixedHeight(cy);
        dlg.GetPaintManager().UpdateLayout();
    }
    // Scrolls as far as the shown bars go: the last row must then be wholly in the view.
    void ExpectTheEndShows(int cx, int cy) {
        Resize(cx, cy);
        CListBodyUI* body = grid->GetList();
        auto end = [](CScrollBarUI* bar) { return bar->IsVisible() ? bar->GetScrollRange() : 0; };
        body->SetScrollPos(
            SIZE{end(body->GetHorizontalScrollBar()), end(body->GetVerticalScrollBar())});
        RECT view = body->GetViewRect();
        RECT last = grid->GetItemAt(grid->GetCount() - 1)->GetPos();
        EXPECT_LE(last.bottom, view.bottom) << "list " << cx << "x" << cy;
        EXPECT_LE(last.right, view.right) << "list " << cx << "x" << cy;
    }

    uitest::TestDialog dlg;
    CListUI* grid = nullptr;
};

TEST_F(WideListTest, ABarLeavesTheLastRowAndColumnReachable) {
    // Rows that fit the list's height but not once the horizontal bar takes its share.
    Fill(4);
    Resize(200, 400);
    int heightForRows = grid->GetItemAt(3)->GetPos().bottom - grid->GetHeader()->GetPos().top;
    int thickness = grid->GetList()->GetHorizontalScrollBar()->GetThickness();
    for (int cy = heightForRows - 2; cy <= heightForRows + thickness + 2; ++cy)
        ExpectTheEndShows(200, cy);
    // Columns that fit the list's width but not beside the vertical bar.
    Fill(30);
    int columnsWidth = grid->GetHeader()->GetColumnsWidth();
    thickness = grid->GetList()->GetVerticalScrollBar()->GetThickness();
    for (int cx = columnsWidth - 2; cx <= columnsWidth + thickness + 2; ++cx)
        ExpectTheEndShows(cx, 150);
}

}  // namespace

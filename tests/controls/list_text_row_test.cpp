// A row of column cells with hidden, floating and button children: which children take the
// columns, and the colours and mouse of each kind of child in every row state.
#include <ostream>
#include <string>

#include "app/dialog_builder_callback_ex.h"
#include "controls/list_item_ui.h"
#include "tests/controls/controls_test_support.h"

namespace {

using Window = controlstest::LayoutWindow<CDialogBuilderCallbackEx>;

constexpr DWORD kNormal = 0xFF111111, kSelected = 0xFF2222AA, kHot = 0xFF33AA33,
                kDisabled = 0xFF999999, kButtonOwn = 0xFF445566;

const char kLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="420,200">
  <VerticalLayout bkcolor="#FFFFFFFF">
    <List name="list" itemtextcolor="#FF111111" itemselectedtextcolor="#FF2222AA"
          itemhottextcolor="#FF33AA33" itemdisabledtextcolor="#FF999999">
      <ListHeaderItem text="A" width="80"/>
      <ListHeaderItem text="B" width="90"/>
      <ListHeaderItem text="C" width="100"/>
      <ListTextContainerElement name="row" height="30">
        <Label name="first" text="1"/>
        <Label name="hidden" text="h" visible="false"/>
        <Label name="floating" text="f" float="true" pos="1,2,3,4"/>
        <Button name="button" text="b" textcolor="#FF445566"/>
        <Label name="third" text="3"/>
      </ListTextContainerElement>
      <ListTextContainerElement name="other" height="30">
        <Label name="other_cell" text="o"/>
      </ListTextContainerElement>
    </List>
  </VerticalLayout>
</Window>)";

class ListTextRowTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        ASSERT_TRUE(m_window.Open(kLayout));
        m_list = m_window.Find<CListUI>("list");
        m_row = m_window.Find<CListTextContainerElementUI>("row");
        ASSERT_TRUE(m_list && m_row);
    }
    RECT Column(int i) { return m_list->GetListInfo()->rcColumn[static_cast<std::size_t>(i)]; }
    CControlUI* Child(const char* name) { return m_window.Find<CControlUI>(name); }
    DWORD TextColor(const char* name) { return m_window.Find<CLabelUI>(name)->GetTextColor(); }
    // Beside the last column, so the row itself, not a cell, has the mouse.
    void HoverRow() {
        RECT row = m_row->GetPos();
        guisupport::MoveMouse(m_window, POINT{Column(2).right + 10, (row.top + row.bottom) / 2});
        guisupport::ProcessMessages();
    }

    Window m_window;
    CListUI* m_list = nullptr;
    CListTextContainerElementUI* m_row = nullptr;
};

TEST_F(ListTextRowTest, HiddenAndFloatingChildrenTakeNoColumn) {
    const char* cells[] = {"first", "button", "third"};
    for (int i = 0; i < 3; ++i) {
        RECT cell = Child(cells[i])->GetPos();
        EXPECT_EQ(cell.left, Column(i).left) << cells[i];
        EXPECT_EQ(cell.right, Column(i).right) << cells[i];
    }
    EXPECT_NE(Child("floating")->GetPos().left, Column(1).left);
}

struct RowStateCase {
    const char* name;
    bool hot, selected, enabled;
    DWORD labelColor;
    friend std::ostream& operator<<(std::ostream& os, const RowStateCase& c) {
        return os << c.name;
    }
};

class ListTextRowStateTest : public ListTextRowTest,
                             public ::testing::WithParamInterface<RowStateCase> {};

TEST_P(ListTextRowStateTest, LabelsTakeTheStateColourAndTheMouseOnlyWhileSelected) {
    const RowStateCase& c = GetParam();
    if (c.hot) HoverRow();
    if (c.selected) m_list->SelectItem(0);
    if (!c.enabled) m_row->SetEnabled(false);
    for (const char* label : {"first", "third"}) {
        EXPECT_EQ(TextColor(label), c.labelColor) << label;
        EXPECT_EQ(Child(label)->IsMouseEnabled(), c.selected) << label;
    }
    EXPECT_EQ(TextColor("button"), kButtonOwn);
    EXPECT_TRUE(Child("button")->IsMouseEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    States, ListTextRowStateTest,
    ::testing::Values(RowStateCase{"normal", false, false, true, kNormal},
                      RowStateCase{"hot", true, false, true, kHot},
                      RowStateCase{"selected", false, true, true, kSelected},
                      RowStateCase{"selected_wins_over_hot", true, true, true, kSelected},
                      RowStateCase{"disabled_wins_over_selected", false, true, false, kDisabled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListTextRowTest, SelectingAnotherRowGivesBackTheNormalLookAndTakesTheMouse) {
    m_list->SelectItem(0);
    m_list->SelectItem(1);
    EXPECT_EQ(TextColor("first"), kNormal);
    EXPECT_FALSE(Child("first")->IsMouseEnabled());
    EXPECT_TRUE(Child("other_cell")->IsMouseEnabled());
    EXPECT_EQ(TextColor("other_cell"), kSelected);
}

}  // namespace

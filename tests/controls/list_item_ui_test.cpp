// Rows of column cells built by class name from layouts: cells in columns, the mouse and colours
// by row state, the value row's delete button, the import row's tick and marks.
#include "controls/list_item_ui.h"

#include <string>

#include "app/dialog_builder_callback_ex.h"
#include "tests/controls/controls_test_support.h"
#include "tests/support/case_printing.h"

namespace {

using guisupport::ProcessMessages;
using Window = controlstest::LayoutWindow<CDialogBuilderCallbackEx>;

const char kLayout[] = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="420,240">
  <VerticalLayout bkcolor="#FFFFFFFF">
    <List name="list" itemtextcolor="#FF111111" itemselectedtextcolor="#FF2222AA"
          itemhottextcolor="#FF33AA33" itemdisabledtextcolor="#FF999999">
      <ListHeaderItem text="A" width="100"/>
      <ListHeaderItem text="B" width="120"/>
      <ListTextContainerElement name="row0" height="30">
        <Label name="cell0" text="one"/>
        <EditAbleLabel name="cell1" text="two"/>
        <Label name="extra" text="three"/>
      </ListTextContainerElement>
      <DataListItem name="value_row" height="30">
        <EditAbleLabel name="value_label" text="v"/>
        <Button name="delete_data_list_item" text="x" width="30"/>
      </DataListItem>
      <ImportListItem name="import_row" height="30">
        <HorizontalLayout>
          <Option name="opt_import_item" checkstyle="box" width="24"/>
          <Label name="import_error_tip" width="16" visible="false"/>
        </HorizontalLayout>
        <Label name="import_cell" text="cell"/>
      </ImportListItem>
    </List>
  </VerticalLayout>
</Window>)";

class ListItemTest : public controlstest::SkinTest {
protected:
    void SetUp() override {
        controlstest::SkinTest::SetUp();
        ASSERT_TRUE(m_window.Open(kLayout));
        m_list = m_window.Find<CListUI>("list");
        m_row = m_window.Find<CListTextContainerElementUI>("row0");
        ASSERT_TRUE(m_list && m_row);
    }
    RECT Column(int i) { return m_list->GetListInfo()->rcColumn[static_cast<std::size_t>(i)]; }
    CLabelUI* Label(const char* name) { return m_window.Find<CLabelUI>(name); }
    void Relayout() {
        m_list->NeedUpdate();
        m_window.GetPaintManager().UpdateLayout();
    }

    Window m_window;
    CListUI* m_list = nullptr;
    CListTextContainerElementUI* m_row = nullptr;
};

TEST_F(ListItemTest, CellsTakeTheirColumnsAndExtraChildrenStayWhereTheyWere) {
    CControlUI* extra = m_window.Find<CControlUI>("extra");
    extra->SetPos(RECT{5, 6, 7, 8}, false);
    Relayout();
    for (int i = 0; i < 2; ++i) {
        RECT cell = m_row->GetItemAt(i)->GetPos();
        EXPECT_EQ(cell.left, Column(i).left) << "cell " << i;
        EXPECT_EQ(cell.right, Column(i).right) << "cell " << i;
        EXPECT_EQ(cell.top, m_row->GetPos().top);
        EXPECT_EQ(cell.bottom, m_row->GetPos().bottom);
    }
    EXPECT_EQ(extra->GetPos(), (RECT{5, 6, 7, 8}));
    EXPECT_EQ(std::string(m_row->GetText(1)), "two");
    EXPECT_EQ(std::string(m_row->GetText(7)), "");
}

TEST_F(ListItemTest, CellsGetTheMouseOnlyWhileTheRowIsSelected) {
    CControlUI* cell = m_window.Find<CControlUI>("cell1");
    CControlUI* button = m_window.Find<CControlUI>("delete_data_list_item");
    EXPECT_FALSE(cell->IsMouseEnabled());
    EXPECT_TRUE(button->IsMouseEnabled());
    m_list->SelectItem(0);
    EXPECT_TRUE(cell->IsMouseEnabled());
    m_list->SelectItem(1);
    EXPECT_FALSE(cell->IsMouseEnabled());
    EXPECT_TRUE(button->IsMouseEnabled());
}

TEST_F(ListItemTest, LabelsTakeTheListColourOfTheRowState) {
    EXPECT_EQ(Label("cell0")->GetTextColor(), 0xFF111111u);
    m_list->SelectItem(0);
    EXPECT_EQ(Label("cell0")->GetTextColor(), 0xFF2222AAu);
    m_list->SelectItem(-1);
    guisupport::MoveMouse(m_window, guisupport::CenterOf(Label("cell0")->GetPos()));
    ProcessMessages();
    EXPECT_EQ(Label("cell0")->GetTextColor(), 0xFF33AA33u);
    m_row->SetEnabled(false);
    EXPECT_EQ(Label("cell0")->GetTextColor(), 0xFF999999u);
}

TEST_F(ListItemTest, ValueRowShowsItsDeleteButtonWhileHotOrSelected) {
    auto* row = m_window.Find<CDataListItemUI>("value_row");
    CControlUI* button = m_window.Find<CControlUI>("delete_data_list_item");
    EXPECT_EQ(row->GetValueID(), -1);
    EXPECT_FALSE(button->IsVisible());
    m_list->SelectItem(1);
    EXPECT_TRUE(button->IsVisible());
    m_list->SelectItem(0);
    EXPECT_FALSE(button->IsVisible());
    Relayout();
    guisupport::MoveMouse(m_window, guisupport::CenterOf(row->GetPos()));
    ProcessMessages();
    EXPECT_TRUE(button->IsVisible());
    guisupport::MoveMouse(m_window, guisupport::CenterOf(m_row->GetPos()));
    ProcessMessages();
    EXPECT_FALSE(button->IsVisible());
}

TEST_F(ListItemTest, ImportRowTicksAndShowsItsMarks) {
    auto* row = m_window.Find<CImportListItemUI>("import_row");
    auto* option = m_window.Find<COptionUI>("opt_import_item");
    CControlUI* tip = m_window.Find<CControlUI>("import_error_tip");
    row->SetImportChecked(true);
    EXPECT_TRUE(row->IsImportChecked());
    EXPECT_TRUE(option->IsSelected());
    row->SetImportEnabled(false);
    EXPECT_FALSE(option->IsEnabled());
    row->ShowTip("import_error_tip", "车牌重复");
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_EQ(std::string(tip->GetToolTip()), "车牌重复");
    row->ShowTip("import_error_tip", nullptr);
    EXPECT_FALSE(tip->IsVisible());
}

TEST_F(ListItemTest, EnterInAnInPlaceLabelEndsTheEdit) {
    HWND h = m_window;
    ASSERT_TRUE(guisupport::ProcessMessagesUntil([h] { return guisupport::ActiveWindow() == h; }));
    m_list->SelectItem(0);
    auto* label = m_window.Find<CEditUI>("cell1");
    label->SetFocus();
    ASSERT_TRUE(label->IsEditing());
    ASSERT_TRUE(guisupport::TypeText(m_window, "2"));
    guisupport::TypeKey(VK_RETURN);
    ProcessMessages();
    EXPECT_FALSE(label->IsEditing());
    EXPECT_EQ(m_window.Count("editclosed", "cell1"), 1);
}

// Every class the pages name in layouts comes out of the program's factory as itself.
struct FactoryCase : testcases::NamedCase {
    const char* className;
    const char* interfaceName;
};

class FactoryTest : public ::testing::TestWithParam<FactoryCase> {};

TEST_P(FactoryTest, CreatesTheControlByClassName) {
    CDialogBuilderCallbackEx factory;
    CControlUI* control = factory.CreateControl(GetParam().className, nullptr);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->GetInterface(GetParam().interfaceName), control);
    delete control;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, FactoryTest,
    ::testing::Values(
        FactoryCase{{"ListTextContainerElement"}, "ListTextContainerElement", "ListTextContainerElement"},
        FactoryCase{{"ImportListItem"}, "ImportListItem", "ListTextContainerElement"},
        FactoryCase{{"EditAbleLabel"}, "EditAbleLabel", "Edit"},
        FactoryCase{{"DataListItem"}, "DataListItem", "ListTextContainerElement"},
        FactoryCase{{"AddListItem"}, "AddListItem", "AddListItem"},
        FactoryCase{{"DbConfigListItem"}, "DbConfigListItem", "ListTextContainerElement"},
        FactoryCase{{"Calendar"}, "Calendar", "Calendar"},
        FactoryCase{{"EmptySelectableCombo"}, "EmptySelectableCombo", "Combo"},
        FactoryCase{{"MovableOption"}, "MovableOption", "Option"},
        FactoryCase{{"ComboUnion"}, "ComboUnion", "Button"},
        FactoryCase{{"TimePeriod"}, "TimePeriod", "TimePeriod"},
        FactoryCase{{"TimePeriodPicker"}, "TimePeriodPicker", "TimePeriodPicker"}),
    testcases::kCaseName);

}  // namespace

// Sample windows in the light-blue style, saved as PNG files for people to look at.
#include "tests/uilib/ui_test_support.h"

namespace {

const char kSampleMain[] =
    u8R"(<Window size="900,560" caption="0,0,0,40" sizebox="4,4,4,4" mininfo="800,500">
  <VerticalLayout class="window_root">
    <HorizontalLayout class="title_bar">
      <Label name="title" class="title_text" text="LedgerDesk  车辆白名单"/>
      <Button name="minbtn" class="caption_btn" normalimage="file='caption_min.svg' dest='14,14,26,26'"/>
      <Button name="maxbtn" class="caption_btn" normalimage="file='caption_max.svg' dest='14,14,26,26'"/>
      <Button name="restorebtn" class="caption_btn" normalimage="file='caption_restore.svg' dest='14,14,26,26'" visible="false"/>
      <Button name="closebtn" class="caption_btn_close" normalimage="file='caption_close.svg' dest='14,14,26,26'"/>
    </HorizontalLayout>
    <HorizontalLayout>
      <VerticalLayout width="160" bkcolor="#FF2F6DB5" bkcolor2="#FF275C9A" inset="0,12,0,0">
        <Option name="option_list_view" class="nav_option" group="nav" text="客户列表" selected="true"/>
        <Option name="option_import" class="nav_option" group="nav" text="导入导出"/>
        <Option name="option_edit" class="nav_option" group="nav" text="编辑客户"/>
        <Option name="option_dbconfig" class="nav_option" group="nav" text="数据配置"/>
      </VerticalLayout>
      <VerticalLayout inset="16,14,16,12" childpadding="10" bkcolor="#FFF7FAFD">
        <HorizontalLayout height="32" childpadding="10">
          <Edit name="pl_edit_search" tipvalue="输入车牌或客户信息查找" width="260"/>
          <Button name="btn_refresh_page" class="btn_default" text="刷新" width="72"/>
          <Control/>
          <Label name="pl_record_count" text="共 128 条记录" autocalcwidth="true" class="label_hint"/>
        </HorizontalLayout>
        <List name="customer_list" multiselect="true">
          <ListHeaderItem class="list_header_item_default list_header_item_sort_default" width="40"/>
          <ListHeaderItem name="h_plate" class="list_header_item_default_sortable" text="车牌号码" width="120"/>
          <ListHeaderItem class="list_header_item_default_sortable" text="客户名称" width="120"/>
          <ListHeaderItem class="list_header_item_default_sortable" text="有效期" width="150"/>
          <ListHeaderItem class="list_header_item_default_sortable" text="车位" width="100"/>
          <ListHeaderItem class="list_header_item_no_sep"/>
        </List>
        <HorizontalLayout height="32" childpadding="8" childvalign="vcenter">
          <Control/>
          <Label name="cur_page" text="第1/7页" autocalcwidth="true"/>
          <Button name="btn_page_pre" class="btn_default" text="上一页" width="72" enabled="false"/>
          <Button name="btn_page_next" class="btn_default" text="下一页" width="72"/>
          <Combo name="pl_combo_page_size" width="80"><ListLabelElement text="20"/><ListLabelElement text="50"/></Combo>
          <Edit name="pl_edit_goto_page" width="56" numberonly="true"/>
          <Button name="pl_btn_goto_page" class="btn_primary" text="跳转" width="64"/>
        </HorizontalLayout>
      </VerticalLayout>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

const char kSampleForm[] =
    u8R"(<Window size="480,400" caption="0,0,0,40">
  <VerticalLayout class="window_root">
    <HorizontalLayout class="title_bar">
      <Label name="title" class="title_text" text="编辑客户"/>
      <Button name="closebtn" class="caption_btn_close" text="×"/>
    </HorizontalLayout>
    <VerticalLayout inset="20,16,20,12" childpadding="8">
      <HorizontalLayout class="edit_element"><Label class="label_edit" text="客户名称："/><Edit name="name" text="张三"/></HorizontalLayout>
      <HorizontalLayout class="edit_element"><Label class="label_edit" text="车牌号码："/><Edit name="plate" text="粤B12345" enabled="false"/></HorizontalLayout>
      <HorizontalLayout class="edit_element"><Label class="label_edit" text="类型："/>
        <Combo name="kind" class="combo_default"><ListLabelElement text="月租车"/><ListLabelElement text="免费车"/></Combo></HorizontalLayout>
      <HorizontalLayout class="edit_element"><Label class="label_edit" text="启用："/>
        <Option class="option_check_defualt" selected="true"/><Control/></HorizontalLayout>
      <HorizontalLayout height="28" childpadding="16" padding="130,0,0,0">
        <Option class="option_radio" group="g" text="单次" selected="true" width="80"/>
        <Option class="option_radio" group="g" text="周期" width="80"/>
      </HorizontalLayout>
      <Progress value="62" showtext="false" padding="0,6,0,0"/>
      <Text text="保存后列表会&lt;c #FF2D8CF0&gt;自动刷新&lt;/c&gt;，&lt;b&gt;删除不可恢复&lt;/b&gt;。" height="40" class="label_hint"/>
      <Control/>
      <HorizontalLayout height="34" childalign="right" childpadding="10">
        <Button name="ok" class="btn_primary" text="保存" width="92" default="true"/>
        <Button name="cancel" class="btn_default" text="取消" width="92"/>
      </HorizontalLayout>
    </VerticalLayout>
  </VerticalLayout>
</Window>)";

class SampleWindowsTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"sample_main.xml", kSampleMain}, {"sample_form.xml", kSampleForm}};
    }
};

TEST_F(SampleWindowsTest, MainWindowWithAFilledList) {
    uitest::TestDialog wnd;
    ASSERT_TRUE(wnd.Open("sample_main.xml", UI_WNDSTYLE_FRAME));
    auto* list = wnd.Find<CListUI>("customer_list");
    const char* names[] = {"张三", "李四", "王五", "赵六"};
    for (int i = 0; i < 40; ++i) {
        auto* row = new CListTextElementUI;
        list->Add(row);
        CDuiString plate;
        plate.Format("粤B%05d", 10000 + i * 37);
        row->SetText(1, plate);
        row->SetText(2, names[i % 4]);
        row->SetText(3, "2026-12-31 23:59:59");
        row->SetText(4, i % 3 ? "A区" : "B区");
    }
    list->SelectItem(2);
    list->SelectMultiItem(4);
    wnd.Find<CListHeaderItemUI>("h_plate")->SetSortOrder(1);
    wnd.Find<CComboUI>("pl_combo_page_size")->SelectItem(0);
    wnd.GetPaintManager().UpdateLayout();
    uitest::Screenshot(wnd.GetHWND(), "sample_main");
}

TEST_F(SampleWindowsTest, DraggingTheCaptionMovesTheWindowButNotFromItsButtons) {
    uitest::TestDialog wnd;
    ASSERT_TRUE(wnd.Open("sample_main.xml", UI_WNDSTYLE_FRAME));
    HWND h = wnd.GetHWND();
    RECT before = wnd.GetWindowRect();
    // Without a window manager (the offscreen platform) the library moves the window itself.
    guisupport::MouseDown(h, POINT{300, 20});
    guisupport::MoveMouse(h, POINT{330, 40});
    guisupport::MouseUp(h, POINT{300, 20});
    RECT after = wnd.GetWindowRect();
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
    guisupport::Click(h, wnd.Center("minbtn"));
    EXPECT_EQ(wnd.GetWindowRect(), after);
    EXPECT_EQ(wnd.recorder.OfType("click").size(), 1u);
}

// However it is maximised, the caption shows the restore button and the window loses the frame
// it would only show as a gap at the screen's edges; clicks keep reaching the controls.
TEST_F(SampleWindowsTest, DoubleClickOnTheCaptionMaximisesAndRestores) {
    uitest::TestDialog wnd;
    ASSERT_TRUE(wnd.Open("sample_main.xml", UI_WNDSTYLE_FRAME));
    HWND h = wnd.GetHWND();
    CControlUI* root = wnd.GetPaintManager().GetRoot();
    const DWORD frame = root->GetBorderColor();
    ASSERT_NE(frame, 0u);
    auto maximised = [&] { return wnd.FindControl("restorebtn")->IsVisible(); };

    guisupport::DoubleClick(h, POINT{300, 20});
    ASSERT_TRUE(guisupport::ProcessMessagesUntil(maximised));
    EXPECT_FALSE(wnd.FindControl("maxbtn")->IsVisible());
    EXPECT_EQ(root->GetBorderColor(), 0u);
    wnd.GetPaintManager().UpdateLayout();
    uitest::Screenshot(h, "sample_main_maximised");
    guisupport::Click(h, wnd.Center("btn_refresh_page"));

    guisupport::DoubleClick(h, POINT{300, 20});
    ASSERT_TRUE(guisupport::ProcessMessagesUntil([&] { return !maximised(); }));
    EXPECT_EQ(root->GetBorderColor(), frame);
    wnd.GetPaintManager().UpdateLayout();
    guisupport::Click(h, wnd.Center("btn_refresh_page"));
    EXPECT_EQ(wnd.recorder.OfType("click").size(), 2u);

    // The buttons lead to the same states.
    guisupport::Click(h, wnd.Center("maxbtn"));
    ASSERT_TRUE(guisupport::ProcessMessagesUntil(maximised));
    wnd.GetPaintManager().UpdateLayout();
    guisupport::Click(h, wnd.Center("restorebtn"));
    EXPECT_TRUE(guisupport::ProcessMessagesUntil([&] { return !maximised(); }));
}

TEST_F(SampleWindowsTest, SizeBoxResizesTheWindowDownToItsMinimum) {
    uitest::TestDialog wnd;
    ASSERT_TRUE(wnd.Open("sample_main.xml", UI_WNDSTYLE_FRAME));
    HWND h = wnd.GetHWND();
    POINT corner{898, 558};
    guisupport::MouseDown(h, corner);
    guisupport::MoveMouse(h, POINT{corner.x + 40, corner.y + 30});
    guisupport::MouseUp(h, POINT{corner.x + 40, corner.y + 30});
    EXPECT_EQ(wnd.GetWindowRect().GetWidth(), 940);
    EXPECT_EQ(wnd.GetWindowRect().GetHeight(), 590);
    guisupport::MouseDown(h, POINT{938, 300});
    guisupport::MoveMouse(h, POINT{100, 300});
    guisupport::MouseUp(h, POINT{100, 300});
    EXPECT_EQ(wnd.GetWindowRect().GetWidth(), 800);
    // The layout follows the new size.
    wnd.GetPaintManager().UpdateLayout();
    EXPECT_EQ(wnd.GetPaintManager().GetRoot()->GetPos().right, 800);
}

TEST_F(SampleWindowsTest, FormDialogWhileTyping) {
    uitest::TestDialog wnd;
    ASSERT_TRUE(wnd.Open("sample_form.xml"));
    guisupport::Click(wnd.GetHWND(), wnd.Center("name"));
    ASSERT_TRUE(guisupport::TypeText(wnd.GetHWND(), "先生"));
    wnd.Find<CComboUI>("kind")->SelectItem(0);
    uitest::Screenshot(wnd.GetHWND(), "sample_form");
}

}  // namespace

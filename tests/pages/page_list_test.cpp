// The customer list page against a real service: paging, search, sort, cells, commands.
#include <algorithm>

#include "app/dlg_reconnect.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/combo_ui.h"
#include "uilib/list_ui.h"
#include "uilib/menu_ui.h"

namespace pagetest {
namespace {

using apptest::ClickControl;
using apptest::SetControlText;

const char* const kAllRows =
    "SELECT c.CustomerID FROM tabcustomerinfo c LEFT JOIN tabvehicleinfo v ON v.CustomerID = "
    "c.CustomerID";

TEST_F(PageListTest, ShowsTheDemoWhitelistAfterTheLogIn) {
    const int total = CountRows(kAllRows);
    ASSERT_GT(total, 20);
    EXPECT_EQ(Text("pl_record_count"), "共" + std::to_string(total) + "条记录");
    EXPECT_EQ(Text("cur_page"), "第1/" + std::to_string((total + 19) / 20) + "页");
    EXPECT_EQ(ItemCount(), 20);
    EXPECT_FALSE(Enabled("btn_page_pre"));
    EXPECT_TRUE(Enabled("btn_page_next"));
    // Default order: by CustomerID; the first demo customer and its first plate.
    EXPECT_EQ(Cell(0, ColumnOf("Code")), "C0001");
    EXPECT_EQ(Cell(0, ColumnOf("Name")), "张伟");
    EXPECT_EQ(List().GetItemAt(0)->GetTag(), 1u);
    EXPECT_EQ(Cell(0, 0), "") << "column 0 carries no text";
    CListHeaderUI* header = List().GetHeader();
    ASSERT_GE(header->GetCount(), 3);
    EXPECT_EQ(header->GetItemAt(0)->GetFixedWidth(), 40);
    EXPECT_EQ(header->GetItemAt(0)->GetToolTip(), "恢复默认排序");
    EXPECT_EQ(header->GetItemAt(ColumnOf("ValidUntil"))->GetFixedWidth(), 150);
    EXPECT_EQ(header->GetItemAt(ColumnOf("Name"))->GetFixedWidth(), 100);
    EXPECT_EQ(header->GetItemAt(header->GetCount() - 1)->GetText(), "");
    EXPECT_EQ(ColumnOf("ParkingSpaces"), -1) << "a column with ShowList 0 is not shown";
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_list");
}

TEST_F(PageListTest, CellsFollowTheTypeOfTheirColumn) {
    // A colour whose ValueID has no lookup value, and one vehicle not allowed.
    const std::string plate = Column("SELECT PlateID AS v FROM tabvehicleinfo WHERE CustomerID = 1")[0];
    Exec("UPDATE tabvehicleinfo SET Color = '99', Allowed = 0 WHERE PlateID = '" + plate + "'");
    Exec("UPDATE tabvehicleinfo SET Color = '2', Allowed = 1 WHERE CustomerID = 2");
    ASSERT_TRUE(Refresh());
    const int color = ColumnOf("Color"), allowed = ColumnOf("Allowed"), plateColumn = ColumnOf("PlateID");
    int checked = 0;
    for (int item = 0; item < ItemCount(); ++item) {
        const unsigned customer = List().GetItemAt(item)->GetTag();
        if (Cell(item, plateColumn) == plate) {
            EXPECT_EQ(Cell(item, color), "");
            EXPECT_EQ(Cell(item, allowed), "否");
            ++checked;
        } else if (customer == 2) {
            EXPECT_EQ(Cell(item, color), "黑色");
            EXPECT_EQ(Cell(item, allowed), "是");
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2);
}

TEST_F(PageListTest, NoRowsDisablesPagingAndLoadsNoPage) {
    const std::string pageLabel = Text("cur_page");
    Exec("DELETE FROM tabvehicleinfo");
    Exec("DELETE FROM tabcustomerinfo");
    const int loads = m_loads;
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(Text("pl_record_count"), "共0条记录");
    EXPECT_EQ(Text("cur_page"), pageLabel) << "the page label keeps its text";
    EXPECT_FALSE(Enabled("btn_page_pre"));
    EXPECT_FALSE(Enabled("btn_page_next"));
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_EQ(m_page->GetPageCount(), 0);
    guisupport::ProcessMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(m_loads, loads) << "no page request";

    // Page 1 of nothing is still a page to go to.
    SetControlText(*m_main, "pl_edit_goto_page", "1");
    ClickControl(*m_main, "pl_btn_goto_page");
    EXPECT_TRUE(WaitForLoads());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(m_page->GetPageIndex(), 0);
}

struct PagingCase {
    int rows;
    int pages;
    bool nextEnabled;
};

void PrintTo(const PagingCase& c, std::ostream* os) {
    *os << c.rows << " rows";
}

class Paging : public PageListTest, public ::testing::WithParamInterface<PagingCase> {};

TEST_P(Paging, PagesOfTwentyRows) {
    ReplaceRows(GetParam().rows);
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(m_page->GetPageCount(), GetParam().pages);
    EXPECT_EQ(Text("cur_page"), "第1/" + std::to_string(GetParam().pages) + "页");
    EXPECT_FALSE(Enabled("btn_page_pre"));
    EXPECT_EQ(Enabled("btn_page_next"), GetParam().nextEnabled);
    if (!GetParam().nextEnabled) return;
    ClickControl(*m_main, "btn_page_next");
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(ItemCount(), GetParam().rows - 20);
    EXPECT_EQ(Text("cur_page"), "第2/2页");
    EXPECT_TRUE(Enabled("btn_page_pre"));
    EXPECT_FALSE(Enabled("btn_page_next"));
    ClickControl(*m_main, "btn_page_pre");
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(ItemCount(), 20);
    EXPECT_EQ(Cell(0, ColumnOf("Code")), "T0001");
}

INSTANTIATE_TEST_SUITE_P(PageList, Paging,
                         ::testing::Values(PagingCase{20, 1, false}, PagingCase{21, 2, true}));

TEST_F(PageListTest, ALargerPageSizeClampsThePageIndex) {
    ReplaceRows(200);
    ASSERT_TRUE(Refresh());
    ASSERT_TRUE(m_page->GotoPage(2));
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(Text("cur_page"), "第3/10页");
    EXPECT_EQ(Cell(0, ColumnOf("Code")), "T0041");

    auto* combo = static_cast<CComboUI*>(m_main->FindControl("pl_combo_page_size")->GetInterface("Combo"));
    ASSERT_EQ(combo->GetCount(), 7);
    EXPECT_EQ(combo->GetItemAt(6)->GetText(), "500");
    combo->SelectItem(6);
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetPageSize(), 500);
    EXPECT_EQ(m_page->GetPageIndex(), 0);
    EXPECT_EQ(Text("cur_page"), "第1/1页");
    EXPECT_EQ(ItemCount(), 200);
    EXPECT_FALSE(Enabled("btn_page_next"));
}

class GotoRefused : public PageListTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(GotoRefused, SaysSoAndChangesNothing) {
    const int loads = m_loads;
    const std::string pageLabel = Text("cur_page");
    SetControlText(*m_main, "pl_edit_goto_page", GetParam());
    ClickControl(*m_main, "pl_btn_goto_page");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请输入正确的页码！"});
    EXPECT_EQ(Text("cur_page"), pageLabel);
    EXPECT_EQ(m_loads, loads);
}

INSTANTIATE_TEST_SUITE_P(PageList, GotoRefused,
                         ::testing::Values("0", "abc", "4", "-1", "99999999999999999999"));

TEST_F(PageListTest, GotoAcceptsAPageAndEnterJumpsToo) {
    SetControlText(*m_main, "pl_edit_goto_page", "2");
    ClickControl(*m_main, "pl_btn_goto_page");
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetPageIndex(), 1);

    SetControlText(*m_main, "pl_edit_goto_page", "1");
    ClickControl(*m_main, "pl_edit_goto_page");
    guisupport::TypeKey(VK_RETURN);
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetPageIndex(), 0);
    EXPECT_TRUE(m_boxes.empty());
}

}  // namespace
}  // namespace pagetest

// The customer list page against a real service: paging, search, sort, cells, commands.
#include <algorithm>

#include "app/dlg_reconnect.h"
#include "controls/data_list_text_element_ui.h"
#include "pages/dlg_delete_all.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/list_ui.h"
#include "uilib/menu_ui.h"
#include "uilib/render_engine.h"

namespace pagetest {
namespace {

using apptest::ClickControl;
using apptest::SetControlText;

std::string PlateOf(const row_info_t& row) {
    const auto plate = row.vehicle.values.find("PlateID");
    return plate == row.vehicle.values.end() ? "" : plate->second;
}

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
    auto* row = static_cast<CDataListTextElementUI*>(
        List().GetItemAt(1)->GetInterface("DataListTextElement"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->GetExtraText(), Cell(1, ColumnOf("PlateID")).c_str()) << "the row's plate";
    CListHeaderUI* header = List().GetHeader();
    ASSERT_GE(header->GetCount(), 3);
    EXPECT_EQ(header->GetItemAt(0)->GetFixedWidth(), 40);
    EXPECT_EQ(header->GetItemAt(0)->GetToolTip(), "恢复默认排序");
    EXPECT_GE(header->GetItemAt(ColumnOf("ValidUntil"))->GetWidth(), 150);
    EXPECT_GE(header->GetItemAt(ColumnOf("Name"))->GetWidth(), 100);
    EXPECT_EQ(header->GetItemAt(header->GetCount() - 1)->GetText(), "");
    EXPECT_EQ(ColumnOf("ParkingSpaces"), -1) << "a column with ShowList 0 is not shown";
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_list");

    // The first and last pages are one click away.
    const std::string pages = std::to_string((total + 19) / 20);
    EXPECT_FALSE(Enabled("btn_page_first"));
    ClickControl(*m_main, "btn_page_last");
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(Text("cur_page"), "第" + pages + "/" + pages + "页");
    EXPECT_FALSE(Enabled("btn_page_last"));
    ClickControl(*m_main, "btn_page_first");
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(Text("cur_page"), "第1/" + pages + "页");
    EXPECT_TRUE(Enabled("btn_page_last"));
}

class WithTimePeriods : public PageListTest {
protected:
    void BeforeLogIn() override {
        Exec("UPDATE tabdatatypeinfo SET ShowList = 1 WHERE DataType = 'AccessPeriod'");
    }
};

// On a wide window the columns fill the list, and each is as wide as its longest text.
TEST_F(WithTimePeriods, ColumnsFillTheListAndFitTheirTexts) {
    m_main->ResizeClient(1900, 900);
    m_main->GetPaintManager().UpdateLayout();
    CListHeaderUI* header = List().GetHeader();
    const int lastColumn = header->GetCount() - 2;
    ASSERT_EQ(lastColumn, ColumnOf("AccessPeriod"));
    const int scrollBar = 20;
    EXPECT_GE(header->GetItemAt(lastColumn)->GetPos().right, List().GetPos().right - scrollBar);
    const TListInfoUI* info = List().GetListInfo();
    const int padding = info->rcTextPadding.left + info->rcTextPadding.right;
    for (int row = 0; row < ItemCount(); ++row) {
        for (int column = 1; column <= lastColumn; ++column) {
            const std::string text = Cell(row, column);
            const int needed = CRenderEngine::GetTextSize(&m_main->GetPaintManager(), text.c_str(),
                                                          info->nFont, info->uTextStyle)
                                   .cx;
            EXPECT_LE(needed + padding, header->GetItemAt(column)->GetWidth()) << text;
        }
    }
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_list_wide");
}

// Every demo lookup value is a Color; with none left the list still loads (the fixture waits
// for the rows) and the lookup column shows no text.
class NoLookupValues : public PageListTest {
protected:
    void BeforeLogIn() override { Exec("DELETE FROM tabcommondatainfo"); }
};

TEST_F(NoLookupValues, TheListStillLoadsAfterTheLogIn) {
    ASSERT_GE(ColumnOf("Color"), 0);
    EXPECT_EQ(Cell(0, ColumnOf("Color")), "");
    EXPECT_EQ(Caller().GetDictionary().data_map().count("Color"), 0u);
}

// The data types cannot be read at the log-in: the list stays empty, but refresh reads them
// again once they can be, and the list comes.
class NoDataTypesAtLogIn : public PageListTest {
protected:
    void BeforeLogIn() override { Exec("ALTER TABLE tabdatatypeinfo RENAME TO types_away"); }
    bool ListLoadsAtLogIn() const override { return false; }
};

TEST_F(NoDataTypesAtLogIn, RefreshReadsThemAgain) {
    ASSERT_TRUE(WaitFor([&] { return Enabled("btn_refresh_page"); }));
    EXPECT_EQ(ItemCount(), 0);
    Exec("ALTER TABLE types_away RENAME TO tabdatatypeinfo");
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(ItemCount(), 20);
    EXPECT_EQ(Cell(0, ColumnOf("Name")), "张伟");
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
        } else if (customer == 10) {
            EXPECT_EQ(Cell(item, allowed), "") << "a customer without vehicles";
            ++checked;
        }
    }
    EXPECT_EQ(checked, 3);
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

// A button that turns itself off leaves the keyboard on the page: with the other paging
// button while it works, else in the grid.
TEST_F(PageListTest, TheKeyboardStaysWhenItsButtonTurnsOff) {
    ReplaceRows(21);
    ASSERT_TRUE(Refresh());
    CPaintManagerUI& manager = m_main->GetPaintManager();
    const HWND main = m_main->GetHWND();
    m_main->FindControl("btn_page_next")->SetFocus();
    guisupport::PressKey(main, VK_SPACE);
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetPageIndex(), 1);
    EXPECT_EQ(manager.GetFocus(), m_main->FindControl("btn_page_pre"));
    guisupport::PressKey(main, VK_SPACE);
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetPageIndex(), 0);
    EXPECT_EQ(manager.GetFocus(), m_main->FindControl("btn_page_next"));

    m_main->FindControl("btn_refresh_page")->SetFocus();
    guisupport::PressKey(main, VK_SPACE);
    EXPECT_EQ(manager.GetFocus(), &List());
    ASSERT_TRUE(WaitFor([&] { return Enabled("btn_refresh_page"); }));
}

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


TEST_F(PageListTest, SearchMatchesEveryShownColumnAndTheLastTextWins) {
    const int plates = CountRows("SELECT PlateID FROM tabvehicleinfo WHERE PlateID LIKE '%京A1%'");
    ASSERT_GT(plates, 0);
    ClickControl(*m_main, "pl_edit_search");
    const int counts = m_counts;
    // Typed one character after the other before any answer: the first text is counted, the
    // second is replaced by the third, whose count follows the first.
    ASSERT_TRUE(guisupport::TypeText(m_main->GetHWND(), "京A1"));
    const std::string expected = "共" + std::to_string(plates) + "条记录";
    ASSERT_TRUE(WaitFor([&] { return Text("pl_record_count") == expected && ItemCount() == plates; }))
        << Text("pl_record_count");
    guisupport::ProcessMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(m_counts - counts, 2);
    EXPECT_EQ(Text("pl_record_count"), expected) << "no older search overwrote the newer one";
    for (int item = 0; item < ItemCount(); ++item)
        EXPECT_NE(Cell(item, ColumnOf("PlateID")).find("京A1"), std::string::npos);

    // A name matches through its own column.
    SetControlText(*m_main, "pl_edit_search", "");
    ClickControl(*m_main, "pl_edit_search");
    ASSERT_TRUE(guisupport::TypeText(m_main->GetHWND(), "张伟"));
    const int named = CountRows(std::string(kAllRows) + " WHERE c.Name = '张伟'");
    ASSERT_TRUE(WaitFor([&] { return m_page->GetTotal() == named && ItemCount() == named; }));
    EXPECT_EQ(Cell(0, ColumnOf("Name")), "张伟");
}

TEST_F(PageListTest, SearchWithoutShownColumnsIsUnfiltered) {
    const int total = m_page->GetTotal();
    Exec("UPDATE tabdatatypeinfo SET ShowList = 0");
    Caller().RequestGetDataTypeInfo();
    // The new lookup values rebuild the header and reload the list.
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(List().GetHeader()->GetCount(), 2);
    ClickControl(*m_main, "pl_edit_search");
    // One character: one count, then one page.
    ASSERT_TRUE(guisupport::TypeText(m_main->GetHWND(), "z"));
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(m_page->GetTotal(), total);
    EXPECT_EQ(ItemCount(), 20);
}

TEST_F(PageListTest, HeaderClicksSortAndTheFirstItemRestoresTheDefaultOrder) {
    CListHeaderUI* header = List().GetHeader();
    const int phone = ColumnOf("Phone");
    auto clickHeader = [&](int item) {
        m_main->GetPaintManager().UpdateLayout();
        guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(header->GetItemAt(item)->GetPos()));
        return WaitForLoads();
    };
    auto shownPhones = [&] {
        std::vector<std::string> phones;
        for (int item = 0; item < ItemCount(); ++item) phones.push_back(Cell(item, phone));
        return phones;
    };
    const std::string byPhone = std::string("SELECT c.Phone AS v FROM tabcustomerinfo c LEFT JOIN "
                                            "tabvehicleinfo v ON v.CustomerID = c.CustomerID ORDER BY c.Phone");
    ASSERT_TRUE(clickHeader(phone));
    EXPECT_EQ(shownPhones(), Column(byPhone + " LIMIT 20"));
    ASSERT_TRUE(clickHeader(phone));
    EXPECT_EQ(shownPhones(), Column(byPhone + " DESC LIMIT 20"));
    EXPECT_EQ(List().GetItemAt(0)->GetTag(), 40u);

    ASSERT_TRUE(clickHeader(0));
    std::vector<unsigned> customers;
    for (int item = 0; item < ItemCount(); ++item) customers.push_back(List().GetItemAt(item)->GetTag());
    EXPECT_TRUE(std::is_sorted(customers.begin(), customers.end()));
    EXPECT_EQ(customers.front(), 1u);
}

TEST_F(PageListTest, TheHeaderShowsTheOrderInForce) {
    auto headerItem = [&](const char* dataType) {
        return static_cast<CListHeaderItemUI*>(
            List().GetHeader()->GetItemAt(ColumnOf(dataType))->GetInterface("ListHeaderItem"));
    };
    auto clickHeader = [&](const char* dataType) {
        m_main->GetPaintManager().UpdateLayout();
        guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(headerItem(dataType)->GetPos()));
    };
    auto hide = [&](const char* dataType) {
        data_type_info_t type = *Caller().GetDictionary().find(dataType);
        type.ShowList = 0;
        Caller().RequestUpdateDataTypeInfo(type);
        return WaitForLoads();
    };
    clickHeader("Phone");
    ASSERT_TRUE(WaitForLoads());
    clickHeader("Phone");
    ASSERT_TRUE(WaitForLoads());
    ASSERT_EQ(List().GetItemAt(0)->GetTag(), 40u) << "highest phone first";

    // Ignored while the export walks the list: the arrows stay with the order.
    m_page->SetBusy(true);
    clickHeader("Name");
    EXPECT_EQ(headerItem("Name")->GetSortOrder(), 0);
    EXPECT_EQ(headerItem("Phone")->GetSortOrder(), 2);
    m_page->SetBusy(false);

    // A rebuilt header keeps the arrow; without the sorted column the default order returns.
    ASSERT_TRUE(hide("Code"));
    EXPECT_EQ(headerItem("Phone")->GetSortOrder(), 2);
    EXPECT_EQ(List().GetItemAt(0)->GetTag(), 40u);
    ASSERT_TRUE(hide("Phone"));
    EXPECT_EQ(List().GetItemAt(0)->GetTag(), 1u);
}

// The first demo row is a vehicle of 张伟, who owns two.
constexpr const char* kDeleteFirstRow =
    "确定要删除这行吗？\n若这是客户“张伟（C0001）”的最后一辆车，该客户也将一并删除。";
constexpr const char* kDeleteRows =
    "确定要删除这些行吗？\n删除客户的最后一辆车时，该客户也将一并删除。";

struct DeleteCase {
    int rows;
    int answer;
    std::vector<std::string> boxes;
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << c.rows << " rows, answer " << c.answer;
}

class DeleteRows : public PageListTest, public ::testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteRows, AsksThenDeletesTheSelectedRows) {
    std::string plates;
    for (int item = 0; item < GetParam().rows; ++item) {
        ClickRow(item, item == 0 ? 0u : UINT{MK_CONTROL});
        plates += (item ? ", '" : "'") + Cell(item, ColumnOf("PlateID")) + "'";
    }
    const std::string selected = "SELECT PlateID FROM tabvehicleinfo WHERE PlateID IN (" + plates + ")";
    ASSERT_EQ(CountRows(selected), GetParam().rows);
    m_nextAnswer = GetParam().answer;
    ChooseFromMenu("menu_delete_customer");
    if (GetParam().answer == 0) {
        ASSERT_TRUE(WaitForLoads());
    }
    EXPECT_EQ(m_boxes, GetParam().boxes);
    EXPECT_EQ(CountRows(selected), GetParam().answer == 0 ? 0 : GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(PageList, DeleteRows,
                         ::testing::Values(DeleteCase{1, 0, {kDeleteFirstRow, "删除成功！"}},
                                           DeleteCase{2, 0, {kDeleteRows, "删除成功！"}},
                                           DeleteCase{3, 1, {kDeleteRows}}));

// One Enter must not empty the whitelist: the keyboard starts on "cancel", and "ok" works only
// once the record count (or "删除") is typed.
TEST_F(PageListTest, DeleteAllWantsTheRecordCountTyped) {
    const int total = CountRows(kAllRows);
    const int counts = m_counts;
    ClickRow(3);
    apptest::UiDriver driver;
    driver.Then([] { return true; }, [&] { ChooseFromMenu("menu_delete_all"); })
        .Then([&] { return m_page->GetDeleteAllDialog() != nullptr; },
              [&] {
                  CDlgDeleteAll& dialog = *m_page->GetDeleteAllDialog();
                  EXPECT_EQ(dialog.GetPaintManager().GetFocus(), dialog.FindControl("cancel"));
                  EXPECT_FALSE(apptest::IsControlEnabled(dialog, "ok"));
                  CControlUI* edit = dialog.FindControl("edit_confirm");
                  edit->SetText(std::to_string(total - 1).c_str());
                  dialog.GetPaintManager().SendNotify(edit, "textchanged");
                  EXPECT_FALSE(apptest::IsControlEnabled(dialog, "ok"));
                  edit->SetText(std::to_string(total).c_str());
                  dialog.GetPaintManager().SendNotify(edit, "textchanged");
                  guisupport::SaveScreenshot(dialog.GetHWND(), "page_list_delete_all");
                  apptest::ClickControl(dialog, "ok");
              })
        .Then([&] { return m_boxes.size() == 1; });
    ASSERT_EQ(driver.Run(), apptest::UiDriver::kFinished);
    ASSERT_TRUE(WaitFor([&] { return m_counts > counts; }));
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"删除成功！"}));
    EXPECT_EQ(Text("pl_record_count"), "共0条记录");
    EXPECT_EQ(CountRows(kAllRows), 0);
}

TEST_F(PageListTest, TheMenuOffersMergingOnlyForSeveralRows) {
    ClickRow(2);
    RightClickRow(2);
    CMenuWnd* menu = m_page->GetContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->IsVisible());
    ASSERT_EQ(menu->GetMenu()->GetCount(), 4);
    const char* const names[] = {"menu_edit_customer", "menu_delete_customer", "menu_merge_customer",
                                 "menu_delete_all"};
    const char* const texts[] = {"<x 25>编辑", "<x 25>删除", "<x 25>更改车辆所属客户",
                                 "<x 25>删除所有数据（不可恢复）"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(menu->GetMenu()->GetItemAt(i)->GetName(), names[i]);
        EXPECT_EQ(menu->GetMenu()->GetItemAt(i)->GetText(), texts[i]);
    }
    EXPECT_FALSE(menu->FindItem("menu_merge_customer")->IsEnabled());
    // Deleting everything stands apart, below a gap, and still whole inside the menu.
    menu->GetPaintManager().UpdateLayout();
    const RECT last = menu->FindItem("menu_delete_all")->GetPos();
    EXPECT_GE(last.top - menu->FindItem("menu_merge_customer")->GetPos().bottom, 8);
    EXPECT_LE(last.bottom, menu->GetPaintManager().GetClientSize().cy);
    menu->Hide();

    ClickRow(4, MK_SHIFT);
    RightClickRow(3);
    EXPECT_EQ(m_page->GetContextMenu(), menu) << "built once";
    EXPECT_TRUE(menu->FindItem("menu_merge_customer")->IsEnabled());
    EXPECT_EQ(List().GetSelectedItems(), (std::vector<int>{2, 3, 4}));
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_list_menu", {menu->GetHWND()});
    menu->Hide();
}

// Hears the "edit_customer" the page sends to the edit page.
class EditRequests : public INotifyUI {
public:
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == "edit_customer") customers.push_back(static_cast<int>(msg.wParam));
    }
    std::vector<int> customers;
};

TEST_F(PageListTest, EditingARowByMenuOrDoubleClickAndTheKeys) {
    EditRequests requests;
    m_main->GetPaintManager().AddNotifier(&requests);
    ClickRow(2);
    ChooseFromMenu("menu_edit_customer");
    m_main->GetPaintManager().UpdateLayout();
    guisupport::DoubleClick(m_main->GetHWND(), guisupport::CenterOf(List().GetItemAt(5)->GetPos()));
    guisupport::PressKey(m_main->GetHWND(), VK_DOWN);
    guisupport::PressKey(m_main->GetHWND(), VK_RETURN);
    m_main->GetPaintManager().RemoveNotifier(&requests);
    EXPECT_EQ(requests.customers,
              (std::vector<int>{static_cast<int>(List().GetItemAt(2)->GetTag()),
                                static_cast<int>(List().GetItemAt(5)->GetTag()),
                                static_cast<int>(List().GetItemAt(6)->GetTag())}));

    // Delete on the grid asks about the selected rows; Ctrl+F goes to the search box.
    m_nextAnswer = 1;
    guisupport::PressKey(m_main->GetHWND(), VK_DELETE);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].rfind("确定要删除这行吗？", 0), 0u);
    guisupport::PressKey(m_main->GetHWND(), 'F', MK_CONTROL);
    EXPECT_EQ(m_main->GetPaintManager().GetFocus(), m_main->FindControl("pl_edit_search"));
    guisupport::PressKey(m_main->GetHWND(), VK_DELETE);
    EXPECT_EQ(m_boxes.size(), 1u) << "Delete in the search box is the edit's";
}

TEST_F(PageListTest, ALostConnectionDuringAPageLoadOpensOneReconnectDialog) {
    CDlgReconnect::SetRetryInterval(100);
    ExpectLostConnectionsSoon();
    m_service.pause();
    int mostDialogs = 0;
    apptest::UiDriver driver;
    driver.Watch([&] { mostDialogs = std::max(mostDialogs, CDlgReconnect::GetInstanceCount()); })
        .Then([] { return true; }, [&] { ClickControl(*m_main, "btn_page_next"); })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; },
              [&] {
                  EXPECT_EQ(ItemCount(), 0) << "a failed page load empties the grid";
                  m_service.resume();
              })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(driver.Run(), apptest::UiDriver::kFinished);
    CDlgReconnect::SetRetryInterval(0);
    EXPECT_EQ(mostDialogs, 1);
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(ItemCount(), 20);
}


TEST_F(PageListTest, AFailedDeleteSaysSoAndKeepsTheList) {
    CDlgReconnect::SetRetryInterval(100);
    ExpectLostConnectionsSoon();
    ClickRow(0);
    const int counts = m_counts;
    m_service.pause();
    apptest::UiDriver driver;
    driver.Then([] { return true; }, [&] { ChooseFromMenu("menu_delete_customer"); })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; }, [&] { m_service.resume(); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(driver.Run(), apptest::UiDriver::kFinished);
    CDlgReconnect::SetRetryInterval(0);
    EXPECT_EQ(m_boxes, (std::vector<std::string>{
                           kDeleteFirstRow, "删除失败！",
                           "连接中断时的操作可能已经完成，也可能没有：请刷新后核对，确实没有完成再重做。"}));
    EXPECT_EQ(m_counts, counts + 1) << "the reconnect's reload alone, none for the failure";
    EXPECT_EQ(ItemCount(), 20);
}

TEST_F(PageListTest, TheExportPageWalksThePagesWhileBusy) {
    ClickRow(1);
    ClickRow(3, MK_CONTROL);
    std::vector<row_info_t> selected;
    m_page->CollectSelectedRows(selected);
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(PlateOf(selected[1]), Cell(3, ColumnOf("PlateID")));

    int hooks = 0;
    m_page->SetPageLoadedHook([&] { ++hooks; });
    m_page->SetBusy(true);
    for (const char* control : {"btn_refresh_page", "pl_btn_goto_page", "pl_combo_page_size",
                                "btn_page_pre", "btn_page_next", "pl_edit_search"})
        EXPECT_FALSE(Enabled(control)) << control;
    EXPECT_FALSE(m_page->GotoPage(m_page->GetPageCount()));
    for (int page = 1; page < m_page->GetPageCount(); ++page) {
        ASSERT_TRUE(m_page->GotoPage(page));
        ASSERT_TRUE(WaitForLoads());
        EXPECT_EQ(hooks, page);
        EXPECT_EQ(static_cast<int>(m_page->GetRows().size()), ItemCount());
    }
    EXPECT_FALSE(Enabled("btn_refresh_page")) << "a page load while busy leaves refresh off";

    m_page->SetBusy(false);
    EXPECT_TRUE(Enabled("pl_edit_search"));
    EXPECT_TRUE(Enabled("pl_btn_goto_page"));
    EXPECT_TRUE(Enabled("pl_combo_page_size"));
    EXPECT_TRUE(Enabled("btn_page_pre"));
    m_page->SetPageLoadedHook({});
    ASSERT_TRUE(m_page->GotoPage(0));
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(hooks, m_page->GetPageCount() - 1);
    EXPECT_TRUE(Enabled("btn_refresh_page"));
}

TEST_F(PageListTest, OtherPagesAskForAFullReload) {
    Exec("DELETE FROM tabvehicleinfo WHERE CustomerID > 20");
    Exec("DELETE FROM tabcustomerinfo WHERE CustomerID > 20");
    m_main->GetPaintManager().SendNotify(m_main->FindControl("pagelist"), "need_refresh_list");
    EXPECT_FALSE(Enabled("btn_refresh_page"));
    ASSERT_TRUE(WaitFor([&] { return Enabled("btn_refresh_page"); }));
    EXPECT_EQ(m_page->GetTotal(), CountRows(kAllRows));
}

TEST_F(PageListTest, ALookupValueChangedElsewhereShowsAtOnce) {
    Exec("UPDATE tabvehicleinfo SET Color = '2' WHERE CustomerID = 1");
    ASSERT_TRUE(Refresh());
    ASSERT_EQ(Cell(0, ColumnOf("Color")), "黑色");
    const int loads = m_loads;
    Caller().RequestUpdateCommonData("Color", "墨黑", 2);
    EXPECT_TRUE(WaitFor([&] { return Cell(0, ColumnOf("Color")) == "墨黑"; }));
    Caller().RequestDeleteCommonData("Color", "墨黑", 2);
    EXPECT_TRUE(WaitFor([&] { return Cell(0, ColumnOf("Color")).empty(); }));
    EXPECT_EQ(m_loads, loads) << "the cells change without reading the rows again";
}

TEST_F(PageListTest, ASearchFollowsTheShownColumns) {
    // The phone of the first customer is found only in the phone column.
    const std::string phone = Cell(0, ColumnOf("Phone"));
    SetControlText(*m_main, "pl_edit_search", phone.c_str());
    m_main->GetPaintManager().SendNotify(m_main->FindControl("pl_edit_search"), "textchanged");
    ASSERT_TRUE(WaitForLoads());
    ASSERT_EQ(m_page->GetTotal(), 2);
    auto* search =
        static_cast<CEditUI*>(m_main->FindControl("pl_edit_search")->GetInterface("Edit"));
    EXPECT_NE(search->GetTipValue().Find("联系电话"), -1);
    data_type_info_t hidden = *Caller().GetDictionary().find("Phone");
    hidden.ShowList = 0;
    Caller().RequestUpdateDataTypeInfo(hidden);
    EXPECT_TRUE(WaitFor([&] { return m_page->GetTotal() == 0 && ItemCount() == 0; }))
        << "a hidden column is no longer searched";
    EXPECT_EQ(Text("pl_record_count"), "没有找到匹配的记录");
    EXPECT_EQ(search->GetTipValue().Find("联系电话"), -1) << "the box names what it searches";
    m_main->GetPaintManager().UpdateLayout();
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_list_nothing_found");
}

TEST_F(PageListTest, AChangedDataTypeRebuildsTheHeader) {
    data_type_info_t phone = *Caller().GetDictionary().find("Phone");
    phone.ShowList = 0;
    Caller().RequestUpdateDataTypeInfo(phone);
    ASSERT_TRUE(WaitForLoads());
    EXPECT_EQ(ColumnOf("Phone"), -1);
    EXPECT_EQ(Cell(0, ColumnOf("Name")), "张伟");
    EXPECT_EQ(Cell(0, ColumnOf("Name") + 1), Cell(0, ColumnOf("PlateID")));
}

}  // namespace
}  // namespace pagetest

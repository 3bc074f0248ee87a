// Giving the vehicles of several customers to one of them, from the list's context menu.
#include "pages/dlg_merge_customer.h"

#include <algorithm>

#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/combo_ui.h"
#include "uilib/list_ui.h"
#include "uilib/menu_ui.h"

namespace pagetest {
namespace {

using apptest::UiDriver;

class MergeCustomers : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        // All 52 demo rows on one page.
        auto* combo = static_cast<CComboUI*>(
            m_main->FindControl("pl_combo_page_size")->GetInterface("Combo"));
        combo->SelectItem(3);
        ASSERT_TRUE(WaitForLoads());
    }

    // Selects every row of each customer, the customers in this order.
    void SelectCustomers(const std::vector<unsigned>& customers) {
        bool first = true;
        for (unsigned customer : customers) {
            for (int item = 0; item < ItemCount(); ++item) {
                if (List().GetItemAt(item)->GetTag() != customer) continue;
                ClickRow(item, first ? 0u : UINT{MK_CONTROL});
                first = false;
            }
        }
    }

    // Sorted here: the service sorts by UTF-8, the program's text is GBK.
    std::vector<std::string> PlatesOf(int customer) {
        std::vector<std::string> plates = Column(
            "SELECT PlateID AS v FROM tabvehicleinfo WHERE CustomerID = " + std::to_string(customer));
        std::sort(plates.begin(), plates.end());
        return plates;
    }
};

TEST_F(MergeCustomers, TwoRowsOfOneCustomerAreRefused) {
    ClickRow(0);
    ClickRow(1, MK_CONTROL);
    ASSERT_EQ(List().GetItemAt(1)->GetTag(), 1u);
    ChooseFromMenu("menu_merge_customer");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"所选行只有一个客户！"});
}

TEST_F(MergeCustomers, RowsWithoutVehiclesAreRefused) {
    // Customers 10 and 20 of the demo have no vehicle.
    SelectCustomers({10, 20});
    ChooseFromMenu("menu_merge_customer");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"所选行没有车辆信息！"});
}

TEST_F(MergeCustomers, ChoosingTheOnlyOwnerOfVehiclesChangesNothing) {
    SelectCustomers({10, 9});
    UiDriver driver;
    driver.Then([] { return true; }, [&] { ChooseFromMenu("menu_merge_customer"); })
        .Then([&] { return m_page->GetMergeDialog() != nullptr; },
              [&] {
                  EXPECT_EQ(m_page->GetMergeDialog()->GetChosenCustomer(), 9);
                  apptest::ClickControl(*m_page->GetMergeDialog(), "ok");
              })
        .Then([&] { return m_page->GetMergeDialog() == nullptr; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"没有操作需要执行！"});
}

TEST_F(MergeCustomers, CancellingChangesNothing) {
    SelectCustomers({4, 2});
    UiDriver driver;
    driver.Then([] { return true; }, [&] { ChooseFromMenu("menu_merge_customer"); })
        .Then([&] { return m_page->GetMergeDialog() != nullptr; },
              [&] { apptest::ClickControl(*m_page->GetMergeDialog(), "cancel"); })
        .Then([&] { return m_page->GetMergeDialog() == nullptr; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(PlatesOf(2).size(), 1u);
}

TEST_F(MergeCustomers, TheChosenCustomerGetsEveryVehicle) {
    const std::vector<std::string> plates2 = PlatesOf(2), plates4 = PlatesOf(4);
    ASSERT_EQ(plates4.size(), 2u);
    // In list order 4 comes after 2; selected here the other way round.
    SelectCustomers({4, 2});
    std::vector<std::string> names;
    std::vector<unsigned> ids;
    UiDriver driver;
    driver.Then([] { return true; }, [&] { ChooseFromMenu("menu_merge_customer"); })
        .Then([&] { return m_page->GetMergeDialog() != nullptr; },
              [&] {
                  CDlgMergeCustomer* dialog = m_page->GetMergeDialog();
                  auto* combo = static_cast<CComboUI*>(
                      dialog->FindControl("cmb_select_customer")->GetInterface("Combo"));
                  for (int i = 0; i < combo->GetCount(); ++i) {
                      names.push_back(combo->GetItemAt(i)->GetText().str());
                      ids.push_back(combo->GetItemAt(i)->GetTag());
                  }
                  combo->SelectItem(0);
                  guisupport::SaveScreenshot(dialog->GetHWND(), "page_list_merge");
                  apptest::ClickControl(*dialog, "ok");
              })
        .Then([&] { return m_boxes.size() == 1; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(ids, (std::vector<unsigned>{2, 4})) << "ordered by CustomerID";
    EXPECT_EQ(names, Column("SELECT Code || '  ' || Name || '  ' || Phone AS v FROM "
                            "tabcustomerinfo WHERE CustomerID IN (2, 4) ORDER BY CustomerID"))
        << "code, name and phone";
    EXPECT_EQ(m_boxes, std::vector<std::string>{"修改成功！"});
    std::vector<std::string> all = plates2;
    all.insert(all.end(), plates4.begin(), plates4.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(PlatesOf(2), all);
    EXPECT_TRUE(PlatesOf(4).empty());
    // The list is read again: customer 2 now has the three rows.
    EXPECT_TRUE(WaitFor([&] {
        int rows = 0;
        for (int item = 0; item < ItemCount(); ++item) rows += List().GetItemAt(item)->GetTag() == 2u;
        return rows == 3;
    }));
}

TEST_F(MergeCustomers, TheKeyboardAloneGivesTheVehicles) {
    const std::vector<std::string> plates1 = PlatesOf(1), plates2 = PlatesOf(2);
    ClickRow(0);
    const HWND main = m_main->GetHWND();
    guisupport::PressKey(main, VK_DOWN, MK_SHIFT);
    guisupport::PressKey(main, VK_DOWN, MK_SHIFT);
    ASSERT_EQ(List().GetSelectedItems(), (std::vector<int>{0, 1, 2}));
    UiDriver driver;
    driver.Then([] { return true; }, [&] { guisupport::PressKey(main, VK_APPS); })
        .Then([&] { return m_page->GetContextMenu() && m_page->GetContextMenu()->IsVisible(); },
              [&] {
                  const HWND menu = m_page->GetContextMenu()->GetHWND();
                  for (int i = 0; i < 3; ++i) guisupport::PressKey(menu, VK_DOWN);
                  guisupport::PressKey(menu, VK_RETURN);
              })
        .Then([&] { return m_page->GetMergeDialog() != nullptr; },
              [&] {
                  // The choice has the keyboard; Enter confirms it.
                  const HWND dialog = m_page->GetMergeDialog()->GetHWND();
                  guisupport::PressKey(dialog, VK_DOWN);
                  guisupport::PressKey(dialog, VK_RETURN);
              })
        .Then([&] { return m_boxes.size() == 1; });
    ASSERT_EQ(driver.Run(), UiDriver::kFinished);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"修改成功！"});
    EXPECT_EQ(PlatesOf(1).size(), 0u);
    EXPECT_EQ(PlatesOf(2).size(), plates1.size() + plates2.size());
}

TEST(MergeSelection, GathersRowsByCustomer) {
    auto row = [](int id, const char* name, const char* plate, const char* code = "",
                  const char* phone = "") {
        row_info_t r;
        r.customer.CustomerID = id;
        r.customer.values["Name"] = name;
        if (*code) r.customer.values["Code"] = code;
        if (*phone) r.customer.values["Phone"] = phone;
        if (*plate) r.vehicle.values["PlateID"] = plate;
        return r;
    };
    const merge_selection_t selection =
        CollectMergeSelection({row(7, "乙", "P1"), row(3, "甲", ""), row(7, "丙", "P2")});
    EXPECT_EQ(selection.names, (std::map<int32_t, tstring>{{3, "甲"}, {7, "乙"}}));
    EXPECT_EQ(selection.plates, (plates_by_customer_t{{3, {""}}, {7, {"P1", "P2"}}}));
    EXPECT_FALSE(selection.no_vehicle);
    EXPECT_TRUE(MergeMovesVehicles(selection.plates, 3));
    EXPECT_FALSE(MergeMovesVehicles(selection.plates, 7));
    EXPECT_TRUE(CollectMergeSelection({row(1, "甲", ""), row(2, "乙", "")}).no_vehicle);

    // Namesakes are told apart by code and phone; what still reads alike, by id.
    EXPECT_EQ(CollectMergeSelection({row(5, "张伟", "P5", "C5", "139"), row(6, "张伟", "P6"),
                                     row(7, "张伟", "P7"), row(8, "", "P8")})
                  .names,
              (std::map<int32_t, tstring>{
                  {5, "C5  张伟  139"}, {6, "张伟（6）"}, {7, "张伟（7）"}, {8, "（8）"}}));
}

}  // namespace
}  // namespace pagetest

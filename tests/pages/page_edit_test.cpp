// The customer edit page against a real service: loading a customer from the list, the editors
// by type, new vehicles, saves with their checks and answers, and deletes.
#include "pages/page_edit.h"

#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/message_box.h"

namespace pagetest {
namespace {

using apptest::ClickControl;

constexpr int kTwoVehicles = 1;  // the first demo customer owns two vehicles
constexpr int kNoVehicles = 10;  // every tenth owns none

class PageEditTest : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        if (HasFatalFailure()) return;
        m_edit = static_cast<CPageEdit*>(m_main->GetPage(kPageEdit)->GetInterface("PageEdit"));
        ASSERT_NE(m_edit, nullptr);
        using namespace task_names;
        Caller().Register(kLoadCustomerVehicles, [this](TaskContext) { ++m_done; });
        Caller().Register(kLoadCustomerByID, [this](TaskContext) { ++m_customerLoads; });
        for (const char* task : {kInsertCustomer, kUpdateCustomer, kInsertVehicle, kUpdateVehicle,
                                 kDeleteCustomerAndVehicles, kDeleteVehicle})
            Caller().Register(task, [this](TaskContext) { ++m_done; });
    }

    // As the list's "edit" command does; waits until the vehicles are shown.
    void OpenCustomer(int id) {
        const int target = m_done + 1;
        m_main->GetPaintManager().SendNotify(&List(), "edit_customer", id);
        ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
        m_main->GetPaintManager().UpdateLayout();
    }
    // Clicks the button and waits for the request it queues to complete.
    bool ClickAndWait(const char* button) {
        const int target = m_done + 1;
        ClickControl(*m_main, button);
        return WaitFor([&] { return m_done >= target; });
    }
    CContainerUI& Area(const char* name) {
        return *static_cast<CContainerUI*>(m_main->FindControl(name)->GetInterface("Container"));
    }
    // The editing control of the row labelled with the data type's name.
    CControlUI* Editor(const char* area, const std::string& typeName) {
        CContainerUI& rows = Area(area);
        for (int i = 0; i < rows.GetCount(); ++i) {
            auto* row = static_cast<CContainerUI*>(rows.GetItemAt(i)->GetInterface("Container"));
            if (row->GetItemAt(0)->GetText() == (typeName + "：").c_str()) return row->GetItemAt(1);
        }
        ADD_FAILURE() << "no editor " << typeName;
        return nullptr;
    }
    CControlUI* CustomerEditor(const std::string& name) {
        return Editor("container_customer_attr", name);
    }
    CControlUI* VehicleEditor(const std::string& name) {
        return Editor("container_vehicle_attr", name);
    }
    CComboUI* Plates() {
        CControlUI* combo = m_main->FindControl("pe_cmb_plateID");
        return combo ? static_cast<CComboUI*>(combo->GetInterface("Combo")) : nullptr;
    }
    // Types a plate as the operator would: the edit's text and its "textchanged".
    void TypePlate(const char* plate) {
        CControlUI* edit = m_main->FindControl("pe_edit_plateid");
        ASSERT_NE(edit, nullptr);
        edit->SetText(plate);
        m_main->GetPaintManager().SendNotify(edit, "textchanged");
    }
    std::string Value(const std::string& sql) {
        const std::vector<std::string> values = Column(sql);
        return values.empty() ? "<none>" : values.front();
    }
    std::vector<std::string> PlatesOf(int customer) {
        return Column("SELECT PlateID AS v FROM tabvehicleinfo WHERE CustomerID = " +
                      std::to_string(customer) + " ORDER BY rowid");
    }

    CPageEdit* m_edit = nullptr;
    int m_done = 0;
    int m_customerLoads = 0;
};

TEST_F(PageEditTest, ShowsACustomerWithTwoVehiclesInEditorsByType) {
    OpenCustomer(kTwoVehicles);
    EXPECT_EQ(m_edit->GetCurrentCustomer(), kTwoVehicles);
    EXPECT_TRUE(m_main->IsVisible() && m_edit->IsVisible()) << "the load shows the edit page";
    EXPECT_EQ(Area("container_customer_attr").GetCount(), 4) << "the read-only type has no row";
    EXPECT_EQ(CustomerEditor("客户姓名")->GetText(), "张伟");
    EXPECT_NE(CustomerEditor("车位数")->GetInterface("Edit"), nullptr);
    ASSERT_NE(Plates(), nullptr);
    const std::vector<std::string> plates = PlatesOf(kTwoVehicles);
    ASSERT_EQ(Plates()->GetCount(), 2);
    EXPECT_EQ(Plates()->GetText(), plates[0]);
    EXPECT_EQ(m_main->FindControl("pe_edit_plateid")->GetText(), plates[0]);
    const std::string color = Value(
        "SELECT c.Value AS v FROM tabvehicleinfo v JOIN tabcommondatainfo c ON "
        "c.DataType = 'Color' AND c.ValueID = v.Color WHERE PlateID = '" +
        plates[0] + "'");
    EXPECT_NE(VehicleEditor("车辆颜色")->GetInterface("Combo"), nullptr);
    EXPECT_EQ(VehicleEditor("车辆颜色")->GetText(), color);
    EXPECT_NE(VehicleEditor("生效日期")->GetInterface("Calendar"), nullptr);
    EXPECT_EQ(VehicleEditor("有效期至")->GetText(), "2026-12-31 23:59:59");
    EXPECT_NE(VehicleEditor("允许通行")->GetInterface("Option"), nullptr);
    EXPECT_NE(VehicleEditor("通行时段")->GetInterface("TimePeriod"), nullptr);
    for (const char* button : {"btn_new_customer", "btn_save_customer", "btn_delete_customer",
                               "btn_new_vehicle", "btn_save_vehicle", "btn_delete_vehicle"})
        EXPECT_TRUE(Enabled(button)) << button;

    Plates()->SelectItem(1);
    EXPECT_EQ(m_main->FindControl("pe_edit_plateid")->GetText(), plates[1]);
    EXPECT_EQ(
        VehicleEditor("通行时段")->GetText(),
        Value("SELECT AccessPeriod AS v FROM tabvehicleinfo WHERE PlateID = '" + plates[1] + "'"));
    m_main->GetPaintManager().UpdateLayout();
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_edit");
}

// A control the operator can reach: inside every container around it, or inside one that
// scrolls it into view (then that container must be in reach).
bool InReach(CControlUI* control) {
    RECT rc = control->GetPos();
    for (CControlUI* up = control->GetParent(); up; up = up->GetParent()) {
        auto* box = static_cast<CContainerUI*>(up->GetInterface("Container"));
        if (!box) continue;
        const RECT view = box->GetViewRect();
        auto shown = [](CScrollBarUI* bar) { return bar && bar->IsVisible(); };
        const bool acrossFits = shown(box->GetHorizontalScrollBar()) ||
                                (rc.left >= view.left && rc.right <= view.right);
        const bool downFits =
            shown(box->GetVerticalScrollBar()) || (rc.top >= view.top && rc.bottom <= view.bottom);
        if (!acrossFits || !downFits) return false;
        if (shown(box->GetHorizontalScrollBar()) || shown(box->GetVerticalScrollBar()))
            rc = box->GetPos();
    }
    return true;
}

CControlUI* CollectInputs(CControlUI* control, void* found) {
    if (control->GetInterface("Button") || control->GetInterface("Edit") ||
        control->GetInterface("Combo"))
        static_cast<std::vector<CControlUI*>*>(found)->push_back(control);
    return nullptr;
}

// At the window's smallest size every button, edit and combo of each page can still be reached.
TEST_F(PageEditTest, EveryControlIsInReachAtTheSmallestWindowSize) {
    const SIZE smallest = m_main->GetPaintManager().GetMinInfo();
    ASSERT_GT(smallest.cx, 0);
    m_main->ResizeClient(smallest.cx, smallest.cy);
    OpenCustomer(kTwoVehicles);
    struct Stop {
        const char* nav;
        MainPage page;
    };
    for (Stop stop : {Stop{"option_edit", kPageEdit}, Stop{"option_list_view", kPageList},
                      Stop{"option_dbconfig", kPageDbConfig}}) {
        ClickControl(*m_main, stop.nav);
        m_main->GetPaintManager().UpdateLayout();
        std::vector<CControlUI*> inputs;
        m_main->GetPage(stop.page)->FindControl(CollectInputs, &inputs, UIFIND_VISIBLE);
        EXPECT_FALSE(inputs.empty()) << stop.nav;
        for (CControlUI* input : inputs)
            EXPECT_TRUE(InReach(input))
                << stop.nav << ": " << input->GetName().str() << " " << input->GetText().str();
        guisupport::SaveScreenshot(m_main->GetHWND(), std::string("smallest_window_") + stop.nav);
    }
}

TEST_F(PageEditTest, TheListsEditCommandOpensTheCustomer) {
    ClickRow(0);
    const int target = m_done + 1;
    ChooseFromMenu("menu_edit_customer");
    ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    EXPECT_EQ(m_edit->GetCurrentCustomer(), static_cast<int>(List().GetItemAt(0)->GetTag()));
    EXPECT_TRUE(m_edit->IsVisible());
}

TEST_F(PageEditTest, AMissingCustomerLeavesThePageAsItWas) {
    OpenCustomer(kTwoVehicles);
    const int loads = m_customerLoads;
    m_main->GetPaintManager().SendNotify(&List(), "edit_customer", 9999);
    ASSERT_TRUE(WaitFor([&] { return m_customerLoads > loads; }));
    EXPECT_EQ(m_boxes, std::vector<std::string>{"加载数据失败！"});
    EXPECT_EQ(m_edit->GetCurrentCustomer(), kTwoVehicles);
    EXPECT_EQ(CustomerEditor("客户姓名")->GetText(), "张伟");
}

TEST_F(PageEditTest, ACustomerWithoutVehiclesCannotSaveOrDeleteOne) {
    EXPECT_FALSE(Enabled("btn_save_customer"));
    EXPECT_FALSE(Enabled("btn_new_vehicle"));
    OpenCustomer(kNoVehicles);
    EXPECT_EQ(Plates(), nullptr);
    EXPECT_EQ(
        static_cast<CContainerUI*>(m_main->FindControl("pe_plate_ids"))->GetItemAt(0)->GetText(),
        "该用户没有对应车辆");
    EXPECT_TRUE(Enabled("btn_new_vehicle"));
    EXPECT_FALSE(Enabled("btn_save_vehicle"));
    EXPECT_FALSE(Enabled("btn_delete_vehicle"));
    m_main->GetPaintManager().UpdateLayout();
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_edit_no_vehicles");
}

TEST_F(PageEditTest, NewVehiclesAreNumberedWithoutReuseAndSavedUnderTheTypedPlate) {
    OpenCustomer(kNoVehicles);
    ClickControl(*m_main, "btn_new_vehicle");
    ClickControl(*m_main, "btn_new_vehicle");
    ASSERT_EQ(Plates()->GetCount(), 2);
    EXPECT_EQ(Plates()->GetText(), "新车 2");
    m_nextAnswer = 0;
    ClickControl(*m_main, "btn_delete_vehicle");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"数据还没有保存，确定要删除吗?"});
    EXPECT_EQ(Plates()->GetText(), "新车 1");
    ClickControl(*m_main, "btn_new_vehicle");
    EXPECT_EQ(Plates()->GetText(), "新车 3");

    TypePlate("测Z00003");
    EXPECT_EQ(Plates()->GetText(), "测Z00003");
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(m_boxes.back(), "保存成功！");
    EXPECT_EQ(PlatesOf(kNoVehicles), std::vector<std::string>{"测Z00003"});
    EXPECT_FALSE(m_edit->GetVehicles().back().pending);
}

TEST_F(PageEditTest, AStoredPlateEditedTwiceIsUpdatedFromTheFirstStoredPlate) {
    OpenCustomer(kTwoVehicles);
    const std::string stored = PlatesOf(kTwoVehicles)[0];
    TypePlate("测Y00001");
    TypePlate("测Y00002");
    EXPECT_EQ(m_edit->GetVehicles()[0].stored_plate, stored);
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(m_boxes.back(), "保存成功！");
    EXPECT_EQ(CountRows("SELECT 1 FROM tabvehicleinfo WHERE PlateID = '" + stored + "'"), 0);
    EXPECT_EQ(Value("SELECT CustomerID AS v FROM tabvehicleinfo WHERE PlateID = '测Y00002'"), "1");
    EXPECT_EQ(m_edit->GetVehicles()[0].stored_plate, "");
}

struct IntegerCase {
    const char* text;
    bool warned;
    bool saved;
    const char* stored;  // ParkingSpaces afterwards (it starts at 1)
};
void PrintTo(const IntegerCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class IntegerFieldTest : public PageEditTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IntegerFieldTest, SavesOnlyIntegers) {
    const IntegerCase& c = GetParam();
    OpenCustomer(kTwoVehicles);
    CustomerEditor("车位数")->SetText(c.text);
    const int before = m_done;
    ClickControl(*m_main, "btn_save_customer");
    if (c.saved) {
        ASSERT_TRUE(WaitFor([&] { return m_done > before; }));
    }
    std::vector<std::string> boxes;
    if (c.warned) boxes.push_back("车位数 必须是一个整数值！");
    if (c.saved) boxes.push_back("保存成功！");
    EXPECT_EQ(m_boxes, boxes);
    EXPECT_EQ(Value("SELECT ParkingSpaces AS v FROM tabcustomerinfo WHERE CustomerID = 1"),
              c.stored);
}

INSTANTIATE_TEST_SUITE_P(Texts, IntegerFieldTest,
                         ::testing::Values(IntegerCase{"7", false, true, "7"},
                                           IntegerCase{"abc", true, false, "1"},
                                           IntegerCase{"3x", true, false, "1"},
                                           IntegerCase{"99999999999", true, false, "1"},
                                           IntegerCase{"-1", true, true, "-1"},
                                           IntegerCase{"", false, true, "-1"}));

// A plate typed and not saved names another customer's vehicle: the delete must still take the
// vehicle as stored.
TEST_F(PageEditTest, DeletesTheVehicleUnderItsStoredPlateWhateverWasTyped) {
    OpenCustomer(kTwoVehicles);
    const std::vector<std::string> own = PlatesOf(kTwoVehicles);
    const std::vector<std::string> others = PlatesOf(2);
    TypePlate(others[0].c_str());
    m_nextAnswer = 0;
    ASSERT_TRUE(ClickAndWait("btn_delete_vehicle"));
    EXPECT_EQ(m_boxes.back(), "删除成功！");
    EXPECT_EQ(PlatesOf(kTwoVehicles), std::vector<std::string>{own[1]});
    EXPECT_EQ(PlatesOf(2), others);
    ASSERT_EQ(Plates()->GetCount(), 1);
    EXPECT_EQ(Plates()->GetText(), own[1]);
}

// Until the next customer's vehicles arrive, the vehicle shown is the previous customer's: a save
// then would give it to the customer just loaded.
TEST_F(PageEditTest, LoadingAnotherCustomerDropsThePreviousVehiclesAtOnce) {
    OpenCustomer(kTwoVehicles);
    const std::vector<std::string> own = PlatesOf(kTwoVehicles);
    size_t vehiclesMeanwhile = 99;
    bool saveEnabledMeanwhile = true;
    Caller().Register(task_names::kLoadCustomerByID, [&](TaskContext) {
        vehiclesMeanwhile = m_edit->GetVehicles().size();
        saveEnabledMeanwhile = Enabled("btn_save_vehicle");
        ClickControl(*m_main, "btn_save_vehicle");
    });
    OpenCustomer(2);
    EXPECT_EQ(vehiclesMeanwhile, 0u);
    EXPECT_FALSE(saveEnabledMeanwhile);
    EXPECT_EQ(PlatesOf(kTwoVehicles), own);
    EXPECT_EQ(m_edit->GetVehicles().size(), PlatesOf(2).size());
}

// The answer to a save finds the vehicle it was for, though the operator chose another meanwhile.
TEST_F(PageEditTest, AnAnswerGoesToTheVehicleSavedNotToTheOneChosenSince) {
    OpenCustomer(kTwoVehicles);
    const std::vector<std::string> own = PlatesOf(kTwoVehicles);
    TypePlate("测G00001");
    const int target = m_done + 1;
    ClickControl(*m_main, "btn_save_vehicle");
    Plates()->SelectItem(1);
    ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    EXPECT_EQ(m_boxes.back(), "保存成功！");
    const vehicle_list_t& vehicles = m_edit->GetVehicles();
    EXPECT_EQ(vehicles[0].values.at("PlateID"), "测G00001");
    EXPECT_EQ(vehicles[0].stored_plate, "");
    EXPECT_EQ(vehicles[1].values.at("PlateID"), own[1]);
}

// A double click on save must not store a new customer twice (no code keeps them apart).
TEST_F(PageEditTest, ASecondClickBeforeTheAnswerStoresTheNewCustomerOnce) {
    m_main->SelectNavOption(2);
    ClickControl(*m_main, "btn_new_customer");
    CustomerEditor("客户姓名")->SetText("双击");
    const int target = m_done + 1;
    ClickControl(*m_main, "btn_save_customer");
    ClickControl(*m_main, "btn_save_customer");
    ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    // Tasks complete in order: once this count is back, a second insert would have been too.
    const int counts = m_counts;
    Caller().RequestGetRowCount({});
    ASSERT_TRUE(WaitFor([&] { return m_counts > counts; }));
    EXPECT_EQ(CountRows("SELECT 1 FROM tabcustomerinfo WHERE Name = '双击'"), 1);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"保存成功！"});
}

// Ctrl+S saves the card the keyboard is in.
TEST_F(PageEditTest, CtrlSSavesTheCardThatHasTheKeyboard) {
    OpenCustomer(kTwoVehicles);
    const std::string plate = PlatesOf(kTwoVehicles)[0];
    auto saveFrom = [&](CControlUI* editor, const char* text) {
        editor->SetText(text);
        editor->SetFocus();
        const int target = m_done + 1;
        guisupport::PressKey(m_main->GetHWND(), 'S', MK_CONTROL);
        return WaitFor([&] { return m_done >= target; });
    };
    ASSERT_TRUE(saveFrom(VehicleEditor("生效日期"), "2026-03-01"));
    EXPECT_EQ(Value("SELECT ValidFrom AS v FROM tabvehicleinfo WHERE PlateID = '" + plate + "'"),
              "2026-03-01");
    ASSERT_TRUE(saveFrom(CustomerEditor("客户姓名"), "张伟伟"));
    EXPECT_EQ(Value("SELECT Name AS v FROM tabcustomerinfo WHERE CustomerID = " +
                    std::to_string(kTwoVehicles)),
              "张伟伟");
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"保存成功！", "保存成功！"}));
}

TEST_F(PageEditTest, AVehicleWithoutAPlateIsNotSaved) {
    OpenCustomer(kNoVehicles);
    ClickControl(*m_main, "btn_new_vehicle");
    TypePlate("");
    ClickControl(*m_main, "btn_save_vehicle");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请输入车牌号码！"});
    EXPECT_TRUE(m_edit->GetVehicles().back().pending);
}

TEST_F(PageEditTest, ALookupShowingNothingSavesMinusOne) {
    OpenCustomer(kTwoVehicles);
    static_cast<CComboUI*>(VehicleEditor("车辆颜色")->GetInterface("Combo"))->SelectItem(-1);
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(Value("SELECT Color AS v FROM tabvehicleinfo WHERE PlateID = '" +
                    PlatesOf(kTwoVehicles)[0] + "'"),
              "-1");
}

// The configuration page renames or deletes the shown colour while the customer is open: the
// save keeps a renamed value and does not write back the id of a deleted one.
TEST_F(PageEditTest, ALookupValueChangedMeanwhileIsSavedByItsId) {
    OpenCustomer(kTwoVehicles);
    const std::string plate = PlatesOf(kTwoVehicles)[0];
    const std::string colorOf = "SELECT ifnull(Color, 'NULL') AS v FROM tabvehicleinfo WHERE "
                                "PlateID = '" + plate + "'";
    const std::string stored = Value(colorOf);
    const std::string shown = VehicleEditor("车辆颜色")->GetText().str();
    const int32_t id = std::stoi(stored);
    int changes = 0;
    for (const char* task : {task_names::kUpdateCommonData, task_names::kDeleteCommonData})
        Caller().Register(task, [&](TaskContext) { ++changes; });

    Caller().RequestUpdateCommonData("Color", shown + "（新）", id);
    ASSERT_TRUE(WaitFor([&] { return changes == 1; }));
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(Value(colorOf), stored) << "a rename keeps the colour";

    Caller().RequestDeleteCommonData("Color", shown + "（新）", id);
    ASSERT_TRUE(WaitFor([&] { return changes == 2; }));
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(Value(colorOf), "-1") << "the deleted value's id is not written back";
}

TEST_F(PageEditTest, ANewCustomerIsSavedBeforeItsVehicle) {
    m_main->SelectNavOption(2);
    ClickControl(*m_main, "btn_new_customer");
    EXPECT_EQ(Area("container_customer_attr").GetCount(), 4);
    ClickControl(*m_main, "btn_new_vehicle");
    m_main->GetPaintManager().UpdateLayout();
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_edit_new_customer");
    ClickControl(*m_main, "btn_save_vehicle");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请先保存客户信息！"});
    CustomerEditor("客户编号")->SetText("N0001");
    CustomerEditor("客户姓名")->SetText("新客户");
    ASSERT_TRUE(ClickAndWait("btn_save_customer"));
    const int id = m_edit->GetCurrentCustomer();
    EXPECT_EQ(
        Value("SELECT Name AS v FROM tabcustomerinfo WHERE CustomerID = " + std::to_string(id)),
        "新客户");
    TypePlate("测N00001");
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(PlatesOf(id), std::vector<std::string>{"测N00001"});
    EXPECT_EQ(m_boxes.back(), "保存成功！");
}

TEST_F(PageEditTest, RefusesATakenPlateAndReportsWhatDidNotChange) {
    const std::string taken = PlatesOf(2)[0];
    // The page saves an empty field as NULL, which the demo's empty texts are not.
    Exec("UPDATE tabvehicleinfo SET AccessPeriod = NULL WHERE AccessPeriod = ''");
    OpenCustomer(kTwoVehicles);
    ASSERT_TRUE(ClickAndWait("btn_save_customer"));
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"没有改动！", "没有改动！"}));
    ClickControl(*m_main, "btn_new_vehicle");
    TypePlate(taken.c_str());
    ASSERT_TRUE(ClickAndWait("btn_save_vehicle"));
    EXPECT_EQ(m_boxes.back(), "车牌号码已存在！");
    EXPECT_TRUE(m_edit->GetVehicles().back().pending);
    // A refusal warns; that nothing changed is only said.
    EXPECT_EQ(m_boxIcons,
              (std::vector<UINT>{MB_ICONINFORMATION, MB_ICONINFORMATION, MB_ICONWARNING}));
}

TEST_F(PageEditTest, DeletesAVehicleThenTheCustomerWithTheRestAndTheListReloads) {
    OpenCustomer(kTwoVehicles);
    const std::vector<std::string> plates = PlatesOf(kTwoVehicles);
    m_nextAnswer = 0;
    ASSERT_TRUE(ClickAndWait("btn_delete_vehicle"));
    EXPECT_EQ(PlatesOf(kTwoVehicles), std::vector<std::string>{plates[1]});
    EXPECT_EQ(Plates()->GetCount(), 1);
    EXPECT_EQ(m_main->FindControl("pe_edit_plateid")->GetText(), plates[1]);

    const int counts = m_counts;
    ASSERT_TRUE(ClickAndWait("btn_delete_customer"));
    EXPECT_EQ(m_boxes, (std::vector<std::string>{
                           "确定要删除吗?\n客户资料会保留，即使这是其最后一辆车。", "删除成功！",
                           "删除用户也将删除其车辆，确定要删除吗？", "删除成功！"}));
    EXPECT_EQ(CountRows("SELECT 1 FROM tabcustomerinfo WHERE CustomerID = 1"), 0);
    EXPECT_TRUE(PlatesOf(kTwoVehicles).empty());
    EXPECT_EQ(m_edit->GetCurrentCustomer(), -1);
    EXPECT_EQ(Area("container_customer_attr").GetCount(), 0);
    EXPECT_FALSE(Enabled("btn_save_customer"));
    EXPECT_TRUE(WaitFor([&] { return m_counts > counts; })) << "the list counts again";
}

// Opened with Enter from the list, the page takes the keyboard to the first field; a new
// vehicle to its plate; a delete that disables the focused button hands the keyboard to the
// button that starts anew.
TEST_F(PageEditTest, TheKeyboardGoesWhereTheOperatorGoesOn) {
    const HWND window = m_main->GetHWND();
    CPaintManagerUI& manager = m_main->GetPaintManager();
    auto press = [&](const char* button) {
        m_main->FindControl(button)->SetFocus();
        guisupport::PressKey(window, VK_RETURN);
    };
    int row = 0;
    while (row < ItemCount() && List().GetItemAt(row)->GetTag() != kNoVehicles) ++row;
    ShowRow(row);
    ClickRow(row);
    const int loaded = m_done + 1;
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_done >= loaded; }));
    ASSERT_EQ(m_edit->GetCurrentCustomer(), kNoVehicles);
    EXPECT_EQ(manager.GetFocus(), CustomerEditor("客户编号"));

    press("btn_new_vehicle");
    EXPECT_EQ(manager.GetFocus(), m_main->FindControl("pe_edit_plateid"));
    m_nextAnswer = 0;
    press("btn_delete_vehicle");
    EXPECT_EQ(manager.GetFocus(), m_main->FindControl("btn_new_vehicle"));

    const int deleted = m_done + 1;
    press("btn_delete_customer");
    ASSERT_TRUE(WaitFor([&] { return m_done >= deleted; }));
    EXPECT_EQ(manager.GetFocus(), m_main->FindControl("btn_new_customer"));
    guisupport::PressKey(window, VK_RETURN);
    EXPECT_EQ(manager.GetFocus(), CustomerEditor("客户编号"));
}

// --- Unsaved edits --------------------------------------------------------------------------

constexpr const char* kUnsavedQuestion = "当前修改尚未保存，是否保存？";
constexpr int kSave = 0;
constexpr int kCancel = 1;
constexpr int kDiscard = 2;

struct PlateSwitchCase {
    int answer;
    int shownAfter;     // selector index shown after the switch was asked for
    bool colourStored;  // the new colour reached the database
    bool colourShown;   // back on the first plate, the editor shows the new colour
};
void PrintTo(const PlateSwitchCase& c, std::ostream* out) {
    *out << "answer " << c.answer;
}

class PlateSwitchTest : public PageEditTest,
                        public ::testing::WithParamInterface<PlateSwitchCase> {};

TEST_P(PlateSwitchTest, AnEditedVehicleIsAskedAboutBeforeAnotherPlateIsShown) {
    const PlateSwitchCase& c = GetParam();
    OpenCustomer(kTwoVehicles);
    const std::string plate = PlatesOf(kTwoVehicles)[0];
    const std::string colorOf =
        "SELECT Color AS v FROM tabvehicleinfo WHERE PlateID = '" + plate + "'";
    const std::string stored = Value(colorOf);
    auto* colour = static_cast<CComboUI*>(VehicleEditor("车辆颜色")->GetInterface("Combo"));
    const int other = colour->GetCurSel() == 0 ? 1 : 0;
    colour->SelectItem(other);
    const std::string chosen = colour->GetText().str();

    m_nextAnswer = c.answer;
    const int target = m_done + 1;
    Plates()->SelectItem(1);
    if (c.answer == kSave) {
        ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    }
    EXPECT_EQ(m_boxes.front(), kUnsavedQuestion);
    EXPECT_EQ(Plates()->GetCurSel(), c.shownAfter);
    EXPECT_EQ(Value(colorOf) != stored, c.colourStored);
    if (c.shownAfter != 0) Plates()->SelectItem(0);
    EXPECT_EQ(VehicleEditor("车辆颜色")->GetText() == chosen.c_str(), c.colourShown);
    EXPECT_EQ(m_boxes.size(), c.answer == kSave ? 2u : 1u) << "asked once";
}

INSTANTIATE_TEST_SUITE_P(Answers, PlateSwitchTest,
                         ::testing::Values(PlateSwitchCase{kSave, 1, true, true},
                                           PlateSwitchCase{kDiscard, 1, false, false},
                                           PlateSwitchCase{kCancel, 0, false, true}));

TEST_F(PageEditTest, AnotherCustomerFromTheListWaitsForTheSaveOfTheEditedOne) {
    OpenCustomer(kTwoVehicles);
    CustomerEditor("联系电话")->SetText("13900000000");
    m_nextAnswer = kSave;
    const int target = m_done + 2;  // the update, then the other customer's vehicles
    m_main->GetPaintManager().SendNotify(&List(), "edit_customer", 2);
    ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    EXPECT_EQ(Value("SELECT Phone AS v FROM tabcustomerinfo WHERE CustomerID = 1"), "13900000000");
    EXPECT_EQ(m_edit->GetCurrentCustomer(), 2);
    EXPECT_EQ(m_boxes, (std::vector<std::string>{kUnsavedQuestion, "保存成功！"}));
    EXPECT_FALSE(m_edit->HasUnsavedChanges());
}

TEST_F(PageEditTest, LeavingThePageOrQuittingWithEditsAsksInsteadOfMovingOn) {
    OpenCustomer(kTwoVehicles);
    CustomerEditor("联系电话")->SetText("13900000001");
    m_nextAnswer = kCancel;
    ClickControl(*m_main, "option_list_view");
    EXPECT_TRUE(m_edit->IsVisible()) << "called off: the edit page stays";
    m_main->Close();
    EXPECT_TRUE(m_main->IsVisible());
    EXPECT_EQ(m_boxes, (std::vector<std::string>{kUnsavedQuestion, kUnsavedQuestion}));

    m_nextAnswer = kDiscard;
    ClickControl(*m_main, "option_list_view");
    EXPECT_TRUE(m_page->IsVisible());
    EXPECT_FALSE(m_edit->HasUnsavedChanges());
    EXPECT_NE(CustomerEditor("联系电话")->GetText(), "13900000001") << "the stored phone is back";
}

// The list's rows of one customer each name a vehicle: the one double-clicked is shown.
TEST_F(PageEditTest, TheVehicleOfTheRowDoubleClickedIsShown) {
    const std::string second = PlatesOf(kTwoVehicles)[1];
    int row = 0;
    while (row < ItemCount() && Cell(row, ColumnOf("PlateID")) != second) ++row;
    ASSERT_LT(row, ItemCount());
    ShowRow(row);
    const int target = m_done + 1;
    guisupport::DoubleClick(m_main->GetHWND(),
                            guisupport::CenterOf(List().GetItemAt(row)->GetPos()));
    ASSERT_TRUE(WaitFor([&] { return m_done >= target; }));
    EXPECT_EQ(Plates()->GetText(), second);
    EXPECT_EQ(m_main->FindControl("pe_edit_plateid")->GetText(), second);
}

// --- Refused saves ---------------------------------------------------------------------------

struct RefusalCase {
    const char* area;  // "container_customer_attr" or "container_vehicle_attr"
    const char* field;
    std::string text;
    const char* button;
    const char* message;
    const char* focus;  // the field the keyboard is in afterwards
};
void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.field << " " << c.message;
}

class RefusedSaveTest : public PageEditTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedSaveTest, SaysWhyAndPutsTheKeyboardInTheField) {
    const RefusalCase& c = GetParam();
    OpenCustomer(kTwoVehicles);
    const std::string stored =
        "SELECT Code || Name || (SELECT group_concat(ValidFrom) FROM "
        "tabvehicleinfo WHERE CustomerID = 1) AS v FROM tabcustomerinfo "
        "WHERE CustomerID = 1";
    const std::string before = Value(stored);
    Editor(c.area, c.field)->SetText(c.text.c_str());
    const int before_done = m_done;
    ClickControl(*m_main, c.button);
    WaitFor([&] { return m_done > before_done || !m_boxes.empty(); });
    EXPECT_EQ(m_boxes, std::vector<std::string>{c.message});
    EXPECT_EQ(m_main->GetPaintManager().GetFocus(), Editor(c.area, c.focus));
    EXPECT_EQ(Value(stored), before) << "nothing is written";
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RefusedSaveTest,
    ::testing::Values(RefusalCase{"container_customer_attr", "客户编号", "C0002",
                                  "btn_save_customer", "客户编号已存在", "客户编号"},
                      RefusalCase{"container_customer_attr", "客户姓名", std::string(256, 'a'),
                                  "btn_save_customer", "客户姓名 不能超过 255 个字符！",
                                  "客户姓名"},
                      RefusalCase{"container_vehicle_attr", "生效日期", "2027-01-01",
                                  "btn_save_vehicle", "生效日期不能晚于有效期至！", "有效期至"}));

TEST_F(PageEditTest, ANewCustomerWithATakenCodeIsToldSoAndGetsItsRegistrationTimeOnceSaved) {
    m_main->SelectNavOption(2);
    ClickControl(*m_main, "btn_new_customer");
    CustomerEditor("客户编号")->SetText("C0001");
    const int first = m_done + 1;
    ClickControl(*m_main, "btn_save_customer");
    ASSERT_TRUE(WaitFor([&] { return m_done >= first; }));
    EXPECT_EQ(m_boxes, std::vector<std::string>{"客户编号已存在"});
    EXPECT_EQ(m_main->GetPaintManager().GetFocus(), CustomerEditor("客户编号"));

    CustomerEditor("客户编号")->SetText("N0002");
    ASSERT_TRUE(ClickAndWait("btn_save_customer"));
    EXPECT_EQ(m_boxes.back(), "保存成功！");
    EXPECT_EQ(Value("SELECT length(RegisterTime) AS v FROM tabcustomerinfo WHERE Code = 'N0002'"),
              "19");
}

// A timestamp column that is not read-only is edited as text, and saved as typed.
class EditableTimestampTest : public PageEditTest {
protected:
    void BeforeLogIn() override {
        Exec("UPDATE tabdatatypeinfo SET ReadOnly = 0 WHERE DataType = 'RegisterTime'");
    }
};

TEST_F(EditableTimestampTest, IsSavedAsTyped) {
    OpenCustomer(kTwoVehicles);
    CControlUI* editor = CustomerEditor("登记时间");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->GetInterface("Edit"), nullptr);
    editor->SetText("2026-03-04 05:06:07");
    ASSERT_TRUE(ClickAndWait("btn_save_customer"));
    EXPECT_EQ(m_boxes.back(), "保存成功！");
    EXPECT_EQ(Value("SELECT RegisterTime AS v FROM tabcustomerinfo WHERE CustomerID = 1"),
              "2026-03-04 05:06:07");
}

}  // namespace
}  // namespace pagetest

// The data configuration page against a real service: the type list, the lookup values added,
// renamed and deleted in place, and the "shown in the list" tick.
#include "pages/page_db_config.h"

#include <algorithm>

#include "controls/list_item_ui.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "tests/support/case_printing.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace pagetest {
namespace {

class DbConfigTest : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        if (HasFatalFailure()) return;
        m_main->SelectNavOption(3);
        Caller().Register(task_names::kInsertCommonData, [this](TaskContext) { ++m_done; });
        Caller().Register(task_names::kUpdateCommonData, [this](TaskContext) { ++m_done; });
        Caller().Register(task_names::kDeleteCommonData, [this](TaskContext) { ++m_done; });
        Caller().Register(task_names::kUpdateDataTypeInfo, [this](TaskContext) { ++m_done; });
        ASSERT_GT(TypeList().GetCount(), 0);
    }

    CListUI& ListNamed(const char* name) {
        return *static_cast<CListUI*>(m_main->FindControl(name)->GetInterface("List"));
    }
    CListUI& TypeList() { return ListNamed("db_config_list"); }
    CListUI& ValueList() { return ListNamed("list_edit_value"); }

    int RowOfType(const char* dataType) {
        for (int i = 0; i < TypeList().GetCount(); ++i)
            if (TypeList().GetItemAt(i)->GetUserData() == dataType) return i;
        return -1;
    }
    void SelectType(const char* dataType) {
        const int row = RowOfType(dataType);
        ASSERT_GE(row, 0) << dataType;
        TypeList().SelectItem(row);
    }
    CDataListItemUI* ValueRow(int i) {
        return static_cast<CDataListItemUI*>(
            ValueList().GetItemAt(i)->GetInterface("DataListItem"));
    }
    std::vector<std::string> ShownValues() {
        std::vector<std::string> values;
        for (int i = 0; i < ValueList().GetCount(); ++i)
            if (CDataListItemUI* row = ValueRow(i))
                values.push_back(row->GetItemAt(0)->GetText().str());
        return values;
    }
    // Clicks the add row and types the text into the new row's label, then leaves it.
    void AddValue(const char* text) {
        apptest::ClickControl(*m_main, "btn_add_list_item");
        const int row = ValueList().GetCount() - 2;
        ASSERT_GE(row, 0);
        EditRow(row, text);
    }
    void EditRow(int row, const char* text) {
        CControlUI* label = ValueRow(row)->GetItemAt(0);
        m_main->GetPaintManager().SetFocus(label);
        label->SetText(text);
        m_main->GetPaintManager().SetFocus(nullptr);
    }
    // Shows the row's delete button as the selection does, and clicks it.
    void ClickDelete(int row) {
        ValueList().SelectItem(row);
        m_main->GetPaintManager().UpdateLayout();
        guisupport::Click(m_main->GetHWND(),
                          guisupport::CenterOf(ValueRow(row)->GetItemAt(1)->GetPos()));
    }
    COptionUI& ShowOption(const char* dataType) {
        m_main->GetPaintManager().UpdateLayout();
        CControlUI* option = m_main->GetPaintManager().FindSubControlByName(
            TypeList().GetItemAt(RowOfType(dataType)), "opt_db_show");
        return *static_cast<COptionUI*>(option->GetInterface("Option"));
    }
    void ClickShowOption(const char* dataType) {
        guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(ShowOption(dataType).GetPos()));
    }
    bool WaitForDone(int count = 1) {
        const int target = m_done + count;
        return WaitFor([&] { return m_done >= target && TypeList().IsEnabled(); });
    }
    // Reads the lookup values again, as after a reconnect.
    bool ReloadDictionary() {
        const int before = m_maps;
        Caller().Register(task_names::kGetCommonDataMap, [this](TaskContext) { ++m_maps; });
        Caller().RequestGetCommonDataMap();
        return WaitFor([&] { return m_maps > before; });
    }
    std::vector<std::string> StoredColors() {
        return Column(
            "SELECT ValueID || '=' || Value AS v FROM tabcommondatainfo WHERE DataType = "
            "'Color' ORDER BY ValueID");
    }

    int m_done = 0;
    int m_maps = 0;
};

TEST_F(DbConfigTest, ListsEveryTypeWithItsKindAndTheValuesOfALookupType) {
    const auto& columns = Caller().GetDictionary().all_columns();
    ASSERT_EQ(TypeList().GetCount(), static_cast<int>(columns.size()));
    auto* row = static_cast<CDbConfigListItemUI*>(TypeList().GetItemAt(RowOfType("ParkingSpaces")));
    EXPECT_EQ(row->GetText(0), "ParkingSpaces");
    EXPECT_EQ(row->GetText(1), "车位数");
    EXPECT_EQ(row->GetText(2), "整数");
    EXPECT_EQ(CPageDbConfig::TypeName(7), "时间段");
    EXPECT_EQ(CPageDbConfig::TypeName(8), "");
    SelectType("Color");
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "黑色", "银色", "红色", "蓝色"}));
    EXPECT_NE(ValueList().GetItemAt(5)->GetInterface("AddListItem"), nullptr);
    m_main->GetPaintManager().UpdateLayout();
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_db_config");

    SelectType("Name");
    EXPECT_EQ(ValueList().GetCount(), 0) << "no values and no add row for a text type";

    // A second load (a reconnect) lists every type once.
    ASSERT_TRUE(ReloadDictionary());
    EXPECT_EQ(TypeList().GetCount(), static_cast<int>(columns.size()));
}

TEST_F(DbConfigTest, AddsRenamesAndDeletesValuesInPlace) {
    SelectType("Color");
    // ValueIDs out of order: the new one is past the highest, not the row above plus one.
    Exec("UPDATE tabcommondatainfo SET ValueID = 20 WHERE DataType = 'Color' AND ValueID = 1");
    ASSERT_TRUE(ReloadDictionary());
    SelectType("Color");
    AddValue("绿色");
    EXPECT_FALSE(TypeList().IsEnabled()) << "the type list waits for the insert";
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors().back(), "21=绿色");
    EXPECT_EQ(ValueRow(5)->GetValueID(), 21);

    // The stored new row renamed is an update, not a second insert.
    EditRow(5, "墨绿");
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors().back(), "21=墨绿");
    EXPECT_EQ(ValueRow(5)->GetValue(), "墨绿");

    // An empty label on a stored row restores the value; on a new row it removes the row.
    EditRow(0, "");
    EXPECT_EQ(ValueRow(0)->GetItemAt(0)->GetText(), "白色");
    AddValue("");
    EXPECT_EQ(ValueList().GetCount(), 7);

    // Held by no vehicle: deleted without a question.
    Exec("UPDATE tabvehicleinfo SET Color = NULL WHERE Color = '2'");
    ClickDelete(1);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "银色", "红色", "蓝色", "墨绿"}));
    EXPECT_EQ(CountRows("SELECT 1 FROM tabcommondatainfo WHERE Value = '黑色'"), 0);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(DbConfigTest, ANewValueRenamedBeforeItsInsertCompletesIsStoredOnceUnderTheNewName) {
    SelectType("Color");
    AddValue("绿色");
    EditRow(5, "墨绿");
    ASSERT_TRUE(WaitForDone(2));
    EXPECT_EQ(StoredColors().back(), "6=墨绿");
    EXPECT_EQ(CountRows("SELECT 1 FROM tabcommondatainfo WHERE Value IN ('绿色', '墨绿')"), 1);
    EXPECT_EQ(ValueRow(5)->GetValueID(), 6);
    EXPECT_EQ(ShownValues().back(), "墨绿");
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(DbConfigTest, AFailedInsertRemovesTheRow) {
    SelectType("Color");
    // Taken behind the page's back: the page's next ValueID is already stored.
    Exec("INSERT INTO tabcommondatainfo (ValueID, DataType, Value) VALUES (6, 'Color', '灰色')");
    AddValue("紫色");
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_boxes, std::vector<std::string>{"添加失败"});
    EXPECT_EQ(ValueList().GetCount(), 6);
}

TEST_F(DbConfigTest, AnInsertForAnotherTypeChangesNothingAndOneForThisTypeShowsUp) {
    SelectType("Name");
    Caller().RequestInsertCommonData("Color", "紫色", 30);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(ValueList().GetCount(), 0);
    SelectType("Color");
    Caller().RequestInsertCommonData("Color", "金色", 31);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(ShownValues().back(), "金色");
    EXPECT_EQ(ShownValues().size(), 7u) << "紫色 came with the type selected again";
}

TEST_F(DbConfigTest, UncheckingShowChangesOnlyShowListAndTheListFollows) {
    const char* const fields =
        "SELECT ShowIndex || DataTypeName || Enable || DataTypeCategory || Type || DefaultNull || "
        "ReadOnly AS v FROM tabdatatypeinfo WHERE DataType = 'Color'";
    const std::vector<std::string> before = Column(fields);
    ASSERT_GE(ColumnOf("Color"), 0);
    SelectType("Color");
    ClickShowOption("Color");
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(Column("SELECT ShowList AS v FROM tabdatatypeinfo WHERE DataType = 'Color'"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Column(fields), before);
    m_main->SelectNavOption(0);
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(ColumnOf("Color"), -1);
}

// Values that read the same can only come from elsewhere (another client, an older database).
TEST_F(DbConfigTest, ValuesThatReadTheSameAreToldApartByTheirValueID) {
    Exec("INSERT INTO tabcommondatainfo (ValueID, DataType, Value) VALUES (6, 'Color', '黑色')");
    ASSERT_TRUE(ReloadDictionary());
    SelectType("Color");
    ASSERT_EQ(ValueRow(5)->GetValueID(), 6);
    ClickDelete(5);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "黑色", "银色", "红色", "蓝色"}));
    EXPECT_EQ(StoredColors()[1], "2=黑色");
    EXPECT_TRUE(m_boxes.empty());
}

// A typed value loses the blanks around it; one that another value of the type already reads
// is refused with a word, as a blank one is dropped, and nothing is written.
TEST_F(DbConfigTest, AValueIsStoredWithoutBlanksAndNeverTwice) {
    SelectType("Color");
    AddValue("  绿色 ");
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors().back(), "6=绿色");
    EXPECT_EQ(ShownValues().back(), "绿色");

    const std::vector<std::string> stored = StoredColors();
    const int done = m_done;
    AddValue("黑色");
    EditRow(0, " 红色");
    EditRow(0, "白色 ");
    AddValue("   ");
    guisupport::ProcessMessages();
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"取值“黑色”已存在，请输入其他取值。",
                                                 "取值“红色”已存在，请输入其他取值。"}));
    EXPECT_EQ(ShownValues(),
              (std::vector<std::string>{"白色", "黑色", "银色", "红色", "蓝色", "绿色"}));
    EXPECT_EQ(StoredColors(), stored);
    EXPECT_EQ(m_done, done);
    EXPECT_TRUE(TypeList().IsEnabled());
}

// In place, Escape gives up what was typed and Enter stores it.
TEST_F(DbConfigTest, EscapeLeavesAValueAsItWasAndEnterStoresIt) {
    SelectType("Color");
    const HWND window = m_main->GetHWND();
    const std::vector<std::string> stored = StoredColors();
    m_main->GetPaintManager().SetFocus(ValueRow(1)->GetItemAt(0));
    ASSERT_TRUE(guisupport::TypeText(window, "墨黑"));
    guisupport::PressKey(window, VK_ESCAPE);
    apptest::ClickControl(*m_main, "btn_add_list_item");
    ASSERT_TRUE(guisupport::TypeText(window, "绿色"));
    guisupport::PressKey(window, VK_ESCAPE);
    guisupport::ProcessMessages();
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "黑色", "银色", "红色", "蓝色"}));
    EXPECT_EQ(StoredColors(), stored);
    EXPECT_TRUE(TypeList().IsEnabled()) << "nothing was requested";

    m_main->GetPaintManager().SetFocus(ValueRow(1)->GetItemAt(0));
    ASSERT_TRUE(guisupport::TypeText(window, "墨黑"));
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors()[1], "2=墨黑");
    EXPECT_EQ(ShownValues()[1], "墨黑");
    EXPECT_TRUE(m_boxes.empty());
}

// The page works without the mouse: Space ticks the current type, and on the values Enter
// renames, Delete deletes and Enter on the add row adds.
TEST_F(DbConfigTest, KeysTickATypeAndRenameDeleteAndAddValues) {
    const HWND window = m_main->GetHWND();
    TypeList().SetFocus();
    SelectType("Color");
    guisupport::PressKey(window, VK_SPACE);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(Column("SELECT ShowList AS v FROM tabdatatypeinfo WHERE DataType = 'Color'"),
              std::vector<std::string>{"0"});

    ValueList().SetFocus();
    ValueList().SelectItem(1);
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(guisupport::TypeText(window, "墨黑"));
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_main->GetPaintManager().GetFocus(), &ValueList()) << "the keyboard stays on the list";
    guisupport::PressKey(window, VK_DOWN);
    guisupport::PressKey(window, VK_DELETE);
    ASSERT_TRUE(WaitForDone());
    ValueList().SelectItem(4);
    ASSERT_NE(ValueList().GetItemAt(4)->GetInterface("AddListItem"), nullptr);
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(guisupport::TypeText(window, "金色"));
    guisupport::PressKey(window, VK_RETURN);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors(), (std::vector<std::string>{"1=白色", "2=墨黑", "4=红色", "5=蓝色",
                                                        "6=金色"}));
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "墨黑", "红色", "蓝色", "金色"}));
    EXPECT_EQ(m_boxes.size(), 1u) << "the question before deleting a value vehicles hold";
}

// Deleting a value that vehicles hold asks first; once agreed, the vehicles lose it, so a value
// added later under the freed ValueID does not turn up on them.
TEST_F(DbConfigTest, DeletingAValueInUseAsksAndTakesItFromTheVehicles) {
    const std::string holders = "SELECT 1 FROM tabvehicleinfo WHERE Color = '5'";
    const int uses = CountRows(holders);
    ASSERT_GT(uses, 0);
    const int vehicles = CountRows("SELECT 1 FROM tabvehicleinfo");
    SelectType("Color");
    const std::string question = "取值“蓝色”正被" + std::to_string(uses) +
                                 "条记录使用，删除后这些记录的“车辆颜色”将被清空。确定要删除吗？";
    m_nextAnswer = 1;
    ClickDelete(4);
    ASSERT_TRUE(WaitFor([&] { return !m_boxes.empty() && TypeList().IsEnabled(); }));
    EXPECT_EQ(m_boxes, std::vector<std::string>{question});
    EXPECT_EQ(StoredColors().back(), "5=蓝色");
    EXPECT_EQ(ShownValues().back(), "蓝色");
    EXPECT_EQ(CountRows(holders), uses);

    m_nextAnswer = 0;
    ClickDelete(4);
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(ShownValues(), (std::vector<std::string>{"白色", "黑色", "银色", "红色"}));
    EXPECT_EQ(CountRows(holders), 0);
    EXPECT_EQ(CountRows("SELECT 1 FROM tabvehicleinfo"), vehicles);

    AddValue("紫色");
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(StoredColors().back(), "5=紫色");
    EXPECT_EQ(CountRows(holders), 0);
    EXPECT_EQ(m_boxes.size(), 2u);
}

// A write the database refuses: the page says so, shows what is stored, and the same action
// succeeds once the database accepts it again.
class RefusedWriteTest;
struct RefusedWrite : testcases::NamedCase {
    const char* statement;  // what the trigger refuses
    const char* message;
    std::vector<std::string> storedAfterRetry;  // Color's values and its ShowList
    void (RefusedWriteTest::*act)();
};

class RefusedWriteTest : public DbConfigTest, public testing::WithParamInterface<RefusedWrite> {
public:
    void RenameBlack() { EditRow(1, "墨黑"); }
    // No vehicle holds it, so nothing is asked before the delete.
    void DeleteBlack() {
        Exec("UPDATE tabvehicleinfo SET Color = NULL WHERE Color = '2'");
        ClickDelete(1);
    }
    void AddPurple() { AddValue("紫色"); }
    void UntickColor() { ClickShowOption("Color"); }

protected:
    void Refuse(bool refused) {
        Exec(refused ? std::string("CREATE TRIGGER refuse BEFORE ") + GetParam().statement +
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END"
                     : "DROP TRIGGER refuse");
    }
    // Color's values as "ValueID=Value" and its tick, as the page shows them and as stored.
    std::vector<std::string> Shown() {
        std::vector<std::string> shown;
        for (int i = 0; i < ValueList().GetCount(); ++i)
            if (CDataListItemUI* row = ValueRow(i))
                shown.push_back(std::to_string(row->GetValueID()) + "=" +
                                row->GetItemAt(0)->GetText().str());
        std::sort(shown.begin(), shown.end());
        shown.push_back(std::string("ShowList=") + (ShowOption("Color").IsSelected() ? "1" : "0"));
        return shown;
    }
    std::vector<std::string> Stored() {
        std::vector<std::string> stored = StoredColors();
        std::sort(stored.begin(), stored.end());
        const auto tick =
            Column("SELECT 'ShowList=' || ShowList AS v FROM tabdatatypeinfo WHERE DataType = "
                   "'Color'");
        stored.insert(stored.end(), tick.begin(), tick.end());
        return stored;
    }
};

TEST_P(RefusedWriteTest, ShowsTheFailureAndWhatIsStoredAndStaysUsable) {
    SelectType("Color");
    const std::vector<std::string> before = Stored();
    ASSERT_EQ(Shown(), before);
    Refuse(true);
    (this->*GetParam().act)();
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_boxes, std::vector<std::string>{GetParam().message});
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(Shown(), before);

    Refuse(false);
    (this->*GetParam().act)();
    ASSERT_TRUE(WaitForDone());
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(Stored(), GetParam().storedAfterRetry);
    EXPECT_EQ(Shown(), GetParam().storedAfterRetry);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, RefusedWriteTest,
    testing::Values(
        RefusedWrite{{"Rename"}, "UPDATE ON tabcommondatainfo", "设置失败",
                     {"1=白色", "2=墨黑", "3=银色", "4=红色", "5=蓝色", "ShowList=1"},
                     &RefusedWriteTest::RenameBlack},
        RefusedWrite{{"Delete"}, "DELETE ON tabcommondatainfo", "删除失败",
                     {"1=白色", "3=银色", "4=红色", "5=蓝色", "ShowList=1"},
                     &RefusedWriteTest::DeleteBlack},
        RefusedWrite{{"Add"}, "INSERT ON tabcommondatainfo", "添加失败",
                     {"1=白色", "2=黑色", "3=银色", "4=红色", "5=蓝色", "6=紫色", "ShowList=1"},
                     &RefusedWriteTest::AddPurple},
        RefusedWrite{{"Tick"}, "UPDATE ON tabdatatypeinfo", "设置失败",
                     {"1=白色", "2=黑色", "3=银色", "4=红色", "5=蓝色", "ShowList=0"},
                     &RefusedWriteTest::UntickColor}),
    testcases::kCaseName);

}  // namespace
}  // namespace pagetest

// The import wizard and its run against a real service, with workbooks written by the test.
#include <cstdio>

#include "app/dlg_reconnect.h"
#include "controls/combo_union_ui.h"
#include "controls/list_item_ui.h"
#include "pages/page_import.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "tests/support/case_printing.h"
#include "uilib/file_dialog.h"
#include "uilib/combo_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/list_ui.h"

namespace pagetest {
namespace {

// Workbook column -> data type, as the operator matches them in the wizard.
const std::vector<std::pair<std::string, std::string>> kColumns = {
    {"Code", "Code"},   {"Name", "Name"},           {"PlateID", "PlateID"}, {"Color", "Color"},
    {"From", "ValidFrom"}, {"Until", "ValidUntil"}, {"Allowed", "Allowed"}};

std::string Numbered(const char* format, int i) {
    char text[64];
    std::snprintf(text, sizeof text, format, i);
    return text;
}

// Row i: customer T<i> with vehicle P<i>; colours cycle through white, black and an unmatched
// green; every third vehicle is not allowed, said by a boolean cell in even rows and by text in
// odd ones.
XlsxSheet CustomerSheet(int rows) {
    XlsxSheet sheet{"whitelist", {}};
    XlsxRow header;
    for (const auto& column : kColumns) header.emplace_back(column.first);
    sheet.rows.push_back(header);
    const char* const colors[] = {"white", "black", "green"};
    for (int i = 0; i < rows; ++i) {
        sheet.rows.push_back({Numbered("T%04d", i), Numbered("Name %d", i), Numbered("P%05d", i),
                              std::string(colors[i % 3]), XlsxDate{2026, 3, 1 + i % 28, 0, 0, 0},
                              XlsxDate{2026, 12, 31, 23, 59, 59},
                              i % 2 ? XlsxCell(std::string(i % 3 == 2 ? "0" : "1")) : XlsxBool{i % 3 != 2}});
    }
    return sheet;
}

class ImportTest : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        if (HasFatalFailure()) return;
        m_main->SelectNavOption(1);
        m_import = static_cast<CPageImport*>(m_main->GetPage(kPageImport)->GetInterface("PageImport"));
        ASSERT_NE(m_import, nullptr);
        Caller().Register(task_names::kImportRows, [this](TaskContext ctx) {
            m_batches.push_back(static_cast<int>(ctx.Get(task_keys::results).size()));
        });
        m_config->SetIntValue("Operation", "ExcelColunmTooFew", 0);
        m_config->SetIntValue("Operation", "NoCustomerCodeTooFew", 0);
        // No AutoStep was stored when the page came up: the steps are shown as after a stored 0.
        static_cast<COptionUI*>(m_main->FindControl("opt_show_import_steps"))->Selected(true, false);
    }

    CListUI& ListNamed(const char* name) {
        return *static_cast<CListUI*>(m_main->FindControl(name)->GetInterface("List"));
    }
    CContainerUI& ContainerNamed(const char* name) {
        return *static_cast<CContainerUI*>(m_main->FindControl(name)->GetInterface("Container"));
    }
    static CComboUnionUI* Selector(CControlUI* row) {
        auto* cells = static_cast<CContainerUI*>(row->GetInterface("Container"));
        return static_cast<CComboUnionUI*>(cells->GetItemAt(1)->GetInterface("ComboUnion"));
    }
    void Next() {
        if (m_pictures) Picture(Numbered("import_step_%d", m_import->GetStep()));
        apptest::ClickControl(*m_main, "btn_excel_next");
    }
    void Picture(const std::string& name) {
        guisupport::ProcessMessagesUntil([] { return false; }, 50);
        guisupport::SaveScreenshot(m_main->GetHWND(), name);
    }
    void TickEvery(const char* list) {
        CContainerUI& options = ContainerNamed(list);
        for (int i = 0; i < options.GetCount(); ++i)
            static_cast<COptionUI*>(options.GetItemAt(i)->GetInterface("Option"))->Selected(true, false);
    }

    // Steps 0 to 3 shown one by one, every column chosen, matched as kColumns says; the colour
    // texts white and black matched to the first two common values.
    void RunWizardTo(const std::string& path, int step) {
        m_config->SetIntValue("Import", "AutoStep", 0);
        apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepColumns) << ::testing::PrintToString(m_boxes);
        TickEvery("import_select_excel_types");
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepSheets);
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepMatch);
        if (step == CPageImport::kStepMatch) return;
        MatchTypes();
        MatchColors();
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << ::testing::PrintToString(m_boxes);
    }
    void MatchTypes() {
        CListUI& types = ListNamed("import_list_excel_db_match_type");
        ASSERT_EQ(types.GetCount(), static_cast<int>(kColumns.size()));
        for (int i = 0; i < types.GetCount(); ++i) {
            const data_type_info_t* info = Caller().GetDictionary().find(kColumns[i].second);
            ASSERT_NE(info, nullptr);
            Selector(types.GetItemAt(i))->Choose(info->DataTypeName.c_str(), info->DataType.c_str());
        }
    }
    void MatchColors() {
        CListUI& types = ListNamed("import_list_excel_db_match_type");
        types.SelectItem(3);
        CListUI& values = ListNamed("import_list_excel_db_match_value");
        const auto& colors = Caller().GetDictionary().data_map().at("Color");
        for (int i = 0; i < values.GetCount(); ++i) {
            const CDuiString text = values.GetItemAt(i)->GetUserData();
            const int id = text == "white" ? 0 : text == "black" ? 1 : -1;
            if (id >= 0) Selector(values.GetItemAt(i))->Choose(colors[id].second.c_str(), "");
        }
    }
    bool RunImport() {
        apptest::ClickControl(*m_main, "btn_start_import");
        return WaitFor([&] { return m_import->GetRunState() == CPageImport::kIdle; });
    }
    std::vector<std::string> Stored(int rows) {
        return Column("SELECT c.Code || '|' || c.Name || '|' || v.PlateID || '|' || v.Color || '|' || "
                      "v.ValidFrom || '|' || v.ValidUntil || '|' || v.Allowed AS v FROM tabvehicleinfo v "
                      "JOIN tabcustomerinfo c ON c.CustomerID = v.CustomerID WHERE v.PlateID LIKE 'P%' "
                      "ORDER BY v.PlateID LIMIT " + std::to_string(rows));
    }
    static std::string Expected(int i) {
        const char* const colorIds[] = {"1", "2", "-1"};
        return Numbered("T%04d", i) + "|" + Numbered("Name %d", i) + "|" + Numbered("P%05d", i) + "|" +
               colorIds[i % 3] + "|" + Numbered("2026-03-%02d", 1 + i % 28) + "|2026-12-31 23:59:59|" +
               (i % 3 == 2 ? "0" : "1");
    }
    std::string StatusLine() { return apptest::ControlText(*m_main, "import_status_line").str(); }
    int MarkedItems(const char* mark) {
        CListUI& grid = ListNamed("import_list");
        int marked = 0;
        for (int i = 0; i < grid.GetCount(); ++i) {
            CControlUI* tip = m_main->GetPaintManager().FindSubControlByName(grid.GetItemAt(i), mark);
            if (tip && tip->IsVisible()) ++marked;
        }
        return marked;
    }

    CPageImport* m_import = nullptr;
    std::vector<int> m_batches;
    bool m_pictures = false;
};

TEST_F(ImportTest, AllPagesImportsEveryRowInPageBatchesAndReimportReportsNoChange) {
    const std::string path = m_dir.file("customers.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    m_pictures = true;
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    Picture("import_step_4");
    EXPECT_EQ(m_import->GetTotalRows(), 250);
    EXPECT_EQ(m_import->GetPageCount(), 3);
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    const int loadsBefore = m_loads;
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据250条,成功导入250条");
    Picture("import_done_marks");
    EXPECT_TRUE(WaitFor([&] { return m_loads > loadsBefore; })) << "need_refresh_list reloads the list";
    const std::vector<std::string> stored = Stored(250);
    ASSERT_EQ(stored.size(), 250u);
    for (int i = 0; i < 250; ++i) EXPECT_EQ(stored[i], Expected(i));

    m_batches.clear();
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据250条,成功导入0条");
    EXPECT_EQ(MarkedItems("import_nochange_tip"), 50) << "the last page shows its marks";
    EXPECT_EQ(MarkedItems("import_success_tip"), 0);
}

TEST_F(ImportTest, StopStaysAwayFromStartAndAFinishedRunStartsAgainOnlyWhenConfirmed) {
    const std::string path = m_dir.file("controls.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    const RECT start = m_main->FindControl("btn_start_import")->GetPos();
    apptest::ClickControl(*m_main, "btn_start_import");
    apptest::ClickControl(*m_main, "btn_start_import");
    ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kPaused; }));
    Picture("import_run_controls");
    const RECT stop = m_main->FindControl("btn_stop_import")->GetPos();
    EXPECT_TRUE(stop.right < start.left || stop.left > start.right) << "stop lies where start was";
    apptest::ClickControl(*m_main, "btn_stop_import");
    ASSERT_EQ(m_import->GetRunState(), CPageImport::kIdle);
    const std::string summary = StatusLine();

    m_nextAnswer = 1;
    m_batches.clear();
    apptest::ClickControl(*m_main, "btn_start_import");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"这些数据已经导入过，确定要再次导入吗？"});
    EXPECT_EQ(m_import->GetRunState(), CPageImport::kIdle);
    EXPECT_TRUE(m_batches.empty());
    EXPECT_EQ(StatusLine(), summary) << "the summary stays until the next run";
}

// Blank rows are neither shown nor sent; the failures of a run can be listed alone and reached
// one after the other across pages.
TEST_F(ImportTest, BlankRowsAreSkippedAndFailedRowsAreFoundOneByOne) {
    XlsxSheet sheet = CustomerSheet(250);
    sheet.rows.insert(sheet.rows.begin() + 6, XlsxRow{});
    sheet.rows.insert(sheet.rows.begin() + 120, XlsxRow{std::string(" ")});
    const std::string path = m_dir.file("failures.xlsx");
    MakeXlsx(path, {sheet});
    Exec("INSERT INTO tabcustomerinfo (CustomerID, Code) VALUES (900, 'OTHER')");
    Exec("INSERT INTO tabvehicleinfo (PlateID, CustomerID) VALUES ('P00010', 900), ('P00200', 900)");
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(m_import->GetTotalRows(), 250);
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据250条,成功导入248条");

    CListUI& grid = ListNamed("import_list");
    auto failureShown = [&] {
        apptest::ClickControl(*m_main, "import_btn_next_failure");
        return std::make_pair(m_import->GetPageIndex(), grid.GetCurSel());
    };
    EXPECT_EQ(failureShown(), std::make_pair(0, 10));
    EXPECT_EQ(failureShown(), std::make_pair(2, 0));
    EXPECT_EQ(failureShown(), std::make_pair(0, 10));

    apptest::ClickControl(*m_main, "import_opt_failed_only");
    EXPECT_EQ(m_import->GetTotalRows(), 2);
    EXPECT_EQ(grid.GetCount(), 2);
    Picture("import_failed_rows_only");
    apptest::ClickControl(*m_main, "import_opt_failed_only");
    EXPECT_EQ(m_import->GetTotalRows(), 250);
}

TEST_F(ImportTest, PreviewPagingStopsAtEitherEndAsTheListDoes) {
    const std::string path = m_dir.file("paged.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    auto enabled = [&](const char* name) { return m_main->FindControl(name)->IsEnabled(); };
    auto shown = [&] {
        return apptest::ControlText(*m_main, "import_cur_page") + (enabled("import_btn_page_pre") ? " pre" : "") +
               (enabled("import_btn_page_next") ? " next" : "");
    };
    EXPECT_EQ(shown(), "第1/3页 next");
    apptest::ClickControl(*m_main, "import_btn_page_next");
    EXPECT_EQ(shown(), "第2/3页 pre next");
    apptest::ClickControl(*m_main, "import_btn_page_next");
    EXPECT_EQ(shown(), "第3/3页 pre");
    apptest::ClickControl(*m_main, "import_btn_page_pre");
    EXPECT_EQ(shown(), "第2/3页 pre next");
    // Enter in the page box goes there as the button does.
    apptest::SetControlText(*m_main, "import_edit_goto_page", "1");
    apptest::ClickControl(*m_main, "import_edit_goto_page");
    guisupport::TypeKey(VK_RETURN);
    EXPECT_EQ(shown(), "第1/3页 next");
    apptest::SetControlText(*m_main, "import_edit_goto_page", "99999999999999999999");
    apptest::ClickControl(*m_main, "import_btn_goto_page");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请输入正确的页码！"});
}

TEST_F(ImportTest, PauseSendsNothingUntilContinuedAndStopEndsAfterTheOutstandingBatch) {
    const std::string path = m_dir.file("paused.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    apptest::ClickControl(*m_main, "btn_start_import");
    apptest::ClickControl(*m_main, "btn_start_import");
    ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kPaused; }));
    guisupport::ProcessMessagesUntil([] { return false; }, 100);
    EXPECT_EQ(m_batches, std::vector<int>{100}) << "nothing is sent while paused";
    EXPECT_EQ(apptest::ControlText(*m_main, "btn_start_import"), "继续导入");
    Picture("import_run_paused");

    apptest::ClickControl(*m_main, "btn_start_import");
    apptest::ClickControl(*m_main, "btn_stop_import");
    ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kIdle; }));
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100}));
    EXPECT_EQ(MarkedItems("import_success_tip"), 100) << "the stopped batch still shows its results";
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据200条,成功导入200条");
    EXPECT_EQ(CountRows("SELECT PlateID FROM tabvehicleinfo WHERE PlateID LIKE 'P%'"), 200);
}

// Paging waits for an outstanding batch, whose marks belong to its page; a page size chosen
// while paused changes the pages but not which rows are still to go.
TEST_F(ImportTest, PagingWaitsForTheBatchAndAPausedRunGoesOnAfterTheRowsItSent) {
    const std::string path = m_dir.file("resized.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    for (int batch = 0; batch < 2; ++batch) {
        apptest::ClickControl(*m_main, "btn_start_import");
        apptest::ClickControl(*m_main, "btn_start_import");
        ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kPaused; }));
    }
    ASSERT_EQ(m_import->GetPageIndex(), 1);
    auto* pageSizes = static_cast<CComboUI*>(m_main->FindControl("import_combo_page_size")->GetInterface("Combo"));
    pageSizes->SelectItem(2, false, true);  // 300 rows a page
    ASSERT_EQ(m_import->GetPageCount(), 1);

    apptest::ClickControl(*m_main, "btn_start_import");
    apptest::ClickControl(*m_main, "btn_stop_import");
    ASSERT_EQ(m_import->GetRunState(), CPageImport::kStopRequested);
    for (const char* name : {"import_btn_page_pre", "import_btn_page_next", "import_btn_goto_page",
                             "import_combo_page_size"})
        EXPECT_FALSE(apptest::IsControlEnabled(*m_main, name)) << name;
    ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kIdle; }));
    EXPECT_EQ(m_batches, (std::vector<int>{100, 100, 50}));
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据250条,成功导入250条");
    EXPECT_EQ(CountRows("SELECT PlateID FROM tabvehicleinfo WHERE PlateID LIKE 'P%'"), 250);
}

TEST_F(ImportTest, OnlyTickedRowsOfThePageAreSentWithTheValueChosenInTheirCombo) {
    const std::string path = m_dir.file("ticked.xlsx");
    MakeXlsx(path, {CustomerSheet(5)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    CListUI& grid = ListNamed("import_list");
    ASSERT_EQ(grid.GetCount(), 5);
    for (int i = 0; i < 5; ++i)
        static_cast<CImportListItemUI*>(grid.GetItemAt(i)->GetInterface("ImportListItem"))->SetImportChecked(i == 2);
    // Row 2's colour (green) has no match: the operator picks the fourth common value.
    auto* colorCell = static_cast<CComboUI*>(
        static_cast<CContainerUI*>(grid.GetItemAt(2)->GetInterface("Container"))->GetItemAt(4)->GetInterface("Combo"));
    ASSERT_NE(colorCell, nullptr);
    EXPECT_TRUE(colorCell->GetText().IsEmpty());
    colorCell->SelectItem(3, false, false);
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_batches, std::vector<int>{1});
    EXPECT_EQ(Column("SELECT PlateID || '=' || Color AS v FROM tabvehicleinfo WHERE PlateID LIKE 'P%'"),
              std::vector<std::string>{"P00002=4"});
}

// The data types are read again while the preview is shown (after a reconnect, say) and one of
// the mapped ones is gone: each cell still goes to the column it was made for.
TEST_F(ImportTest, DataTypesReadAgainDoNotMoveCellsIntoOtherColumns) {
    const std::string path = m_dir.file("reread.xlsx");
    MakeXlsx(path, {CustomerSheet(2)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    DbConnection db;
    ASSERT_TRUE(db.open(m_service.endpoint(), m_service.user(), m_service.password()).ok);
    ASSERT_TRUE(db.execute("DELETE FROM tabdatatypeinfo WHERE DataType = 'Name'").ok);
    int reread = 0;
    Caller().Register(task_names::kGetDataTypeInfo, [&](TaskContext) { ++reread; });
    Caller().RequestGetDataTypeInfo();
    ASSERT_TRUE(WaitFor([&] { return reread > 0; }));
    ASSERT_EQ(Caller().GetDictionary().find("Name"), nullptr);
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(Column("SELECT PlateID || '|' || ValidFrom AS v FROM tabvehicleinfo WHERE PlateID LIKE 'P%' "
                     "ORDER BY PlateID"),
              (std::vector<std::string>{"P00000|2026-03-01", "P00001|2026-03-02"}));
}

// A workbook as openpyxl writes it (absolute part names, inline strings), with Chinese headers
// the wizard matches by itself, a code and name merged down over a customer's two vehicles and
// booleans as LibreOffice writes them (a formula with its cached value): every row is stored as
// it reads, and its eight columns fit the default window beside the vertical scrollbar.
TEST_F(ImportTest, AnOpenpyxlWorkbookWithMergedCellsAndFormulaBooleansIsStoredExactly) {
    const std::string path = m_dir.file("openpyxl.xlsx");
    ASSERT_TRUE(MakeWithOpenpyxl(path, u8R"(
import datetime, shutil, zipfile
wb = openpyxl.Workbook()
ws = wb.active
until = datetime.datetime(2026, 12, 31, 23, 59, 59)
for row in [['客户编号', '客户姓名', '车位数', '车牌号码', '车辆颜色', '生效日期', '有效期至', '允许通行'],
            ['N001', '张三', 2, '京A12345', '白色', datetime.date(2026, 3, 1), until, True],
            [None, None, 2, '京B23456', '黑色', datetime.date(2026, 3, 2), until, False],
            ['N002', '李四', 1, '沪C34567', '白色', datetime.date(2026, 3, 3), until, True]]:
    ws.append(row)
for i in range(20):  # enough rows for the grid's vertical scrollbar
    ws.append(['M%02d' % i, '王五', 1, '苏E%05d' % i, '白色', datetime.date(2026, 3, 4), until, True])
for cells in ['A2:A3', 'B2:B3']:
    ws.merge_cells(cells)
wb.save(path)
shutil.move(path, path + '.tmp')
with zipfile.ZipFile(path + '.tmp') as source, zipfile.ZipFile(path, 'w') as target:
    for item in source.infolist():
        data = source.read(item.filename)
        if item.filename.startswith('xl/worksheets/'):
            data = data.replace(b't="b"><v>1</v>', b't="b"><f>TRUE()</f><v>1</v>')
            data = data.replace(b't="b"><v>0</v>', b't="b"><f>FALSE()</f><v>0</v>')
            assert data.count(b'TRUE()</f>') == 22 and data.count(b'FALSE()</f>') == 1
        target.writestr(item, data)
)"));
    m_config->SetIntValue("Import", "AutoStep", 0);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    for (int step = CPageImport::kStepColumns; step <= CPageImport::kStepMatch; ++step) {
        Next();
        ASSERT_EQ(m_import->GetStep(), step) << ::testing::PrintToString(m_boxes);
    }
    ListNamed("import_list_excel_db_match_type").SelectItem(4);
    apptest::ClickControl(*m_main, "import_dm_auto_btn");
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << ::testing::PrintToString(m_boxes);
    m_main->GetPaintManager().UpdateLayout();
    EXPECT_EQ(ListNamed("import_list").GetScrollRange().cx, 0);
    Picture("import_openpyxl_preview");

    ASSERT_TRUE(RunImport());
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据23条,成功导入23条");
    EXPECT_EQ(Column("SELECT c.Code || '|' || c.Name || '|' || c.ParkingSpaces || '|' || v.PlateID || '|' || "
                     "v.Color || '|' || v.ValidFrom || '|' || v.ValidUntil || '|' || v.Allowed AS v FROM "
                     "tabvehicleinfo v JOIN tabcustomerinfo c ON c.CustomerID = v.CustomerID WHERE c.Code "
                     "LIKE 'N00%' ORDER BY v.PlateID"),
              (std::vector<std::string>{"N001|张三|2|京A12345|1|2026-03-01|2026-12-31 23:59:59|1",
                                        "N001|张三|2|京B23456|2|2026-03-02|2026-12-31 23:59:59|0",
                                        "N002|李四|1|沪C34567|1|2026-03-03|2026-12-31 23:59:59|1"}));
}

TEST_F(ImportTest, AnUnreadableDateRefusesItsRowNamingTheCell) {
    XlsxSheet sheet = CustomerSheet(3);
    sheet.rows[2][4] = std::string(u8"下月初");
    const std::string path = m_dir.file("dates.xlsx");
    MakeXlsx(path, {sheet});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(StatusLine(), "导入已完成，共处理数据3条,成功导入2条");
    CControlUI* tip = m_main->GetPaintManager().FindSubControlByName(
        ListNamed("import_list").GetItemAt(1), "import_error_tip");
    ASSERT_TRUE(tip && tip->IsVisible());
    EXPECT_EQ(tip->GetToolTip().str(), "日期无法识别：生效日期“下月初”");
    EXPECT_EQ(Stored(3), (std::vector<std::string>{Expected(0), Expected(2)}));
}

TEST_F(ImportTest, NoTickedRowIsRefused) {
    const std::string path = m_dir.file("none.xlsx");
    MakeXlsx(path, {CustomerSheet(3)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(static_cast<COptionUI*>(m_main->FindControl("opt_list_select_all"))->IsSelected())
        << "every row starts ticked";
    apptest::ClickControl(*m_main, "opt_list_select_all");
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请至少选择一项数据来导入！"});
    EXPECT_TRUE(m_batches.empty());
}

TEST_F(ImportTest, ABatchLostWithTheConnectionEndsTheRunWithoutMarks) {
    const std::string path = m_dir.file("failing.xlsx");
    MakeXlsx(path, {CustomerSheet(150)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    CDlgReconnect::SetRetryInterval(100);
    ExpectLostConnectionsSoon();
    m_service.pause();
    apptest::UiDriver driver;
    driver.Then([] { return true; }, [&] { apptest::ClickControl(*m_main, "btn_start_import"); })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; }, [&] { m_service.resume(); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(driver.Run(), apptest::UiDriver::kFinished);
    CDlgReconnect::SetRetryInterval(0);
    EXPECT_EQ(m_import->GetRunState(), CPageImport::kIdle);
    EXPECT_EQ(StatusLine(), "导入因连接中断而中止，共处理数据0条,成功导入0条。连接恢复后请重新导入，已导入的行会显示没有变化");
    EXPECT_EQ(MarkedItems("import_success_tip") + MarkedItems("import_error_tip") +
                  MarkedItems("import_nochange_tip"), 0);
    EXPECT_TRUE(apptest::IsControlEnabled(*m_main, "btn_start_import")) << "the operator can start again";
}

TEST_F(ImportTest, OneColumnPassesWithoutTheQuestionWhenItIsSilenced) {
    const std::string path = m_dir.file("one.xlsx");
    MakeXlsx(path, {CustomerSheet(3)});
    m_config->SetIntValue("Import", "AutoStep", 0);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepColumns);
    CContainerUI& options = ContainerNamed("import_select_excel_types");
    for (int i = 0; i < options.GetCount(); ++i)
        static_cast<COptionUI*>(options.GetItemAt(i)->GetInterface("Option"))->Selected(i == 2, false);
    Next();
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepSheets);
    EXPECT_TRUE(m_boxes.empty()) << ::testing::PrintToString(m_boxes);
}

TEST_F(ImportTest, ASheetLackingThirtyColumnsIsDisabledWithItsTooltipCut) {
    XlsxSheet full{"full", {{}, {}}};
    XlsxSheet partial{"partial", {{std::string(u8"列01")}, {std::string("x")}}};
    for (int c = 1; c <= 31; ++c) {
        full.rows[0].emplace_back(Numbered(u8"列%02d", c));
        full.rows[1].emplace_back(std::string("x"));
    }
    const std::string path = m_dir.file("sheets.xlsx");
    MakeXlsx(path, {full, partial});
    m_config->SetIntValue("Import", "AutoStep", 0);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    Next();
    TickEvery("import_select_excel_types");
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepSheets);
    CContainerUI& sheets = ContainerNamed("import_select_sheets");
    ASSERT_EQ(sheets.GetCount(), 2);
    EXPECT_TRUE(sheets.GetItemAt(0)->IsEnabled());
    CControlUI* lacking = sheets.GetItemAt(1);
    EXPECT_FALSE(lacking->IsEnabled());
    // Cut after 100 characters, never inside one.
    std::vector<std::string> characters = {"缺", "少", "的", "字", "段", "："};
    for (int c = 2; c <= 31; ++c) {
        if (c > 2) characters.push_back(",");
        characters.push_back("列");
        characters.push_back(std::to_string(c / 10));
        characters.push_back(std::to_string(c % 10));
    }
    std::string tip;
    for (int i = 0; i < 100; ++i) tip += characters[i];
    EXPECT_EQ(lacking->GetToolTip(), tip + "...");
    EXPECT_FALSE(static_cast<COptionUI*>(m_main->FindControl("opt_excel_sheets_select_all"))->IsSelected());
}

TEST_F(ImportTest, ValuesOfALookupColumnAreListedTwentyAtATime) {
    XlsxSheet sheet{"colors", {{std::string("PlateID"), std::string("Color")}}};
    for (int i = 0; i < 45; ++i) sheet.rows.push_back({Numbered("P%05d", i), Numbered("shade %02d", i)});
    const std::string path = m_dir.file("colors.xlsx");
    MakeXlsx(path, {sheet});
    RunWizardTo(path, CPageImport::kStepMatch);
    ASSERT_FALSE(HasFatalFailure());
    CListUI& types = ListNamed("import_list_excel_db_match_type");
    const data_type_info_t* color = Caller().GetDictionary().find("Color");
    Selector(types.GetItemAt(1))->Choose(color->DataTypeName.c_str(), "Color");
    types.SelectItem(1);
    CListUI& values = ListNamed("import_list_excel_db_match_value");
    CControlUI* unknown = m_main->GetPaintManager().FindSubControlByName(types.GetItemAt(1), "import_match_unknown");
    for (int shown : {20, 40}) {
        ASSERT_EQ(values.GetCount(), shown + 1) << "the show-more row stays last";
        EXPECT_TRUE(unknown->IsVisible());
        CControlUI* more = m_main->GetPaintManager().FindSubControlByName(
            values.GetItemAt(shown), "import_match_data_show_more");
        ASSERT_NE(more, nullptr);
        m_main->GetPaintManager().SendNotify(more, "click");
    }
    EXPECT_EQ(values.GetCount(), 45);
    CControlUI* error = m_main->GetPaintManager().FindSubControlByName(types.GetItemAt(1), "import_match_error_tip");
    EXPECT_TRUE(error->IsVisible()) << "every value listed, none matched";
}

TEST_F(ImportTest, AutoStepWithoutAPlateColumnGoesBackToTheStartWithANotice) {
    XlsxSheet sheet{"noplate", {{std::string("Code"), std::string("Name")}, {std::string("T1"), std::string("A")}}};
    const std::string path = m_dir.file("noplate.xlsx");
    MakeXlsx(path, {sheet});
    m_config->SetIntValue("Import", "AutoStep", 1);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    static_cast<COptionUI*>(m_main->FindControl("opt_show_import_steps"))->Selected(false, false);
    Next();
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepFile);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"请添加车牌号码!"});
    EXPECT_EQ(m_import->LastNotice(), "导入过程出现问题，详细情况请选中\"显示导入高级设置\"查看");
}

// Without the steps the operator never sees the values to match: a colour that reads as a common
// value is stored as it, where it was stored empty; one that reads as none still imports empty.
TEST_F(ImportTest, AutoStepStoresLookupTextsThatReadAsACommonValue) {
    const auto text = [](const char* s) { return XlsxCell(std::string(s)); };
    XlsxSheet sheet{u8"名单", {{text(u8"客户编号"), text(u8"车牌号码"), text(u8"车辆颜色")},
                               {text("A001"), text("A00001"), text(u8"黑色")},
                               {text("A002"), text("A00002"), text(u8"紫色")}}};
    const std::string path = m_dir.file("autostep.xlsx");
    MakeXlsx(path, {sheet});
    m_config->SetIntValue("Import", "AutoStep", 1);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    static_cast<COptionUI*>(m_main->FindControl("opt_show_import_steps"))->Selected(false, false);
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << ::testing::PrintToString(m_boxes);
    ASSERT_TRUE(RunImport());
    EXPECT_EQ(Column("SELECT PlateID || '=' || Color AS v FROM tabvehicleinfo WHERE PlateID LIKE 'A0000%' "
                     "ORDER BY PlateID"),
              (std::vector<std::string>{"A00001=2", "A00002=-1"}));
}

TEST_F(ImportTest, MatchingButtonsSayWhetherAnythingWasLeftToMatch) {
    const std::string path = m_dir.file("automatch.xlsx");
    MakeXlsx(path, {CustomerSheet(6)});
    RunWizardTo(path, CPageImport::kStepMatch);
    ASSERT_FALSE(HasFatalFailure());
    MatchTypes();
    apptest::ClickControl(*m_main, "import_dm_auto_type_btn");
    MatchColors();
    apptest::ClickControl(*m_main, "import_dm_auto_btn");
    CListUI& values = ListNamed("import_list_excel_db_match_value");
    for (int i = 0; i < values.GetCount(); ++i)
        if (values.GetItemAt(i)->GetUserData() == "green")
            Selector(values.GetItemAt(i))->Choose(Caller().GetDictionary().data_map().at("Color")[2].second.c_str(), "");
    apptest::ClickControl(*m_main, "import_dm_auto_btn");
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"所有字段都已匹配！", "没有发现相同项目！", "所有取值都已匹配！"}));
}

// Shown steps are asked for only by a stored 0; anything else, or nothing, means auto-step.
TEST_F(ImportTest, StepsAreShownOnlyWhenAutoStepIsStoredAsZero) {
    const std::string path = m_dir.file("autostep.xlsx");
    MakeXlsx(path, {CustomerSheet(3)});
    m_config->SetIntValue("Import", "AutoStep", 0);
    apptest::SetControlText(*m_main, "edit_excel_file", path.c_str());
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepColumns);
    auto* showSteps = static_cast<COptionUI*>(m_main->FindControl("opt_show_import_steps"));
    for (const auto& [stored, shown] : {std::make_pair("", false), std::make_pair("2", false),
                                        std::make_pair("1", false), std::make_pair("0", true)}) {
        m_config->SetValue("Import", "AutoStep", stored);
        apptest::ClickControl(*m_main, "btn_excel_pre");
        EXPECT_EQ(showSteps->IsSelected(), shown) << "AutoStep=" << stored;
        showSteps->Selected(true, false);
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepColumns);
    }
}

TEST_F(ImportTest, ValueMatchesAreSavedOnlyWhenTheMatchingStepIsLeftForward) {
    const std::string path = m_dir.file("abandoned.xlsx");
    MakeXlsx(path, {CustomerSheet(6)});
    m_config->SetValue("Excel", "ExcelMatchValue", "");
    RunWizardTo(path, CPageImport::kStepMatch);
    ASSERT_FALSE(HasFatalFailure());
    MatchTypes();
    MatchColors();
    apptest::ClickControl(*m_main, "btn_excel_pre");
    EXPECT_EQ(m_config->GetValue("Excel", "ExcelMatchValue"), "") << "abandoned matches are kept";
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepMatch);
    MatchTypes();
    MatchColors();
    Next();
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview);
    EXPECT_NE(m_config->GetValue("Excel", "ExcelMatchValue").find("black"), std::string::npos);
}

// A lookup type without values, added before the client logs in.
class ImportNewTypeTest : public ImportTest {
protected:
    void SetUp() override {
        DbConnection db;
        ASSERT_TRUE(db.open(m_service.endpoint(), m_service.user(), m_service.password()).ok);
        ASSERT_TRUE(db.execute("ALTER TABLE tabvehicleinfo ADD COLUMN Brand TEXT").ok);
        ASSERT_TRUE(db.execute("INSERT INTO tabdatatypeinfo (ShowIndex, DataType, DataTypeName, "
                               "DataTypeCategory, Type) VALUES (17, 'Brand', 'Brand', 1, 1)").ok);
        ImportTest::SetUp();
    }
};

TEST_F(ImportNewTypeTest, ACellValueAddedAsTheFirstCommonValueTakesIdZeroAndIsMatched) {
    XlsxSheet sheet{"brands", {{std::string("PlateID"), std::string("Brand")},
                               {std::string("P00001"), std::string("Volvo")}}};
    const std::string path = m_dir.file("brands.xlsx");
    MakeXlsx(path, {sheet});
    RunWizardTo(path, CPageImport::kStepMatch);
    ASSERT_FALSE(HasFatalFailure());
    CListUI& types = ListNamed("import_list_excel_db_match_type");
    Selector(types.GetItemAt(1))->Choose("Brand", "Brand");
    types.SelectItem(1);
    CListUI& values = ListNamed("import_list_excel_db_match_value");
    ASSERT_EQ(values.GetCount(), 1);
    values.SelectItem(0);
    int inserted = 0;
    Caller().Register(task_names::kInsertCommonData, [&](TaskContext) { ++inserted; });
    apptest::ClickControl(*m_main, "import_dm_add_btn");
    ASSERT_TRUE(WaitFor([&] { return inserted > 0; })) << ::testing::PrintToString(m_boxes);
    EXPECT_EQ(Column("SELECT ValueID || '=' || Value AS v FROM tabcommondatainfo WHERE DataType = 'Brand'"),
              std::vector<std::string>{"0=Volvo"});
    EXPECT_EQ(m_import->ValueDropDown().GetList()->GetCount(), 1);
    EXPECT_EQ(Selector(values.GetItemAt(0))->GetText(), "Volvo") << "matched as it is added";
}

// --- The workbook step: the file chosen through the desktop's dialog, and what refuses it ------

struct FileCase : testcases::NamedCase {
    void (*make)(const std::string& path);  // null: no file at the chosen path
    bool chosen;                             // false: the operator cancels the dialog
    const char* refusal;                     // null: the workbook opens and step 1 follows
};

class ImportFileStepTest : public ImportTest, public ::testing::WithParamInterface<FileCase> {
protected:
    void TearDown() override {
        UISetFileDialogHook({});
        ImportTest::TearDown();
    }
};

TEST_P(ImportFileStepTest, TheChosenFileIsOpenedOrRefusedWithItsMessage) {
    const std::string path = m_dir.file("chosen.xlsx");
    if (GetParam().make) GetParam().make(path);
    m_config->SetIntValue("Import", "AutoStep", 0);
    apptest::SetControlText(*m_main, "edit_excel_file", "");
    std::string start = "not asked";
    bool bSave = true;
    UISetFileDialogHook([&](bool bSaveDialog, CDuiString& dialogPath) {
        start = dialogPath.str();
        bSave = bSaveDialog;
        dialogPath = path.c_str();
        return GetParam().chosen;
    });
    apptest::ClickControl(*m_main, "btn_excel_file");
    EXPECT_EQ(start, "") << "an empty box starts the dialog nowhere in particular";
    EXPECT_FALSE(bSave);
    EXPECT_EQ(apptest::ControlText(*m_main, "edit_excel_file"), GetParam().chosen ? path : "");
    // Enter in the path box goes on as the forward button does.
    apptest::ClickControl(*m_main, "edit_excel_file");
    guisupport::TypeKey(VK_RETURN);
    if (!GetParam().refusal) {
        EXPECT_EQ(m_import->GetStep(), CPageImport::kStepColumns);
        EXPECT_TRUE(m_boxes.empty()) << ::testing::PrintToString(m_boxes);
        EXPECT_EQ(m_config->GetValue("Import", "FilePath"), path);
        return;
    }
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepFile);
    EXPECT_EQ(m_boxes, std::vector<std::string>{GetParam().refusal});
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImportFileStepTest,
    ::testing::Values(
        FileCase{{"AWorkbookOpens"}, +[](const std::string& p) { MakeXlsx(p, {CustomerSheet(2)}); }, true, nullptr},
        FileCase{{"CancelledLeavesNoPath"}, nullptr, false, "请选择文件！"},
        FileCase{{"MissingFile"}, nullptr, true, "找不到文件！"},
        FileCase{{"NotAWorkbook"}, +[](const std::string& p) { WriteBytes(p, "plain text, not a workbook"); },
                 true, "该文件不是Excel工作簿！"},
        FileCase{{"OnlyAHeaderRow"}, +[](const std::string& p) { MakeXlsx(p, {TextSheet("s", {{"Code", "Name"}})}); },
                 true, "excel表没有数据！"},
        FileCase{{"BlankHeaderRow"},
                 +[](const std::string& p) { MakeXlsx(p, {TextSheet("s", {{" ", " "}, {"T1", "A"}, {"T2", "B"}})}); },
                 true, "excel表没有字段！"}),
    testcases::kCaseName);

TEST_F(ImportTest, TheDialogStartsInTheFolderOfTheShownPath) {
    std::string start;
    UISetFileDialogHook([&](bool, CDuiString& dialogPath) {
        start = dialogPath.str();
        return false;
    });
    const std::string earlier = m_dir.file("earlier.xlsx");
    apptest::SetControlText(*m_main, "edit_excel_file", earlier.c_str());
    apptest::ClickControl(*m_main, "btn_excel_file");
    UISetFileDialogHook({});
    EXPECT_EQ(start, m_dir.path().string() + "/");
    EXPECT_EQ(apptest::ControlText(*m_main, "edit_excel_file"), earlier) << "a cancelled dialog changes nothing";
}

// Going back to the start closes the workbook and the later steps are no longer ready: the next
// step is only reached through the workbook step again, which refuses a file that went bad.
TEST_F(ImportTest, AfterGoingBackTheStepsAheadAreReachedOnlyThroughTheWorkbookStepAgain) {
    const std::string path = m_dir.file("back.xlsx");
    MakeXlsx(path, {CustomerSheet(3)});
    RunWizardTo(path, CPageImport::kStepMatch);
    ASSERT_FALSE(HasFatalFailure());
    apptest::ClickControl(*m_main, "btn_excel_pre");
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepSheets);
    apptest::ClickControl(*m_main, "btn_excel_pre");
    apptest::ClickControl(*m_main, "btn_excel_pre");
    ASSERT_EQ(m_import->GetStep(), CPageImport::kStepFile);
    EXPECT_FALSE(m_import->Workbook().WorkbookOpen());
    EXPECT_FALSE(m_main->FindControl("btn_excel_pre")->IsVisible());
    WriteBytes(path, "no longer a workbook");
    Next();
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepFile);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"该文件不是Excel工作簿！"});
}

TEST_F(ImportTest, NoStepChangesWhileARunIsActive) {
    const std::string path = m_dir.file("running.xlsx");
    MakeXlsx(path, {CustomerSheet(250)});
    RunWizardTo(path, CPageImport::kStepPreview);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(m_main->FindControl("btn_excel_next")->IsVisible()) << "the last step has no next";
    apptest::ClickControl(*m_main, "opt_list_select_all_page");
    apptest::ClickControl(*m_main, "btn_start_import");
    apptest::ClickControl(*m_main, "btn_start_import");
    ASSERT_TRUE(WaitFor([&] { return m_import->GetRunState() == CPageImport::kPaused; }));
    apptest::ClickControl(*m_main, "btn_excel_pre");
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << "a paused run keeps its step";
    apptest::ClickControl(*m_main, "btn_stop_import");
    ASSERT_EQ(m_import->GetRunState(), CPageImport::kIdle);
    apptest::ClickControl(*m_main, "btn_excel_pre");
    EXPECT_EQ(m_import->GetStep(), CPageImport::kStepMatch);
}

struct StepKey : testcases::NamedCase {
    const char* pressed;
    int fromStep;
    const char* focused;
};

class ImportStepKeyTest : public ImportTest, public ::testing::WithParamInterface<StepKey> {};

// Space on a step button keeps the keyboard on the page: the button keeps the focus, or hands
// it to what the new step offers next when it hides itself.
TEST_P(ImportStepKeyTest, AStepButtonPressedFromTheKeyboardKeepsTheFocusOnThePage) {
    const std::string path = m_dir.file("keys.xlsx");
    MakeXlsx(path, {CustomerSheet(3)});
    RunWizardTo(path, GetParam().fromStep);
    ASSERT_FALSE(HasFatalFailure());
    if (GetParam().fromStep == CPageImport::kStepMatch) MatchTypes();
    while (m_import->GetStep() > GetParam().fromStep) apptest::ClickControl(*m_main, "btn_excel_pre");
    ASSERT_EQ(m_import->GetStep(), GetParam().fromStep);
    m_main->FindControl(GetParam().pressed)->SetFocus();
    guisupport::PressKey(m_main->GetHWND(), VK_SPACE);
    EXPECT_NE(m_import->GetStep(), GetParam().fromStep) << ::testing::PrintToString(m_boxes);
    CControlUI* focus = m_main->GetPaintManager().GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->GetName().str(), GetParam().focused);
    EXPECT_TRUE(focus->IsVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ImportStepKeyTest,
    ::testing::Values(StepKey{{"NextToTheMatching"}, "btn_excel_next", CPageImport::kStepSheets, "btn_excel_next"},
                      StepKey{{"NextToThePreview"}, "btn_excel_next", CPageImport::kStepMatch, "btn_start_import"},
                      StepKey{{"BackToTheWorkbook"}, "btn_excel_pre", CPageImport::kStepColumns, "btn_excel_next"}),
    testcases::kCaseName);

// --- Common values changed while the values of a lookup column are matched ----------------------

class ImportCommonValueTest : public ImportTest {
protected:
    // Step 3 with the colour column selected: white and black matched to the first two values.
    void MatchColorsOf(int rows) {
        const std::string path = m_dir.file("colors.xlsx");
        MakeXlsx(path, {CustomerSheet(rows)});
        RunWizardTo(path, CPageImport::kStepMatch);
        ASSERT_FALSE(HasFatalFailure());
        MatchTypes();
        MatchColors();
        ASSERT_EQ(m_import->ValueDropDown().GetList()->GetCount(), 5);
    }
    CComboUnionUI* ValueSelector(const char* cellText) {
        CListUI& values = ListNamed("import_list_excel_db_match_value");
        for (int i = 0; i < values.GetCount(); ++i)
            if (values.GetItemAt(i)->GetUserData() == cellText) return Selector(values.GetItemAt(i));
        return nullptr;
    }
    bool ColorRowShows(const char* mark) {
        CControlUI* row = ListNamed("import_list_excel_db_match_type").GetItemAt(3);
        return m_main->GetPaintManager().FindSubControlByName(row, mark)->IsVisible();
    }
    std::string ColorMatchOf(const char* cellText) {
        const auto& matches = m_import->Workbook().ValueMatching().at("Color");
        const auto found = matches.find(cellText);
        return found == matches.end() ? "" : found->second;
    }
    bool AwaitTask(const char* task) {
        int completed = 0;
        Caller().Register(task, [&](TaskContext) { ++completed; });
        const bool bDone = WaitFor([&] { return completed > 0; });
        Caller().Unregister(task);
        return bDone;
    }
};

TEST_F(ImportCommonValueTest, TheDeleteButtonOfADropDownItemDeletesTheValueAndEveryMatchToIt) {
    MatchColorsOf(6);
    ASSERT_FALSE(HasFatalFailure());
    // A text whose row is not listed yet, matched to the same value.
    m_import->Workbook().SetValueMatch("Color", "白色", "ivory");
    CComboUnionUI* white = ValueSelector("white");
    ASSERT_NE(white, nullptr);
    m_main->GetPaintManager().UpdateLayout();
    guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(white->GetPos()));
    ASSERT_TRUE(WaitFor([&] { return white->IsDropped(); }));
    CComboUnionWnd& dropDown = m_import->ValueDropDown();
    dropDown.GetPaintManager().UpdateLayout();
    CListUI* items = dropDown.GetList();
    ASSERT_EQ(items->GetCurSel(), 0) << "the open list selects the value the row shows";
    CControlUI* remove = dropDown.GetPaintManager().FindSubControlByName(items->GetItemAt(0),
                                                                           "delete_import_data_list_item");
    ASSERT_TRUE(remove && remove->IsVisible());
    guisupport::SaveScreenshot(dropDown.GetHWND(), "import_value_drop_down");
    // The text of the shown value chooses it again; the list opens again for the delete.
    const RECT shownItem = items->GetItemAt(0)->GetPos();
    guisupport::Click(dropDown.GetHWND(), POINT{shownItem.left + 20, (shownItem.top + shownItem.bottom) / 2});
    ASSERT_TRUE(WaitFor([&] { return !white->IsDropped(); })) << "the shown value is chosen again";
    EXPECT_EQ(std::string(white->GetText()), "白色");
    guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(white->GetPos()));
    ASSERT_TRUE(WaitFor([&] { return white->IsDropped(); }));
    dropDown.GetPaintManager().UpdateLayout();

    int deleted = 0;
    Caller().Register(task_names::kDeleteCommonData, [&](TaskContext) { ++deleted; });
    // The value goes from the vehicles too, so the operator is asked first.
    m_nextAnswer = 1;
    guisupport::Click(dropDown.GetHWND(), guisupport::CenterOf(remove->GetPos()));
    EXPECT_EQ(m_boxes, std::vector<std::string>{"删除取值“白色”后，使用它的记录的“车辆颜色”将被清空。确定要删除吗？"});
    guisupport::ProcessMessagesUntil([&] { return deleted > 0; }, 100);
    EXPECT_EQ(deleted, 0) << "cancelled";
    m_nextAnswer = 0;
    if (!white->IsDropped()) {
        guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(white->GetPos()));
        ASSERT_TRUE(WaitFor([&] { return white->IsDropped(); }));
        dropDown.GetPaintManager().UpdateLayout();
    }
    guisupport::Click(dropDown.GetHWND(), guisupport::CenterOf(remove->GetPos()));
    ASSERT_TRUE(WaitFor([&] { return deleted > 0; })) << ::testing::PrintToString(m_boxes);
    EXPECT_EQ(Column("SELECT Value AS v FROM tabcommondatainfo WHERE DataType = 'Color' ORDER BY ValueID"),
              (std::vector<std::string>{"黑色", "银色", "红色", "蓝色"}));
    ASSERT_EQ(items->GetCount(), 4);
    EXPECT_EQ(CComboUnionWnd::ItemText(items->GetItemAt(0)), "黑色");
    EXPECT_TRUE(white->GetText().IsEmpty());
    EXPECT_EQ(ColorMatchOf("white"), "");
    EXPECT_EQ(ColorMatchOf("ivory"), "") << "a match of a row not listed goes with the value";
    EXPECT_EQ(ColorMatchOf("black"), "黑色");
    EXPECT_TRUE(ColorRowShows("import_match_error_tip"));
}

// "UpdateCommonData" is sent by the configuration page; the wizard follows it only on the
// matching step and for the type whose values it lists.
struct RenameCase : testcases::NamedCase {
    int typeRow;     // the type-match row selected when the rename completes
    bool bPreview;   // the wizard went on to the preview before it
    bool bFollowed;
};

class ImportRenameTest : public ImportCommonValueTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(ImportRenameTest, ARenamedCommonValueIsFollowedOnlyWhereItIsListed) {
    MatchColorsOf(6);
    ASSERT_FALSE(HasFatalFailure());
    m_import->Workbook().SetValueMatch("Color", "白色", "ivory");
    ListNamed("import_list_excel_db_match_type").SelectItem(GetParam().typeRow);
    if (GetParam().bPreview) {
        Next();
        ASSERT_EQ(m_import->GetStep(), CPageImport::kStepPreview) << ::testing::PrintToString(m_boxes);
    }
    Caller().RequestUpdateCommonData("Color", "珍珠白", 1);
    ASSERT_TRUE(AwaitTask(task_names::kUpdateCommonData));
    const char* shown = GetParam().bFollowed ? "珍珠白" : "白色";
    EXPECT_EQ(CComboUnionWnd::ItemText(m_import->ValueDropDown().GetList()->GetItemAt(0)), shown);
    // Selecting another type row empties the value list.
    if (CComboUnionUI* white = ValueSelector("white")) {
        EXPECT_EQ(std::string(white->GetText()), shown);
    }
    EXPECT_EQ(ColorMatchOf("white"), shown);
    EXPECT_EQ(ColorMatchOf("ivory"), shown);
    EXPECT_EQ(ColorMatchOf("black"), "黑色");
}

INSTANTIATE_TEST_SUITE_P(Completions, ImportRenameTest,
                         ::testing::Values(RenameCase{{"ColorListed"}, 3, false, true},
                                           RenameCase{{"PlateRowSelected"}, 2, false, false},
                                           RenameCase{{"OnThePreview"}, 3, true, false}),
                         testcases::kCaseName);

}  // namespace
}  // namespace pagetest

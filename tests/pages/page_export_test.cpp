// The export page against a real service: the save dialog's suffix rule, the three modes, a
// walk of the whole list that ends on a shrunken list or a lost connection, rows beyond a full
// sheet in the next sheet, and the written workbook read back by LibreOffice.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/dlg_reconnect.h"
#include "netsqlite/text_codec.h"
#include "pages/page_export.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/guisupport/gui_support.h"
#include "tests/pages/page_list_fixture.h"
#include "uilib/button_ui.h"
#include "uilib/file_dialog.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace pagetest {
namespace {

using apptest::ClickControl;
using Rows = std::vector<std::vector<std::string>>;  // GBK, like the grid

constexpr int kSteps = 3;

class PageExportTest : public PageListTest {
protected:
    void SetUp() override {
        PageListTest::SetUp();
        if (HasFatalFailure()) return;
        m_export = static_cast<CPageExport*>(m_main->GetPage(kPageExport)->GetInterface("PageExport"));
        ASSERT_NE(m_export, nullptr);
        m_target = m_dir.file("customers.xls");
        ShowExportPage();
    }
    void TearDown() override { UISetFileDialogHook({}); }

    void ShowExportPage() {
        ClickControl(*m_main, "option_import");
        ClickControl(*m_main, "sub_option_export");
    }

    // The list shows `customers` fresh rows (it refreshes only while it is the page shown).
    void ShowRows(int customers) {
        m_main->SelectNavOption(0);
        ReplaceRows(customers);
        ASSERT_TRUE(Refresh());
        ShowExportPage();
    }

    // The save dialog answers with `chosen`; returns what the page put into the path edit.
    std::string ChooseFile(const std::string& chosen) {
        UISetFileDialogHook([chosen](bool bSave, CDuiString& path) {
            EXPECT_TRUE(bSave);
            path = chosen.c_str();
            return true;
        });
        ClickControl(*m_main, "btn_export_excel_file");
        return Text("edit_export_excel_file");
    }

    void GoToStep(int step) {
        while (m_steps < step) {
            ClickControl(*m_main, "export_btn_excel_next");
            ++m_steps;
        }
    }

    // Chooses the target, the mode, and starts; a whole-list export is then under way.
    void StartExport(const char* mode) {
        ChooseFile(m_target);
        GoToStep(1);
        ClickControl(*m_main, mode);
        GoToStep(2);
        ClickControl(*m_main, "btn_start_export");
    }

    bool WaitForExportEnd() {
        return WaitFor([&] { return !m_export->IsWalkingList() && Enabled("btn_start_export"); });
    }

    // The grid's header and items, as the operator sees them.
    Rows Shown(const std::vector<int>& items) {
        Rows rows(1);
        CListHeaderUI* header = List().GetHeader();
        for (int column = 1; column + 1 < header->GetCount(); ++column)
            rows[0].push_back(header->GetItemAt(column)->GetText().str());
        for (int item : items) {
            std::vector<std::string> cells;
            for (int column = 1; column + 1 < header->GetCount(); ++column)
                cells.push_back(Cell(item, column));
            rows.push_back(cells);
        }
        return rows;
    }

    // The written workbook's first sheet as LibreOffice reads it, back in GBK.
    Rows ReadBack() {
        const std::string csvDir = m_dir.file("csv");
        EXPECT_TRUE(Office(m_scratch).Convert({m_target}, kCsvUtf8Filter, csvDir));
        return ReadCsvGbk(csvDir + "/customers.csv");
    }

    // Every sheet of the written workbook as LibreOffice reads it; sheets as Excel names them.
    std::vector<Rows> ReadBackSheets(int sheets) {
        const std::string csvDir = m_dir.file("csv");
        EXPECT_TRUE(Office(m_scratch).Convert({m_target}, kCsvUtf8EverySheetFilter, csvDir));
        std::vector<Rows> read;
        for (int sheet = 1; sheet <= sheets; ++sheet)
            read.push_back(ReadCsvGbk(csvDir + "/customers-Sheet" + std::to_string(sheet) + ".csv"));
        EXPECT_FALSE(Exists(csvDir + "/customers-Sheet" + std::to_string(sheets + 1) + ".csv"));
        return read;
    }

    static Rows ReadCsvGbk(const std::string& path) {
        Rows rows = ReadCsv(path);
        for (auto& row : rows)
            for (auto& cell : row) cell = Utf8ToGbk(cell);
        return rows;
    }

    static bool Exists(const std::string& path) {
        struct stat info;
        return ::stat(path.c_str(), &info) == 0;
    }

    CPageExport* m_export = nullptr;
    std::string m_target;
    int m_steps = 0;
    ScratchDir m_scratch;
};

#define SKIP_WITHOUT_OFFICE() \
    if (!Office::Available()) GTEST_SKIP() << "soffice (libreoffice-calc-nogui) is not installed"

struct SuffixCase {
    const char* chosen;
    const char* shown;
};

class SaveDialogSuffix : public PageExportTest, public ::testing::WithParamInterface<SuffixCase> {};

TEST_P(SaveDialogSuffix, AppendsXlsUnlessTheLastPartIsExactlyXls) {
    EXPECT_EQ(ChooseFile(GetParam().chosen), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SaveDialogSuffix,
    ::testing::Values(SuffixCase{"/tmp/out", "/tmp/out.xls"},
                      SuffixCase{"/tmp/OUT.XLS", "/tmp/OUT.XLS.xls"},
                      SuffixCase{"/tmp/a.b/out.xls", "/tmp/a.b/out.xls"},
                      SuffixCase{"/tmp/out.xls.bak", "/tmp/out.xls.bak.xls"}));

TEST_F(PageExportTest, TheStepButtonsMoveThroughTheWizard) {
    EXPECT_FALSE(m_main->FindControl("export_btn_excel_pre")->IsVisible());
    EXPECT_EQ(ChooseFile(m_target), m_target);
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_export_step0");
    GoToStep(1);
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_export_step1");
    GoToStep(2);
    EXPECT_FALSE(m_main->FindControl("export_btn_excel_next")->IsVisible());
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_export_step2");
    ClickControl(*m_main, "export_btn_excel_pre");
    ClickControl(*m_main, "export_btn_excel_pre");
    EXPECT_EQ(Text("edit_export_excel_file"), m_target) << "back on the first step";
    m_main->FindControl("edit_export_excel_file")->SetFocus();
    guisupport::PressKey(m_main->GetHWND(), VK_RETURN);
    EXPECT_TRUE(m_main->FindControl("opt_export_all")->IsVisible()) << "Enter in the file field goes on";
    EXPECT_EQ(m_main->GetPaintManager().GetFocus(), m_main->FindControl("export_btn_excel_next"));
}

struct KeyboardStep {
    const char* pressed;
    int fromStep;
    const char* focused;
};

void PrintTo(const KeyboardStep& k, std::ostream* out) { *out << k.pressed << " on step " << k.fromStep; }

class StepButtonFromTheKeyboard : public PageExportTest,
                                  public ::testing::WithParamInterface<KeyboardStep> {};

// A step button that hides itself hands the focus on, so Space goes on working on the page.
TEST_P(StepButtonFromTheKeyboard, HandsTheFocusToWhatTheStepOffersNext) {
    GoToStep(GetParam().fromStep);
    m_main->FindControl(GetParam().pressed)->SetFocus();
    ASSERT_EQ(m_main->GetPaintManager().GetFocus(), m_main->FindControl(GetParam().pressed));
    guisupport::PressKey(m_main->GetHWND(), VK_SPACE);
    CControlUI* focus = m_main->GetPaintManager().GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->GetName().str(), GetParam().focused);
    EXPECT_TRUE(focus->IsVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, StepButtonFromTheKeyboard,
    ::testing::Values(KeyboardStep{"export_btn_excel_next", 1, "btn_start_export"},
                      KeyboardStep{"export_btn_excel_pre", 1, "export_btn_excel_next"},
                      KeyboardStep{"export_btn_excel_next", 0, "export_btn_excel_next"}));

TEST_F(PageExportTest, TheWholeListIsWalkedPageByPageAndTheListReturnsToItsPage) {
    ShowRows(45);
    ASSERT_TRUE(m_page->GotoPage(1));
    ASSERT_TRUE(WaitForLoads());
    std::vector<int> progress;
    Caller().Register(task_names::kLoadDbRange, [&](TaskContext) {
        auto* bar = static_cast<CProgressUI*>(m_main->FindControl("export_progressbar")->GetInterface("Progress"));
        if (m_export->IsWalkingList() || progress.size() < 3) progress.push_back(bar->GetValue());
        if (progress.size() == 1) guisupport::SaveScreenshot(m_main->GetHWND(), "page_export_progress");
    });
    const int loads = m_loads;
    StartExport("opt_export_all");
    EXPECT_FALSE(Enabled("sub_option_import")) << "no import while the list is walked";
    EXPECT_FALSE(Enabled("pl_btn_goto_page"));
    ASSERT_TRUE(WaitForExportEnd());
    ASSERT_TRUE(WaitForLoads(loads + 4 - m_loads)) << "three pages and the page shown before";
    EXPECT_EQ(progress, (std::vector<int>{44, 88, 100}));
    EXPECT_EQ(m_page->GetPageIndex(), 1);
    EXPECT_EQ(Cell(0, ColumnOf("Code")), "T0021");
    EXPECT_TRUE(Enabled("pl_btn_goto_page"));
    EXPECT_TRUE(Enabled("sub_option_import"));
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出45行");
    EXPECT_TRUE(m_main->FindControl("export_open_file")->IsVisible());
    EXPECT_FALSE(m_main->FindControl("export_progressbar")->IsVisible());
    EXPECT_TRUE(m_boxes.empty());
    guisupport::SaveScreenshot(m_main->GetHWND(), "page_export_done");

    SKIP_WITHOUT_OFFICE();
    const Rows written = ReadBack();
    ASSERT_EQ(written.size(), 46u);
    std::vector<int> items;
    for (int item = 0; item < 20; ++item) items.push_back(item);
    Rows shown = Shown(items);
    EXPECT_EQ(written[0], shown[0]) << "the header is the list's columns in order";
    for (int item = 0; item < 20; ++item) EXPECT_EQ(written[21 + item], shown[1 + item]);
}

TEST_F(PageExportTest, AFullSheetGoesOnInANewSheetThatStartsWithTheHeaderAgain) {
    ShowRows(45);
    m_export->SetRowsPerSheet(20);
    const int loads = m_loads;
    StartExport("opt_export_all");
    ASSERT_TRUE(WaitForExportEnd());
    ASSERT_TRUE(WaitForLoads(loads + 4 - m_loads)) << "three pages and the page shown before";
    EXPECT_EQ(m_export->GetExported(), 45);
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出45行");
    EXPECT_TRUE(m_boxes.empty());

    SKIP_WITHOUT_OFFICE();
    std::vector<int> items;
    for (int item = 0; item < 20; ++item) items.push_back(item);
    const Rows shown = Shown(items);
    Rows rows;
    std::vector<size_t> sizes;
    for (const Rows& sheet : ReadBackSheets(3)) {
        ASSERT_FALSE(sheet.empty());
        EXPECT_EQ(sheet[0], shown[0]) << "every sheet starts with the header";
        sizes.push_back(sheet.size());
        rows.insert(rows.end(), sheet.begin() + 1, sheet.end());
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{20, 20, 8}));
    ASSERT_EQ(rows.size(), 45u);
    EXPECT_EQ(Rows(rows.begin(), rows.begin() + 20), Rows(shown.begin() + 1, shown.end()))
        << "the first page's rows first, as the list shows them";
    EXPECT_EQ(rows.back()[ColumnOf("Code") - 1], "T0045");
}

TEST_F(PageExportTest, TheCurrentPageIsWrittenAsTheListShowsIt) {
    StartExport("opt_export_cur_page");
    ASSERT_TRUE(WaitForExportEnd());
    EXPECT_EQ(m_export->GetExported(), 20);
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出20行");
    SKIP_WITHOUT_OFFICE();
    std::vector<int> items;
    for (int item = 0; item < 20; ++item) items.push_back(item);
    EXPECT_EQ(ReadBack(), Shown(items)) << "lookup values by name, yes/no as 是/否";
}

TEST_F(PageExportTest, SelectedRowsAreWrittenInListOrder) {
    m_main->SelectNavOption(0);
    ClickRow(3);
    ClickRow(1, MK_CONTROL);
    ShowExportPage();
    StartExport("opt_export_cur_select");
    ASSERT_TRUE(WaitForExportEnd());
    EXPECT_EQ(m_export->GetExported(), 2);
    SKIP_WITHOUT_OFFICE();
    EXPECT_EQ(ReadBack(), Shown({1, 3}));
}

// The list's pages are read with their hidden columns for the walk; the rows the list shows
// lack them, so only the whole list can go out with every column.
TEST_F(PageExportTest, EveryColumnGoesOutForTheWholeListHiddenOnesToo) {
    ChooseFile(m_target);
    GoToStep(1);
    ClickControl(*m_main, "opt_export_all_columns");
    ClickControl(*m_main, "opt_export_cur_page");
    GoToStep(2);
    ClickControl(*m_main, "btn_start_export");
    EXPECT_EQ(m_boxes, std::vector<std::string>{
                           "导出全部列时只能导出整个客户列表，请返回上一步选择“整个客户列表”！"});
    EXPECT_FALSE(Exists(m_target));
    ClickControl(*m_main, "export_btn_excel_pre");
    ClickControl(*m_main, "opt_export_all");
    ClickControl(*m_main, "export_btn_excel_next");
    ClickControl(*m_main, "btn_start_export");
    ASSERT_TRUE(WaitForExportEnd());
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出" + std::to_string(m_page->GetTotal()) + "行");
    SKIP_WITHOUT_OFFICE();
    const Rows written = ReadBack();
    ASSERT_GT(written.size(), 1u);
    std::vector<std::string> names;
    for (const data_type_info_t* type : Caller().GetDictionary().all_columns())
        names.push_back(type->DataTypeName);
    EXPECT_EQ(written[0], names);
    const auto spaces = std::find(names.begin(), names.end(), "车位数") - names.begin();
    EXPECT_EQ(written[1][spaces], "1") << "the first demo customer's hidden 车位数";
}

// Refused before the overwrite question is asked.
TEST_F(PageExportTest, NoSelectedRowsSaysSoFirstAndLeavesTheFileAsItWas) {
    WriteBytes(m_target, "old");
    const std::string before = ReadBytes(m_target);
    StartExport("opt_export_cur_select");
    EXPECT_EQ(m_boxes, std::vector<std::string>{
                           "客户列表中没有选中的项目，您可以去客户列表选择，或者返回上一步，选择其他导出选项！"});
    EXPECT_EQ(ReadBytes(m_target), before);
    EXPECT_EQ(Text("export_done_msg"), "");
    EXPECT_TRUE(Enabled("btn_start_export"));
}

class ExistingTarget : public PageExportTest, public ::testing::WithParamInterface<const char*> {};

// Paths are GBK in the program and UTF-8 on disk: a Chinese name must be found all the same.
TEST_P(ExistingTarget, IsKeptWhenTheOverwriteIsRefused) {
    const std::string onDisk = m_dir.file(GetParam());
    WriteBytes(onDisk, "old");
    m_target = Utf8ToGbk(onDisk);
    m_nextAnswer = 1;
    StartExport("opt_export_cur_page");
    EXPECT_EQ(m_boxes, std::vector<std::string>{"文件已存在，确定要覆盖吗？"});
    EXPECT_EQ(ReadBytes(onDisk), "old");
}

INSTANTIATE_TEST_SUITE_P(Names, ExistingTarget, ::testing::Values("customers.xls", u8"客户名单.xls"));

TEST_F(PageExportTest, AFileOpenInLibreOfficeIsNotReplacedUnderIt) {
    WriteBytes(m_target, "old");
    WriteBytes(m_dir.file(".~lock.customers.xls#"), ",operator,host,07.12.2026 16:50,;");
    StartExport("opt_export_cur_page");
    EXPECT_EQ(m_boxes, std::vector<std::string>{
                           "文件正在被其他程序打开，请先关闭该文件，或者选择其他文件名！"});
    EXPECT_EQ(ReadBytes(m_target), "old");
}

class UnwritableTarget : public PageExportTest, public ::testing::WithParamInterface<const char*> {};

// Said before the list is read, not after every row has been.
TEST_P(UnwritableTarget, IsRefusedBeforeAnyRowIsRead) {
    ASSERT_TRUE(std::filesystem::create_directory(m_dir.file("folder.xls")));
    m_target = m_dir.file(GetParam());
    StartExport("opt_export_all");
    EXPECT_EQ(m_boxes, std::vector<std::string>{
                           "不能在这个位置保存文件，请选择一个存在并且可以写入的文件夹！"});
    EXPECT_FALSE(m_export->IsWalkingList());
    EXPECT_TRUE(Enabled("btn_start_export"));
    EXPECT_FALSE(std::filesystem::is_regular_file(m_target));
}

INSTANTIATE_TEST_SUITE_P(Paths, UnwritableTarget,
                         ::testing::Values("missing/customers.xls", "folder.xls"));

TEST_F(PageExportTest, AWalkEndsAfterTheLastPageWhenRowsWereDeletedMeanwhile) {
    ShowRows(45);
    // Deleted elsewhere after the list counted 45 rows: the third page comes back empty.
    Exec("DELETE FROM tabvehicleinfo WHERE CustomerID > 25");
    Exec("DELETE FROM tabcustomerinfo WHERE CustomerID > 25");
    ASSERT_EQ(m_page->GetTotal(), 45);
    StartExport("opt_export_all");
    ASSERT_TRUE(WaitForExportEnd());
    EXPECT_EQ(m_export->GetExported(), 25);
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出25行");
    EXPECT_TRUE(Enabled("pl_btn_goto_page")) << "the list is no longer busy";
}

class DisturbedWalk;

struct WalkDisturbance {
    const char* what;
    void (DisturbedWalk::*act)();
    const char* message;  // nullptr: the walk writes every row once
};

void PrintTo(const WalkDisturbance& d, std::ostream* out) { *out << d.what; }

class DisturbedWalk : public PageExportTest, public ::testing::WithParamInterface<WalkDisturbance> {
public:
    // What the operator or the database does once the first page is written.
    void GoToFirstListPage() {
        m_main->SelectNavOption(0);
        apptest::SetControlText(*m_main, "pl_edit_goto_page", "1");
        ClickControl(*m_main, "pl_edit_goto_page");
        guisupport::TypeKey(VK_RETURN);
    }
    void DeleteARowOnTheList() {
        m_main->SelectNavOption(0);
        ClickRow(0);
        guisupport::PressKey(m_main->GetHWND(), VK_DELETE);
    }
    void BreakThePageQuery() { Exec("ALTER TABLE tabcustomerinfo RENAME COLUMN Name TO Renamed"); }
    void HideAShownColumn() {
        data_type_info_t hidden = **Caller().GetDictionary().shown_columns().begin();
        hidden.ShowList = 0;
        Caller().RequestUpdateDataTypeInfo(hidden);
    }
};

TEST_P(DisturbedWalk, NeitherRepeatsNorLosesRowsNorSavesWhatItCouldNotRead) {
    ShowRows(45);
    WriteBytes(m_target, "old");
    bool disturbed = false;
    Caller().Register(task_names::kLoadDbRange, [&](TaskContext) {
        if (m_export->IsWalkingList() && m_export->GetExported() == 20 && !disturbed) {
            disturbed = true;
            (this->*GetParam().act)();
        }
    });
    StartExport("opt_export_all");
    ASSERT_TRUE(WaitForExportEnd());
    ASSERT_TRUE(disturbed);
    EXPECT_TRUE(Enabled("pl_edit_search")) << "the list is no longer busy";
    if (GetParam().message) {
        EXPECT_EQ(m_boxes.front(), "文件已存在，确定要覆盖吗？");
        EXPECT_EQ(m_boxes.back(), GetParam().message);
        EXPECT_EQ(ReadBytes(m_target), "old");
        EXPECT_EQ(Text("export_done_msg"), "");
        return;
    }
    EXPECT_EQ(m_boxes, std::vector<std::string>{"文件已存在，确定要覆盖吗？"});
    EXPECT_EQ(Text("export_done_msg"), "导出已完成，共导出45行");
    SKIP_WITHOUT_OFFICE();
    const Rows written = ReadBack();
    ASSERT_EQ(written.size(), 46u);
    const int code = ColumnOf("Code") - 1;
    for (int row = 1; row <= 45; ++row) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "T%04d", row);
        EXPECT_EQ(written[row][code], expected) << "every row once, in list order";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walks, DisturbedWalk,
    ::testing::Values(
        WalkDisturbance{"the operator goes to another page of the list",
                        &DisturbedWalk::GoToFirstListPage, nullptr},
        WalkDisturbance{"a row is deleted on the list page", &DisturbedWalk::DeleteARowOnTheList,
                        "导出时客户列表被修改，导出已停止，文件没有保存，请重新导出！"},
        WalkDisturbance{"a page query fails on the service", &DisturbedWalk::BreakThePageQuery,
                        "读取客户列表失败，导出已停止，文件没有保存！"},
        WalkDisturbance{"a shown column is hidden on the configuration page",
                        &DisturbedWalk::HideAShownColumn,
                        "导出时客户列表隐藏了要导出的列，导出已停止，文件没有保存，请重新导出！"}));

TEST_F(PageExportTest, AListEmptiedSinceItWasCountedSaysThereIsNothingToExport) {
    ShowRows(45);
    Exec("DELETE FROM tabvehicleinfo");
    Exec("DELETE FROM tabcustomerinfo");
    StartExport("opt_export_all");
    ASSERT_TRUE(WaitForExportEnd());
    EXPECT_EQ(m_boxes, std::vector<std::string>{"没有可以导出的数据！"});
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Text("export_done_msg"), "");
}

TEST_F(PageExportTest, ALostConnectionEndsTheWalkAndKeepsTheExistingFile) {
    ShowRows(45);
    WriteBytes(m_target, "old");
    CDlgReconnect::SetRetryInterval(100);
    bool paused = false;
    Caller().Register(task_names::kLoadDbRange, [&](TaskContext) {
        if (m_export->IsWalkingList() && !paused) {
            m_service.pause();
            paused = true;
        }
    });
    apptest::UiDriver driver;
    driver.Then([] { return true; }, [&] { StartExport("opt_export_all"); })
        .Then([&] { return m_main->GetReconnectDialog() != nullptr; }, [&] { m_service.resume(); })
        .Then([&] { return m_main->GetReconnectDialog() == nullptr; });
    EXPECT_EQ(driver.Run(), apptest::UiDriver::kFinished);
    CDlgReconnect::SetRetryInterval(0);
    EXPECT_EQ(m_boxes, (std::vector<std::string>{"文件已存在，确定要覆盖吗？",
                                                 "与数据库的连接已断开，导出已停止，文件没有保存！"}));
    EXPECT_FALSE(m_export->IsWalkingList());
    EXPECT_EQ(ReadBytes(m_target), "old");
    EXPECT_TRUE(Enabled("btn_start_export"));
    EXPECT_TRUE(Enabled("sub_option_import"));
    EXPECT_EQ(Text("export_done_msg"), "");
}

}  // namespace
}  // namespace pagetest

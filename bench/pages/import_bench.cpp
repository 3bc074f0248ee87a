// The import page on a 10,000-row workbook whose customers each have two vehicles, on two rows
// that differ in the customer's 车位数. The run in all-pages mode with page size 500, from
// the start click to the summary, next to the floor of the same work without the page (the
// workbook holder reading the same cells, and the store importing the same rows in batches of
// 500 on a connection of its own); both start from a database without the rows, in turn over
// several repeats. And a preview page of 500 rows, a control in every cell, from the click on the
// next or previous page until it is laid out and painted.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "settings/config.h"
#include "bench/bench_timing.h"
#include "bench/pages/bench_login.h"
#include "excel/excel_import_book.h"
#include "pages/page_import.h"
#include "store/bulk_import.h"
#include "store/data_type_store.h"
#include "store/store.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"
#include "uilib/combo_ui.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr int kRepeats = 5;
constexpr int kRows = 10000;
constexpr int kPageSize = 500;
constexpr int kPageSizeItem = 4;  // 500 in the page-size combo
constexpr int kWaitMs = 120000;

using benchtiming::MillisOf;
using benchtiming::Require;

// Columns named as the dictionary names the data types, so the wizard matches them by itself.
// The workbook is written from UTF-8 texts.
const char* const kHeader[] = {u8"客户编号", u8"客户姓名", u8"车牌号码", u8"车辆颜色",
                               u8"生效日期", u8"有效期至", u8"允许通行", u8"车位数"};
const char* const kColors[] = {u8"白色", u8"黑色", u8"银色"};

std::string Numbered(const char* format, int i) {
    char text[32];
    std::snprintf(text, sizeof text, format, i);
    return text;
}

void MakeWorkbook(const std::string& path) {
    XlsxSheet sheet{"whitelist", {}};
    XlsxRow header;
    for (const char* title : kHeader) header.emplace_back(std::string(title));
    sheet.rows.push_back(header);
    for (int i = 0; i < kRows; ++i)
        sheet.rows.push_back({Numbered("ZC%05d", i / 2), Numbered(u8"车主%d", i / 2),
                              Numbered("ZP%05d", i), std::string(kColors[i % 3]),
                              XlsxDate{2026, 3, 1 + i % 28, 0, 0, 0}, XlsxDate{2026, 12, 31, 23, 59, 59},
                              std::string(i % 2 ? "1" : "0"), std::string(i % 2 ? "2" : "1")});
    MakeXlsx(path, {sheet});
}

// The database side: removing the imported rows, and the floor's reading and importing.
class Floor {
public:
    Floor(const testsupport::TestService& service, const std::string& workbook) {
        Require(m_db.open(service.endpoint(), service.user(), service.password()).ok, "open");
        DataTypeDictionary::data_info_map info;
        DataTypeDictionary::data_value_map values;
        Require(load_data_type_info(m_db, info).ok, "load_data_type_info");
        Require(load_common_data(m_db, values).ok, "load_common_data");
        m_book.SetDictionary(&m_db.dictionary());
        Require(m_book.OpenForImport(workbook).ok, "open the workbook");
        m_book.ScanSheets();
    }
    void RemoveImportedRows() {
        Require(m_db.execute("DELETE FROM tabvehicleinfo WHERE PlateID LIKE 'ZP%'").ok, "delete vehicles");
        Require(m_db.execute("DELETE FROM tabcustomerinfo WHERE Code LIKE 'ZC%'").ok, "delete customers");
    }
    double Import() {
        return MillisOf([&] {
            for (int first = 1; first <= kRows; first += kPageSize) {
                std::vector<row_info_t> rows;
                for (int row = first; row < first + kPageSize && row <= kRows; ++row) rows.push_back(Row(row));
                std::vector<insert_result_t> results;
                Require(insert_multi_rows(m_db, rows, results).ok, "insert_multi_rows");
            }
        });
    }

private:
    row_info_t Row(int row) {
        row_info_t info;
        info.customer.values = {{"Code", m_book.GetTrimmedText(row, 0)},
                                {"Name", m_book.GetTrimmedText(row, 1)},
                                {"ParkingSpaces", m_book.GetTrimmedText(row, 7)}};
        info.vehicle.values = {{"PlateID", m_book.GetTrimmedText(row, 2)},
                               {"Color", ColorId(m_book.GetTrimmedText(row, 3))},
                               {"ValidFrom", m_book.GetDateText(row, 4)},
                               {"ValidUntil", m_book.GetDateTimeText(row, 5)},
                               {"Allowed", m_book.GetTrimmedText(row, 6) == "1" ? "1" : "0"}};
        return info;
    }
    tstring ColorId(const tstring& text) const {
        for (const common_value_t& value : m_db.dictionary().data_map().at("Color"))
            if (value.second == text) return std::to_string(value.first);
        return "-1";
    }

    DbConnection m_db;
    ExcelImportBook m_book;
};

// The client on the import page, taken through the wizard to the preview.
class Client {
public:
    Client(const testsupport::TestService& service, const std::string& workbook) {
        WriteBytes(m_dir.file("wlsetting.ini"),
                   "[Db]\nIp=" + service.address() + "\nName=whitelist\nUserName=" + service.user() +
                       "\nPassword=" + service.password() + "\n[Import]\nAutoStep=0\nFilePath=" + workbook +
                       "\n[Operation]\nExcelColunmTooFew=0\nNoCustomerCodeTooFew=0\n");
        m_config = std::make_unique<CConfig>(m_dir.file("wlsetting.ini"));
        m_login = benchtiming::LogInAsOperator(kWaitMs);
        m_main = m_login->GetMainWnd();
        m_main->SelectNavOption(1);
        m_page = static_cast<CPageImport*>(m_main->GetPage(kPageImport)->GetInterface("PageImport"));
        Require(m_page != nullptr, "import page");
    }

    // Every column (chosen from the start), the one sheet, the types matched by name and the colours by text.
    void RunWizard() {
        Click("btn_excel_next");
        Require(m_page->GetStep() == CPageImport::kStepColumns, "workbook step");
        Click("btn_excel_next");
        Click("btn_excel_next");
        Require(m_page->GetStep() == CPageImport::kStepMatch, "sheet step");
        auto* types = static_cast<CListUI*>(m_main->FindControl("import_list_excel_db_match_type")->GetInterface("List"));
        types->SelectItem(3);
        Click("import_dm_auto_btn");
        Click("btn_excel_next");
        Require(m_page->GetStep() == CPageImport::kStepPreview, "matching step");
        static_cast<CComboUI*>(m_main->FindControl("import_combo_page_size")->GetInterface("Combo"))
            ->SelectItem(kPageSizeItem);
        Require(m_page->GetPageCount() == kRows / kPageSize, "page size 500");
        Click("opt_list_select_all_page");
    }
    double Run() {
        return MillisOf([&] {
            Click("btn_start_import");
            Require(guisupport::ProcessMessagesUntil(
                        [&] { return m_page->GetRunState() == CPageImport::kIdle; }, kWaitMs),
                    "run");
            Require(m_page->GetSucceeded() == kRows, "every row imported");
        });
    }
    // The next page, or the previous one from the last.
    double ShowAnotherPage() {
        const bool bLast = m_page->GetPageIndex() + 1 == m_page->GetPageCount();
        return MillisOf([&] {
            Notify(bLast ? "import_btn_page_pre" : "import_btn_page_next");
            m_main->GetPaintManager().UpdateLayout();
            m_main->GetPaintManager().PaintNow();
        });
    }

private:
    void Click(const char* name) {
        CControlUI* control = m_main->FindControl(name);
        Require(control != nullptr, name);
        m_main->GetPaintManager().UpdateLayout();
        guisupport::Click(m_main->GetHWND(), guisupport::CenterOf(control->GetPos()));
        guisupport::ProcessMessages();
    }
    void Notify(const char* name) { m_main->GetPaintManager().SendNotify(m_main->FindControl(name), "click"); }

    ScratchDir m_dir;
    std::unique_ptr<CConfig> m_config;
    std::unique_ptr<CDlgLogin> m_login;
    CMainWnd* m_main = nullptr;
    CPageImport* m_page = nullptr;
};

void PrintProject(const char* name, const std::vector<double>& project) {
    const auto [low, high] = std::minmax_element(project.begin(), project.end());
    std::printf("%s: project %.1f ms (spread %.1f to %.1f)\n", name, benchtiming::Median(project), *low, *high);
}

}  // namespace

int main() {
    guisupport::EnsureApplication();
    LoadedSkin skin;
    // The runs after the first import the same rows again: the page asks, and the bench agrees.
    UISetMessageBoxHook([](const CDuiString& text, bool bQuestion) {
        if (bQuestion && text == "这些数据已经导入过，确定要再次导入吗？") return 0;
        std::fprintf(stderr, "unexpected message box: %s\n", text.GetData());
        std::exit(1);
        return 1;
    });
    testsupport::TestService service;
    ScratchDir scratch;
    const std::string workbook = scratch.file("whitelist.xlsx");
    MakeWorkbook(workbook);
    Floor floor(service, workbook);
    Client client(service, workbook);
    client.RunWizard();

    std::vector<double> pages;
    for (int i = 0; i < 2 * kRepeats + 1; ++i) pages.push_back(client.ShowAnotherPage());
    std::vector<double> project, floors;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        for (int side = 0; side < 2; ++side) {
            floor.RemoveImportedRows();
            if ((side + repeat) % 2) {
                floors.push_back(floor.Import());
            } else {
                project.push_back(client.Run());
            }
        }
    }
    benchtiming::Report("import run 10k repeated customers", project, floors);
    PrintProject("import_preview_page_500_rows", pages);
    UISetMessageBoxHook({});
    return 0;
}

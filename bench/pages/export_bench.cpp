// Exporting the whole customer list with page size 500: from the start click until the workbook
// is saved, next to the floor of the same work without the pages (the store reading every page
// on a connection of its own and the workbook holder writing and saving the same cells),
// interleaved over several repeats. 100,000 rows fill the first sheet of the .xls workbook and go
// on in a second; the goal is the whole export in under 15 s, with the peak RSS beside it.
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/pages/bench_login.h"
#include "app/main_wnd.h"
#include "settings/config.h"
#include "excel/excel_export_book.h"
#include "pages/page_export.h"
#include "pages/page_list.h"
#include "store/store.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"
#include "uilib/combo_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr int kRepeats = 3;
constexpr int kRows = 100000;
constexpr double kGoalMs = 15000;
constexpr int kPageSize = 500;
constexpr int kWaitMs = 120000;

using benchtiming::Require;

// The floor: every page read by the store and written by the workbook holder, nothing else.
class Floor {
public:
    Floor(const testsupport::TestService& service, std::string target) : m_target(std::move(target)) {
        Require(m_db.open(service.endpoint(), service.user(), service.password()).ok, "open");
        DataTypeDictionary::data_info_map info;
        DataTypeDictionary::data_value_map values;
        Require(load_data_type_info(m_db, info).ok, "load_data_type_info");
        Require(load_common_data(m_db, values).ok, "load_common_data");
    }
    void Seed() {
        const std::string count = std::to_string(kRows);
        Require(m_db.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                             "i < " + count + ") INSERT INTO tabcustomerinfo (CustomerID, Code, "
                             "Name, Phone) SELECT i, 'K' || i, '车主' || i, '139' || "
                             "printf('%08d', i) FROM n")
                    .ok,
                "seeding customers");
        Require(m_db.execute("INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, "
                             "ValidUntil, Allowed) SELECT '沪B' || CustomerID, CustomerID, "
                             "CustomerID % 5 + 1, '2026-02-01', '2026-12-31 23:59:59', "
                             "CustomerID % 2 FROM tabcustomerinfo")
                    .ok,
                "seeding vehicles");
    }
    double Export() {
        return benchtiming::MillisOf([&] {
            ExcelExportBook book;
            Require(book.CreateWorkbook().ok, "create workbook");
            const auto& columns = m_db.dictionary().shown_columns();
            ExcelExportBook::row_t titles;
            for (const data_type_info_t* column : columns) titles.push_back(column->DataTypeName);
            book.WriteHeader(titles);
            for (int page = 0; page * kPageSize < kRows; ++page) {
                std::vector<row_info_t> rows;
                Require(load_rows_page(m_db, {0, ""}, {}, page, kPageSize, rows).ok, "page");
                std::vector<ExcelExportBook::row_t> lines;
                for (const row_info_t& row : rows) {
                    ExcelExportBook::row_t cells;
                    for (const data_type_info_t* column : columns) {
                        const value_map_t& values = column->DataTypeCategory == kCategoryVehicle
                                                        ? row.vehicle.values
                                                        : row.customer.values;
                        const auto found = values.find(column->DataType);
                        cells.push_back(found == values.end() ? tstring() : found->second);
                    }
                    lines.push_back(std::move(cells));
                }
                Require(book.WriteRows(lines).ok, "write rows");
            }
            Require(book.SaveAs(m_target).ok, "save");
        });
    }

private:
    DbConnection m_db;
    std::string m_target;
};

// The process's resident memory from /proc: now, and the peak since the last Reset.
class Memory {
public:
    // Linux lets a process start its peak (VmHWM) again from what it holds now; what the other
    // side freed goes back to the system first, so it is not counted as held.
    static void ResetPeak() {
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
    }
    static double PeakMb() { return StatusMb("VmHWM:"); }
    static double NowMb() { return StatusMb("VmRSS:"); }

private:
    static double StatusMb(const std::string& field) {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.compare(0, field.size(), field) == 0) return std::atof(line.c_str() + field.size()) / 1024.0;
        return 0;
    }
};

// The client logged in, its list at page size 500, exporting through the export page.
class Client {
public:
    Client(const testsupport::TestService& service, std::string target) : m_target(std::move(target)) {
        WriteBytes(m_dir.file("wlsetting.ini"),
                   "[Db]\nIp=" + service.address() + "\nName=whitelist\nUserName=" +
                       service.user() + "\nPassword=" + service.password() + "\n[Export]\nFilePath=" +
                       m_target + "\n");
        m_config = std::make_unique<CConfig>(m_dir.file("wlsetting.ini"));
        m_login = benchtiming::LogInAsOperator(kWaitMs);
        CMainWnd& main = *m_login->GetMainWnd();
        m_list = static_cast<CPageList*>(main.GetPage(kPageList)->GetInterface("PageList"));
        m_export = static_cast<CPageExport*>(main.GetPage(kPageExport)->GetInterface("PageExport"));
        Wait([&] { return m_list->GetRows().size() == 20; }, "first page");
        auto* sizes = static_cast<CComboUI*>(main.FindControl("pl_combo_page_size")->GetInterface("Combo"));
        sizes->SelectItem(static_cast<int>(CPageList::PageSizes().size()) - 1);
        Wait([&] { return m_list->GetRows().size() == static_cast<size_t>(kPageSize); }, "page of 500");
    }

    double Export() {
        // A new file each time: the overwrite question would stop the clock.
        std::remove(m_target.c_str());
        CMainWnd& main = *m_login->GetMainWnd();
        return benchtiming::MillisOf([&] {
            main.GetPaintManager().SendNotify(main.FindControl("btn_start_export"), "click");
            Wait([&] { return !m_export->IsWalkingList(); }, "export");
            Require(m_export->GetExported() == kRows, "every row exported");
        });
    }

private:
    static void Wait(const std::function<bool()>& done, const char* what) {
        Require(guisupport::ProcessMessagesUntil(done, kWaitMs), what);
    }

    std::string m_target;
    ScratchDir m_dir;
    std::unique_ptr<CConfig> m_config;
    std::unique_ptr<CDlgLogin> m_login;
    CPageList* m_list = nullptr;
    CPageExport* m_export = nullptr;
};

}  // namespace

int main() {
    guisupport::EnsureApplication();
    LoadedSkin skin;
    benchtiming::EndOnMessageBox();
    testsupport::TestService service;
    ScratchDir scratch;
    Floor floor(service, scratch.file("floor.xls"));
    floor.Seed();
    Client client(service, scratch.file("export.xls"));

    std::vector<double> project, floors;
    double before = 0, peak = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        floors.push_back(floor.Export());
        Memory::ResetPeak();
        before = Memory::NowMb();
        project.push_back(client.Export());
        peak = std::max(peak, Memory::PeakMb());
    }
    const std::string name = "export_all_" + std::to_string(kRows) + "_rows_page_" + std::to_string(kPageSize);
    benchtiming::Report(name.c_str(), project, floors);
    std::printf("export goal: < %.0f ms; peak RSS %.1f MB during the export, %.1f MB before it\n",
                kGoalMs, peak, before);
    UISetMessageBoxHook({});
    return 0;
}

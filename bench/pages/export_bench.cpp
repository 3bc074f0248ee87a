// Exporting the whole customer list with page size 500: from the start click until the workbook
// is saved, next to a floor of none of the project's code: SQLite alone reading the same columns
// of every row in one statement (no pages, so reading page by page shows in the ratio) and
// libxlsxwriter writing the cells, a new sheet with the header again after as many rows as an
// .xls sheet holds, as the export does; interleaved, each side first in turn.
// 100,000 customers with a vehicle each, the goal the whole export in under 15 s; then the
// 1,000,000 customers with 1,500,000 vehicles of the list benchmark, in under 60 s; the peak
// RSS beside each. "100k" or "1m" as the first argument runs only that size.
#include <malloc.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/million_customers.h"
#include "bench/pages/bench_login.h"
#include "app/main_wnd.h"
#include "settings/config.h"
#include "pages/page_export.h"
#include "pages/page_list.h"
#include "store/store.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"
#include "uilib/combo_ui.h"
#include "uilib/button_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr int kSeededCustomers = 100000;
constexpr int kPageSize = 500;
constexpr int kWaitMs = 15 * 60 * 1000;
constexpr int kRowsPerSheet = 65536;

using benchtiming::Require;

void Seed(const testsupport::TestService& service) {
    DbConnection db;
    Require(db.open(service.endpoint(), service.user(), service.password()).ok, "open");
    db.client().SetReplyWait(1000, 60);  // seeding takes seconds on a busy machine
    const std::string count = std::to_string(kSeededCustomers);
    Require(db.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                       "i < " + count + ") INSERT INTO tabcustomerinfo (CustomerID, Code, "
                       "Name, Phone) SELECT i, 'K' || i, '车主' || i, '139' || "
                       "printf('%08d', i) FROM n")
                .ok,
            "seeding customers");
    Require(db.execute("INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, "
                       "ValidUntil, Allowed) SELECT '沪B' || CustomerID, CustomerID, "
                       "CustomerID % 5 + 1, '2026-02-01', '2026-12-31 23:59:59', "
                       "CustomerID % 2 FROM tabcustomerinfo")
                .ok,
            "seeding vehicles");
}

// The floor: the list's shown columns, the colour as its text, in the list's order.
class Floor {
public:
    Floor(std::string database, std::string target)
        : m_database(std::move(database)), m_target(std::move(target)) {}
    double Export() {
        return benchtiming::MillisOf([&] {
            sqlite3* file = nullptr;
            Require(sqlite3_open_v2(m_database.c_str(), &file, SQLITE_OPEN_READONLY, nullptr) ==
                        SQLITE_OK,
                    "open the database");
            sqlite3_stmt* rows = nullptr;
            Require(sqlite3_prepare_v2(file, kRowsSql, -1, &rows, nullptr) == SQLITE_OK, "rows");
            lxw_workbook_options options{};
            options.constant_memory = LXW_TRUE;
            lxw_workbook* book = workbook_new_opt(m_target.c_str(), &options);
            lxw_worksheet* sheet = nullptr;
            const int columns = sqlite3_column_count(rows);
            for (lxw_row_t row = kRowsPerSheet; sqlite3_step(rows) == SQLITE_ROW; ++row) {
                if (row == kRowsPerSheet) {
                    sheet = workbook_add_worksheet(book, nullptr);
                    for (int c = 0; c < columns; ++c)
                        worksheet_write_string(sheet, 0, c, sqlite3_column_name(rows, c), nullptr);
                    row = 1;
                }
                for (int c = 0; c < columns; ++c) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows, c));
                    worksheet_write_string(sheet, row, c, text ? text : "", nullptr);
                }
            }
            sqlite3_finalize(rows);
            sqlite3_close(file);
            Require(workbook_close(book) == LXW_NO_ERROR, "save");
        });
    }

private:
    static constexpr const char* kRowsSql =
        "SELECT c.Code, c.Name, c.Phone, v.PlateID, (SELECT Value FROM tabcommondatainfo WHERE "
        "DataType = 'Color' AND ValueID = v.Color) AS Color, v.ValidFrom, v.ValidUntil, "
        "v.Allowed FROM tabcustomerinfo AS c LEFT JOIN tabvehicleinfo AS v ON v.CustomerID = "
        "c.CustomerID ORDER BY c.CustomerID, v.rowid";
    std::string m_database;
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
        // The operator starts the export on its page, so the list is not the page shown.
        main.SelectNavOption(1);
        static_cast<COptionUI*>(main.FindControl("sub_option_export")->GetInterface("Option"))->Selected(true);
        Wait([&] { return m_export->IsVisible() && !m_list->IsVisible(); }, "the export page shown");
    }

    double Export(int rows) {
        // A new file each time: the overwrite question would stop the clock.
        std::remove(m_target.c_str());
        CMainWnd& main = *m_login->GetMainWnd();
        return benchtiming::MillisOf([&] {
            main.GetPaintManager().SendNotify(main.FindControl("btn_start_export"), "click");
            Wait([&] { return !m_export->IsWalkingList(); }, "export");
            Require(m_export->GetExported() == rows, "every row exported");
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

// One size of list: its export by the client against the floor, `repeats` times.
struct ListSize {
    int customers;
    int rows;
    int repeats;
    double goal_ms;
};

void Measure(const testsupport::TestService& service, const ListSize& size) {
    ScratchDir scratch;
    Floor floor(service.databasePath(), scratch.file("floor.xlsx"));
    Client client(service, scratch.file("export.xls"));
    std::vector<double> project, floors;
    double before = 0, peak = 0;
    auto export_by_client = [&] {
        Memory::ResetPeak();
        before = Memory::NowMb();
        project.push_back(client.Export(size.rows));
        peak = std::max(peak, Memory::PeakMb());
    };
    for (int repeat = 0; repeat < size.repeats; ++repeat) {
        if (repeat % 2 == 0) export_by_client();
        floors.push_back(floor.Export());
        if (repeat % 2 == 1) export_by_client();
    }
    const std::string name = "export_all_" + std::to_string(size.customers) + "_customers_" +
                             std::to_string(size.rows) + "_rows_page_" + std::to_string(kPageSize);
    benchtiming::Report(name.c_str(), project, floors);
    std::printf("%s: goal < %.0f ms %s; peak RSS %.1f MB during the export, %.1f MB before it; "
                "%d repeats\n",
                name.c_str(), size.goal_ms,
                benchtiming::Median(project) < size.goal_ms ? "met" : "NOT met", peak, before,
                size.repeats);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    guisupport::EnsureApplication();
    LoadedSkin skin;
    benchtiming::EndOnMessageBox();
    testsupport::TestService::Options options;
    options.arguments = {"--request-timeout-ms", "60000"};
    if (only.empty() || only == "100k") {
        testsupport::TestService service(options);
        Seed(service);
        Measure(service, {kSeededCustomers, kSeededCustomers, 5, 15000});
    }
    if (only.empty() || only == "1m") {
        options.start_limit = std::chrono::minutes(30);
        testsupport::TestService service(options);
        benchdata::UseMillionCustomers(service);
        Measure(service, {1000000, benchdata::kMillionCustomerRows, 5, 60000});
    }
    UISetMessageBoxHook({});
    return 0;
}

// The customer list on 100,000 customers with 150,000 vehicles: the first page after the log-in,
// three page changes and a search keystroke, each from the operator's action until the grid is
// filled, next to the store's own time for the statements behind it (run on a connection of
// its own, interleaved with the page, several repeats).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/pages/bench_login.h"
#include "app/application.h"
#include "app/dlg_login.h"
#include "app/main_wnd.h"
#include "settings/config.h"
#include "pages/page_list.h"
#include "store/store.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"
#include "uilib/edit_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr int kRepeats = 5;
constexpr int kWaitMs = 30000;

const char* const kCustomers =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
    "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) "
    "SELECT i, 'K' || i, '车主' || i, '139' || printf('%08d', i) FROM n";
const char* const kVehicles =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150000) "
    "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil, Allowed) "
    "SELECT '沪B' || i, (i * 7) % 100000 + 1, i % 5 + 1, '2026-02-' || printf('%02d', i % 28 + 1), "
    "'2026-12-31 23:59:59', i % 2 FROM n";

using benchtiming::Require;

void WaitUntil(const std::function<bool()>& done, const char* what) {
    Require(guisupport::ProcessMessagesUntil(done, kWaitMs), what);
}

struct Series {
    explicit Series(const char* seriesName) : name(seriesName) {}

    const char* name;
    std::vector<double> project, floor;

    void Add(double projectMs, double floorMs) {
        project.push_back(projectMs);
        floor.push_back(floorMs);
    }
    void Print() const { benchtiming::Report(name, project, floor); }
};

// The statements of the client's store, on a connection of the benchmark's own.
class Store {
public:
    explicit Store(const testsupport::TestService& service) {
        Require(m_db.open(service.endpoint(), service.user(), service.password()).ok, "open");
        m_db.client().SetReplyWait(1000, 60);  // seeding takes seconds on a busy machine
    }
    void Seed() {
        Require(m_db.execute(kCustomers).ok, "seeding customers");
        Require(m_db.execute(kVehicles).ok, "seeding vehicles");
    }
    // What the client asks from the log-in to the first page.
    double FirstPage() {
        return benchtiming::MillisOf([&] {
            Require(login_user(m_db, "admin", "admin123").ok, "login_user");
            DataTypeDictionary::data_info_map info;
            DataTypeDictionary::data_value_map values;
            Require(load_data_type_info(m_db, info).ok, "load_data_type_info");
            Require(load_common_data(m_db, values).ok, "load_common_data");
            Count({});
            Page({}, 0);
        });
    }
    // Steps to the next page by key from the first page, as the page takes them.
    double PageSteps(int steps) {
        std::vector<row_info_t> rows;
        load_rows_page(m_db, {0, ""}, {}, 0, 20, rows);
        return benchtiming::MillisOf([&] {
            for (int step = 0; step < steps; ++step) {
                const page_step_t next{1, rows.back().list_key, 0};
                rows.clear();
                Require(load_rows_beside(m_db, {0, ""}, {}, next, 20, rows).ok, "next page");
            }
        });
    }
    double Search(const constraint_list_t& constraints) {
        return benchtiming::MillisOf([&] {
            Count(constraints);
            Page(constraints, 0);
        });
    }

private:
    void Count(const constraint_list_t& constraints) {
        int32_t count = 0;
        Require(count_rows(m_db, constraints, count).ok, "count_rows");
    }
    void Page(const constraint_list_t& constraints, int page) {
        std::vector<row_info_t> rows;
        load_rows_page(m_db, {0, ""}, constraints, page, 20, rows);
    }

    DbConnection m_db;
};

class Client {
public:
    explicit Client(const testsupport::TestService& service) {
        WriteBytes(m_dir.file("wlsetting.ini"), "[Db]\nIp=" + service.address() +
                                                    "\nName=whitelist\nUserName=" + service.user() +
                                                    "\nPassword=" + service.password() + "\n");
        m_config = std::make_unique<CConfig>(m_dir.file("wlsetting.ini"));
    }

    // From the log-in until the first page is in the grid.
    double LogIn() {
        const auto start = std::chrono::steady_clock::now();
        m_login = benchtiming::LogInAsOperator(kWaitMs);
        m_page = static_cast<CPageList*>(
            m_login->GetMainWnd()->GetPage(kPageList)->GetInterface("PageList"));
        m_login->GetTaskCaller().Register(task_names::kLoadDbRange,
                                          [this](TaskContext) { ++m_loads; });
        WaitUntil([&] { return m_page->GetRows().size() == 20; }, "first page");
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }
    double NextPage() {
        return UntilLoaded([&] { m_page->GotoPage(m_page->GetPageIndex() + 1); });
    }
    // One more character typed into the search box.
    double Type(const char* character) {
        auto* search = m_login->GetMainWnd()->FindControl("pl_edit_search");
        if (!static_cast<CEditUI*>(search->GetInterface("Edit"))->IsEditing()) {
            m_login->GetMainWnd()->GetPaintManager().UpdateLayout();
            guisupport::Click(m_login->GetMainWnd()->GetHWND(), guisupport::CenterOf(search->GetPos()));
        }
        return UntilLoaded([&] { guisupport::TypeText(m_login->GetMainWnd()->GetHWND(), character); });
    }
    // The constraints the page sends for a search text.
    constraint_list_t SearchFor(const std::string& text) const {
        constraint_list_t constraints;
        for (const data_type_info_t* column : m_login->GetTaskCaller().GetDictionary().shown_columns())
            constraints.push_back({column->DataType, text});
        return constraints;
    }
    void Close() { m_login.reset(); }

private:
    double UntilLoaded(const std::function<void()>& act) {
        const int target = m_loads + 1;
        return benchtiming::MillisOf([&] {
            act();
            WaitUntil([&] { return m_loads >= target; }, "page load");
        });
    }

    ScratchDir m_dir;
    std::unique_ptr<CConfig> m_config;
    std::unique_ptr<CDlgLogin> m_login;
    CPageList* m_page = nullptr;
    int m_loads = 0;
};

}  // namespace

int main() {
    guisupport::EnsureApplication();
    LoadedSkin skin;
    benchtiming::EndOnMessageBox();
    testsupport::TestService::Options options;
    options.arguments = {"--request-timeout-ms", "60000"};
    testsupport::TestService service(options);
    Store store(service);
    store.Seed();
    Client client(service);

    Series first("list_first_page"), change("list_page_change, three by key"),
        search("list_search_keystroke");
    const char* const typed[] = {"沪", "B", "1", "2"};
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        // Each side goes first in every other repeat, so that the machine's moods fall on both.
        auto measure = [repeat](Series& series, const std::function<double()>& project,
                                const std::function<double()>& floor) {
            const double floorFirst = repeat % 2 ? floor() : 0;
            const double projectMs = project();
            series.Add(projectMs, repeat % 2 ? floorFirst : floor());
        };
        measure(first, [&] { return client.LogIn(); }, [&] { return store.FirstPage(); });
        // Three page changes a round: one alone takes about a millisecond, less than the noise.
        measure(
            change,
            [&] { return client.NextPage() + client.NextPage() + client.NextPage(); },
            [&] { return store.PageSteps(3); });
        std::string text;
        for (const char* character : typed) {
            text += character;
            measure(search, [&] { return client.Type(character); },
                    [&] { return store.Search(client.SearchFor(text)); });
        }
        client.Close();
    }
    first.Print();
    change.Print();
    search.Print();
    UISetMessageBoxHook({});
    return 0;
}

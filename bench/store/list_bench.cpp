// The customer list on 1,000,000 customers with 1,500,000 vehicles, read through the service:
// the first page and a page in the middle by number, the pages beside the middle
// one and the last page by key, search keystrokes (count and first page) and the export's walk
// of every row. The floor is SQLite's own time for the same statements, run in-process on the
// service's database file; the two sides run in turn.
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "bench/million_customers.h"
#include "bench/store/bench_support.h"
#include "service/search_function.h"

namespace {

constexpr int kPageRepeats = 7;
constexpr int kSlowRepeats = 5;
constexpr int32_t kPageSize = 20;
constexpr int32_t kWalkPageSize = 500;
constexpr int32_t kRows = benchdata::kMillionCustomerRows;

// Steps through every row and reads every cell, as the service must to answer.
void run_in_sqlite(sqlite3* file, const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(file, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(file));
        std::exit(1);
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(statement); ++c) sqlite3_column_text(statement, c);
    }
    sqlite3_finalize(statement);
}

std::vector<search_constraint_t> search(const tstring& text) {
    std::vector<search_constraint_t> constraints;
    for (const char* column :
         {"Code", "Name", "Phone", "PlateID", "Color", "ValidFrom", "ValidUntil", "Allowed"}) {
        constraints.push_back({column, text});
    }
    return constraints;
}

std::vector<row_info_t> page(DbConnection& db, int32_t number,
                             const std::vector<search_constraint_t>& constraints = {}) {
    std::vector<row_info_t> rows;
    require(load_rows_page(db, {1, ""}, constraints, number, kPageSize, rows), "load_rows_page");
    return rows;
}

void page_beside(DbConnection& db, const page_step_t& step, int32_t size = kPageSize) {
    std::vector<row_info_t> rows;
    require(load_rows_beside(db, {1, ""}, {}, step, size, rows), "load_rows_beside");
}

void keystroke(DbConnection& db, const tstring& text) {
    int32_t count = 0;
    require(count_rows(db, search(text), count), "count_rows");
    if (count > 0) page(db, 0, search(text));
}

// The export's walk: every row in pages of 500, each page from the last row of the one before.
void walk(DbConnection& db) {
    std::vector<row_info_t> rows;
    require(load_rows_page(db, {1, ""}, {}, 0, kWalkPageSize, rows), "first page");
    int32_t read = 0;
    while (!rows.empty()) {
        read += static_cast<int32_t>(rows.size());
        const page_step_t next{1, rows.back().list_key, 0};
        rows.clear();
        load_rows_beside(db, {1, ""}, {}, next, kWalkPageSize, rows);
    }
    benchtiming::Require(read == kRows, "walking every row");
}

struct Case {
    const char* name;
    double goal_ms;  // 0: none
    int repeats;
    std::function<void(DbConnection&)> run;
};

}  // namespace

int main(int argc, char** argv) {
    // A text as the first argument runs only the cases whose name holds it.
    const std::string only = argc > 1 ? argv[1] : "";
    // Reads by number and short searches take seconds here: the service lets them finish.
    testsupport::TestService::Options options;
    options.arguments = {"--request-timeout-ms", "60000"};
    options.start_limit = std::chrono::minutes(30);
    testsupport::TestService svc(options);
    benchdata::UseMillionCustomers(svc);
    StallingProxy recorder(svc);
    DbConnection db, recorded;
    connect(db, svc, svc.endpoint());
    connect(recorded, svc, recorder.endpoint());
    // The walk reads for a while at the first run: give it the client's longest wait.
    db.client().SetReplyWait(1000, 60);
    recorded.client().SetReplyWait(1000, 60);

    sqlite3* file = nullptr;
    sqlite3_open_v2(svc.databasePath().c_str(), &file, SQLITE_OPEN_READONLY, nullptr);
    benchtiming::Require(RegisterSearchFunction(file), "the search function");
    // The service's own cache, map and sort settings, so the floor differs only in transport.
    for (const char* pragma : {"PRAGMA cache_size = -65536", "PRAGMA mmap_size = 2147418112",
                               "PRAGMA temp_store = MEMORY"}) {
        run_in_sqlite(file, pragma);
    }

    const int32_t pages = (kRows + kPageSize - 1) / kPageSize;
    const std::vector<row_info_t> middle = page(db, pages / 2);
    const page_step_t after_middle{1, middle.back().list_key, 0};
    const page_step_t before_middle{-1, middle.front().list_key, 0};
    const page_step_t last{-1, "", kRows - (pages - 1) * kPageSize};
    const std::vector<Case> cases{
        {"store_list_bench first page", 0, kPageRepeats, [](DbConnection& d) { page(d, 0); }},
        {"store_list_bench middle page by number", 0, kSlowRepeats,
         [&](DbConnection& d) { page(d, pages / 2); }},
        {"store_list_bench next page from the middle", 20, kPageRepeats,
         [&](DbConnection& d) { page_beside(d, after_middle); }},
        {"store_list_bench previous page from the middle", 20, kPageRepeats,
         [&](DbConnection& d) { page_beside(d, before_middle); }},
        {"store_list_bench last page", 20, kPageRepeats,
         [&](DbConnection& d) { page_beside(d, last); }},
        {"store_list_bench search keystroke, a name of 3 characters", 100, kPageRepeats,
         [](DbConnection& d) { keystroke(d, "张伟华"); }},
        {"store_list_bench search keystroke, a code of 6 characters", 100, kPageRepeats,
         [](DbConnection& d) { keystroke(d, "C00123"); }},
        {"store_list_bench search keystroke, 3 characters in every phone", 100, kSlowRepeats,
         [](DbConnection& d) { keystroke(d, "138"); }},
        {"store_list_bench search keystroke, 2 characters", 300, kSlowRepeats,
         [](DbConnection& d) { keystroke(d, "张伟"); }},
        {"store_list_bench search keystroke, 1 character", 300, kSlowRepeats,
         [](DbConnection& d) { keystroke(d, "7"); }},
        {"store_list_bench export walk by key, pages of 500", 60000, kSlowRepeats, walk},
    };
    std::printf("1,000,000 customers, 1,500,000 vehicles; pages of %d, default order\n", kPageSize);
    for (const Case& c : cases) {
        if (std::string(c.name).find(only) == std::string::npos) continue;
        recorder.take_requests();
        c.run(recorded);
        std::vector<std::string> sql;
        for (const std::string& request : recorder.take_requests()) {
            sql.push_back(request.substr(request.find(':') + 1));
        }
        const double median = benchtiming::CompareInterleaved(
            c.name, c.repeats, [&] { return benchtiming::MillisOf([&] { c.run(db); }); },
            [&] {
                return benchtiming::MillisOf([&] {
                    for (const std::string& statement : sql) run_in_sqlite(file, statement);
                });
            });
        if (c.goal_ms > 0)
            std::printf("%s: goal < %.0f ms %s\n", c.name, c.goal_ms,
                        median < c.goal_ms ? "met" : "NOT met");
        std::fflush(stdout);
    }
    sqlite3_close(file);
    return 0;
}

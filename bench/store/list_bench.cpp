// The customer list on 1,000,000 customers with 1,500,000 vehicles, read through the service:
// the first page and a page in the middle by number, the pages beside the middle
// one and the last page by key, search keystrokes (count and first page) and the export's walk
// of every row. The floor is SQLite's own time for the same statements, run in-process on the
// service's database file; the two sides run in turn. The database is made once, into a cache
// file outside the source tree (it takes minutes), and copied for every run.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/store/bench_support.h"
#include "netsqlite/text_codec.h"
#include "service/search_function.h"

namespace {

constexpr int kPageRepeats = 7;
constexpr int kSlowRepeats = 5;
constexpr int32_t kPageSize = 20;
constexpr int32_t kWalkPageSize = 500;
constexpr int32_t kRows = 1500000;  // every customer has a vehicle, every second one two

// Names of three characters from 20 surnames, 20 and 10 given characters: 4,000 names, each
// borne by 250 customers.
const char* const kCustomers =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
    "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone, ParkingSpaces, RegisterTime) "
    "SELECT i, printf('C%07d', i), "
    "substr('王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗', 1 + i % 20, 1) || "
    "substr('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平', 1 + i / 20 % 20, 1) || "
    "substr('华明国建文德志海林英', 1 + i / 400 % 10, 1), "
    "printf('138%08d', i * 7919 % 100000000), 1 + i % 3, "
    "printf('2025-%02d-%02d 09:%02d:00', 1 + i % 12, 1 + i % 28, i % 60) FROM n";
const char* const kVehicles =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500000) "
    "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil, Allowed) "
    "SELECT substr('京沪粤浙苏川', 1 + i % 6, 1) || char(65 + i % 26) || printf('%05d', i % 100000), "
    "(i - 1) % 1000000 + 1, 1 + i % 5, printf('2026-%02d-%02d', 1 + i % 12, 1 + i % 28), "
    "'2026-12-31 23:59:59', 1 FROM n";

std::string cache_file() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder =
        cache && *cache ? std::string(cache) : std::string(home ? home : "/tmp") + "/.cache";
    return folder + "/ledgerdesk/list-bench-1m-v1.db";
}

// Text goes to the file as the service would store it: UTF-8.
void exec_in_sqlite(sqlite3* file, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(file, GbkToUtf8(sql).c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
    std::fprintf(stderr, "sqlite: %s\n", message ? message : sqlite3_errmsg(file));
    std::exit(1);
}

// The service makes the tables and their search indexes; SQLite alone fills them (the service
// would stop a request that long), its triggers keeping the indexes.
void make_database(const std::string& target) {
    std::printf("making %s once (some minutes)\n", target.c_str());
    std::fflush(stdout);
    testsupport::TestService maker;
    maker.stop();
    sqlite3* file = nullptr;
    benchtiming::Require(sqlite3_open(maker.databasePath().c_str(), &file) == SQLITE_OK, "open");
    exec_in_sqlite(file, "PRAGMA journal_mode = DELETE");
    exec_in_sqlite(file, "BEGIN");
    exec_in_sqlite(file, kCustomers);
    exec_in_sqlite(file, kVehicles);
    exec_in_sqlite(file, "COMMIT");
    exec_in_sqlite(file, "PRAGMA journal_mode = WAL");
    sqlite3_close(file);
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    const std::string part = target + ".part";
    std::filesystem::copy_file(maker.databasePath(), part,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(part, target);
}

// The database's schema, as sqlite_master holds it.
std::string schema_of(const std::string& path) {
    sqlite3* file = nullptr;
    sqlite3_open_v2(path.c_str(), &file, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(file, "SELECT group_concat(sql, ';') FROM sqlite_master", -1, &statement,
                       nullptr);
    std::string schema;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
        schema = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    sqlite3_close(file);
    return schema;
}

// The service on a copy of the cached database. A service that brings the schema up to date
// when it opens the copy takes minutes at this size, so the cache keeps what it made.
void use_cached_database(testsupport::TestService& svc) {
    const std::string cached = cache_file();
    if (!std::filesystem::exists(cached)) make_database(cached);
    svc.stop();
    for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(svc.databasePath() + suffix);
    std::filesystem::copy_file(cached, svc.databasePath(),
                               std::filesystem::copy_options::overwrite_existing);
    svc.start();
    if (schema_of(svc.databasePath()) == schema_of(cached)) return;
    std::printf("the service changed the schema of %s; keeping that\n", cached.c_str());
    svc.stop();
    const std::string part = cached + ".part";
    std::filesystem::copy_file(svc.databasePath(), part,
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::rename(part, cached);
    svc.start();
}

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
    use_cached_database(svc);
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

// count_rows then load_rows_page of page 3000 (20 rows) on 100,000 customers with 150,000
// vehicles, with and without a search over six shown columns, next to the floor: SQLite's own
// time for the same two statements run in-process on the service's database file. The two
// sides run in turn.
#include <sqlite3.h>

#include "bench/store/bench_support.h"

namespace {

constexpr int kRepeats = 11;

const char* const kCustomers =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
    "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) "
    "SELECT i, 'C' || i, '客户' || i, '138' || printf('%08d', i) FROM n";
const char* const kVehicles =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 150000) "
    "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, Allowed) "
    "SELECT '京A' || i, (i - 1) % 100000 + 1, i % 5 + 1, '2026-01-' || printf('%02d', i % 28 + 1), "
    "1 FROM n";

std::vector<search_constraint_t> search(const tstring& text) {
    std::vector<search_constraint_t> constraints;
    for (const char* column : {"Code", "Name", "Phone", "PlateID", "Color", "ValidFrom"}) {
        constraints.push_back({column, text});
    }
    return constraints;
}

void count_and_page(DbConnection& db, const std::vector<search_constraint_t>& constraints) {
    int32_t count = 0;
    require(count_rows(db, constraints, count), "count_rows");
    std::vector<row_info_t> rows;
    require(load_rows_page(db, {1, ""}, constraints, 3000, 20, rows), "load_rows_page");
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

// The two statements as sent, without their "query:" prefix.
std::vector<std::string> statements_of(StallingProxy& recorder, DbConnection& db,
                                       const std::vector<search_constraint_t>& constraints) {
    recorder.take_requests();
    count_and_page(db, constraints);
    std::vector<std::string> sql;
    for (const std::string& request : recorder.take_requests()) {
        sql.push_back(request.substr(request.find(':') + 1));
    }
    return sql;
}

}  // namespace

int main() {
    testsupport::TestService svc;
    StallingProxy recorder(svc);
    DbConnection db;
    connect(db, svc, svc.endpoint());
    require(db.execute(kCustomers), "seeding customers");
    require(db.execute(kVehicles), "seeding vehicles");
    // Both sides then read the same pages from the database file, none from the write-ahead log.
    require(db.execute("PRAGMA wal_checkpoint(TRUNCATE)"), "checkpoint");
    DbConnection recorded;
    connect(recorded, svc, recorder.endpoint());

    sqlite3* file = nullptr;
    sqlite3_open_v2(svc.databasePath().c_str(), &file, SQLITE_OPEN_READONLY, nullptr);
    // The service's own cache, map and sort settings, so the floor differs only in transport.
    for (const char* pragma : {"PRAGMA cache_size = -65536", "PRAGMA mmap_size = 268435456",
                               "PRAGMA temp_store = MEMORY"}) {
        run_in_sqlite(file, pragma);
    }
    std::printf(
        "count_rows + load_rows_page(page 3000, size 20), 100,000 customers, "
        "150,000 vehicles\n");
    for (const auto& [name, constraints] :
         {std::pair<const char*, std::vector<search_constraint_t>>{"store_list_bench no search",
                                                                   {}},
          {"store_list_bench search \"1\" over six columns", search("1")}}) {
        const auto sql = statements_of(recorder, recorded, constraints);
        benchtiming::CompareInterleaved(
            name, kRepeats, [&] { return benchtiming::MillisOf([&] { count_and_page(db, constraints); }); },
            [&] {
                return benchtiming::MillisOf([&] {
                    for (const std::string& statement : sql) run_in_sqlite(file, statement);
                });
            });
    }
    sqlite3_close(file);
    return 0;
}

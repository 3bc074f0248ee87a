#pragma once
// 1,000,000 customers with 1,500,000 vehicles for the benchmarks at that size. The database is
// made once, into a cache file outside the source tree (it takes minutes), and copied for every
// run.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_timing.h"
#include "netsqlite/text_codec.h"
#include "tests/support/test_service.h"

namespace benchdata {

// List rows: every customer has a vehicle, every second one two.
constexpr int32_t kMillionCustomerRows = 1500000;

namespace detail {

// Names of three characters from 20 surnames, 20 and 10 given characters: 4,000 names, each
// borne by 250 customers.
inline const char* const kCustomers =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
    "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone, ParkingSpaces, RegisterTime) "
    "SELECT i, printf('C%07d', i), "
    "substr('王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗', 1 + i % 20, 1) || "
    "substr('伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平', 1 + i / 20 % 20, 1) || "
    "substr('华明国建文德志海林英', 1 + i / 400 % 10, 1), "
    "printf('138%08d', i * 7919 % 100000000), 1 + i % 3, "
    "printf('2025-%02d-%02d 09:%02d:00', 1 + i % 12, 1 + i % 28, i % 60) FROM n";
inline const char* const kVehicles =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500000) "
    "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil, Allowed) "
    "SELECT substr('京沪粤浙苏川', 1 + i % 6, 1) || char(65 + i % 26) || printf('%05d', i % 100000), "
    "(i - 1) % 1000000 + 1, 1 + i % 5, printf('2026-%02d-%02d', 1 + i % 12, 1 + i % 28), "
    "'2026-12-31 23:59:59', 1 FROM n";

inline std::string cache_file() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder =
        cache && *cache ? std::string(cache) : std::string(home ? home : "/tmp") + "/.cache";
    return folder + "/ledgerdesk/list-bench-1m-v1.db";
}

// Text goes to the file as the service would store it: UTF-8.
inline void exec_in_sqlite(sqlite3* file, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(file, GbkToUtf8(sql).c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
    std::fprintf(stderr, "sqlite: %s\n", message ? message : sqlite3_errmsg(file));
    std::exit(1);
}

// The service makes the tables and their search indexes; SQLite alone fills them (the service
// would stop a request that long), its triggers keeping the indexes.
inline void make_database(const std::string& target) {
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
inline std::string schema_of(const std::string& path) {
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

}  // namespace detail

// The service on a copy of the cached database. A service that brings the schema up to date
// when it opens the copy takes minutes at this size, so the cache keeps what it made.
inline void UseMillionCustomers(testsupport::TestService& svc) {
    using namespace detail;
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

}  // namespace benchdata

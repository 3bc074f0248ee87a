#include "service/database.h"

#include "service/result_text.h"
#include "service/schema.h"

namespace {

// Chosen for the list queries: a page joins customers and vehicles and sorts; the whole of a
// whitelist database fits in the page cache and the memory map.
constexpr const char* kTuning[] = {
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = FULL",     // a reply "success:" means the change is on disk
    "PRAGMA cache_size = -65536",    // 64 MiB
    "PRAGMA mmap_size = 268435456",  // 256 MiB
    "PRAGMA temp_store = MEMORY",    // ORDER BY on an unindexed column sorts in memory
};

// Another process (a backup, the sqlite3 shell) may hold a lock briefly.
constexpr int kBusyTimeoutMs = 200;
constexpr int kInterruptCheckEvery = 10000;  // virtual machine steps

bool ExecuteScript(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

bool IsEmptyDatabase(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr);
    const bool empty =
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) == 0;
    sqlite3_finalize(statement);
    return empty;
}

bool Tune(sqlite3* db, std::string& error) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    for (const char* pragma : kTuning) {
        if (!ExecuteScript(db, pragma, error)) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, bool demo, std::string& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<Database> database(new Database(db));
    if (!Tune(db, error)) return nullptr;
    if (IsEmptyDatabase(db)) {
        const std::string seed = SchemaAndDefaults() + (demo ? DemoData() : std::string());
        if (!ExecuteScript(db, ("BEGIN;" + seed + "COMMIT;").c_str(), error)) return nullptr;
    }
    return database;
}

Database::~Database() {
    // Lets later queries plan with fresh statistics; closing checkpoints the WAL into the file.
    sqlite3_exec(m_db, "PRAGMA optimize", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
}

void Database::InterruptWhen(const std::atomic<bool>* stop_requested) {
    sqlite3_progress_handler(
        m_db, kInterruptCheckEvery,
        [](void* flag) -> int { return static_cast<const std::atomic<bool>*>(flag)->load(); },
        const_cast<std::atomic<bool>*>(stop_requested));
}

bool Database::Execute(std::string_view sql, std::string* rows, std::string& error) {
    if (rows) rows->clear();
    // A statement of the request that ends the transaction itself (COMMIT) leaves nothing to
    // release; BEGIN inside the unit is refused by SQLite, so no transaction outlives a request.
    if (!ExecuteScript(m_db, "SAVEPOINT request", error)) return false;
    if (!FinishUnit(RunStatements(sql, rows, error), error)) return false;
    // A reply needs its header line even when no statement had columns: zero columns, no rows.
    if (rows && rows->empty()) rows->push_back('\n');
    return true;
}

bool Database::RunStatements(std::string_view sql, std::string* rows, std::string& error) {
    const char* next = sql.data();
    const char* end = next + sql.size();
    while (next < end) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, next, static_cast<int>(end - next), &statement, &next) !=
            SQLITE_OK) {
            error = sqlite3_errmsg(m_db);
            return false;
        }
        if (!statement) continue;  // only blanks or a comment were left
        const bool ok = Step(statement, rows, error);
        sqlite3_finalize(statement);
        if (!ok) return false;
    }
    return true;
}

bool Database::Step(sqlite3_stmt* statement, std::string* rows, std::string& error) {
    const bool collect = rows && sqlite3_column_count(statement) > 0;
    if (collect) {
        rows->clear();
        AppendHeaderLine(statement, *rows);
    }
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        if (collect) AppendRowLine(statement, *rows);
    }
    if (rc == SQLITE_DONE) return true;
    error = sqlite3_errmsg(m_db);
    return false;
}

bool Database::FinishUnit(bool ok, std::string& error) {
    if (sqlite3_get_autocommit(m_db)) return ok;
    std::string releaseError;
    if (ok && ExecuteScript(m_db, "RELEASE request", releaseError)) return true;
    if (ok) error = releaseError;
    ExecuteScript(m_db, "ROLLBACK TO request; RELEASE request", releaseError);
    return false;
}

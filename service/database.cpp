#include "service/database.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "netsqlite/list_search.h"
#include "service/result_text.h"
#include "service/schema.h"
#include "service/search_function.h"

namespace {

// Chosen for the list queries: a page joins customers and vehicles and sorts; a search reads the
// whole search text, which the memory map hands over without copying it through the page cache
// (SQLite maps at most 2 GiB, a whitelist of several million customers).
constexpr const char* kTuning[] = {
    "PRAGMA journal_mode = WAL",
    "PRAGMA synchronous = FULL",      // a reply "success:" means the change is on disk
    "PRAGMA cache_size = -65536",     // 64 MiB
    "PRAGMA mmap_size = 2147418112",  // SQLite's most
    "PRAGMA temp_store = MEMORY",     // ORDER BY on an unindexed column sorts in memory
};

// Another process (a backup, the sqlite3 shell) may hold a lock briefly.
constexpr int kBusyTimeoutMs = 200;
constexpr int kInterruptCheckEvery = 1000;  // virtual machine steps, some microseconds
constexpr int kMaxValueBytes = 64 << 20;

constexpr char kTransactionControl[] = "transaction control is not allowed inside a request";
constexpr char kOtherFiles[] =
    "ATTACH, DETACH and VACUUM INTO are not allowed: the service keeps one database file";

// Pragmas given a value change how the service works, or where SQLite keeps files; these only
// take a table or an index name and read.
constexpr std::string_view kPragmasThatReadWithAnArgument[] = {
    "table_info", "table_xinfo", "index_list", "index_info", "index_xinfo", "foreign_key_list",
};

bool PragmaReadsOnly(const char* name, const char* argument) {
    if (!argument) return true;
    for (std::string_view reading : kPragmasThatReadWithAnArgument) {
        if (sqlite3_stricmp(name, std::string(reading).c_str()) == 0) return true;
    }
    return false;
}

bool ExecuteScript(sqlite3* db, const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

bool HasTables(sqlite3* db, const std::string& name_condition) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, ("SELECT count(*) FROM sqlite_master" + name_condition).c_str(), -1,
                       &statement, nullptr);
    const bool found =
        sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) > 0;
    sqlite3_finalize(statement);
    return found;
}

bool IsEmptyDatabase(sqlite3* db) {
    return !HasTables(db, "");
}

// The statement that created `name`, empty when nothing has that name.
std::string CreatedAs(sqlite3* db, const std::string& name) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE name = ?", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    std::string sql;
    if (sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
        sql = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return sql;
}

std::string DropTriggersOf(sqlite3* db, const std::string& part) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND substr(name, "
                       "1, length(?1) + 1) = ?1 || '_'", -1, &statement, nullptr);
    sqlite3_bind_text(statement, 1, part.c_str(), -1, SQLITE_TRANSIENT);
    std::string drops;
    while (sqlite3_step(statement) == SQLITE_ROW)
        drops += std::string("DROP TRIGGER \"") +
                 reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)) + "\";";
    sqlite3_finalize(statement);
    return drops;
}

bool HasStaleBlocks(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT 1 FROM ") + kStaleBlocks + " LIMIT 1").c_str(), -1,
                       &statement, nullptr);
    const bool stale = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_finalize(statement);
    return stale;
}

// A database made before a part of the search, or with another form of it, gets it made anew on
// its first opening; the parts no longer kept are dropped.
bool UpdateSearchParts(sqlite3* db, std::string& error) {
    std::string script;
    for (const char* retired : kRetiredSearchParts) {
        if (!CreatedAs(db, retired).empty())
            script += DropTriggersOf(db, retired) + "DROP TABLE " + retired + ";";
    }
    for (const SearchPart& part : SearchParts()) {
        if (CreatedAs(db, part.name) == part.table) continue;
        script += DropTriggersOf(db, part.name) + "DROP TABLE IF EXISTS " + part.name + ";" +
                  part.table + ";" + part.rest;
    }
    // Writes made around the service leave blocks stale too.
    if (HasStaleBlocks(db)) script += SearchTextRefresh();
    return script.empty() || ExecuteScript(db, ("BEGIN;" + script + "COMMIT;").c_str(), error);
}

// The first two settings concern writing and are left out on a reader.
constexpr size_t kReaderTuningFrom = 2;

bool Tune(sqlite3* db, size_t from, std::string& error) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!RegisterCollations(db)) {
        error = "the collation of the list's sorting is missing from ICU";
        return false;
    }
    if (!RegisterSearchFunction(db)) {
        error = sqlite3_errmsg(db);
        return false;
    }
    for (size_t i = from; i < std::size(kTuning); ++i) {
        if (!ExecuteScript(db, kTuning[i], error)) return false;
    }
    return true;
}

sqlite3* OpenConnection(const std::string& path, int flags, size_t tuningFrom,
                        std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK &&
        Tune(db, tuningFrom, error))
        return db;
    if (error.empty()) error = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return nullptr;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, bool demo, std::string& error) {
    sqlite3* db = OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 0, error);
    if (!db) return nullptr;
    if (IsEmptyDatabase(db)) {
        const std::string seed = SchemaAndDefaults() + (demo ? DemoData() : std::string());
        if (!ExecuteScript(db, ("BEGIN;" + seed + "COMMIT;").c_str(), error)) {
            sqlite3_close(db);
            return nullptr;
        }
    }
    if (!UpdateSearchParts(db, error)) {
        sqlite3_close(db);
        return nullptr;
    }
    return std::unique_ptr<Database>(new Database(db, false));
}

std::unique_ptr<Database> Database::OpenReader(const std::string& path, std::string& error) {
    sqlite3* db = OpenConnection(path, SQLITE_OPEN_READONLY, kReaderTuningFrom, error);
    return db ? std::unique_ptr<Database>(new Database(db, true)) : nullptr;
}

Database::Database(sqlite3* db, bool reader) : m_db(db), m_reader(reader) {
    // No request may reach a file beside the database, nor write the schema by hand.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    // A value at most as large as the largest reply by default: zeroblob(1e9) is refused, not made.
    sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_set_authorizer(m_db, Authorize, this);
    sqlite3_progress_handler(m_db, kInterruptCheckEvery, OnProgress, this);
}

Database::~Database() {
    // Lets later queries plan with fresh statistics; closing checkpoints the WAL into the file.
    sqlite3_exec(m_db, "PRAGMA optimize", nullptr, nullptr, nullptr);
    // Closes for good once the kept statements are finalized, right after this.
    sqlite3_close_v2(m_db);
}

int Database::Authorize(void* self, int action, const char* first, const char* second,
                        const char*, const char*) {
    auto* database = static_cast<Database*>(self);
    if (database->m_controlling) return SQLITE_OK;
    // A request's own COMMIT, BEGIN or RELEASE would split it into parts that succeed and fail
    // on their own, or leave a transaction open for every later request.
    if (action == SQLITE_TRANSACTION || action == SQLITE_SAVEPOINT)
        return database->Deny(kTransactionControl);
    if (action == SQLITE_ATTACH || action == SQLITE_DETACH) return database->Deny(kOtherFiles);
    if (action == SQLITE_PRAGMA && !PragmaReadsOnly(first, second))
        return database->Deny("PRAGMA " + std::string(first) + " may only be read");
    return SQLITE_OK;
}

int Database::Deny(std::string reason) {
    m_denial = std::move(reason);
    return SQLITE_DENY;
}

int Database::OnProgress(void* self) {
    auto* database = static_cast<Database*>(self);
    if (database->m_stopRequested && database->m_stopRequested->load()) return 1;
    const Clock::time_point now = Clock::now();
    database->m_timedOut = now > database->m_deadline;
    // Until the first write the request has changed nothing and can go elsewhere.
    database->m_readsTooLong =
        now > database->m_readsDeadline && sqlite3_get_autocommit(database->m_db);
    return database->m_timedOut || database->m_readsTooLong;
}

Database::Outcome Database::Execute(std::string_view sql, std::string* reply, std::string& error,
                                    const Budget& budget) {
    m_deadline = budget.arrived + std::chrono::milliseconds(m_limits.requestTimeoutMs);
    const Clock::time_point now = Clock::now();
    // Its client has given up on it or is about to: run now, a write would land unseen.
    if (now >= m_deadline) {
        error = "the request waited longer than " + std::to_string(m_limits.requestTimeoutMs) +
                " ms for its turn and was not run";
        return Outcome::kFailed;
    }
    m_timedOut = false;
    m_readsDeadline = budget.readsFor == Clock::duration::max() ? Clock::time_point::max()
                                                                 : now + budget.readsFor;
    m_readsTooLong = false;
    m_readsReplyBytes = budget.readsReplyBytes;
    m_maxReplyBytes = std::min(budget.maxReplyBytes, m_limits.maxReplyBytes);
    m_rowsStart = reply ? reply->size() : 0;
    const Outcome outcome = Finish(RunStatements(sql, reply, error), error);
    if (m_readsTooLong && !m_timedOut) return Outcome::kTooSlow;
    // A reply needs its header line even when no statement had columns: zero columns, no rows.
    if (outcome == Outcome::kDone && reply && reply->size() == m_rowsStart) reply->push_back('\n');
    return outcome;
}

// Each statement is prepared once, here: whether it writes is read from the same statement.
Database::Outcome Database::RunStatements(std::string_view sql, std::string* reply,
                                          std::string& error) {
    const char* next = sql.data();
    const char* end = next + sql.size();
    while (next < end) {
        const std::string_view rest(next, end - next);
        sqlite3_stmt* statement = m_statements.Find(rest);
        const bool kept = statement != nullptr;
        if (kept) {
            next = end;
        } else if (sqlite3_prepare_v2(m_db, next, static_cast<int>(rest.size()), &statement,
                                      &next) != SQLITE_OK) {
            if (m_reader) return Outcome::kNeedsWriter;
            error = LastError();
            return Outcome::kFailed;
        }
        if (!statement) continue;  // only blanks or a comment were left
        const Outcome outcome = RunStatement(statement, reply, error);
        if (kept) sqlite3_reset(statement);
        else if (next == end) KeepForNextTime(rest, statement);
        else sqlite3_finalize(statement);
        if (outcome != Outcome::kDone) return outcome;
    }
    return Outcome::kDone;
}

// The last statement of a request is kept: it is the whole of most requests.
void Database::KeepForNextTime(std::string_view sql, sqlite3_stmt* statement) {
    sqlite3_reset(statement);
    m_statements.Keep(sql, statement);
}

Database::Outcome Database::RunStatement(sqlite3_stmt* statement, std::string* reply,
                                         std::string& error) {
    const bool writes = !sqlite3_stmt_readonly(statement);
    // A reader has run only reads so far: dropping its work changes nothing.
    if (writes && m_reader) return Outcome::kNeedsWriter;
    const bool reads_search = !m_reader && std::strstr(sqlite3_sql(statement), kListTextTable);
    return BeginBeforeWriting(writes, error) && (!reads_search || RefreshSearchText(error)) &&
                   Step(statement, reply, error)
               ? Outcome::kDone
               : Outcome::kFailed;
}

// What a request changed reaches the search text before a statement reads it and before the
// request commits, once for all of its statements; the last inserted rowid stays the one the
// request made.
bool Database::RefreshSearchText(std::string& error) {
    if (sqlite3_get_autocommit(m_db) || !HasStaleBlocks(m_db)) return true;
    const sqlite3_int64 rowid = sqlite3_last_insert_rowid(m_db);
    const bool refreshed = Control(SearchTextRefresh().c_str(), error);
    sqlite3_set_last_insert_rowid(m_db, rowid);
    return refreshed;
}

// Reads need no transaction of their own; the first write opens the one the request commits.
bool Database::BeginBeforeWriting(bool writes, std::string& error) {
    if (!writes || !sqlite3_get_autocommit(m_db)) return true;
    return Control("BEGIN", error);
}

bool Database::Step(sqlite3_stmt* statement, std::string* reply, std::string& error) {
    // The columns are read after the first step: a kept statement is prepared again there when
    // the schema has changed since, and `SELECT *` may then have other columns.
    int rc = sqlite3_step(statement);
    const bool collect = reply && sqlite3_column_count(statement) > 0;
    if (collect) reply->resize(m_rowsStart);
    if (collect && !AppendWithinLimits(AppendHeaderLine, statement, *reply, error)) return false;
    for (; rc == SQLITE_ROW; rc = sqlite3_step(statement)) {
        if (collect && !AppendWithinLimits(AppendRowLine, statement, *reply, error)) return false;
    }
    if (rc == SQLITE_DONE) return true;
    error = LastError();
    return false;
}

// A line that would take the reply past the reads' budget gives the request up as too slow;
// past the reply limit, it refuses the request. Either way before the line is encoded.
bool Database::AppendWithinLimits(bool (*append)(sqlite3_stmt*, std::string&, size_t),
                                  sqlite3_stmt* statement, std::string& reply,
                                  std::string& error) {
    const size_t limit = std::min(m_readsReplyBytes, m_maxReplyBytes);
    const size_t used = reply.size() - m_rowsStart;
    if (append(statement, reply, limit - std::min(used, limit))) return true;
    if (m_readsReplyBytes < m_maxReplyBytes && sqlite3_get_autocommit(m_db)) {
        m_readsTooLong = true;
        return false;
    }
    error = "the reply would be larger than " + std::to_string(m_maxReplyBytes) +
            " bytes: ask for fewer rows";
    return false;
}

Database::Outcome Database::Finish(Outcome outcome, std::string& error) {
    if (sqlite3_get_autocommit(m_db)) return outcome;
    if (outcome == Outcome::kDone && RefreshSearchText(error) && Control("COMMIT", error))
        return outcome;
    std::string ignored;
    Control("ROLLBACK", ignored);
    return Outcome::kFailed;
}

bool Database::Control(const char* sql, std::string& error) {
    m_controlling = true;
    const bool ok = ExecuteScript(m_db, sql, error);
    m_controlling = false;
    return ok;
}

std::string Database::LastError() const {
    const int code = sqlite3_errcode(m_db);
    if (code == SQLITE_AUTH) return m_denial;
    if (code == SQLITE_INTERRUPT && m_timedOut)
        return "the request ran longer than " + std::to_string(m_limits.requestTimeoutMs) +
               " ms and was stopped";
    if (code == SQLITE_INTERRUPT) return "the service is stopping";
    return sqlite3_errmsg(m_db);
}

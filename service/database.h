#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "netsqlite/zmq_client.h"
#include "service/statement_cache.h"

// A request is stopped while the client still waits for its answer: stopped later, a write could
// be kept after the client has reported it lost, and the client's socket would still be waiting.
constexpr int kDefaultRequestTimeoutMs =
    zmq_client::kPollIntervalMs * zmq_client::kPollAttempts - 1000;

// The service's one SQLite connection. Every request runs as one transaction: all of its
// statements take effect or none does, and the connection is back in autocommit after it.
class Database {
public:
    struct Limits {
        int requestTimeoutMs = kDefaultRequestTimeoutMs;
        size_t maxReplyBytes = size_t{64} << 20;
    };

    // Opens (creating when missing) and tunes the database; a new one gets the schema and the
    // default data, and the demo data when `demo` is set. Empty result: `error` says why.
    static std::unique_ptr<Database> Open(const std::string& path, bool demo, std::string& error);
    // A connection that only reads, for queries that run beside the writer.
    static std::unique_ptr<Database> OpenReader(const std::string& path, std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    using Clock = std::chrono::steady_clock;

    // kNeedsWriter: a reader gave up with nothing of the request kept, at a statement that writes
    // or does not prepare there (the writer may hold temporary tables). kTooSlow: the request read
    // beyond its budget's reads before writing anything, and was given up.
    enum class Outcome { kDone, kFailed, kNeedsWriter, kTooSlow };

    // What one run of a request may spend.
    struct Budget {
        Clock::time_point arrived;  // the time limit counts from here
        // Reading past either is given up as kTooSlow: a large reply takes long to encode.
        Clock::duration readsFor = Clock::duration::max();
        size_t readsReplyBytes = std::numeric_limits<size_t>::max();
        size_t maxReplyBytes = std::numeric_limits<size_t>::max();  // within the Limits
    };

    // Runs every statement of `sql`. With `reply` set, the rows of the last statement that has
    // columns are appended to it in the reply's cell format. On failure `error` says why.
    Outcome Execute(std::string_view sql, std::string* reply, std::string& error,
                    const Budget& budget);

    void SetLimits(const Limits& limits) { m_limits = limits; }
    // Makes a running statement give up, so that a stop request is not kept waiting.
    void InterruptWhen(const std::atomic<bool>* stop_requested) { m_stopRequested = stop_requested; }

private:
    Database(sqlite3* db, bool reader);

    static int Authorize(void* self, int action, const char* first, const char* second,
                         const char*, const char*);
    int Deny(std::string reason);
    static int OnProgress(void* self);

    Outcome RunStatements(std::string_view sql, std::string* reply, std::string& error);
    void KeepForNextTime(std::string_view sql, sqlite3_stmt* statement);
    Outcome RunStatement(sqlite3_stmt* statement, std::string* reply, std::string& error);
    bool Step(sqlite3_stmt* statement, std::string* reply, std::string& error);
    bool AppendWithinLimits(bool (*append)(sqlite3_stmt*, std::string&, size_t),
                            sqlite3_stmt* statement, std::string& reply, std::string& error);
    bool BeginBeforeWriting(bool writes, std::string& error);
    bool RefreshSearchText(std::string& error);
    Outcome Finish(Outcome outcome, std::string& error);
    bool Control(const char* sql, std::string& error);
    std::string LastError() const;

    sqlite3* m_db;
    const bool m_reader;
    Limits m_limits;
    const std::atomic<bool>* m_stopRequested = nullptr;
    bool m_controlling = false;  // the service's own BEGIN, COMMIT or ROLLBACK is running
    std::string m_denial;  // why the authorizer last refused a statement
    Clock::time_point m_deadline;
    bool m_timedOut = false;
    Clock::time_point m_readsDeadline;
    bool m_readsTooLong = false;
    size_t m_readsReplyBytes = 0;
    size_t m_maxReplyBytes = 0;
    size_t m_rowsStart = 0;  // where the rows begin in the reply being built
    StatementCache m_statements;
};

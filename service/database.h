#pragma once

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

// The service's one SQLite connection. Every request runs as one unit: all of its
// statements take effect, or none does.
class Database {
public:
    // Opens (creating when missing) and tunes the database; a new one gets the schema and the
    // default data, and the demo data when `demo` is set. Empty result: `error` says why.
    static std::unique_ptr<Database> Open(const std::string& path, bool demo, std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs every statement of `sql`. With `rows` set, the rows of the last statement that has
    // columns go there in the reply's cell format. On failure `error` holds SQLite's message.
    bool Execute(std::string_view sql, std::string* rows, std::string& error);

    // Makes a running statement give up, so that a stop request is not kept waiting.
    void InterruptWhen(const std::atomic<bool>* stop_requested);

private:
    explicit Database(sqlite3* db) : m_db(db) {}

    bool RunStatements(std::string_view sql, std::string* rows, std::string& error);
    bool Step(sqlite3_stmt* statement, std::string* rows, std::string& error);
    bool FinishUnit(bool ok, std::string& error);

    sqlite3* m_db;
};

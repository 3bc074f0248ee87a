#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Prepared statements of one connection, kept for the next request with the same text: the
// pages ask the same short queries over and over, and preparing one costs more than running it.
class StatementCache {
public:
    StatementCache() = default;
    ~StatementCache();  // finalizes every statement: a connection closes only without any
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement kept for exactly `sql`, still owned here; nullptr when there is none.
    sqlite3_stmt* Find(std::string_view sql);
    // Keeps `statement`, prepared from all of `sql`, when `sql` is short enough to be asked
    // again; finalizes it otherwise, or the least recently used one when full.
    void Keep(std::string_view sql, sqlite3_stmt* statement);

private:
    struct Entry {
        std::string sql;
        sqlite3_stmt* statement;
        uint64_t lastUse;
    };

    std::vector<Entry> m_entries;
    uint64_t m_uses = 0;
};

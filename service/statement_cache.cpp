#include "service/statement_cache.h"

#include <algorithm>

namespace {

constexpr size_t kKept = 32;
// Longer texts are written once (an import's rows) and would only push the others out.
constexpr size_t kLongestKept = 2048;

}  // namespace

StatementCache::~StatementCache() {
    for (const Entry& entry : m_entries) sqlite3_finalize(entry.statement);
}

sqlite3_stmt* StatementCache::Find(std::string_view sql) {
    for (Entry& entry : m_entries) {
        if (entry.sql != sql) continue;
        entry.lastUse = ++m_uses;
        return entry.statement;
    }
    return nullptr;
}

void StatementCache::Keep(std::string_view sql, sqlite3_stmt* statement) {
    if (sql.size() > kLongestKept) {
        sqlite3_finalize(statement);
        return;
    }
    if (m_entries.size() == kKept) {
        const auto oldest =
            std::min_element(m_entries.begin(), m_entries.end(),
                             [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
        sqlite3_finalize(oldest->statement);
        m_entries.erase(oldest);
    }
    m_entries.push_back(Entry{std::string(sql), statement, ++m_uses});
}

#include "netsqlite/net_sqlite_result_set.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

#include "netsqlite/base64.h"

namespace {

// Quotes carry no meaning in a cell; they are dropped before decoding.
std::string DecodeToken(const char* begin, const char* end) {
    const std::string_view token(begin, end - begin);
    if (token.find('"') == std::string_view::npos) return netsqlite::Base64DecodeCell(token);
    std::string unquoted;
    unquoted.reserve(token.size());
    for (char c : token) {
        if (c != '"') unquoted.push_back(c);
    }
    return netsqlite::Base64DecodeCell(unquoted);
}

const char* FindSeparator(const char* from, const char* end) {
    while (from < end && *from != ',' && *from != '\n') ++from;
    return from;
}

}  // namespace

bool NetSqliteResultSet::Parse(const char* payload, size_t length) {
    m_cursor = 0;
    m_lines.clear();
    m_columns.clear();

    const char* end = payload + length;
    Line line;
    for (const char* p = payload; p < end;) {
        const char* separator = FindSeparator(p, end);
        if (separator == end) break;  // an unfinished last line is dropped
        line.push_back(DecodeToken(p, separator));
        if (*separator == '\n') {
            m_lines.push_back(std::move(line));
            line.clear();
        }
        p = separator + 1;
    }
    if (m_lines.empty()) return false;

    for (size_t i = 0; i < m_lines[0].size(); ++i) m_columns.emplace(m_lines[0][i], i);
    return true;
}

bool NetSqliteResultSet::Next() {
    const auto lineCount = static_cast<int32_t>(m_lines.size());
    if (m_cursor < lineCount) ++m_cursor;
    return m_cursor < lineCount;
}

std::string NetSqliteResultSet::GetString(const std::string& column) const {
    if (m_cursor == 0 || static_cast<size_t>(m_cursor) >= m_lines.size()) return {};
    const auto found = m_columns.find(column);
    if (found == m_columns.end()) return {};
    const Line& line = m_lines[m_cursor];
    return found->second < line.size() ? line[found->second] : std::string();
}

int32_t NetSqliteResultSet::GetInt(const std::string& column) const {
    const long long value = std::strtoll(GetString(column).c_str(), nullptr, 10);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

#include "netsqlite/net_sqlite_result_set.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "netsqlite/base64.h"

namespace {

bool IsSeparator(char c) {
    return c == ',' || c == '\n';
}

// Decodes whole groups while all four characters are in the alphabet, which is all of a cell
// but its padded end; stops at a separator, padding, a quote or anything else. `zeros` gains a
// bit when a decoded byte is zero, so that only such cells are searched for their cut.
const char* DecodePlainGroups(const char* p, const char* end, char*& out, uint32_t& zeros) {
    for (; end - p >= 4; p += 4) {
        const uint32_t n = netsqlite::Base64DecodeQuad(p);
        if (n >> 31) break;
        const uint32_t word = n | 0xFF000000u;  // three decoded bytes; the fourth is never zero
        zeros |= (word - 0x01010101u) & ~word & 0x80808080u;
        out[0] = static_cast<char>(n >> 16);
        out[1] = static_cast<char>(n >> 8);
        out[2] = static_cast<char>(n);
        out += 3;
    }
    return p;
}

// The rest of the token up to its separator (`end` when the token is unfinished), without
// its quotes; only a quoted token is copied, into `unquoted`.
std::string_view RestOfToken(const char* p, const char* end, const char*& separator,
                             std::string& unquoted) {
    bool quoted = false;
    for (separator = p; separator < end && !IsSeparator(*separator); ++separator)
        quoted |= *separator == '"';
    if (!quoted) return {p, static_cast<size_t>(separator - p)};
    unquoted.clear();
    for (; p < separator; ++p) {
        if (*p != '"') unquoted.push_back(*p);
    }
    return unquoted;
}

}  // namespace

bool NetSqliteResultSet::Parse(const char* payload, size_t length) {
    m_cursor = 0;
    m_cells.clear();
    m_lineEnds.clear();
    m_columns.clear();
    if (length >= std::numeric_limits<uint32_t>::max()) return false;
    // Base64 never decodes to more bytes than it has characters, and each cell's zero byte
    // takes the place of its separator.
    m_bytes.reset(new char[length + 1]);
    // Every cell but an empty one takes at least four characters and its separator: regrowth
    // is rare, and the pages reserved beyond the last cell are never touched.
    m_cells.reserve(length / 4 + 1);

    const char* end = payload + length;
    char* out = m_bytes.get();
    std::string unquoted;
    for (const char* p = payload; p < end;) {
        char* cell = out;
        uint32_t zeros = 0;
        const std::string_view rest =
            RestOfToken(DecodePlainGroups(p, end, out, zeros), end, p, unquoted);
        if (p == end) break;  // an unfinished last line is dropped
        const char* tail = out;
        size_t cellLength = 0;  // an invalid cell is empty as a whole
        if (netsqlite::Base64DecodeTo(rest, out)) {
            cellLength = out - cell;
            if (zeros != 0 || std::find(tail, static_cast<const char*>(out), '\0') != out)
                cellLength = strnlen(cell, cellLength);
        }
        m_cells.push_back(
            {static_cast<uint32_t>(cell - m_bytes.get()), static_cast<uint32_t>(cellLength)});
        out = cell + cellLength;
        *out++ = '\0';
        if (*p == '\n') m_lineEnds.push_back(m_cells.size());
        ++p;
    }
    if (m_lineEnds.empty()) return false;
    m_cells.resize(m_lineEnds.back());

    for (size_t i = 0; i < m_lineEnds[0]; ++i) m_columns.emplace(CellView(i), i);
    return true;
}

std::string_view NetSqliteResultSet::CellView(size_t index) const {
    return {m_bytes.get() + m_cells[index].offset, m_cells[index].length};
}

bool NetSqliteResultSet::Next() {
    const auto lineCount = static_cast<int32_t>(m_lineEnds.size());
    if (m_cursor < lineCount) ++m_cursor;
    return m_cursor < lineCount;
}

std::string_view NetSqliteResultSet::GetView(std::string_view column) const {
    if (m_cursor == 0 || static_cast<size_t>(m_cursor) >= m_lineEnds.size()) return {};
    const auto found = m_columns.find(column);
    if (found == m_columns.end()) return {};
    const size_t first = m_lineEnds[m_cursor - 1];
    const size_t cell = first + found->second;
    return cell < m_lineEnds[m_cursor] ? CellView(cell) : std::string_view();
}

int32_t NetSqliteResultSet::GetInt(std::string_view column) const {
    const std::string_view cell = GetView(column);
    if (cell.empty()) return 0;
    const long long value = std::strtoll(cell.data(), nullptr, 10);  // the cell ends with a zero
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

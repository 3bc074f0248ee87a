#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The rows of one query reply, parsed once and read row by row by column name.
//
// Payload: lines ending with '\n', cells separated by ',', every cell standard Base64
// (UTF-8 text once decoded), line 0 holds the column names. Double quotes are dropped
// wherever they occur; bytes after the last line feed form no line. A cell that is not
// valid Base64 reads as empty; decoded text is cut at its first zero byte.
class NetSqliteResultSet {
public:
    // False when the payload holds no complete line.
    bool Parse(const char* payload, size_t length);
    // Moves to the next data row; false once the rows are exhausted.
    bool Next();
    // Empty for an unknown column, before the first Next() and for a missing cell.
    std::string GetString(const std::string& column) const;
    // The cell read as a decimal integer; 0 when it is not a number.
    int32_t GetInt(const std::string& column) const;

    size_t RowCount() const { return m_lines.empty() ? 0 : m_lines.size() - 1; }

private:
    using Line = std::vector<std::string>;

    int32_t m_cursor = 0;
    std::vector<Line> m_lines;
    std::map<std::string, size_t> m_columns;
};

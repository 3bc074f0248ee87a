#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The rows of one query reply, parsed once and read row by row by column name.
//
// Payload: lines ending with '\n', cells separated by ',', every cell standard Base64
// (UTF-8 text once decoded), line 0 holds the column names. Double quotes are dropped
// wherever they occur; bytes after the last line feed form no line. A cell that is not
// valid Base64 reads as empty; decoded text is cut at its first zero byte.
class NetSqliteResultSet {
public:
    // False when the payload holds no complete line, or is 4 GiB or longer (the service sends
    // at most its reply limit, 64 MiB unless set otherwise). The payload is not needed
    // afterwards.
    bool Parse(const char* payload, size_t length);
    // Moves to the next data row; false once the rows are exhausted.
    bool Next();
    // Empty for an unknown column, before the first Next() and for a missing cell.
    std::string GetString(std::string_view column) const { return std::string(GetView(column)); }
    // The same cell in place: valid as long as the result set, and followed by a zero byte.
    std::string_view GetView(std::string_view column) const;
    // The cell read as a decimal integer; 0 when it is not a number.
    int32_t GetInt(std::string_view column) const;

    size_t RowCount() const { return m_lineEnds.empty() ? 0 : m_lineEnds.size() - 1; }

private:
    struct Cell {  // small, as a reply has a great many
        uint32_t offset;
        uint32_t length;
    };

    std::string_view CellView(size_t index) const;

    int32_t m_cursor = 0;
    std::unique_ptr<char[]> m_bytes;  // every decoded cell, each followed by a zero byte
    std::vector<Cell> m_cells;        // all lines' cells in order
    std::vector<size_t> m_lineEnds;   // per line, the index after its last cell
    std::map<std::string, size_t, std::less<>> m_columns;
};

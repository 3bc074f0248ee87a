#include "service/result_text.h"

#include <string_view>
#include <vector>

#include "netsqlite/base64.h"

namespace {

std::string_view CellBytes(sqlite3_stmt* statement, int column) {
    // Numbers go out as their text form, text and blobs as stored (SQLite's text of a blob is
    // its bytes), NULL as nothing.
    const unsigned char* bytes = sqlite3_column_text(statement, column);
    if (!bytes) return {};
    return {reinterpret_cast<const char*>(bytes),
            static_cast<size_t>(sqlite3_column_bytes(statement, column))};
}

// Sizes the line once, then encodes every cell in place; a line longer than `room` is left out.
template <typename CellOf>
bool AppendLine(sqlite3_stmt* statement, std::string& out, size_t room, CellOf cellOf) {
    thread_local std::vector<std::string_view> cells;
    const int columns = sqlite3_column_count(statement);
    cells.resize(columns);
    size_t size = columns > 0 ? columns : 1;  // the commas and the line feed
    for (int i = 0; i < columns; ++i) {
        cells[i] = cellOf(i);
        size += netsqlite::Base64EncodedSize(cells[i].size());
    }
    if (size > room) return false;
    const size_t start = out.size();
    out.resize(start + size);
    char* next = out.data() + start;
    for (int i = 0; i < columns; ++i) {
        if (i > 0) *next++ = ',';
        next = netsqlite::Base64EncodeTo(cells[i], next);
    }
    *next = '\n';
    return true;
}

}  // namespace

bool AppendHeaderLine(sqlite3_stmt* statement, std::string& out, size_t room) {
    return AppendLine(statement, out, room, [statement](int i) {
        const char* name = sqlite3_column_name(statement, i);
        return std::string_view(name ? name : "");
    });
}

bool AppendRowLine(sqlite3_stmt* statement, std::string& out, size_t room) {
    return AppendLine(statement, out, room, [statement](int i) { return CellBytes(statement, i); });
}

#pragma once

#include <sqlite3.h>

#include <string>

// The rows of a query reply: a header line of column names, then one line per row, every cell
// Base64 of its UTF-8 text, cells joined by ',', every line ending with '\n', NULL as an
// empty cell. A line that would take more than `room` bytes is not appended: false.
bool AppendHeaderLine(sqlite3_stmt* statement, std::string& out, size_t room);
bool AppendRowLine(sqlite3_stmt* statement, std::string& out, size_t room);

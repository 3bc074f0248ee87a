#include "service/search_function.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "netsqlite/list_search.h"

namespace {

// LIKE folds only ASCII letters; the stored text has them in lower case already.
std::string FoldedAscii(const char* text, size_t size) {
    std::string folded(text, size);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// A match counts in a column of `columns`; UTF-8 needles hold no separator, so a match lies
// within one column.
bool Holds(const char* text, size_t size, const std::string& needle, sqlite3_int64 columns) {
    const char* const end = text + size;
    const char* counted = text;
    size_t column = 0;
    for (const char* from = text; from < end;) {
        const auto* at = static_cast<const char*>(
            memmem(from, static_cast<size_t>(end - from), needle.data(), needle.size()));
        if (!at) return false;
        column += static_cast<size_t>(std::count(counted, at, kListTextSeparator));
        counted = at;
        if (column < 63 && (columns >> column & 1)) return true;
        from = at + 1;
    }
    return false;
}

void ListTextHas(sqlite3_context* context, int, sqlite3_value** args) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const auto* needle = reinterpret_cast<const char*>(sqlite3_value_text(args[1]));
    const int needle_size = sqlite3_value_bytes(args[1]);
    if (!text || !needle || needle_size == 0) {
        sqlite3_result_int(context, 0);
        return;
    }
    const size_t size = static_cast<size_t>(sqlite3_value_bytes(args[0]));
    sqlite3_result_int(
        context, Holds(text, size, FoldedAscii(needle, needle_size), sqlite3_value_int64(args[2])));
}

}  // namespace

bool RegisterSearchFunction(sqlite3* db) {
    return sqlite3_create_function(db, kListTextHas, 3,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   ListTextHas, nullptr, nullptr) == SQLITE_OK;
}

#include "store/row_reader.h"

namespace {

ret_t read_each_row(DbConnection& db, const tstring& sql,
                    const std::function<bool(const NetSqliteResultSet&)>& read_row,
                    bool none_is_ok) {
    std::unique_ptr<NetSqliteResultSet> result;
    const ret_t ran = db.query(sql, result);
    if (!ran.ok) return ran;
    bool any = false;
    while (result->Next()) {
        if (!read_row(*result)) return ret_t(false, 0);
        any = true;
    }
    return ret_t(any || none_is_ok, 0);
}

}  // namespace

ret_t read_rows(DbConnection& db, const tstring& sql,
                const std::function<bool(const NetSqliteResultSet&)>& read_row) {
    return read_each_row(db, sql, read_row, false);
}

ret_t read_rows_or_none(DbConnection& db, const tstring& sql,
                        const std::function<bool(const NetSqliteResultSet&)>& read_row) {
    return read_each_row(db, sql, read_row, true);
}

int32_t read_int(const NetSqliteResultSet& row, const tstring& column) {
    int32_t value = 0;
    DbGetInt(column, row, value);
    return value;
}

bool read_text(const NetSqliteResultSet& row, const tstring& column, tstring& text) {
    return DbGetText(column, text, row);
}

bool read_text(const NetSqliteResultSet& row, const tstring& column, value_map_t& values) {
    tstring text;
    if (!read_text(row, column, text)) return false;
    values[column] = std::move(text);
    return true;
}

bool read_category_columns(const DbConnection& db, const NetSqliteResultSet& row, int32_t category,
                           value_map_t& values) {
    for (const data_type_info_t* info : db.dictionary().all_columns()) {
        if (info->DataTypeCategory == category && !read_text(row, info->DataType, values)) {
            return false;
        }
    }
    return true;
}

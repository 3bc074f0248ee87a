#pragma once

#include <functional>

#include "store/db_connection.h"

// Runs `sql` and hands each result row to `read_row`, which returns false when a text could
// not be read; reading then stops. ok when at least one row was read and none failed; a
// failed query returns its own result.
ret_t read_rows(DbConnection& db, const tstring& sql,
                const std::function<bool(const NetSqliteResultSet&)>& read_row);
// As read_rows, but an empty result is a successful read: for tables where no rows is a valid state.
ret_t read_rows_or_none(DbConnection& db, const tstring& sql,
                        const std::function<bool(const NetSqliteResultSet&)>& read_row);

int32_t read_int(const NetSqliteResultSet& row, const tstring& column);
bool read_text(const NetSqliteResultSet& row, const tstring& column, tstring& text);
// Into values[column].
bool read_text(const NetSqliteResultSet& row, const tstring& column, value_map_t& values);
// Every data type of `category` in the dictionary's list of all columns.
bool read_category_columns(const DbConnection& db, const NetSqliteResultSet& row, int32_t category,
                           value_map_t& values);

#pragma once

#include <vector>

#include "store/db_connection.h"
#include "store/records.h"

// Composition of statement fragments. Every text placed between single quotes has its quotes
// doubled, so no value can end its literal early; names that are not plain identifiers are
// written as quoted identifiers for the same reason.
namespace sql {

tstring escaped(const tstring& text);
// 'text' with quotes doubled.
tstring literal(const tstring& text);
// NULL for the empty text, else literal(text).
tstring value(const tstring& text);
// The name itself when it is a plain identifier, else "name" with double quotes doubled.
tstring name(const tstring& column);
// Whether `part` occurs in `text` starting on a character: never from the trail byte of a GBK
// pair.
bool contains_text(const tstring& text, const tstring& part);
// "'%text%' ESCAPE '\'" for a LIKE that finds the text itself: its %, _ and \ are no
// wildcards. Bytes of GBK pairs are never escaped.
tstring contains_pattern(const tstring& text);
tstring join(const std::vector<tstring>& items, const char* separator);

enum class Record { Customer, Vehicle };
enum class Statement { Insert, Update, Match };

// Which entries of a record take part in a statement: customers their category-0 columns;
// vehicles "CustomerID" and their category-1 columns. An UPDATE leaves out read-only
// columns and the vehicle key PlateID.
bool takes_part(const DbConnection& db, Record record, Statement statement, const tstring& column);
value_map_t entries_taking_part(const DbConnection& db, Record record, Statement statement,
                                const value_map_t& values);

// "a,b" and "'x',NULL" of an INSERT.
tstring insert_columns(const value_map_t& entries);
tstring insert_values(const value_map_t& entries);
// "a = 'x', b = NULL" of an UPDATE.
tstring set_list(const value_map_t& entries);
// "a='x' and b IS NULL" of a match.
tstring match_condition(const value_map_t& entries);

}  // namespace sql

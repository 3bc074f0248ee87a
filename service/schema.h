#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// SQL that creates the five tables of a new database and fills in the default data types,
// the lookup values and the operator account.
std::string SchemaAndDefaults();

// SQL that adds demo customers and vehicles with Chinese names.
std::string DemoData();

// What the list's search reads, kept by triggers: a trigram index per table and the list's
// search text. `sql` adds a part and fills it from the rows already stored; run once, on a
// database without the table `name`.
struct SearchPart {
    std::string name;
    std::string sql;
};
std::vector<SearchPart> SearchParts();

// Registers "pinyin", the collation the list sorts text by: Chinese by its pinyin, through ICU.
// Each connection needs its own; false when ICU has no such collation.
bool RegisterCollations(sqlite3* db);

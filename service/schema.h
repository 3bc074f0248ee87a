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
// search text. A part is its table, the statement that creates it (as the database keeps it)
// and the rest: its triggers, named after the table, and the rows already stored.
struct SearchPart {
    std::string name;
    std::string table;
    std::string rest;
};
std::vector<SearchPart> SearchParts();

// Registers "pinyin", the collation the list sorts text by: Chinese by its pinyin, through ICU.
// Each connection needs its own; false when ICU has no such collation.
bool RegisterCollations(sqlite3* db);

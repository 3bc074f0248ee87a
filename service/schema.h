#pragma once

#include <sqlite3.h>

#include <string>

// SQL that creates the five tables of a new database and fills in the default data types,
// the lookup values and the operator account.
std::string SchemaAndDefaults();

// SQL that adds demo customers and vehicles with Chinese names.
std::string DemoData();

// SQL that adds the trigram indexes the list's search reads (one per table, kept by triggers)
// and fills them from the rows already stored. Run once, on a database that lacks them.
std::string SearchIndexes();
// The table that tells whether a database has the search indexes.
extern const char kSearchIndexProbe[];

// Registers "pinyin", the collation the list sorts text by: Chinese by its pinyin, through ICU.
// Each connection needs its own; false when ICU has no such collation.
bool RegisterCollations(sqlite3* db);

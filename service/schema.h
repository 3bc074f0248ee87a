#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

// SQL that creates the five tables of a new database and fills in the default data types,
// the lookup values and the operator account.
std::string SchemaAndDefaults();

// SQL that adds demo customers and vehicles with Chinese names.
std::string DemoData();

// What the list's search reads: the list's search text, and the blocks of it that changes to the
// tables left stale, noted by triggers. A part is its table, the statement that creates it (as
// the database keeps it) and the rest: its triggers, named after the table, and the rows already
// stored.
struct SearchPart {
    std::string name;
    std::string table;
    std::string rest;
};
std::vector<SearchPart> SearchParts();
inline constexpr char kStaleBlocks[] = "list_stale";
// SQL that makes the stale blocks of the search text anew from the tables; the writer runs it
// before anything reads them stale.
std::string SearchTextRefresh();
// Parts older services kept (a trigram index per table), dropped with their triggers.
inline constexpr const char* kRetiredSearchParts[] = {"customer_search", "vehicle_search"};

// Registers "pinyin", the collation the list sorts text by: Chinese by its pinyin, through ICU.
// Each connection needs its own; false when ICU has no such collation.
bool RegisterCollations(sqlite3* db);

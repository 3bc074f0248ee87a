#pragma once

#include <sqlite3.h>

// Registers list_text_rows, the function the list's search reads its text with; each connection
// needs its own.
bool RegisterSearchFunction(sqlite3* db);

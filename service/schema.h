#pragma once

#include <string>

// SQL that creates the five tables of a new database and fills in the default data types,
// the lookup values and the operator account.
std::string SchemaAndDefaults();

// SQL that adds demo customers and vehicles with Chinese names.
std::string DemoData();

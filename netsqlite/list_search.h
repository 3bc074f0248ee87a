#pragma once

// What the service keeps for the list's search and the client reads, so both name it alike.
// The columns a search may name, by table, in the order the search text joins them.
inline constexpr const char* kCustomerSearchColumns[] = {"Code", "Name", "Phone", "ParkingSpaces",
                                                         "RegisterTime"};
inline constexpr const char* kVehicleSearchColumns[] = {"PlateID",    "Color",   "ValidFrom",
                                                        "ValidUntil", "Allowed", "AccessPeriod"};

// One row per block of customers (those whose CustomerID >> kListTextBlockBits is `block`): the
// searchable values of each customer and of its vehicles, ASCII letters in lower case. A
// customer is kListTextCustomer, its id and its values, each after kListTextSeparator; each of
// its vehicles follows as kListTextVehicle and its values, each after the separator. No UTF-8
// text holds these three bytes.
inline constexpr char kListTextTable[] = "list_text";
inline constexpr int kListTextBlockBits = 5;
inline constexpr char kListTextCustomer = '\xfd';
inline constexpr char kListTextVehicle = '\xfe';
inline constexpr char kListTextSeparator = '\xff';
// list_text_rows(text, needle, columns, ...): how many rows of the list (customer and vehicle)
// the block holds in which a column whose bit (1 << its place above, customer columns first) is
// set in `columns` holds `needle`, as LIKE '%needle%' finds it; any of the pairs may match.
inline constexpr char kListTextRows[] = "list_text_rows";
inline constexpr int kListTextMostNeedles = 32;

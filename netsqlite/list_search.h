#pragma once

// What the service keeps for the list's search and the client reads, so both name it alike.
// The columns a search may name, by table, in the order the search text joins them.
inline constexpr const char* kCustomerSearchColumns[] = {"Code", "Name", "Phone", "ParkingSpaces",
                                                         "RegisterTime"};
inline constexpr const char* kVehicleSearchColumns[] = {"PlateID",    "Color",   "ValidFrom",
                                                        "ValidUntil", "Allowed", "AccessPeriod"};

// One row per row of the list (customer and vehicle): the customer, the vehicle's rowid (0 for a
// customer without vehicles) and the row's values of the columns above, ASCII letters in lower
// case, joined by the byte kListTextSeparator, which no UTF-8 text holds.
inline constexpr char kListTextTable[] = "list_text";
inline constexpr char kListTextSeparator = '\xff';
// list_text_has(text, needle, columns): 1 when a column whose bit (1 << its place above,
// customer columns first) is set in `columns` holds `needle`, as LIKE '%needle%' finds it.
inline constexpr char kListTextHas[] = "list_text_has";

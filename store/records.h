#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "netsqlite/types.h"

// Result codes a store function may put into ret_t::code besides 0 and kDbConnectionLost.
enum StoreResultCode : int32_t {
    kPlateExists = 1,
    kCustomerInsertFailed = 2,
    kVehicleInsertFailed = 3,
    kCustomerUpdateFailed = 4,
    kVehicleUpdateFailed = 5,
    kNoPlate = 6,
    kNothingToImport = 7,
    kCustomerUnchanged = 8,
    kVehicleUnchanged = 9,
    kCodePlateConflict = 10,
    kCodeExists = 11,
};

// Column name -> text; an empty text stands for NULL. Keys ordered byte-wise.
using value_map_t = std::map<tstring, tstring>;

struct customer_info_t {
    int32_t CustomerID = -1;
    value_map_t values;
};

struct vehicle_info_t {
    int32_t CustomerID = -1;
    value_map_t values;
    bool pending = false;
    // PlateID under which the vehicle is stored now; empty for a vehicle not stored yet.
    tstring stored_plate;
};

struct row_info_t {
    customer_info_t customer;
    vehicle_info_t vehicle;
    // Where a list row stands in the list's order, so the pages beside it are read from it.
    tstring list_key;
};

struct data_type_info_t {
    int32_t ShowIndex = 0;
    tstring DataType;
    tstring DataTypeName;
    int32_t Type = 0;
    int32_t DataTypeCategory = 0;
    int32_t Enable = 1;
    int32_t ShowList = 0;
    int32_t DefaultNull = 1;
    int32_t ReadOnly = 0;
};

// Values of data_type_info_t::Type: how a column's text is stored, shown and edited.
constexpr int32_t kTypeText = 0;
constexpr int32_t kTypeLookup = 1;  // the decimal ValueID of a common value
constexpr int32_t kTypeInteger = 2;
constexpr int32_t kTypeDate = 3;
constexpr int32_t kTypeDateTime = 4;
constexpr int32_t kTypeTimestamp = 5;  // shown and edited as plain text
constexpr int32_t kTypeYesNo = 6;      // stored as 1 or 0
constexpr int32_t kTypePeriod = 7;

// Values of data_type_info_t::DataTypeCategory.
constexpr int32_t kCategoryCustomer = 0;
constexpr int32_t kCategoryVehicle = 1;

// Which columns a page of the list reads: those the list shows, or every data type's (an export
// of every column).
enum class ListColumns { Shown, All };

struct search_constraint_t {
    tstring column;
    tstring text;
};

// (order, column): order 1 sorts ascending, any other value descending; an empty column sorts
// by CustomerID.
using sort_type_t = std::pair<int32_t, tstring>;

// How a page of the list is reached: by its number, or from a row of the page beside it, which
// costs the same wherever the page lies.
struct page_step_t {
    int32_t direction = 0;  // 0 by page number; 1 the rows after `anchor`; -1 the rows before it
    tstring anchor;         // a row's list_key; empty with direction -1: the end of the list
    int32_t rows = 0;       // rows read from the end, when the last page is not a full one
    bool operator==(const page_step_t& other) const {
        return direction == other.direction && anchor == other.anchor && rows == other.rows;
    }
};

struct insert_result_t {
    bool ok = false;
    int32_t code = 0;
};

using common_value_t = std::pair<int32_t, tstring>;  // ValueID, Value
using common_value_list_t = std::vector<common_value_t>;
using row_key_list_t = std::vector<std::pair<int32_t, tstring>>;  // CustomerID, PlateID
using plates_by_customer_t = std::map<int32_t, std::set<tstring>>;

// Vehicle statements carry the owner as the column "CustomerID".
inline void stamp_owner(vehicle_info_t& vehicle) {
    vehicle.values["CustomerID"] = std::to_string(vehicle.CustomerID);
}

// A lost connection ends every composite operation at once.
inline bool is_connection_lost(const ret_t& result) {
    return !result.ok && result.code == kDbConnectionLost;
}

#pragma once
// The names of the tasks and the typed keys of their contexts. A key used by several tasks with
// different types ("data", "info", "row_infos") has one typed key per type; the task name tells
// which one a context holds.
#include <boost/function.hpp>
#include <vector>

#include "store/data_type_dictionary.h"
#include "store/records.h"
#include "tasks/task_context.h"

namespace task_names {
constexpr const char* kOpenDb = "OpenDb";
constexpr const char* kLogin = "Login";
constexpr const char* kGetRowCount = "GetRowCount";
constexpr const char* kLoadDbRange = "LoadDbRange";
constexpr const char* kDeleteRows = "DeleteRows";
constexpr const char* kDeleteAllRows = "DeleteAllRows";
constexpr const char* kMergeRows = "MergeRows";
constexpr const char* kLoadCustomerByID = "LoadCustomerByID";
constexpr const char* kLoadCustomerVehicles = "LoadCustomerVehicles";
constexpr const char* kUpdateCustomer = "UpdateCustomer";
constexpr const char* kUpdateVehicle = "UpdateVehicle";
constexpr const char* kInsertCustomer = "InsertCustomer";
constexpr const char* kInsertVehicle = "InsertVehicle";
constexpr const char* kDeleteVehicle = "DeleteVehicle";
constexpr const char* kDeleteCustomerAndVehicles = "DeleteCustomerAndVehicles";
constexpr const char* kGetDataTypeInfo = "GetDataTypeInfo";
constexpr const char* kGetCommonDataMap = "GetCommonDataMap";
constexpr const char* kUpdateDataTypeInfo = "UpdateDataTypeInfo";
constexpr const char* kUpdateCommonData = "UpdateCommonData";
constexpr const char* kInsertCommonData = "InsertCommonData";
constexpr const char* kDeleteCommonData = "DeleteCommonData";
constexpr const char* kCountCommonDataUses = "CountCommonDataUses";
constexpr const char* kImportRow = "ImportRow";
constexpr const char* kImportRows = "ImportRows";
}  // namespace task_names

using task_callback_t = boost::function<void()>;
using constraint_list_t = std::vector<search_constraint_t>;
using row_list_t = std::vector<row_info_t>;
using insert_result_list_t = std::vector<insert_result_t>;
using vehicle_list_t = std::vector<vehicle_info_t>;

namespace task_keys {
// Common to every task.
constexpr task_key<tstring> task_name{"task_name"};
constexpr task_key<ret_t> ret{"ret"};
constexpr task_key<task_callback_t> callback{"callback"};

constexpr task_key<int32_t> count{"count"};
constexpr task_key<int32_t> page_num{"page_num"};
constexpr task_key<int32_t> page_size{"page_size"};
constexpr task_key<int32_t> id{"id"};

constexpr task_key<tstring> database{"database"};
constexpr task_key<tstring> user{"user"};
constexpr task_key<tstring> pass{"pass"};
constexpr task_key<tstring> url{"url"};
constexpr task_key<tstring> server_key{"server_key"};
constexpr task_key<tstring> PlateID{"PlateID"};
constexpr task_key<tstring> key{"key"};
constexpr task_key<tstring> value{"value"};

constexpr task_key<sort_type_t> sortType{"sortType"};
constexpr task_key<page_step_t> page_step{"page_step"};
constexpr task_key<ListColumns> list_columns{"list_columns"};
constexpr task_key<constraint_list_t> constraints{"constraints"};
// "data": the rows of a page or of a batch import, one row to import, one data type.
constexpr task_key<row_list_t> rows{"data"};
constexpr task_key<row_info_t> row_data{"data"};
constexpr task_key<data_type_info_t> data_type{"data"};
constexpr task_key<insert_result_list_t> results{"results"};
constexpr task_key<vehicle_list_t> vehicles{"vehicles"};
constexpr task_key<customer_info_t> row{"row"};
// "info": the customer or the vehicle of a customer or vehicle task.
constexpr task_key<customer_info_t> customer_info{"info"};
constexpr task_key<vehicle_info_t> vehicle_info{"info"};
// "row_infos": the rows to delete, or the vehicles to move by their owner.
constexpr task_key<row_key_list_t> rows_to_delete{"row_infos"};
constexpr task_key<plates_by_customer_t> plates_to_move{"row_infos"};
constexpr task_key<DataTypeDictionary::data_value_map> data_map{"data_map"};
constexpr task_key<DataTypeDictionary::data_info_map> data_info{"data_info"};
}  // namespace task_keys

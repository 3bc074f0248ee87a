#pragma once

#include "store/db_connection.h"

// Loads fill the caller's map and, when at least one row came back, replace the connection's
// dictionary contents; an empty tabdatatypeinfo is ok false, code 0, while an empty
// tabcommondatainfo is a successful load of no values. Writes change the connection's
// dictionary only when their statement succeeded.

ret_t load_data_type_info(DbConnection& db, DataTypeDictionary::data_info_map& data_info);
// Writes the name, category, Enable, ShowList and Type of the data type.
ret_t update_data_type_info(DbConnection& db, const data_type_info_t& record);
ret_t load_common_data(DbConnection& db, DataTypeDictionary::data_value_map& data_map);
ret_t update_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id);
// The caller chooses an unused ValueID.
ret_t insert_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id);
// The records holding the value lose it in the same request, so that none keeps a ValueID a later
// value of the data type may take.
ret_t delete_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id);
// How many customers or vehicles (by the data type's category) hold the value.
ret_t count_common_data_uses(DbConnection& db, const tstring& data_type, int32_t value_id,
                             int32_t& uses);

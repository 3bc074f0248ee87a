#include "store/data_type_store.h"

#include "store/row_reader.h"
#include "store/sql_text.h"

namespace {

// The table whose column the lookup data type is, or "" when no record holds its values.
tstring table_holding(const DbConnection& db, const tstring& data_type) {
    if (!db.dictionary().is_lookup_column(data_type)) return tstring();
    switch (db.category_of(data_type)) {
        case kCategoryCustomer: return "tabcustomerinfo";
        case kCategoryVehicle: return "tabvehicleinfo";
        default: return tstring();
    }
}

// Records keep a lookup value as its ValueID in decimal.
tstring holds_value(const tstring& data_type, int32_t value_id) {
    return sql::name(data_type) + " = " + sql::literal(std::to_string(value_id));
}

}  // namespace

ret_t load_data_type_info(DbConnection& db, DataTypeDictionary::data_info_map& data_info) {
    const ret_t loaded = read_rows(db, "SELECT * FROM tabdatatypeinfo order by ShowIndex",
                                   [&](const NetSqliteResultSet& row) {
                                       data_type_info_t info;
                                       info.ShowIndex = read_int(row, "ShowIndex");
                                       if (!read_text(row, "DataType", info.DataType) ||
                                           !read_text(row, "DataTypeName", info.DataTypeName)) {
                                           return false;
                                       }
                                       info.Enable = read_int(row, "Enable");
                                       info.DataTypeCategory = read_int(row, "DataTypeCategory");
                                       info.ShowList = read_int(row, "ShowList");
                                       info.Type = read_int(row, "Type");
                                       info.DefaultNull = read_int(row, "DefaultNull");
                                       info.ReadOnly = read_int(row, "ReadOnly");
                                       db.set_category(info.DataType, info.DataTypeCategory);
                                       data_info[info.DataType] = std::move(info);
                                       return true;
                                   });
    if (loaded.ok) db.dictionary().set_data_info(data_info);
    return loaded;
}

ret_t update_data_type_info(DbConnection& db, const data_type_info_t& record) {
    const ret_t updated = db.execute(
        "UPDATE tabdatatypeinfo SET DataTypeName = " + sql::literal(record.DataTypeName) +
        ", DataTypeCategory = " + std::to_string(record.DataTypeCategory) + ",Enable = " +
        std::to_string(record.Enable) + ", ShowList = " + std::to_string(record.ShowList) +
        ", Type = " + std::to_string(record.Type) +
        " WHERE DataType = " + sql::literal(record.DataType));
    if (updated.ok) db.dictionary().set_data_type(record);
    return updated;
}

ret_t load_common_data(DbConnection& db, DataTypeDictionary::data_value_map& data_map) {
    // The result is the whole table, so it replaces what the map held; a table left empty by
    // deleting every value is a valid load that must clear the old values, not a failure.
    data_map.clear();
    const ret_t loaded =
        read_rows_or_none(db, "SELECT * FROM tabcommondatainfo", [&](const NetSqliteResultSet& row) {
            const int32_t value_id = read_int(row, "ValueID");
            tstring data_type;
            tstring value;
            if (!read_text(row, "DataType", data_type) || !read_text(row, "Value", value)) {
                return false;
            }
            data_map[data_type].emplace_back(value_id, std::move(value));
            return true;
        });
    if (loaded.ok) db.dictionary().set_data_map(data_map);
    return loaded;
}

ret_t update_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id) {
    const ret_t updated = db.execute("UPDATE tabcommondatainfo SET Value = " + sql::literal(value) +
                                     " WHERE DataType = " + sql::literal(data_type) +
                                     " and ValueID = " + std::to_string(value_id));
    if (updated.ok) db.dictionary().set_common_value(data_type, value_id, value);
    return updated;
}

ret_t insert_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id) {
    const ret_t inserted = db.execute(
        "INSERT INTO tabcommondatainfo (Value,DataType,ValueID) VALUES (" + sql::literal(value) +
        "," + sql::literal(data_type) + ", '" + std::to_string(value_id) + "')");
    if (inserted.ok) db.dictionary().add_common_value(data_type, value_id, value);
    return inserted;
}

ret_t delete_common_data(DbConnection& db, const tstring& data_type, const tstring& value,
                         int32_t value_id) {
    const tstring stored = "FROM tabcommondatainfo WHERE Value = " + sql::literal(value) +
                           " and DataType = " + sql::literal(data_type) +
                           " and ValueID = " + std::to_string(value_id);
    // Only a value that is really deleted is taken from the records (not one renamed meanwhile).
    const tstring table = table_holding(db, data_type);
    const tstring release = table.empty() ? tstring()
                                          : "UPDATE " + table + " SET " + sql::name(data_type) +
                                                " = NULL WHERE " + holds_value(data_type, value_id) +
                                                " and EXISTS (SELECT 1 " + stored + ");";
    const ret_t deleted = db.execute(release + "DELETE " + stored);
    if (deleted.ok) db.dictionary().remove_common_value(data_type, value_id, value);
    return deleted;
}

ret_t count_common_data_uses(DbConnection& db, const tstring& data_type, int32_t value_id,
                             int32_t& uses) {
    uses = 0;
    const tstring table = table_holding(db, data_type);
    if (table.empty()) return ret_t(true, 0);
    return read_rows(db,
                     "SELECT COUNT(*) AS uses FROM " + table + " WHERE " +
                         holds_value(data_type, value_id),
                     [&](const NetSqliteResultSet& row) {
                         uses = read_int(row, "uses");
                         return true;
                     });
}

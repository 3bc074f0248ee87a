#include "store/list_queries.h"

#include <map>
#include <set>

#include "store/row_reader.h"
#include "store/sql_text.h"

namespace {

const char* table_of_category(int32_t category) {
    return category == kCategoryCustomer ? "tabcustomerinfo." : "tabvehicleinfo.";
}

// Shown columns by category, with the name and the plate always present.
std::map<int32_t, std::set<tstring>> page_column_map(const DbConnection& db) {
    std::map<int32_t, std::set<tstring>> columns;
    for (const data_type_info_t* info : db.dictionary().shown_columns()) {
        columns[info->DataTypeCategory].insert(info->DataType);
    }
    columns[kCategoryVehicle].insert("PlateID");
    columns[kCategoryCustomer].insert("Name");
    return columns;
}

}  // namespace

ret_t login_user(DbConnection& db, const tstring& user, const tstring& password) {
    return read_rows(db,
                     "select * from userInfo where userName = " + sql::literal(user) +
                         " and pass = " + sql::literal(password),
                     [](const NetSqliteResultSet&) { return true; });
}

tstring search_condition(const DbConnection& db,
                         const std::vector<search_constraint_t>& constraints) {
    tstring condition;
    auto append_term = [&condition](const tstring& column, const tstring& text) {
        condition += condition.empty() ? " WHERE " : " or ";
        condition += column + " LIKE " + sql::contains_pattern(text);
    };
    const DataTypeDictionary& dictionary = db.dictionary();
    for (const search_constraint_t& constraint : constraints) {
        if (!dictionary.is_lookup_column(constraint.column)) {
            append_term(constraint.column == "CustomerID" ? tstring("tabcustomerinfo.CustomerID")
                                                          : sql::name(constraint.column),
                        constraint.text);
            continue;
        }
        auto values = dictionary.data_map().find(constraint.column);
        if (values == dictionary.data_map().end()) continue;
        for (const auto& [value_id, value] : values->second) {
            if (sql::contains_text(value, constraint.text)) {
                append_term(sql::name(constraint.column), std::to_string(value_id));
            }
        }
    }
    return condition;
}

tstring page_columns(const DbConnection& db) {
    std::vector<tstring> columns;
    for (const auto& [category, names] : page_column_map(db)) {
        for (const tstring& name : names) {
            columns.push_back(table_of_category(category) + sql::name(name));
        }
    }
    columns.push_back("tabcustomerinfo.CustomerID");
    return sql::join(columns, ", ");
}

tstring sort_clause(const DbConnection& db, const sort_type_t& sort) {
    // Ties are broken by customer, then by vehicle row (null for a customer without vehicles):
    // without a total order SQLite may put tied rows differently from one page to the next. The
    // default order is that of the index on the vehicles' CustomerID, so it needs no sort.
    const tstring tie_breakers = "tabcustomerinfo.CustomerID asc, tabvehicleinfo.rowid asc";
    const auto& [order, column] = sort;
    if (column.empty()) return tie_breakers;
    return table_of_category(db.category_of(column)) + sql::name(column) +
           (order == 1 ? " asc, " : " desc, ") + tie_breakers;
}

ret_t count_rows(DbConnection& db, const std::vector<search_constraint_t>& constraints,
                 int32_t& count) {
    return read_rows(
        db,
        tstring("select count(*) as num from tabcustomerinfo LEFT JOIN tabvehicleinfo ON "
                "tabcustomerinfo.CustomerID = tabvehicleinfo.CustomerID") +
            search_condition(db, constraints),
        [&count](const NetSqliteResultSet& row) {
            count = read_int(row, "num");
            return true;
        });
}

ret_t load_rows_page(DbConnection& db, const sort_type_t& sort,
                     const std::vector<search_constraint_t>& constraints, int32_t page,
                     int32_t page_size, std::vector<row_info_t>& rows) {
    const int64_t offset = static_cast<int64_t>(page) * page_size;
    const tstring statement = "select " + page_columns(db) +
                              " from tabcustomerinfo LEFT JOIN tabvehicleinfo on "
                              "tabcustomerinfo.CustomerID = tabvehicleinfo.CustomerID" +
                              search_condition(db, constraints) + " order by " +
                              sort_clause(db, sort) + " limit " + std::to_string(offset) + ", " +
                              std::to_string(page_size);
    const auto columns = page_column_map(db);
    return read_rows(db, statement, [&](const NetSqliteResultSet& result) {
        row_info_t row;
        row.customer.CustomerID = read_int(result, "CustomerID");
        for (const auto& [category, names] : columns) {
            value_map_t& values =
                category == kCategoryCustomer ? row.customer.values : row.vehicle.values;
            for (const tstring& name : names) {
                if (!read_text(result, name, values)) return false;
            }
        }
        rows.push_back(std::move(row));
        return true;
    });
}

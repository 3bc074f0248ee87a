#include "store/list_queries.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "netsqlite/list_search.h"
#include "store/row_reader.h"
#include "store/sql_text.h"

namespace {

const char kListJoin[] =
    "tabcustomerinfo LEFT JOIN tabvehicleinfo on tabcustomerinfo.CustomerID = "
    "tabvehicleinfo.CustomerID";

template <size_t N>
int place_in(const char* const (&columns)[N], const tstring& column) {
    const auto found = std::find(std::begin(columns), std::end(columns), column);
    return found == std::end(columns) ? -1 : static_cast<int>(found - std::begin(columns));
}

// One "column LIKE '%text%'" of the search condition.
struct search_term_t {
    tstring column;  // as the data type names it
    tstring text;
    tstring like;
};

const char* table_of_category(int32_t category) {
    return category == kCategoryCustomer ? "tabcustomerinfo." : "tabvehicleinfo.";
}

// The columns read, by category, with the name and the plate always present.
std::map<int32_t, std::set<tstring>> page_column_map(const DbConnection& db,
                                                     ListColumns which) {
    std::map<int32_t, std::set<tstring>> columns;
    const DataTypeDictionary& dictionary = db.dictionary();
    for (const data_type_info_t* info :
         which == ListColumns::All ? dictionary.all_columns() : dictionary.shown_columns()) {
        columns[info->DataTypeCategory].insert(info->DataType);
    }
    columns[kCategoryVehicle].insert("PlateID");
    columns[kCategoryCustomer].insert("Name");
    return columns;
}

search_term_t make_term(const tstring& column, const tstring& text) {
    const tstring written =
        column == "CustomerID" ? tstring("tabcustomerinfo.CustomerID") : sql::name(column);
    return {column, text, written + " LIKE " + sql::contains_pattern(text)};
}

// A lookup column is searched through the ValueIDs of the values whose text holds the text.
std::vector<search_term_t> search_terms(const DbConnection& db,
                                        const std::vector<search_constraint_t>& constraints) {
    std::vector<search_term_t> terms;
    const DataTypeDictionary& dictionary = db.dictionary();
    for (const search_constraint_t& constraint : constraints) {
        if (!dictionary.is_lookup_column(constraint.column)) {
            terms.push_back(make_term(constraint.column, constraint.text));
            continue;
        }
        auto values = dictionary.data_map().find(constraint.column);
        if (values == dictionary.data_map().end()) continue;
        for (const auto& [value_id, value] : values->second) {
            if (sql::contains_text(value, constraint.text)) {
                terms.push_back(make_term(constraint.column, std::to_string(value_id)));
            }
        }
    }
    return terms;
}

tstring likes_of(const std::vector<search_term_t>& terms) {
    std::vector<tstring> likes;
    for (const search_term_t& term : terms) likes.push_back(term.like);
    return sql::join(likes, " or ");
}

tstring where_clause(const std::vector<tstring>& conditions) {
    std::vector<tstring> present;
    for (const tstring& condition : conditions)
        if (!condition.empty()) present.push_back("(" + condition + ")");
    return present.empty() ? tstring() : " WHERE " + sql::join(present, " AND ");
}

// Where the rows of a list statement come from: `from` and a condition (empty: every row).
struct list_source_t {
    tstring from;
    tstring where;
    tstring count;  // the statement that counts them, as "num"
    tstring block;  // read first in the list's order: the rows come by block of the search text
};

// The column's place in the list's search text, customer columns first; -1 for none.
int text_place(const tstring& column) {
    const int customer = place_in(kCustomerSearchColumns, column);
    if (customer >= 0) return customer;
    const int vehicle = place_in(kVehicleSearchColumns, column);
    return vehicle < 0 ? -1 : static_cast<int>(std::size(kCustomerSearchColumns)) + vehicle;
}

// A search the service's search text answers reads it a block of customers at a time: the count
// adds up the rows each block finds, a page joins the rows of the blocks that find any, in the
// list's order, and LIKE keeps exactly the rows it finds. False when a term names a column the
// text lacks, or for more texts than the service reads at once.
bool text_source(const std::vector<search_term_t>& terms, list_source_t& source) {
    std::map<tstring, int64_t> columns_by_text;
    for (const search_term_t& term : terms) {
        const int place = text_place(term.column);
        if (place < 0 || term.text.empty()) return false;
        columns_by_text[term.text] |= int64_t(1) << place;
    }
    if (columns_by_text.size() > static_cast<size_t>(kListTextMostNeedles)) return false;
    std::vector<tstring> needles;
    for (const auto& [text, columns] : columns_by_text)
        needles.push_back(sql::literal(text) + ", " + std::to_string(columns));
    const tstring table = kListTextTable;
    const tstring rows =
        tstring(kListTextRows) + "(" + table + ".text, " + sql::join(needles, ", ") + ")";
    const tstring first = "(" + table + ".block << " + std::to_string(kListTextBlockBits) + ")";
    source.from = table + " CROSS JOIN " + kListJoin;
    source.where = rows + " > 0 AND tabcustomerinfo.CustomerID BETWEEN " + first + " AND " + first +
                   " + " + std::to_string((1 << kListTextBlockBits) - 1) + " AND (" +
                   likes_of(terms) + ")";
    source.count = "select ifnull(sum(" + rows + "), 0) as num from " + table;
    source.block = table + ".block";
    return true;
}

// A search the search text cannot answer reads every row of the join with LIKE.
list_source_t list_source(DbConnection& db, const std::vector<search_constraint_t>& constraints) {
    const std::vector<search_term_t> terms = search_terms(db, constraints);
    const tstring where = terms.empty() ? tstring() : likes_of(terms);
    list_source_t source{kListJoin, where,
                         tstring("select count(*) as num from ") + kListJoin + where_clause({where}),
                         ""};
    if (!terms.empty()) text_source(terms, source);
    return source;
}

// --- Order -----------------------------------------------------------------------------------

// The value a column sorts by: text by its pinyin, a lookup column by the text it shows.
tstring sort_key(const DbConnection& db, const tstring& column) {
    if (column.empty()) return "";
    const tstring stored = table_of_category(db.category_of(column)) + sql::name(column);
    if (!db.dictionary().is_lookup_column(column)) return stored + " COLLATE pinyin";
    return "coalesce((SELECT Value FROM tabcommondatainfo WHERE DataType = " +
           sql::literal(column) + " AND ValueID = CAST(NULLIF(" + stored +
           ", '') AS INTEGER)), '') COLLATE pinyin";
}

const char* direction(bool ascending) {
    return ascending ? " asc" : " desc";
}

// Ties are broken by customer, then by vehicle row (null for a customer without vehicles):
// without a total order SQLite may put tied rows differently from one page to the next. The
// default order is that of the index on the vehicles' CustomerID, so it needs no sort.
// `reversed` reads the list from its end.
tstring order_text(const tstring& key, bool ascending, bool reversed,
                   const list_source_t& source = {}) {
    const tstring block =
        source.block.empty() ? tstring() : source.block + direction(!reversed) + ", ";
    const tstring ties = block + "tabcustomerinfo.CustomerID" + direction(!reversed) +
                         ", tabvehicleinfo.rowid" + direction(!reversed);
    return key.empty() ? ties : key + direction(ascending != reversed) + ", " + ties;
}

// Where a row stands: its sort value, customer and vehicle row, as SQL literals.
tstring list_key_column(const tstring& key) {
    const tstring ties = "tabcustomerinfo.CustomerID || ',' || quote(tabvehicleinfo.rowid)";
    return (key.empty() ? ties : "quote(" + key + ") || ',' || " + ties) + " AS ListKey";
}

// In SQLite's order null comes first ascending and last descending.
tstring after(const tstring& expr, const tstring& literal, bool ascending) {
    const bool null = literal == "NULL";
    if (ascending) return null ? expr + " IS NOT NULL" : expr + " > " + literal;
    return null ? tstring("0") : "(" + expr + " < " + literal + " OR " + expr + " IS NULL)";
}

tstring same(const tstring& expr, const tstring& literal) {
    return literal == "NULL" ? expr + " IS NULL" : expr + " = " + literal;
}

bool is_number(const tstring& text) {
    if (text.empty()) return false;
    const size_t digits = text[0] == '-' ? 1 : 0;
    return digits < text.size() && std::all_of(text.begin() + digits, text.end(), [](char c) {
               return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' ||
                      c == 'E' || c == '+' || c == '-';
           });
}

// What quote() writes: NULL, a number, a text with its quotes doubled, or a blob.
bool is_literal(const tstring& text) {
    if (text == "NULL" || is_number(text)) return true;
    const bool blob = text.size() >= 3 && (text[0] == 'X' || text[0] == 'x');
    const tstring quoted = blob ? text.substr(1) : text;
    if (quoted.size() < 2 || quoted.front() != '\'' || quoted.back() != '\'') return false;
    const tstring inner = quoted.substr(1, quoted.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] != '\'') continue;
        if (i + 1 == inner.size() || inner[i + 1] != '\'') return false;
        ++i;
    }
    return true;
}

struct list_key_t {
    tstring sort, customer, vehicle;
};

// A key as list_key_column wrote it; false for anything else.
bool parse_list_key(const tstring& text, bool has_sort, list_key_t& key) {
    const size_t last = text.rfind(',');
    if (last == tstring::npos || last == 0) return false;
    const size_t middle = text.rfind(',', last - 1);
    key.vehicle = text.substr(last + 1);
    if (has_sort) {
        if (middle == tstring::npos) return false;
        key.sort = text.substr(0, middle);
        key.customer = text.substr(middle + 1, last - middle - 1);
    } else {
        key.customer = text.substr(0, last);
    }
    return is_number(key.customer) && (key.vehicle == "NULL" || is_number(key.vehicle)) &&
           (!has_sort || is_literal(key.sort));
}

// The rows that come after `anchor` when the list is read in the order of `key`, or from its
// end when `reversed`.
tstring rows_beyond(const tstring& key, bool ascending, const list_key_t& anchor, bool reversed) {
    const bool forward = !reversed;
    const tstring customer = "tabcustomerinfo.CustomerID";
    const tstring ties = customer + (forward ? " > " : " < ") + anchor.customer + " OR (" +
                         customer + " = " + anchor.customer + " AND " +
                         after("tabvehicleinfo.rowid", anchor.vehicle, forward) + ")";
    // The bound on the customer lets the default order start reading at the anchor.
    if (key.empty())
        return customer + (forward ? " >= " : " <= ") + anchor.customer + " AND (" + ties + ")";
    return after(key, anchor.sort, ascending != reversed) + " OR (" + same(key, anchor.sort) +
           " AND (" + ties + "))";
}

// One page: `conditions` beyond the search's, then `limit` ("count" or "offset, count").
ret_t read_page(DbConnection& db, const tstring& key, bool ascending, const list_source_t& source,
                const tstring& beyond, bool reversed, const tstring& limit, ListColumns which,
                std::vector<row_info_t>& rows) {
    const tstring statement = "select " + page_columns(db, which) + ", " + list_key_column(key) +
                              " from " + source.from + where_clause({source.where, beyond}) +
                              " order by " + order_text(key, ascending, reversed, source) +
                              " limit " + limit;
    const auto columns = page_column_map(db, which);
    const size_t first = rows.size();
    const ret_t ret = read_rows(db, statement, [&](const NetSqliteResultSet& result) {
        row_info_t row;
        row.customer.CustomerID = read_int(result, "CustomerID");
        for (const auto& [category, names] : columns) {
            value_map_t& values =
                category == kCategoryCustomer ? row.customer.values : row.vehicle.values;
            for (const tstring& name : names) {
                if (!read_text(result, name, values)) return false;
            }
        }
        if (!read_text(result, "ListKey", row.list_key)) return false;
        rows.push_back(std::move(row));
        return true;
    });
    if (reversed) std::reverse(rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end());
    return ret;
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
    const std::vector<search_term_t> terms = search_terms(db, constraints);
    return terms.empty() ? tstring() : " WHERE " + likes_of(terms);
}

tstring page_columns(const DbConnection& db, ListColumns which) {
    std::vector<tstring> columns;
    for (const auto& [category, names] : page_column_map(db, which)) {
        for (const tstring& name : names) {
            columns.push_back(table_of_category(category) + sql::name(name));
        }
    }
    columns.push_back("tabcustomerinfo.CustomerID");
    return sql::join(columns, ", ");
}

tstring sort_clause(const DbConnection& db, const sort_type_t& sort) {
    return order_text(sort_key(db, sort.second), sort.first == 1, false);
}

ret_t count_rows(DbConnection& db, const std::vector<search_constraint_t>& constraints,
                 int32_t& count) {
    return read_rows(db, list_source(db, constraints).count,
                     [&count](const NetSqliteResultSet& row) {
                         count = read_int(row, "num");
                         return true;
                     });
}

ret_t load_rows_page(DbConnection& db, const sort_type_t& sort,
                     const std::vector<search_constraint_t>& constraints, int32_t page,
                     int32_t page_size, std::vector<row_info_t>& rows, ListColumns columns) {
    const int64_t offset = static_cast<int64_t>(page) * page_size;
    return read_page(db, sort_key(db, sort.second), sort.first == 1,
                     list_source(db, constraints), "", false,
                     std::to_string(offset) + ", " + std::to_string(page_size), columns, rows);
}

ret_t load_rows_beside(DbConnection& db, const sort_type_t& sort,
                       const std::vector<search_constraint_t>& constraints,
                       const page_step_t& step, int32_t page_size, std::vector<row_info_t>& rows,
                       ListColumns columns) {
    const tstring key = sort_key(db, sort.second);
    const bool reversed = step.direction < 0;
    const list_source_t source = list_source(db, constraints);
    tstring beyond;
    if (!step.anchor.empty()) {
        list_key_t anchor;
        if (!parse_list_key(step.anchor, !key.empty(), anchor)) return ret_t(false, 0);
        beyond = rows_beyond(key, sort.first == 1, anchor, reversed);
        // In the list's own order a search reads its text from the anchor's block on.
        if (key.empty() && !source.block.empty())
            beyond = source.block + (reversed ? " <= " : " >= ") + "(" + anchor.customer +
                     " >> " + std::to_string(kListTextBlockBits) + ") AND (" + beyond + ")";
    }
    const int32_t count = reversed && step.anchor.empty() && step.rows > 0 ? step.rows : page_size;
    return read_page(db, key, sort.first == 1, source, beyond, reversed, std::to_string(count),
                     columns, rows);
}

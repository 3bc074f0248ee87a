#pragma once

#include <vector>

#include "store/db_connection.h"
#include "store/records.h"

// ok when userInfo holds that user with that password.
ret_t login_user(DbConnection& db, const tstring& user, const tstring& password);

// The constraints are joined by "or": a row matches when any of them does. The text is matched
// as it stands ("%" and "_" are no wildcards). A lookup column is searched through the values
// whose text contains the constraint's text.
ret_t count_rows(DbConnection& db, const std::vector<search_constraint_t>& constraints,
                 int32_t& count);
// Appends one row per customer-and-vehicle pair of the page (first page 0); an empty page is
// ok false, code 0. Each row carries its list_key.
ret_t load_rows_page(DbConnection& db, const sort_type_t& sort,
                     const std::vector<search_constraint_t>& constraints, int32_t page,
                     int32_t page_size, std::vector<row_info_t>& rows,
                     ListColumns columns = ListColumns::Shown);
// As load_rows_page, for the page that follows or precedes the row whose list_key is the step's
// anchor, or the last page; in list order. A key not made by these functions is ok false, code 0.
ret_t load_rows_beside(DbConnection& db, const sort_type_t& sort,
                       const std::vector<search_constraint_t>& constraints, const page_step_t& step,
                       int32_t page_size, std::vector<row_info_t>& rows,
                       ListColumns columns = ListColumns::Shown);

// Parts of the list statements: " WHERE ..." (empty without a term), the selected columns of
// a page, and the ORDER BY text: the chosen column first (text by pinyin, a lookup column by
// the text it shows), then a total order among its ties. A search on the columns the service's
// search text holds reads that text and finds the same rows.
tstring search_condition(const DbConnection& db,
                         const std::vector<search_constraint_t>& constraints);
tstring page_columns(const DbConnection& db, ListColumns which = ListColumns::Shown);
tstring sort_clause(const DbConnection& db, const sort_type_t& sort);

#pragma once

#include <cstddef>
#include <vector>

#include "store/db_connection.h"
#include "store/records.h"

// Merges one imported row (customer and one vehicle) into the stored data. A row without a
// plate but with a code stores its customer alone and no vehicle; a row with neither is refused
// with kNoPlate, a row whose code and plate belong to different stored customers with
// kCodePlateConflict; an empty Code becomes the plate number. The row's writes are stored
// together or not at all.
ret_t insert_row(DbConnection& db, row_info_t& row);

// The same merge for many rows, with the result and the stored data that importing them one
// after the other with insert_row gives: a row sees every earlier row's writes. Lookups,
// matches and writes cover many rows at once (a few requests per 500 rows that share no code
// or plate). results[i] describes rows[i]; a row that changed nothing at all gets
// kNothingToImport. Row failures never end the call; a lost connection does, leaving the rows
// not yet handled at ok false, code 0.
ret_t insert_multi_rows(DbConnection& db, std::vector<row_info_t>& rows,
                        std::vector<insert_result_t>& results);

// What the customer decision reads about one row: its plate's stored owner and that owner's
// code, and the customer stored under the row's code.
struct row_facts_t {
    bool code_defaulted = false;
    bool plate_stored = false;
    int32_t owner = -1;
    bool owner_stored = false;
    tstring owner_code;
    bool code_stored = false;
    int32_t code_customer = -1;
};

struct customer_decision_t {
    enum Kind { Exists, New, Refused };
    Kind kind = New;
    int32_t refusal = 0;
    bool plate_stored = false;
};

// Gives a row without a code its plate as code, then reads its facts one lookup at a time.
// A row without a plate needs only its code's customer.
ret_t look_up_row(DbConnection& db, row_info_t& row, row_facts_t& facts);
// Whether the row's customer is stored already, is new, or the row is refused; the row's
// CustomerID becomes the stored customer's (-1 for a new one).
customer_decision_t decide_customer(row_info_t& row, const row_facts_t& facts);

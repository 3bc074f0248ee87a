#pragma once

#include <cstddef>
#include <vector>

#include "store/db_connection.h"
#include "store/records.h"

// Merges one imported row (customer and one vehicle) into the stored data. A row without a
// plate is refused with kNoPlate, a row whose code and plate belong to different stored
// customers with kCodePlateConflict; an empty Code becomes the plate number.
ret_t insert_row(DbConnection& db, row_info_t& row);

// The same merge for many rows, with at most four batched writes. results[i] describes
// rows[i]; a row that changed nothing at all gets kNothingToImport. Row failures never end
// the call; a lost connection does, leaving the rows not yet handled at ok false, code 0.
ret_t insert_multi_rows(DbConnection& db, std::vector<row_info_t>& rows,
                        std::vector<insert_result_t>& results);

// One statement writing the customers (or vehicles) of the listed rows, inserting new keys and
// updating stored ones, then a match of every listed row: a row that does not match gets the
// failure code of its kind. An empty list sends nothing and is ok false, code 0.
ret_t upsert_batch(DbConnection& db, std::vector<row_info_t>& rows,
                   const std::vector<size_t>& indices, std::vector<insert_result_t>& results,
                   bool vehicle, bool update);

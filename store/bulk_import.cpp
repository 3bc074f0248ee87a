#include "store/bulk_import.h"

#include <map>
#include <set>

#include "store/customer_store.h"
#include "store/row_reader.h"
#include "store/sql_text.h"
#include "store/step_timer.h"

namespace {

const ret_t kDone(true, 0);

// Values of one IN list or rows of one VALUES list: far below SQLite's limits on a statement.
constexpr size_t kRowsPerQuery = 500;

// Lost connections pass through; any other failure becomes the step's own code.
ret_t failed_with(const ret_t& result, int32_t code) {
    if (result.ok || is_connection_lost(result)) return result;
    return ret_t(false, code);
}

tstring value_of(const value_map_t& values, const tstring& column) {
    auto it = values.find(column);
    return it == values.end() ? tstring() : it->second;
}

tstring plate_of(const row_info_t& row) {
    return value_of(row.vehicle.values, "PlateID");
}

// A row with a plate but without a code takes its plate number as code.
void default_code(row_info_t& row, row_facts_t& facts) {
    tstring& code = row.customer.values["Code"];
    facts.code_defaulted = code.empty();
    if (facts.code_defaulted) code = plate_of(row);
}

}  // namespace

ret_t look_up_row(DbConnection& db, row_info_t& row, row_facts_t& facts) {
    const tstring plate = plate_of(row);
    if (plate.empty()) return kDone;
    default_code(row, facts);
    const ret_t found = timed("find_plateID", [&] { return find_plateID(db, plate, facts.owner); });
    if (is_connection_lost(found)) return found;
    facts.plate_stored = found.ok;
    if (facts.plate_stored) {
        customer_info_t owner;
        const ret_t loaded =
            timed("load_code_by_id", [&] { return load_code_by_id(db, facts.owner, owner); });
        if (is_connection_lost(loaded)) return loaded;
        facts.owner_stored = loaded.ok;
        facts.owner_code = value_of(owner.values, "Code");
    }
    const ret_t by_code = timed("find_customer_by_code", [&] {
        return find_customer_by_code(db, row.customer.values["Code"], facts.code_customer);
    });
    if (is_connection_lost(by_code)) return by_code;
    facts.code_stored = by_code.ok;
    return kDone;
}

customer_decision_t decide_customer(row_info_t& row, const row_facts_t& facts) {
    customer_decision_t decision;
    if (plate_of(row).empty()) {
        decision.kind = customer_decision_t::Refused;
        decision.refusal = kNoPlate;
        return decision;
    }
    decision.plate_stored = facts.plate_stored;
    int32_t& id = row.customer.CustomerID;
    auto exists = [&](int32_t customer) {
        decision.kind = customer_decision_t::Exists;
        id = customer;
    };
    // The code of the plate's stored owner says whether the row means that customer.
    auto settle_by_owner = [&] {
        if (facts.owner_code == value_of(row.customer.values, "Code")) {
            exists(facts.owner);
        } else {
            decision.kind = customer_decision_t::Refused;
            decision.refusal = kCodePlateConflict;
        }
    };
    const bool owner_known = facts.plate_stored && facts.owner_stored;
    if (facts.code_defaulted) {
        if (facts.plate_stored) id = facts.owner;
        if (owner_known) {
            settle_by_owner();
        } else if (facts.code_stored) {
            exists(facts.code_customer);
        }
    } else if (facts.code_stored) {
        id = facts.code_customer;
        if (facts.plate_stored && facts.owner != facts.code_customer) {
            decision.kind = customer_decision_t::Refused;
            decision.refusal = kCodePlateConflict;
        } else {
            exists(facts.code_customer);
        }
    } else if (owner_known) {
        settle_by_owner();
    }
    // A new customer has no id until it is stored.
    if (decision.kind == customer_decision_t::New) id = -1;
    return decision;
}

namespace {

ret_t write_customer(DbConnection& db, row_info_t& row, const customer_decision_t& decision) {
    customer_info_t& customer = row.customer;
    if (decision.kind == customer_decision_t::New) {
        return failed_with(
            timed("insert_customerinfo", [&] { return insert_customerinfo(db, customer); }),
            kCustomerInsertFailed);
    }
    const ret_t matched =
        timed("match_customerinfo", [&] { return match_customerinfo(db, customer); });
    if (matched.ok || is_connection_lost(matched)) return matched;
    return failed_with(
        timed("update_customerinfo", [&] { return update_customerinfo(db, customer); }),
        kCustomerUpdateFailed);
}

void assign_owner(row_info_t& row) {
    row.vehicle.CustomerID = row.customer.CustomerID;
    stamp_owner(row.vehicle);
}

ret_t write_vehicle(DbConnection& db, row_info_t& row, const customer_decision_t& decision) {
    vehicle_info_t& vehicle = row.vehicle;
    assign_owner(row);
    if (!decision.plate_stored) {
        return failed_with(
            timed("insert_vehicleinfo", [&] { return insert_vehicleinfo(db, vehicle, false); }),
            kVehicleInsertFailed);
    }
    const ret_t matched =
        timed("match_vehicleinfo", [&] { return match_vehicleinfo(db, vehicle); });
    if (matched.ok || is_connection_lost(matched)) return matched;
    return failed_with(timed("update_vehicleinfo", [&] { return update_vehicleinfo(db, vehicle); }),
                       kVehicleUpdateFailed);
}

}  // namespace

ret_t insert_row(DbConnection& db, row_info_t& row) {
    row_facts_t facts;
    const ret_t looked_up = look_up_row(db, row, facts);
    if (!looked_up.ok) return looked_up;
    const customer_decision_t decision = decide_customer(row, facts);
    if (decision.kind == customer_decision_t::Refused) return ret_t(false, decision.refusal);
    // A new customer goes in one request with its vehicle, so a lost connection never leaves it
    // without the vehicle. Should the database refuse that request, the two writes are made one
    // by one, which tells which of them it refuses (code 2 or 3 or 5).
    if (decision.kind == customer_decision_t::New) {
        const ret_t written = timed("insert_customerinfo", [&] {
            return insert_customer_and_vehicle(db, row.customer, row.vehicle,
                                               decision.plate_stored);
        });
        if (written.ok || is_connection_lost(written)) return written;
    }
    const ret_t customer = write_customer(db, row, decision);
    if (!customer.ok) return customer;
    return write_vehicle(db, row, decision);
}

namespace {

// Runs `query_for` over the values in pieces of kRowsPerQuery, each given as the text of an IN
// list, and hands every result row to `read_row`. Only a lost connection fails.
ret_t read_by_values(DbConnection& db, const std::set<tstring>& values,
                     const std::function<tstring(const tstring&)>& query_for,
                     const std::function<void(const NetSqliteResultSet&)>& read_row) {
    std::vector<tstring> literals;
    auto flush = [&]() -> ret_t {
        if (literals.empty()) return kDone;
        const ret_t read =
            read_rows(db, query_for(sql::join(literals, ", ")), [&](const NetSqliteResultSet& row) {
                read_row(row);
                return true;
            });
        literals.clear();
        return is_connection_lost(read) ? read : kDone;
    };
    for (const tstring& value : values) {
        literals.push_back(sql::literal(value));
        if (literals.size() == kRowsPerQuery) {
            const ret_t read = flush();
            if (!read.ok) return read;
        }
    }
    return flush();
}

struct StoredPlate {
    int32_t owner = -1;
    bool owner_stored = false;
    tstring owner_code;
};

// Every plate's owner with the owner's code, one query per piece of the plate list.
ret_t look_up_plates(DbConnection& db, const std::set<tstring>& plates,
                     std::map<tstring, StoredPlate>& stored) {
    return read_by_values(
        db, plates,
        [](const tstring& in_list) {
            return "SELECT v.PlateID AS p, v.CustomerID AS o, c.CustomerID AS f, c.Code AS k "
                   "FROM tabvehicleinfo v LEFT JOIN tabcustomerinfo c ON c.CustomerID = "
                   "v.CustomerID WHERE v.PlateID IN (" +
                   in_list + ")";
        },
        [&](const NetSqliteResultSet& row) {
            tstring plate, found;
            StoredPlate entry;
            read_text(row, "p", plate);
            read_text(row, "f", found);
            read_text(row, "k", entry.owner_code);
            entry.owner = read_int(row, "o");
            entry.owner_stored = !found.empty();
            stored.emplace(plate, entry);
        });
}

ret_t look_up_codes(DbConnection& db, const std::set<tstring>& codes,
                    std::map<tstring, int32_t>& stored) {
    return read_by_values(
        db, codes,
        [](const tstring& in_list) {
            return "SELECT Code AS k, CustomerID AS id FROM tabcustomerinfo WHERE Code IN (" +
                   in_list + ")";
        },
        [&](const NetSqliteResultSet& row) {
            tstring code;
            read_text(row, "k", code);
            stored.emplace(code, read_int(row, "id"));
        });
}

// look_up_row for every row, with one query per piece of all plates and one of all codes.
ret_t look_up_rows(DbConnection& db, std::vector<row_info_t>& rows,
                   std::vector<row_facts_t>& facts) {
    std::set<tstring> plates;
    std::set<tstring> codes;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (plate_of(rows[i]).empty()) continue;
        default_code(rows[i], facts[i]);
        plates.insert(plate_of(rows[i]));
        codes.insert(rows[i].customer.values["Code"]);
    }
    std::map<tstring, StoredPlate> stored_plates;
    const ret_t plates_read =
        timed("find_plateID", [&] { return look_up_plates(db, plates, stored_plates); });
    if (!plates_read.ok) return plates_read;
    std::map<tstring, int32_t> stored_codes;
    const ret_t codes_read =
        timed("find_customer_by_code", [&] { return look_up_codes(db, codes, stored_codes); });
    if (!codes_read.ok) return codes_read;
    for (size_t i = 0; i < rows.size(); ++i) {
        auto plate = stored_plates.find(plate_of(rows[i]));
        if (plate != stored_plates.end()) {
            facts[i].plate_stored = true;
            facts[i].owner = plate->second.owner;
            facts[i].owner_stored = plate->second.owner_stored;
            facts[i].owner_code = plate->second.owner_code;
        }
        auto code = stored_codes.find(value_of(rows[i].customer.values, "Code"));
        if (code != stored_codes.end()) {
            facts[i].code_stored = true;
            facts[i].code_customer = code->second;
        }
    }
    return kDone;
}

const value_map_t& values_of(const row_info_t& row, bool vehicle) {
    return vehicle ? row.vehicle.values : row.customer.values;
}

sql::Record record_of(bool vehicle) {
    return vehicle ? sql::Record::Vehicle : sql::Record::Customer;
}

using column_set_t = std::vector<tstring>;

// The columns of a row that take part in a statement: exactly those it maps.
column_set_t columns_of(const DbConnection& db, const row_info_t& row, bool vehicle,
                        sql::Statement statement) {
    column_set_t columns;
    for (const auto& entry :
         sql::entries_taking_part(db, record_of(vehicle), statement, values_of(row, vehicle))) {
        columns.push_back(entry.first);
    }
    return columns;
}

// The rows of `chunk` (positions in `indices`) that share the match columns `columns`, each
// joined with the stored records equal to it in all of them: the comparison match_customerinfo
// and match_vehicleinfo make, an empty value standing for NULL. Gives the position as "i" and
// the customer's id (or the plate) as "m".
tstring match_query(const std::vector<row_info_t>& rows, const std::vector<size_t>& indices,
                    const std::vector<size_t>& chunk, const column_set_t& columns, bool vehicle) {
    std::vector<tstring> tuples;
    tuples.reserve(chunk.size());
    for (size_t k : chunk) {
        std::vector<tstring> cells{std::to_string(k)};
        for (const tstring& column : columns)
            cells.push_back(sql::value(value_of(values_of(rows[indices[k]], vehicle), column)));
        tuples.push_back("(" + sql::join(cells, ", ") + ")");
    }
    std::vector<tstring> equal;
    for (size_t j = 0; j < columns.size(); ++j)
        equal.push_back("c." + sql::name(columns[j]) + " IS v.column" + std::to_string(j + 2));
    // CROSS JOIN keeps the listed rows outside, so each finds its record through the key's index.
    return tstring("SELECT v.column1 AS i, c.") + (vehicle ? "PlateID" : "CustomerID") +
           " AS m FROM (VALUES " + sql::join(tuples, ", ") + ") AS v CROSS JOIN " +
           (vehicle ? "tabvehicleinfo" : "tabcustomerinfo") + " AS c WHERE " +
           sql::join(equal, " AND ");
}

// The queries that match the listed rows: one per kRowsPerQuery rows of one column set. A row
// without a column taking part in a match is in none of them and matches nothing.
std::vector<tstring> match_queries(const DbConnection& db, const std::vector<row_info_t>& rows,
                                   const std::vector<size_t>& indices, bool vehicle) {
    std::map<column_set_t, std::vector<size_t>> by_columns;
    for (size_t k = 0; k < indices.size(); ++k) {
        column_set_t columns = columns_of(db, rows[indices[k]], vehicle, sql::Statement::Match);
        if (!columns.empty()) by_columns[std::move(columns)].push_back(k);
    }
    std::vector<tstring> queries;
    for (const auto& [columns, positions] : by_columns) {
        for (size_t first = 0; first < positions.size(); first += kRowsPerQuery) {
            const std::vector<size_t> chunk(
                positions.begin() + first,
                positions.begin() + std::min(positions.size(), first + kRowsPerQuery));
            queries.push_back(match_query(rows, indices, chunk, columns, vehicle));
        }
    }
    return queries;
}

// Runs one match query (after whatever statements `sql` holds before it) and marks matched[k]
// for each row found; a customer's found id goes into its row. The request's own result.
ret_t read_matches(DbConnection& db, const tstring& sql, std::vector<row_info_t>& rows,
                   const std::vector<size_t>& indices, bool vehicle, std::vector<bool>& matched) {
    std::unique_ptr<NetSqliteResultSet> result;
    const ret_t ran = db.query(sql, result);
    if (!ran.ok) return ran;
    while (result->Next()) {
        const size_t k = static_cast<size_t>(read_int(*result, "i"));
        if (k >= matched.size() || matched[k]) continue;
        matched[k] = true;
        if (!vehicle) rows[indices[k]].customer.CustomerID = read_int(*result, "m");
    }
    return ran;
}

// matched[k] tells whether a stored record equals rows[indices[k]] in every column that takes
// part in a match, compared by the database as the single-row matches do; a customer's found
// id goes into its row.
ret_t match_rows(DbConnection& db, std::vector<row_info_t>& rows,
                 const std::vector<size_t>& indices, bool vehicle, std::vector<bool>& matched) {
    matched.assign(indices.size(), false);
    for (const tstring& query : match_queries(db, rows, indices, vehicle)) {
        const ret_t read = read_matches(db, query, rows, indices, vehicle, matched);
        if (is_connection_lost(read)) return read;
    }
    return kDone;
}

struct ImportPlan {
    std::vector<customer_decision_t> decisions;
    std::vector<size_t> customers_to_update;
    std::vector<size_t> customers_to_insert;
    std::vector<size_t> vehicles_to_update;
    std::vector<size_t> vehicles_to_insert;
};

ret_t plan_customers(DbConnection& db, std::vector<row_info_t>& rows,
                     const std::vector<row_facts_t>& facts, std::vector<insert_result_t>& results,
                     ImportPlan& plan) {
    std::vector<size_t> stored;
    for (size_t i = 0; i < rows.size(); ++i) {
        const customer_decision_t& decision = plan.decisions[i] =
            decide_customer(rows[i], facts[i]);
        if (decision.kind == customer_decision_t::Refused) {
            results[i] = {false, decision.refusal};
        } else if (decision.kind == customer_decision_t::New) {
            plan.customers_to_insert.push_back(i);
        } else {
            stored.push_back(i);
        }
    }
    std::vector<bool> unchanged;
    const ret_t matched =
        timed("match_customerinfo", [&] { return match_rows(db, rows, stored, false, unchanged); });
    if (!matched.ok) return matched;
    for (size_t k = 0; k < stored.size(); ++k) {
        if (unchanged[k]) {
            results[stored[k]] = {false, kCustomerUnchanged};
        } else {
            plan.customers_to_update.push_back(stored[k]);
        }
    }
    return kDone;
}

// A row writes its vehicle when its customer is stored under a known id after the customer
// stage: written as the row says, unchanged, or kept with its old values when its update
// failed. Refused rows (no plate, code and plate in conflict) and customers whose insert
// failed write no vehicle.
bool enters_vehicle_stage(const row_info_t& row, const insert_result_t& result) {
    if (row.customer.CustomerID == -1) return false;
    return result.ok || result.code == kCustomerUnchanged || result.code == kCustomerUpdateFailed;
}

// A failed customer update stays the row's result, whatever its vehicle did.
void keep_customer_failures(const std::vector<int32_t>& customer_codes,
                            std::vector<insert_result_t>& results) {
    for (size_t i = 0; i < results.size(); ++i) {
        if (customer_codes[i] == kCustomerUpdateFailed) results[i] = {false, kCustomerUpdateFailed};
    }
}

ret_t plan_vehicles(DbConnection& db, std::vector<row_info_t>& rows,
                    std::vector<insert_result_t>& results, ImportPlan& plan) {
    std::vector<size_t> stored;
    for (size_t j = 0; j < rows.size(); ++j) {
        if (!enters_vehicle_stage(rows[j], results[j])) continue;
        assign_owner(rows[j]);
        (plan.decisions[j].plate_stored ? stored : plan.vehicles_to_insert).push_back(j);
    }
    std::vector<bool> unchanged;
    const ret_t matched =
        timed("match_vehicleinfo", [&] { return match_rows(db, rows, stored, true, unchanged); });
    if (!matched.ok) return matched;
    for (size_t k = 0; k < stored.size(); ++k) {
        insert_result_t& result = results[stored[k]];
        if (!unchanged[k]) {
            plan.vehicles_to_update.push_back(stored[k]);
        } else if (result.code == kCustomerUnchanged) {
            result = {false, kNothingToImport};
        } else if (result.ok) {
            result = {true, 0};
        }
    }
    return kDone;
}

int32_t batch_failure_code(bool vehicle, bool update) {
    if (vehicle) return update ? kVehicleUpdateFailed : kVehicleInsertFailed;
    return update ? kCustomerUpdateFailed : kCustomerInsertFailed;
}

// "INSERT INTO t (a, b) VALUES (...), (...) ON CONFLICT(key) DO UPDATE SET a = excluded.a".
// An upsert keeps the stored row and its id and touches only the listed columns.
tstring upsert_statement(const DbConnection& db, const std::vector<row_info_t>& rows,
                         const std::vector<size_t>& indices, const column_set_t& columns,
                         bool vehicle) {
    const tstring key = vehicle ? "PlateID" : "Code";
    std::vector<tstring> names;
    std::vector<tstring> updates;
    for (const tstring& column : columns) {
        const tstring name = sql::name(column);
        names.push_back(name);
        if (column != key &&
            sql::takes_part(db, record_of(vehicle), sql::Statement::Update, column))
            updates.push_back(name + " = excluded." + name);
    }
    std::vector<tstring> tuples;
    tuples.reserve(indices.size());
    for (size_t index : indices) {
        const value_map_t& values = values_of(rows[index], vehicle);
        std::vector<tstring> cells;
        for (const tstring& column : columns) cells.push_back(sql::value(value_of(values, column)));
        tuples.push_back("(" + sql::join(cells, ", ") + ")");
    }
    return tstring("INSERT INTO ") + (vehicle ? "tabvehicleinfo" : "tabcustomerinfo") + " (" +
           sql::join(names, ", ") + ") VALUES " + sql::join(tuples, ", ") + " ON CONFLICT(" + key +
           ") DO " +
           (updates.empty() ? tstring("NOTHING") : "UPDATE SET " + sql::join(updates, ", "));
}

// One upsert per distinct column set, all in one request, so no row writes a column it does
// not map.
tstring upsert_request(const DbConnection& db, const std::vector<row_info_t>& rows,
                       const std::vector<size_t>& indices, bool vehicle) {
    std::map<column_set_t, std::vector<size_t>> by_columns;
    for (size_t index : indices)
        by_columns[columns_of(db, rows[index], vehicle, sql::Statement::Insert)].push_back(index);
    std::vector<tstring> statements;
    for (const auto& [columns, group] : by_columns)
        statements.push_back(upsert_statement(db, rows, group, columns, vehicle));
    return sql::join(statements, "; ");
}

// The listed rows' one write request; an empty list sends nothing and is ok false, code 0.
ret_t write_rows(DbConnection& db, const std::vector<row_info_t>& rows,
                 const std::vector<size_t>& indices, bool vehicle) {
    if (indices.empty()) return ret_t(false, 0);
    return db.execute(upsert_request(db, rows, indices, vehicle));
}

void report_matches(const std::vector<size_t>& indices, const std::vector<bool>& matched,
                    const std::vector<int32_t>& failure_codes,
                    std::vector<insert_result_t>& results) {
    for (size_t k = 0; k < indices.size(); ++k)
        results[indices[k]] =
            matched[k] ? insert_result_t{true, 0} : insert_result_t{false, failure_codes[k]};
}

// Every listed row is reported by what is stored now, also after a failed write: ok when it
// matches, else failure_codes[k].
ret_t recheck(DbConnection& db, std::vector<row_info_t>& rows, const std::vector<size_t>& indices,
              const std::vector<int32_t>& failure_codes, bool vehicle,
              std::vector<insert_result_t>& results) {
    std::vector<bool> matched;
    const ret_t read = match_rows(db, rows, indices, vehicle, matched);
    if (!read.ok) return read;
    report_matches(indices, matched, failure_codes, results);
    return kDone;
}

// The listed rows' write and the re-check of `written` as one request when the re-check is a
// single query: `done` is false when that could not be, or the request failed, and nothing
// was reported.
ret_t write_and_recheck(DbConnection& db, std::vector<row_info_t>& rows,
                        const std::vector<size_t>& to_write, const std::vector<size_t>& written,
                        const std::vector<int32_t>& failure_codes, bool vehicle,
                        std::vector<insert_result_t>& results, bool& done) {
    done = false;
    const std::vector<tstring> queries = match_queries(db, rows, written, vehicle);
    if (queries.size() != 1) return write_rows(db, rows, to_write, vehicle);
    std::vector<bool> matched(written.size(), false);
    const ret_t ran =
        read_matches(db, upsert_request(db, rows, to_write, vehicle) + "; " + queries.front(), rows,
                     written, vehicle, matched);
    done = ran.ok;
    if (done) report_matches(written, matched, failure_codes, results);
    return ran;
}

// The update batch, then the insert batch of customers or vehicles with the re-check of both
// (their keys differ, so neither write touches the other's rows); the insert's result.
ret_t write_batches(DbConnection& db, std::vector<row_info_t>& rows,
                    std::vector<insert_result_t>& results, bool vehicle,
                    const std::vector<size_t>& to_update, const std::vector<size_t>& to_insert) {
    std::vector<size_t> written = to_update;
    written.insert(written.end(), to_insert.begin(), to_insert.end());
    std::vector<int32_t> failure_codes(to_update.size(), batch_failure_code(vehicle, true));
    failure_codes.resize(written.size(), batch_failure_code(vehicle, false));
    if (written.empty()) return ret_t(false, 0);
    // The last write carries the re-check along.
    const bool update_last = to_insert.empty();
    if (!update_last) {
        const ret_t updated = timed(vehicle ? "update_vehicles" : "update_customers",
                                    [&] { return write_rows(db, rows, to_update, vehicle); });
        if (is_connection_lost(updated)) return updated;
    }
    bool checked = false;
    const ret_t last =
        timed(update_last ? (vehicle ? "update_vehicles" : "update_customers")
                          : (vehicle ? "insert_vehicles" : "insert_customers"),
              [&] {
                  return write_and_recheck(db, rows, update_last ? to_update : to_insert, written,
                                           failure_codes, vehicle, results, checked);
              });
    if (is_connection_lost(last)) return last;
    if (!checked) {
        const ret_t read = recheck(db, rows, written, failure_codes, vehicle, results);
        if (!read.ok) return read;
    }
    return update_last ? ret_t(false, 0) : ret_t(true, last.code);
}

}  // namespace

ret_t insert_multi_rows(DbConnection& db, std::vector<row_info_t>& rows,
                        std::vector<insert_result_t>& results) {
    results.assign(rows.size(), insert_result_t());
    std::vector<row_facts_t> facts(rows.size());
    ImportPlan plan;
    plan.decisions.resize(rows.size());

    ret_t step = look_up_rows(db, rows, facts);
    if (!step.ok) return step;
    step = plan_customers(db, rows, facts, results, plan);
    if (!step.ok) return step;
    step =
        write_batches(db, rows, results, false, plan.customers_to_update, plan.customers_to_insert);
    if (is_connection_lost(step)) return step;
    std::vector<int32_t> customer_codes;
    for (const insert_result_t& result : results) customer_codes.push_back(result.code);
    step = plan_vehicles(db, rows, results, plan);
    if (!step.ok) return step;
    step = write_batches(db, rows, results, true, plan.vehicles_to_update, plan.vehicles_to_insert);
    if (is_connection_lost(step)) return step;
    keep_customer_failures(customer_codes, results);
    return ret_t(true, step.code);
}

ret_t upsert_batch(DbConnection& db, std::vector<row_info_t>& rows,
                   const std::vector<size_t>& indices, std::vector<insert_result_t>& results,
                   bool vehicle, bool update) {
    if (rows.empty() || indices.empty()) return ret_t(false, 0);
    const ret_t written = write_rows(db, rows, indices, vehicle);
    if (is_connection_lost(written)) return written;
    const ret_t checked =
        recheck(db, rows, indices,
                std::vector<int32_t>(indices.size(), batch_failure_code(vehicle, update)), vehicle,
                results);
    if (!checked.ok) return checked;
    return ret_t(true, written.code);
}

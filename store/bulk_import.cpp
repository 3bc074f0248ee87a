#include "store/bulk_import.h"

#include <map>

#include "store/customer_store.h"
#include "store/sql_text.h"
#include "store/step_timer.h"

namespace {

const ret_t kDone(true, 0);

struct CustomerDecision {
    enum Kind { Exists, New, Refused };
    Kind kind = New;
    int32_t refusal = 0;
    bool plate_stored = false;
    int32_t owner = -1;
};

// Lost connections pass through; any other failure becomes the step's own code.
ret_t failed_with(const ret_t& result, int32_t code) {
    if (result.ok || is_connection_lost(result)) return result;
    return ret_t(false, code);
}

tstring value_of(const value_map_t& values, const tstring& column) {
    auto it = values.find(column);
    return it == values.end() ? tstring() : it->second;
}

enum class OwnerCode { NotLoaded, Same, Different };

ret_t find_customer(DbConnection& db, row_info_t& row, bool& found) {
    const ret_t result = timed("find_customer_by_code", [&] {
        return find_customer_by_code(db, row.customer.values["Code"], row.customer.CustomerID);
    });
    found = result.ok;
    return is_connection_lost(result) ? result : kDone;
}

void settle_by_owner_code(OwnerCode owner_code, int32_t owner, row_info_t& row,
                          CustomerDecision& decision) {
    if (owner_code == OwnerCode::Different) {
        decision.kind = CustomerDecision::Refused;
        decision.refusal = kCodePlateConflict;
    } else {
        decision.kind = CustomerDecision::Exists;
        row.customer.CustomerID = owner;
    }
}

// Decides by the stored code of the plate's owner; `settled` stays false when the owner has
// no stored code.
ret_t settle_by_owner(DbConnection& db, row_info_t& row, CustomerDecision& decision,
                      bool& settled) {
    customer_info_t stored;
    const ret_t loaded =
        timed("load_code_by_id", [&] { return load_code_by_id(db, decision.owner, stored); });
    if (is_connection_lost(loaded)) return loaded;
    settled = loaded.ok;
    if (settled) {
        const bool same = value_of(stored.values, "Code") == value_of(row.customer.values, "Code");
        settle_by_owner_code(same ? OwnerCode::Same : OwnerCode::Different, decision.owner, row,
                             decision);
    }
    return kDone;
}

// The row came without a code and now carries its plate as code.
ret_t decide_by_plate_code(DbConnection& db, row_info_t& row, CustomerDecision& decision) {
    if (decision.plate_stored) {
        row.customer.CustomerID = decision.owner;
        bool settled = false;
        const ret_t compared = settle_by_owner(db, row, decision, settled);
        if (!compared.ok || settled) return compared;
    }
    bool found = false;
    const ret_t searched = find_customer(db, row, found);
    if (!searched.ok) return searched;
    decision.kind = found ? CustomerDecision::Exists : CustomerDecision::New;
    return kDone;
}

ret_t decide_by_given_code(DbConnection& db, row_info_t& row, CustomerDecision& decision) {
    bool found = false;
    const ret_t searched = find_customer(db, row, found);
    if (!searched.ok) return searched;
    if (found) {
        const bool owned_by_other =
            decision.plate_stored && decision.owner != row.customer.CustomerID;
        settle_by_owner_code(owned_by_other ? OwnerCode::Different : OwnerCode::Same,
                             row.customer.CustomerID, row, decision);
        return kDone;
    }
    decision.kind = CustomerDecision::New;
    if (!decision.plate_stored) return kDone;
    bool settled = false;
    return settle_by_owner(db, row, decision, settled);
}

// Whether the row's customer is stored already, is new, or the row cannot be imported.
ret_t decide_customer(DbConnection& db, row_info_t& row, CustomerDecision& decision) {
    const tstring plate = value_of(row.vehicle.values, "PlateID");
    if (plate.empty()) {
        decision.kind = CustomerDecision::Refused;
        decision.refusal = kNoPlate;
        return kDone;
    }
    const ret_t found =
        timed("find_plateID", [&] { return find_plateID(db, plate, decision.owner); });
    if (is_connection_lost(found)) return found;
    decision.plate_stored = found.ok;
    tstring& code = row.customer.values["Code"];
    const bool defaulted = code.empty();
    if (defaulted) code = plate;
    const ret_t decided = defaulted ? decide_by_plate_code(db, row, decision)
                                    : decide_by_given_code(db, row, decision);
    // A new customer has no id until it is stored.
    if (decision.kind == CustomerDecision::New) row.customer.CustomerID = -1;
    return decided;
}

ret_t write_customer(DbConnection& db, row_info_t& row, const CustomerDecision& decision) {
    customer_info_t& customer = row.customer;
    if (decision.kind == CustomerDecision::New) {
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

ret_t write_vehicle(DbConnection& db, row_info_t& row, const CustomerDecision& decision) {
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
    CustomerDecision decision;
    const ret_t decided = decide_customer(db, row, decision);
    if (!decided.ok) return decided;
    if (decision.kind == CustomerDecision::Refused) return ret_t(false, decision.refusal);
    const ret_t customer = write_customer(db, row, decision);
    if (!customer.ok) return customer;
    return write_vehicle(db, row, decision);
}

namespace {

struct ImportPlan {
    std::vector<CustomerDecision> decisions;
    std::vector<size_t> customers_to_update;
    std::vector<size_t> customers_to_insert;
    std::vector<size_t> vehicles_to_update;
    std::vector<size_t> vehicles_to_insert;
};

ret_t plan_customers(DbConnection& db, std::vector<row_info_t>& rows,
                     std::vector<insert_result_t>& results, ImportPlan& plan) {
    for (size_t i = 0; i < rows.size(); ++i) {
        CustomerDecision& decision = plan.decisions[i];
        const ret_t decided = decide_customer(db, rows[i], decision);
        if (!decided.ok) return decided;
        if (decision.kind == CustomerDecision::Refused) {
            results[i] = {false, decision.refusal};
        } else if (decision.kind == CustomerDecision::New) {
            plan.customers_to_insert.push_back(i);
        } else {
            const ret_t matched = timed("match_customerinfo",
                                        [&] { return match_customerinfo(db, rows[i].customer); });
            if (is_connection_lost(matched)) return matched;
            if (matched.ok) {
                results[i] = {false, kCustomerUnchanged};
            } else {
                plan.customers_to_update.push_back(i);
            }
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
    for (size_t j = 0; j < rows.size(); ++j) {
        if (!enters_vehicle_stage(rows[j], results[j])) continue;
        assign_owner(rows[j]);
        if (!plan.decisions[j].plate_stored) {
            plan.vehicles_to_insert.push_back(j);
            continue;
        }
        const bool customer_unchanged = results[j].code == kCustomerUnchanged;
        const ret_t matched =
            timed("match_vehicleinfo", [&] { return match_vehicleinfo(db, rows[j].vehicle); });
        if (is_connection_lost(matched)) return matched;
        if (!matched.ok) {
            plan.vehicles_to_update.push_back(j);
        } else if (customer_unchanged) {
            results[j] = {false, kNothingToImport};
        } else if (results[j].ok) {
            results[j] = {true, 0};
        }
    }
    return kDone;
}

// The update batch, then the insert batch of customers or vehicles; the insert's result.
ret_t write_batches(DbConnection& db, std::vector<row_info_t>& rows,
                    std::vector<insert_result_t>& results, bool vehicle,
                    const std::vector<size_t>& to_update, const std::vector<size_t>& to_insert) {
    const ret_t updated = timed(vehicle ? "update_vehicles" : "update_customers", [&] {
        return upsert_batch(db, rows, to_update, results, vehicle, true);
    });
    if (is_connection_lost(updated)) return updated;
    return timed(vehicle ? "insert_vehicles" : "insert_customers",
                 [&] { return upsert_batch(db, rows, to_insert, results, vehicle, false); });
}

}  // namespace

ret_t insert_multi_rows(DbConnection& db, std::vector<row_info_t>& rows,
                        std::vector<insert_result_t>& results) {
    results.assign(rows.size(), insert_result_t());
    ImportPlan plan;
    plan.decisions.resize(rows.size());

    ret_t step = plan_customers(db, rows, results, plan);
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

namespace {

int32_t batch_failure_code(bool vehicle, bool update) {
    if (vehicle) return update ? kVehicleUpdateFailed : kVehicleInsertFailed;
    return update ? kCustomerUpdateFailed : kCustomerInsertFailed;
}

const value_map_t& values_of(const row_info_t& row, bool vehicle) {
    return vehicle ? row.vehicle.values : row.customer.values;
}

using column_set_t = std::vector<tstring>;

sql::Record record_of(bool vehicle) {
    return vehicle ? sql::Record::Vehicle : sql::Record::Customer;
}

// The columns a row writes: exactly those it maps.
column_set_t columns_of(const DbConnection& db, const row_info_t& row, bool vehicle) {
    column_set_t columns;
    for (const auto& entry : sql::entries_taking_part(db, record_of(vehicle),
                                                      sql::Statement::Insert,
                                                      values_of(row, vehicle))) {
        columns.push_back(entry.first);
    }
    return columns;
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
        if (column != key && sql::takes_part(db, record_of(vehicle), sql::Statement::Update, column))
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
    for (size_t index : indices) by_columns[columns_of(db, rows[index], vehicle)].push_back(index);
    std::vector<tstring> statements;
    for (const auto& [columns, group] : by_columns)
        statements.push_back(upsert_statement(db, rows, group, columns, vehicle));
    return sql::join(statements, "; ");
}

}  // namespace

ret_t upsert_batch(DbConnection& db, std::vector<row_info_t>& rows,
                   const std::vector<size_t>& indices, std::vector<insert_result_t>& results,
                   bool vehicle, bool update) {
    if (rows.empty() || indices.empty()) return ret_t(false, 0);
    const ret_t written = db.execute(upsert_request(db, rows, indices, vehicle));
    if (is_connection_lost(written)) return written;
    // Also after a failed statement: every row is reported by what is stored now.
    for (size_t index : indices) {
        const ret_t matched = vehicle ? match_vehicleinfo(db, rows[index].vehicle)
                                      : match_customerinfo(db, rows[index].customer);
        if (is_connection_lost(matched)) return matched;
        results[index] = matched.ok ? insert_result_t{true, 0}
                                    : insert_result_t{false, batch_failure_code(vehicle, update)};
    }
    return ret_t(true, written.code);
}

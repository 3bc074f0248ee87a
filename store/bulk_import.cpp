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

tstring value_of(const value_map_t& values, const tstring& column) {
    auto it = values.find(column);
    return it == values.end() ? tstring() : it->second;
}

tstring plate_of(const row_info_t& row) {
    return value_of(row.vehicle.values, "PlateID");
}

tstring code_of(const row_info_t& row) {
    return value_of(row.customer.values, "Code");
}

// A row without a plate but with a code stands for its customer alone, as a whitelist export
// writes a customer without vehicles: it stores that customer and no vehicle.
bool customer_only(const row_info_t& row) {
    return plate_of(row).empty() && !code_of(row).empty();
}

// A row with a plate but without a code takes its plate number as code.
void default_code(row_info_t& row, row_facts_t& facts) {
    tstring& code = row.customer.values["Code"];
    facts.code_defaulted = code.empty();
    if (facts.code_defaulted) code = plate_of(row);
}

// The plate's stored owner and that owner's code. Only a lost connection fails.
ret_t look_up_plate(DbConnection& db, const tstring& plate, row_facts_t& facts) {
    const ret_t found = timed("find_plateID", [&] { return find_plateID(db, plate, facts.owner); });
    if (is_connection_lost(found)) return found;
    facts.plate_stored = found.ok;
    if (!facts.plate_stored) return kDone;
    customer_info_t owner;
    const ret_t loaded =
        timed("load_code_by_id", [&] { return load_code_by_id(db, facts.owner, owner); });
    if (is_connection_lost(loaded)) return loaded;
    facts.owner_stored = loaded.ok;
    facts.owner_code = value_of(owner.values, "Code");
    return kDone;
}

}  // namespace

ret_t look_up_row(DbConnection& db, row_info_t& row, row_facts_t& facts) {
    if (plate_of(row).empty()) {
        if (!customer_only(row)) return kDone;
    } else {
        default_code(row, facts);
        const ret_t plate_read = look_up_plate(db, plate_of(row), facts);
        if (!plate_read.ok) return plate_read;
    }
    const ret_t by_code = timed("find_customer_by_code", [&] {
        return find_customer_by_code(db, row.customer.values["Code"], facts.code_customer);
    });
    if (is_connection_lost(by_code)) return by_code;
    facts.code_stored = by_code.ok;
    return kDone;
}

namespace {

customer_decision_t decide_without_plate(row_info_t& row, const row_facts_t& facts) {
    customer_decision_t decision;
    if (!customer_only(row)) {
        decision.kind = customer_decision_t::Refused;
        decision.refusal = kNoPlate;
    } else if (facts.code_stored) {
        decision.kind = customer_decision_t::Exists;
        row.customer.CustomerID = facts.code_customer;
    } else {
        row.customer.CustomerID = -1;
    }
    return decision;
}

}  // namespace

customer_decision_t decide_customer(row_info_t& row, const row_facts_t& facts) {
    if (plate_of(row).empty()) return decide_without_plate(row, facts);
    customer_decision_t decision;
    decision.plate_stored = facts.plate_stored;
    int32_t& id = row.customer.CustomerID;
    auto exists = [&](int32_t customer) {
        decision.kind = customer_decision_t::Exists;
        id = customer;
    };
    // The code of the plate's stored owner says whether the row means that customer.
    auto settle_by_owner = [&] {
        if (facts.owner_code == code_of(row)) {
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

void assign_owner(row_info_t& row) {
    row.vehicle.CustomerID = row.customer.CustomerID;
    stamp_owner(row.vehicle);
}

ret_t insert_new_customer_row(DbConnection& db, row_info_t& row,
                              const customer_decision_t& decision) {
    const ret_t written = timed("insert_customerinfo", [&] {
        return insert_customer_and_vehicle(db, row.customer, row.vehicle, decision.plate_stored);
    });
    if (written.ok || is_connection_lost(written)) return written;
    // The database refused the customer with its vehicle; whether it takes the customer alone
    // tells which of the two writes it refuses.
    const ret_t accepted = customer_insert_accepted(db, row.customer);
    if (is_connection_lost(accepted)) return accepted;
    if (!accepted.ok) return ret_t(false, kCustomerInsertFailed);
    return ret_t(false, decision.plate_stored ? kVehicleUpdateFailed : kVehicleInsertFailed);
}

// Which write the database refused when a stored customer's row was refused as a whole. A new
// vehicle can be tried alone; of two updates the customer's is reported.
ret_t refused_write(DbConnection& db, row_info_t& row, bool customer_changed,
                    bool vehicle_changed, bool plate_stored) {
    if (!vehicle_changed) return ret_t(false, kCustomerUpdateFailed);
    const int32_t vehicle_code = plate_stored ? kVehicleUpdateFailed : kVehicleInsertFailed;
    if (!customer_changed) return ret_t(false, vehicle_code);
    if (plate_stored) return ret_t(false, kCustomerUpdateFailed);
    const ret_t accepted = vehicle_insert_accepted(db, row.vehicle);
    if (is_connection_lost(accepted)) return accepted;
    return ret_t(false, accepted.ok ? kCustomerUpdateFailed : kVehicleInsertFailed);
}

ret_t import_stored_customer_row(DbConnection& db, row_info_t& row,
                                 const customer_decision_t& decision) {
    const ret_t matched =
        timed("match_customerinfo", [&] { return match_customerinfo(db, row.customer); });
    if (is_connection_lost(matched)) return matched;
    const bool customer_changed = !matched.ok;
    assign_owner(row);
    bool vehicle_changed = true;
    if (decision.plate_stored) {
        const ret_t same =
            timed("match_vehicleinfo", [&] { return match_vehicleinfo(db, row.vehicle); });
        if (is_connection_lost(same)) return same;
        vehicle_changed = !same.ok;
    }
    if (!customer_changed && !vehicle_changed) return kDone;
    const char* label = customer_changed        ? "update_customerinfo"
                        : decision.plate_stored ? "update_vehicleinfo"
                                                : "insert_vehicleinfo";
    const ret_t written = timed(label, [&] {
        if (!vehicle_changed) return update_customerinfo(db, row.customer);
        return update_customer_and_vehicle(db, row.customer, customer_changed, row.vehicle,
                                           !decision.plate_stored);
    });
    if (written.ok || is_connection_lost(written)) return written;
    return refused_write(db, row, customer_changed, vehicle_changed, decision.plate_stored);
}

// The customer is inserted or updated alone; the vehicles it has stay as they are.
ret_t import_customer_only_row(DbConnection& db, row_info_t& row,
                               const customer_decision_t& decision) {
    if (decision.kind == customer_decision_t::New) {
        const ret_t inserted =
            timed("insert_customerinfo", [&] { return insert_customerinfo(db, row.customer); });
        if (inserted.ok || is_connection_lost(inserted)) return inserted;
        return ret_t(false, kCustomerInsertFailed);
    }
    const ret_t matched =
        timed("match_customerinfo", [&] { return match_customerinfo(db, row.customer); });
    if (is_connection_lost(matched)) return matched;
    if (matched.ok) return kDone;
    const ret_t updated =
        timed("update_customerinfo", [&] { return update_customerinfo(db, row.customer); });
    if (updated.ok || is_connection_lost(updated)) return updated;
    return ret_t(false, kCustomerUpdateFailed);
}

}  // namespace

// Every row's writes go in one request, so a row is stored whole or not at all.
ret_t insert_row(DbConnection& db, row_info_t& row) {
    row_facts_t facts;
    const ret_t looked_up = look_up_row(db, row, facts);
    if (!looked_up.ok) return looked_up;
    const customer_decision_t decision = decide_customer(row, facts);
    if (decision.kind == customer_decision_t::Refused) return ret_t(false, decision.refusal);
    if (customer_only(row)) return import_customer_only_row(db, row, decision);
    if (decision.kind == customer_decision_t::New)
        return insert_new_customer_row(db, row, decision);
    return import_stored_customer_row(db, row, decision);
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
        if (!plate_of(rows[i]).empty()) {
            default_code(rows[i], facts[i]);
            plates.insert(plate_of(rows[i]));
        }
        if (!code_of(rows[i]).empty()) codes.insert(code_of(rows[i]));
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
        auto code = stored_codes.find(code_of(rows[i]));
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

// What one wave writes: the rows whose customer, and those whose vehicle, differs from the
// stored one or is new.
struct WavePlan {
    std::vector<customer_decision_t> decisions;
    std::vector<size_t> customers;
    std::vector<size_t> vehicles;
};

ret_t plan_customers(DbConnection& db, std::vector<row_info_t>& rows,
                     const std::vector<row_facts_t>& facts, std::vector<insert_result_t>& results,
                     WavePlan& plan) {
    std::vector<size_t> stored;
    for (size_t i = 0; i < rows.size(); ++i) {
        const customer_decision_t& decision = plan.decisions[i] =
            decide_customer(rows[i], facts[i]);
        if (decision.kind == customer_decision_t::Refused) {
            results[i] = {false, decision.refusal};
        } else if (decision.kind == customer_decision_t::New) {
            plan.customers.push_back(i);
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
            plan.customers.push_back(stored[k]);
        }
    }
    return kDone;
}

// A new customer's vehicle is always written (its owner changes); a stored customer's when
// its plate is new or its stored vehicle differs. A row that changes nothing at all reports so.
ret_t plan_vehicles(DbConnection& db, std::vector<row_info_t>& rows,
                    std::vector<insert_result_t>& results, WavePlan& plan) {
    std::vector<size_t> stored;
    for (size_t j = 0; j < rows.size(); ++j) {
        const customer_decision_t& decision = plan.decisions[j];
        if (decision.kind == customer_decision_t::Refused) continue;
        if (customer_only(rows[j])) {
            if (results[j].code == kCustomerUnchanged) results[j] = {false, kNothingToImport};
            continue;
        }
        assign_owner(rows[j]);
        const bool matchable =
            decision.kind == customer_decision_t::Exists && decision.plate_stored;
        (matchable ? stored : plan.vehicles).push_back(j);
    }
    std::vector<bool> unchanged;
    const ret_t matched =
        timed("match_vehicleinfo", [&] { return match_rows(db, rows, stored, true, unchanged); });
    if (!matched.ok) return matched;
    for (size_t k = 0; k < stored.size(); ++k) {
        if (!unchanged[k]) {
            plan.vehicles.push_back(stored[k]);
        } else if (results[stored[k]].code == kCustomerUnchanged) {
            results[stored[k]] = {false, kNothingToImport};
        }
    }
    return kDone;
}

// A new customer's id is not known before the request that inserts it: its vehicle names the
// owner by the customer's code.
tstring owner_of(const row_info_t& row) {
    if (row.customer.CustomerID != -1) return std::to_string(row.customer.CustomerID);
    return "(SELECT CustomerID FROM tabcustomerinfo WHERE Code = " + sql::literal(code_of(row)) +
           ")";
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
        for (const tstring& column : columns) {
            const bool owner = vehicle && column == "CustomerID";
            cells.push_back(owner ? owner_of(rows[index]) : sql::value(value_of(values, column)));
        }
        tuples.push_back("(" + sql::join(cells, ", ") + ")");
    }
    return tstring("INSERT INTO ") + (vehicle ? "tabvehicleinfo" : "tabcustomerinfo") + " (" +
           sql::join(names, ", ") + ") VALUES " + sql::join(tuples, ", ") + " ON CONFLICT(" + key +
           ") DO " +
           (updates.empty() ? tstring("NOTHING") : "UPDATE SET " + sql::join(updates, ", "));
}

// One upsert per distinct column set, so no row writes a column it does not map.
std::vector<tstring> upserts(const DbConnection& db, const std::vector<row_info_t>& rows,
                             const std::vector<size_t>& indices, bool vehicle) {
    std::map<column_set_t, std::vector<size_t>> by_columns;
    for (size_t index : indices)
        by_columns[columns_of(db, rows[index], vehicle, sql::Statement::Insert)].push_back(index);
    std::vector<tstring> statements;
    for (const auto& [columns, group] : by_columns)
        statements.push_back(upsert_statement(db, rows, group, columns, vehicle));
    return statements;
}

// The new customers' codes with the ids their inserts gave them.
tstring new_ids_query(const std::vector<row_info_t>& rows) {
    std::vector<tstring> codes;
    for (const row_info_t& row : rows) {
        if (row.customer.CustomerID == -1) codes.push_back(sql::literal(code_of(row)));
    }
    if (codes.empty()) return tstring();
    return "SELECT Code AS k, CustomerID AS id FROM tabcustomerinfo WHERE Code IN (" +
           sql::join(codes, ", ") + ")";
}

// The wave's customers and vehicles in one request, which the database stores whole or not at
// all; a new customer learns its id from the same request.
ret_t write_wave(DbConnection& db, std::vector<row_info_t>& rows, const WavePlan& plan) {
    std::vector<tstring> statements = upserts(db, rows, plan.customers, false);
    for (tstring& statement : upserts(db, rows, plan.vehicles, true))
        statements.push_back(std::move(statement));
    std::vector<row_info_t> written;
    for (size_t index : plan.customers) written.push_back(rows[index]);
    const tstring ids = new_ids_query(written);
    if (ids.empty()) return db.execute(sql::join(statements, "; "));
    std::map<tstring, int32_t> new_ids;
    const ret_t ran = read_rows(db, sql::join(statements, "; ") + "; " + ids,
                                [&](const NetSqliteResultSet& row) {
                                    tstring code;
                                    read_text(row, "k", code);
                                    new_ids[code] = read_int(row, "id");
                                    return true;
                                });
    if (!ran.ok) return ran;
    for (row_info_t& row : rows) {
        if (row.customer.CustomerID != -1) continue;
        auto id = new_ids.find(code_of(row));
        if (id == new_ids.end()) continue;
        row.customer.CustomerID = id->second;
        if (!customer_only(row)) assign_owner(row);
    }
    return ran;
}

void report_written(const WavePlan& plan, std::vector<insert_result_t>& results) {
    for (const std::vector<size_t>* written : {&plan.customers, &plan.vehicles}) {
        for (size_t index : *written) results[index] = {true, 0};
    }
}

// When the database refuses a wave's request, each row that had something to write is
// imported on its own, from the row as it came, which tells the rows it refuses apart.
ret_t import_rows_alone(DbConnection& db, const std::vector<row_info_t>& original,
                        std::vector<row_info_t>& rows, const WavePlan& plan,
                        std::vector<insert_result_t>& results) {
    std::set<size_t> writing(plan.customers.begin(), plan.customers.end());
    writing.insert(plan.vehicles.begin(), plan.vehicles.end());
    for (size_t index : writing) {
        rows[index] = original[index];
        const ret_t imported = insert_row(db, rows[index]);
        if (is_connection_lost(imported)) return imported;
        results[index] = {imported.ok, imported.ok ? 0 : imported.code};
    }
    return kDone;
}

// Rows that share no code and no plate: no row's lookups or writes touch another's, so the
// whole wave is classified and written at once with the result each would get alone.
ret_t import_wave(DbConnection& db, std::vector<row_info_t>& rows,
                  std::vector<insert_result_t>& results) {
    const std::vector<row_info_t> original = rows;
    std::vector<row_facts_t> facts(rows.size());
    WavePlan plan;
    plan.decisions.resize(rows.size());
    ret_t step = look_up_rows(db, rows, facts);
    if (!step.ok) return step;
    step = plan_customers(db, rows, facts, results, plan);
    if (!step.ok) return step;
    step = plan_vehicles(db, rows, results, plan);
    if (!step.ok) return step;
    if (plan.customers.empty() && plan.vehicles.empty()) return kDone;
    step = timed("write_rows", [&] { return write_wave(db, rows, plan); });
    if (is_connection_lost(step)) return step;
    if (!step.ok) return import_rows_alone(db, original, rows, plan, results);
    report_written(plan, results);
    return kDone;
}

// A row must see the writes of every earlier row with its code or its plate, as it would
// imported after them: it goes into the wave after the last of theirs. Rows with neither are
// refused without a lookup and go into the first wave.
std::vector<std::vector<size_t>> waves_of(const std::vector<row_info_t>& rows) {
    std::vector<std::vector<size_t>> waves(1);
    std::map<tstring, size_t> next_by_plate, next_by_code;
    for (size_t i = 0; i < rows.size(); ++i) {
        const tstring plate = plate_of(rows[i]);
        const tstring code = code_of(rows[i]).empty() ? plate : code_of(rows[i]);
        if (code.empty()) {
            waves[0].push_back(i);
            continue;
        }
        size_t wave = next_by_code[code];
        if (!plate.empty()) wave = std::max(wave, next_by_plate[plate]);
        if (wave == waves.size()) waves.emplace_back();
        waves[wave].push_back(i);
        next_by_code[code] = wave + 1;
        if (!plate.empty()) next_by_plate[plate] = wave + 1;
    }
    return waves;
}

}  // namespace

ret_t insert_multi_rows(DbConnection& db, std::vector<row_info_t>& rows,
                        std::vector<insert_result_t>& results) {
    results.assign(rows.size(), insert_result_t());
    for (const std::vector<size_t>& wave : waves_of(rows)) {
        std::vector<row_info_t> wave_rows;
        wave_rows.reserve(wave.size());
        for (size_t index : wave) wave_rows.push_back(std::move(rows[index]));
        std::vector<insert_result_t> wave_results(wave.size());
        const ret_t imported = import_wave(db, wave_rows, wave_results);
        for (size_t k = 0; k < wave.size(); ++k) {
            rows[wave[k]] = std::move(wave_rows[k]);
            results[wave[k]] = wave_results[k];
        }
        if (!imported.ok) return imported;
    }
    return kDone;
}

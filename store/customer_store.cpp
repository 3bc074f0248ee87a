#include "store/customer_store.h"

#include "store/row_reader.h"
#include "store/sql_text.h"

namespace {

tstring id_text(int32_t id) {
    return std::to_string(id);
}

const tstring& plate_of(const value_map_t& values) {
    static const tstring none;
    auto it = values.find("PlateID");
    return it == values.end() ? none : it->second;
}

ret_t read_first_id(DbConnection& db, const tstring& sql, int32_t& id) {
    return read_rows(db, sql, [&](const NetSqliteResultSet& row) {
        id = read_int(row, "CustomerID");
        return true;
    });
}

}  // namespace

ret_t find_plateID(DbConnection& db, const tstring& plate, int32_t& owner) {
    return read_first_id(
        db,
        "SELECT CustomerID FROM tabvehicleinfo where PlateID = " + sql::literal(plate) + " LIMIT 1",
        owner);
}

ret_t find_customer_by_code(DbConnection& db, const tstring& code, int32_t& target) {
    return read_first_id(
        db,
        "SELECT CustomerID FROM tabcustomerinfo where Code = " + sql::literal(code) + " LIMIT 1",
        target);
}

ret_t load_code_by_id(DbConnection& db, int32_t customer_id, customer_info_t& customer) {
    return read_rows(db,
                     "select Code from tabcustomerinfo where CustomerID = '" +
                         id_text(customer_id) + "' LIMIT 1",
                     [&](const NetSqliteResultSet& row) {
                         if (!read_text(row, "Code", customer.values)) return false;
                         customer.CustomerID = customer_id;
                         return true;
                     });
}

ret_t load_customer_by_id(DbConnection& db, int32_t customer_id, customer_info_t& customer) {
    return read_rows(
        db, "select * from tabcustomerinfo where CustomerID = '" + id_text(customer_id) + "'",
        [&](const NetSqliteResultSet& row) {
            customer_info_t loaded;
            loaded.CustomerID = read_int(row, "CustomerID");
            if (!read_category_columns(db, row, kCategoryCustomer, loaded.values)) return false;
            customer = std::move(loaded);
            return true;
        });
}

namespace {

// Reads the owner's vehicles; `read_values` fills one vehicle's values from a row.
ret_t load_vehicles(
    DbConnection& db, int32_t customer_id, std::vector<vehicle_info_t>& vehicles,
    const std::function<bool(const NetSqliteResultSet&, value_map_t&)>& read_values) {
    return read_rows(db, "select * from tabvehicleinfo where CustomerID = " + id_text(customer_id),
                     [&](const NetSqliteResultSet& row) {
                         vehicle_info_t vehicle;
                         vehicle.CustomerID = customer_id;
                         if (!read_values(row, vehicle.values)) return false;
                         vehicles.push_back(std::move(vehicle));
                         return true;
                     });
}

}  // namespace

ret_t load_customer_vehicles(DbConnection& db, int32_t customer_id,
                             std::vector<vehicle_info_t>& vehicles) {
    return load_vehicles(db, customer_id, vehicles,
                         [&](const NetSqliteResultSet& row, value_map_t& values) {
                             return read_category_columns(db, row, kCategoryVehicle, values);
                         });
}

ret_t load_vehicle_plates(DbConnection& db, int32_t customer_id,
                          std::vector<vehicle_info_t>& vehicles) {
    return load_vehicles(db, customer_id, vehicles,
                         [](const NetSqliteResultSet& row, value_map_t& values) {
                             return read_text(row, "PlateID", values);
                         });
}

ret_t match_customerinfo(DbConnection& db, customer_info_t& customer) {
    const value_map_t entries =
        sql::entries_taking_part(db, sql::Record::Customer, sql::Statement::Match, customer.values);
    // Without a column there is nothing to compare; the statement could only fail.
    if (entries.empty()) return ret_t(false, 0);
    return read_first_id(db,
                         "select CustomerID from tabcustomerinfo where " +
                             sql::match_condition(entries) + " LIMIT 1",
                         customer.CustomerID);
}

ret_t match_vehicleinfo(DbConnection& db, const vehicle_info_t& vehicle) {
    const value_map_t entries =
        sql::entries_taking_part(db, sql::Record::Vehicle, sql::Statement::Match, vehicle.values);
    if (entries.empty()) return ret_t(false, 0);
    return read_rows(
        db,
        "select PlateID from tabvehicleinfo where " + sql::match_condition(entries) + " LIMIT 1",
        [](const NetSqliteResultSet&) { return true; });
}

namespace {

tstring insert_statement(const char* table, const value_map_t& entries) {
    return tstring("INSERT INTO ") + table + " (" + sql::insert_columns(entries) + ") VALUES (" +
           sql::insert_values(entries) + ")";
}

tstring insert_customer_statement(const DbConnection& db, const customer_info_t& customer) {
    return insert_statement("tabcustomerinfo",
                            sql::entries_taking_part(db, sql::Record::Customer,
                                                     sql::Statement::Insert, customer.values));
}

tstring owner_exists(int32_t customer_id) {
    return "EXISTS (SELECT 1 FROM tabcustomerinfo where CustomerID = " + id_text(customer_id) + ")";
}

// The vehicle's entries for a statement but its owner, which the statements write as an SQL
// expression: its id, or the id of a customer inserted earlier in the same request.
value_map_t vehicle_entries(const DbConnection& db, const vehicle_info_t& vehicle,
                            sql::Statement statement) {
    value_map_t entries =
        sql::entries_taking_part(db, sql::Record::Vehicle, statement, vehicle.values);
    entries.erase("CustomerID");
    return entries;
}

tstring then(const tstring& separator, const tstring& text) {
    return text.empty() ? text : separator + text;
}

// An INSERT of the vehicle; with a `condition`, one that inserts only while it holds.
tstring insert_vehicle_statement(const DbConnection& db, const vehicle_info_t& vehicle,
                                 const tstring& owner, const tstring& condition = "") {
    const value_map_t entries = vehicle_entries(db, vehicle, sql::Statement::Insert);
    const tstring values = owner + then(",", sql::insert_values(entries));
    return "INSERT INTO tabvehicleinfo (CustomerID" + then(",", sql::insert_columns(entries)) +
           ") " +
           (condition.empty() ? "VALUES (" + values + ")"
                              : "SELECT " + values + " WHERE " + condition);
}

// The UPDATE of the vehicle stored under its plate; with a `condition`, only while it holds.
tstring update_vehicle_statement(const DbConnection& db, const vehicle_info_t& vehicle,
                                 const tstring& owner, const tstring& condition = "") {
    return "UPDATE tabvehicleinfo SET CustomerID = " + owner +
           then(", ", sql::set_list(vehicle_entries(db, vehicle, sql::Statement::Update))) +
           " WHERE PlateID = " + sql::literal(plate_of(vehicle.values)) + then(" and ", condition);
}

tstring delete_vehicles_of_statement(int32_t customer_id) {
    return "DELETE FROM tabvehicleinfo where CustomerID = " + id_text(customer_id);
}

tstring delete_customer_statement(int32_t customer_id) {
    return "DELETE FROM tabcustomerinfo where CustomerID = " + id_text(customer_id);
}

tstring delete_vehicle_statement(const tstring& plate) {
    return "DELETE FROM tabvehicleinfo where PlateID = " + sql::literal(plate);
}

// Runs the writes and, in the same request, `check`, a query for what they should have left:
// ok only when it finds a row. A write that found nothing to change (a customer or vehicle
// deleted meanwhile) is thus a failure, never a success that stored nothing.
ret_t write_and_check(DbConnection& db, const tstring& writes, const tstring& check) {
    return read_rows(db, writes + "; " + check, [](const NetSqliteResultSet&) { return true; });
}

tstring customer_stored_query(int32_t customer_id) {
    return "SELECT CustomerID FROM tabcustomerinfo where CustomerID = " + id_text(customer_id);
}

// The vehicle stored under its plate for its owner, and the owner stored.
tstring vehicle_stored_query(const vehicle_info_t& vehicle) {
    return "SELECT PlateID FROM tabvehicleinfo where PlateID = " +
           sql::literal(plate_of(vehicle.values)) +
           " and CustomerID = " + id_text(vehicle.CustomerID) + " and " +
           owner_exists(vehicle.CustomerID) + " LIMIT 1";
}

}  // namespace

// The id comes from the row just inserted, in the same request: a match could find an older
// customer with the same values (an empty code), and a reply lost between two requests would
// leave the customer stored with its id unknown.
ret_t insert_customerinfo(DbConnection& db, customer_info_t& customer) {
    return read_first_id(
        db, insert_customer_statement(db, customer) + "; SELECT last_insert_rowid() AS CustomerID",
        customer.CustomerID);
}

namespace {

// The database refuses another customer's code without saying why; this says it.
ret_t check_code_free(DbConnection& db, const customer_info_t& customer) {
    const auto code = customer.values.find("Code");
    if (code == customer.values.end() || code->second.empty()) return ret_t(true, 0);
    int32_t holder = -1;
    const ret_t found = find_customer_by_code(db, code->second, holder);
    if (is_connection_lost(found)) return found;
    if (found.ok && holder != customer.CustomerID) return ret_t(false, kCodeExists);
    return ret_t(true, 0);
}

// The time of registration, by the service's clock, unless the record brings one.
tstring registration_stamp(const DbConnection& db) {
    const auto column = db.dictionary().data_info().find("RegisterTime");
    if (column == db.dictionary().data_info().end() ||
        column->second.DataTypeCategory != kCategoryCustomer)
        return tstring();
    return "; UPDATE tabcustomerinfo SET RegisterTime = strftime('%Y-%m-%d %H:%M:%S', 'now', "
           "'localtime') WHERE CustomerID = last_insert_rowid() AND RegisterTime IS NULL";
}

}  // namespace

ret_t insert_customer(DbConnection& db, customer_info_t& customer) {
    const ret_t code_free = check_code_free(db, customer);
    if (!code_free.ok) return code_free;
    return read_first_id(db,
                         insert_customer_statement(db, customer) + registration_stamp(db) +
                             "; SELECT last_insert_rowid() AS CustomerID",
                         customer.CustomerID);
}

ret_t insert_vehicleinfo(DbConnection& db, vehicle_info_t& vehicle, bool check_plate) {
    stamp_owner(vehicle);
    if (!check_plate)
        return db.execute(insert_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID)));
    // A row without a plate could be neither found, updated nor deleted again.
    if (plate_of(vehicle.values).empty()) return ret_t(false, kNoPlate);
    int32_t owner = -1;
    const ret_t found = find_plateID(db, plate_of(vehicle.values), owner);
    if (found.ok) return ret_t(false, kPlateExists);
    if (is_connection_lost(found)) return found;
    return write_and_check(db,
                           insert_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID),
                                                    owner_exists(vehicle.CustomerID)),
                           vehicle_stored_query(vehicle));
}

ret_t insert_vehicle(DbConnection& db, vehicle_info_t& vehicle) {
    return insert_vehicleinfo(db, vehicle, true);
}

ret_t insert_customer_and_vehicle(DbConnection& db, customer_info_t& customer,
                                  vehicle_info_t& vehicle, bool plate_stored) {
    const tstring new_owner = "last_insert_rowid()";
    const ret_t written =
        read_first_id(db,
                      insert_customer_statement(db, customer) + "; " +
                          (plate_stored ? update_vehicle_statement(db, vehicle, new_owner)
                                        : insert_vehicle_statement(db, vehicle, new_owner)) +
                          "; SELECT CustomerID FROM tabvehicleinfo where PlateID = " +
                          sql::literal(plate_of(vehicle.values)) + " LIMIT 1",
                      customer.CustomerID);
    vehicle.CustomerID = customer.CustomerID;
    stamp_owner(vehicle);
    return written;
}

namespace {

tstring then_delete_inserted(const char* table) {
    return tstring("; DELETE FROM ") + table + " WHERE rowid = last_insert_rowid()";
}

}  // namespace

ret_t customer_insert_accepted(DbConnection& db, const customer_info_t& customer) {
    return db.execute(insert_customer_statement(db, customer) +
                      then_delete_inserted("tabcustomerinfo"));
}

ret_t vehicle_insert_accepted(DbConnection& db, vehicle_info_t& vehicle) {
    return db.execute(insert_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID)) +
                      then_delete_inserted("tabvehicleinfo"));
}

namespace {

// The UPDATE of the customer's columns, or nothing when none of them may be set.
tstring update_customer_statement(const DbConnection& db, const customer_info_t& customer) {
    const value_map_t entries = sql::entries_taking_part(db, sql::Record::Customer,
                                                         sql::Statement::Update, customer.values);
    if (entries.empty()) return tstring();
    return "UPDATE tabcustomerinfo SET " + sql::set_list(entries) + "  WHERE CustomerID = '" +
           id_text(customer.CustomerID) + "'";
}

}  // namespace

ret_t update_customerinfo(DbConnection& db, const customer_info_t& customer) {
    const tstring statement = update_customer_statement(db, customer);
    return statement.empty() ? ret_t(true, 0) : db.execute(statement);
}

ret_t update_customer_and_vehicle(DbConnection& db, const customer_info_t& customer,
                                  bool update_customer, vehicle_info_t& vehicle,
                                  bool insert_vehicle) {
    vehicle.CustomerID = customer.CustomerID;
    stamp_owner(vehicle);
    const tstring owner = id_text(customer.CustomerID);
    const tstring vehicle_write = insert_vehicle
                                      ? insert_vehicle_statement(db, vehicle, owner)
                                      : update_vehicle_statement(db, vehicle, owner);
    const tstring customer_write =
        update_customer ? update_customer_statement(db, customer) : tstring();
    return db.execute(customer_write.empty() ? vehicle_write
                                             : customer_write + "; " + vehicle_write);
}

ret_t update_vehicleinfo(DbConnection& db, const vehicle_info_t& vehicle) {
    const value_map_t entries =
        sql::entries_taking_part(db, sql::Record::Vehicle, sql::Statement::Update, vehicle.values);
    if (entries.empty()) return ret_t(true, 0);
    return db.execute(update_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID)));
}

ret_t update_customer(DbConnection& db, customer_info_t& customer) {
    const ret_t matched = match_customerinfo(db, customer);
    if (matched.ok) return ret_t(false, kCustomerUnchanged);
    if (is_connection_lost(matched)) return matched;
    const ret_t code_free = check_code_free(db, customer);
    if (!code_free.ok) return code_free;
    const tstring statement = update_customer_statement(db, customer);
    if (statement.empty()) return ret_t(true, 0);
    return write_and_check(db, statement, customer_stored_query(customer.CustomerID));
}

namespace {

ret_t update_vehicle_in_place(DbConnection& db, vehicle_info_t& vehicle) {
    const ret_t matched = match_vehicleinfo(db, vehicle);
    if (is_connection_lost(matched)) return matched;
    if (matched.ok) return ret_t(false, kVehicleUnchanged);
    return write_and_check(db,
                           update_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID),
                                                    owner_exists(vehicle.CustomerID)),
                           vehicle_stored_query(vehicle));
}

// The new row and the old row's delete go as one request, so the vehicle is stored under
// exactly one of its plates whatever fails; the old row goes only once the new one is stored.
ret_t change_plate(DbConnection& db, vehicle_info_t& vehicle) {
    const tstring& plate = plate_of(vehicle.values);
    int32_t owner = -1;
    const ret_t found = find_plateID(db, plate, owner);
    if (found.ok) return ret_t(false, kPlateExists);
    if (is_connection_lost(found)) return found;
    return write_and_check(db,
                           insert_vehicle_statement(db, vehicle, id_text(vehicle.CustomerID),
                                                    owner_exists(vehicle.CustomerID)) +
                               "; " + delete_vehicle_statement(vehicle.stored_plate) +
                               " and EXISTS (SELECT 1 FROM tabvehicleinfo where PlateID = " +
                               sql::literal(plate) + ")",
                           vehicle_stored_query(vehicle));
}

}  // namespace

ret_t update_vehicle(DbConnection& db, vehicle_info_t& vehicle) {
    stamp_owner(vehicle);
    if (plate_of(vehicle.values).empty()) return ret_t(false, kNoPlate);
    const bool plate_changed =
        !vehicle.stored_plate.empty() && vehicle.stored_plate != plate_of(vehicle.values);
    return plate_changed ? change_plate(db, vehicle) : update_vehicle_in_place(db, vehicle);
}

ret_t delete_customer(DbConnection& db, int32_t customer_id) {
    return db.execute(delete_customer_statement(customer_id));
}

ret_t delete_vehicles_of_customer(DbConnection& db, int32_t customer_id) {
    return db.execute(delete_vehicles_of_statement(customer_id));
}

ret_t delete_vehicle(DbConnection& db, const tstring& plate) {
    return db.execute(delete_vehicle_statement(plate));
}

namespace {

// A customer goes together with its last vehicle and stays while it has any.
tstring delete_customer_without_vehicles_statement(int32_t customer_id) {
    return delete_customer_statement(customer_id) +
           " and NOT EXISTS (SELECT 1 FROM tabvehicleinfo where CustomerID = " +
           id_text(customer_id) + ")";
}

// One request per selected row: a lost connection leaves the row either whole or gone.
ret_t delete_row(DbConnection& db, int32_t customer_id, const tstring& plate) {
    int32_t owner = -1;
    const ret_t found = find_plateID(db, plate, owner);
    if (is_connection_lost(found)) return found;
    if (!found.ok) return db.execute(delete_customer_without_vehicles_statement(customer_id));
    return db.execute(delete_vehicle_statement(plate) + "; " +
                      delete_customer_without_vehicles_statement(owner));
}

}  // namespace

// One request: a failure leaves the customer and its vehicles as they were.
ret_t delete_customer_and_vehicles(DbConnection& db, int32_t customer_id) {
    return db.execute(delete_vehicles_of_statement(customer_id) + "; " +
                      delete_customer_statement(customer_id));
}

ret_t delete_rows(DbConnection& db, const row_key_list_t& rows) {
    ret_t status(false, 0);
    for (const auto& [customer_id, plate] : rows) {
        status = delete_row(db, customer_id, plate);
        if (!status.ok) break;
    }
    return status;
}

// Only a lost connection skips the customers. Should the vehicles' delete fail otherwise, only
// customers without vehicles go, so no vehicle is left without its owner.
ret_t delete_all_rows(DbConnection& db) {
    const ret_t vehicles = db.execute("DELETE FROM tabvehicleinfo");
    if (is_connection_lost(vehicles)) return vehicles;
    const ret_t customers = db.execute(
        "DELETE FROM tabcustomerinfo where NOT EXISTS (SELECT 1 FROM tabvehicleinfo where "
        "tabvehicleinfo.CustomerID = tabcustomerinfo.CustomerID)");
    return customers.ok ? vehicles : customers;
}

// One statement for every plate: the merge happens whole or not at all. The list reaches
// vehicles through their customer, so a target deleted meanwhile (by another client) is
// refused: its new vehicles would vanish from the list while their plates stay taken.
ret_t move_vehicles(DbConnection& db, const plates_by_customer_t& plates, int32_t target) {
    std::vector<tstring> moving;
    for (const auto& [customer_id, customer_plates] : plates) {
        if (customer_id == target) continue;
        for (const tstring& plate : customer_plates) {
            if (!plate.empty()) moving.push_back(sql::literal(plate));
        }
    }
    if (moving.empty()) return ret_t(false, 0);
    return write_and_check(db,
                           "UPDATE tabvehicleinfo SET CustomerID = " + id_text(target) +
                               " WHERE PlateID IN (" + sql::join(moving, ", ") + ") AND " +
                               owner_exists(target),
                           customer_stored_query(target));
}

#pragma once

#include <vector>

#include "store/db_connection.h"
#include "store/records.h"

// Single customers and vehicles. Lookups are ok when a row was found; list loaders when at
// least one row was read. A lost connection (kDbConnectionLost) ends every composite
// operation at once and is returned unchanged.

ret_t find_plateID(DbConnection& db, const tstring& plate, int32_t& owner);
// `target` is written only when a customer with that code exists.
ret_t find_customer_by_code(DbConnection& db, const tstring& code, int32_t& target);
ret_t load_code_by_id(DbConnection& db, int32_t customer_id, customer_info_t& customer);
ret_t load_customer_by_id(DbConnection& db, int32_t customer_id, customer_info_t& customer);
ret_t load_customer_vehicles(DbConnection& db, int32_t customer_id,
                             std::vector<vehicle_info_t>& vehicles);
// Fills only values["PlateID"] of each vehicle.
ret_t load_vehicle_plates(DbConnection& db, int32_t customer_id,
                          std::vector<vehicle_info_t>& vehicles);

// A stored customer equal in every customer column of the record; its id is written into
// customer.CustomerID.
ret_t match_customerinfo(DbConnection& db, customer_info_t& customer);
// Callers set the owner (stamp_owner) before matching or updating a vehicle.
ret_t match_vehicleinfo(DbConnection& db, const vehicle_info_t& vehicle);

// Learns the new customer's id from the row it inserted.
ret_t insert_customerinfo(DbConnection& db, customer_info_t& customer);
// The edit page's insert: a code another customer has is refused with kCodeExists, and the
// customer's RegisterTime, when the column exists and the record brings none, is the time now.
ret_t insert_customer(DbConnection& db, customer_info_t& customer);
// With `check_plate` (the edit page's insert): an empty plate is refused with kNoPlate, a plate
// already stored with kPlateExists, and a vehicle whose owner is not stored (deleted meanwhile)
// is not inserted and fails.
ret_t insert_vehicleinfo(DbConnection& db, vehicle_info_t& vehicle, bool check_plate);
ret_t insert_vehicle(DbConnection& db, vehicle_info_t& vehicle);
// A new customer and its vehicle in one request, stored together or not at all: the vehicle is
// inserted, or with `plate_stored` its stored row updated, as the new customer's. Learns the id.
ret_t insert_customer_and_vehicle(DbConnection& db, customer_info_t& customer,
                                  vehicle_info_t& vehicle, bool plate_stored);
// A stored customer's update (with `update_customer`) and its vehicle's insert (`insert_vehicle`)
// or update, as one request: both stored or neither. The vehicle goes to customer.CustomerID.
ret_t update_customer_and_vehicle(DbConnection& db, const customer_info_t& customer,
                                  bool update_customer, vehicle_info_t& vehicle,
                                  bool insert_vehicle);
// Whether the database accepts the insert, asked by inserting and deleting the row in one
// request: nothing stays stored either way.
ret_t customer_insert_accepted(DbConnection& db, const customer_info_t& customer);
ret_t vehicle_insert_accepted(DbConnection& db, vehicle_info_t& vehicle);
// An empty SET list sends nothing and succeeds (both updates).
ret_t update_customerinfo(DbConnection& db, const customer_info_t& customer);
ret_t update_vehicleinfo(DbConnection& db, const vehicle_info_t& vehicle);
// Refused with kCustomerUnchanged when an identical customer is stored (itself included), with
// kCodeExists when another customer has the code; fails when the customer is no longer stored.
ret_t update_customer(DbConnection& db, customer_info_t& customer);
// kNoPlate for an empty plate, kVehicleUnchanged for an identical vehicle, kPlateExists for a
// plate change onto a used plate; fails when the vehicle or its owner is no longer stored. A
// plate change inserts the new row and deletes the old one in one request.
ret_t update_vehicle(DbConnection& db, vehicle_info_t& vehicle);

ret_t delete_customer(DbConnection& db, int32_t customer_id);
ret_t delete_vehicles_of_customer(DbConnection& db, int32_t customer_id);
ret_t delete_vehicle(DbConnection& db, const tstring& plate);
ret_t delete_customer_and_vehicles(DbConnection& db, int32_t customer_id);
// One (CustomerID, PlateID) per list row: deletes the vehicle, and the customer with its last
// vehicle; a customer that still has vehicles stays.
ret_t delete_rows(DbConnection& db, const row_key_list_t& rows);
ret_t delete_all_rows(DbConnection& db);
// Gives every listed plate to `target`; ok false, code 0 when no plate needed moving or the
// target is no longer stored.
ret_t move_vehicles(DbConnection& db, const plates_by_customer_t& plates, int32_t target);

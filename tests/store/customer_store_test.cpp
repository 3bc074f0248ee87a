#include <functional>

#include "tests/store/store_fixture.h"
#include "tests/support/case_printing.h"

namespace {

vehicle_info_t vehicle_of(int32_t owner, const tstring& plate, const tstring& color = "") {
    vehicle_info_t vehicle;
    vehicle.CustomerID = owner;
    vehicle.values = {{"PlateID", plate}, {"Color", color}};
    return vehicle;
}

TEST_F(StoreTest, LookupsFindStoredRowsOnly) {
    const int32_t id = add_customer("K'1", "李四", "138");
    add_vehicle(id, "粤B'9", "2");
    int32_t owner = -1;
    EXPECT_EQ(find_plateID(db, "粤B'9", owner), ret_t(true, 0));
    EXPECT_EQ(owner, id);
    int32_t target = 99;
    EXPECT_EQ(find_customer_by_code(db, "K'2", target), ret_t(false, 0));
    EXPECT_EQ(target, 99);
    EXPECT_EQ(find_plateID(db, "' or ''='", owner), ret_t(false, 0));

    customer_info_t loaded;
    ASSERT_EQ(load_customer_by_id(db, id, loaded), ret_t(true, 0));
    EXPECT_EQ(loaded.CustomerID, id);
    EXPECT_EQ(loaded.values, (value_map_t{{"Code", "K'1"},
                                          {"Name", "李四"},
                                          {"Phone", "138"},
                                          {"ParkingSpaces", ""},
                                          {"RegisterTime", ""}}));
    customer_info_t code;
    ASSERT_EQ(load_code_by_id(db, id, code), ret_t(true, 0));
    EXPECT_EQ(code.CustomerID, id);
    EXPECT_EQ(code.values, (value_map_t{{"Code", "K'1"}}));

    std::vector<vehicle_info_t> vehicles;
    ASSERT_EQ(load_customer_vehicles(db, id, vehicles), ret_t(true, 0));
    ASSERT_EQ(vehicles.size(), 1u);
    EXPECT_EQ(vehicles[0].CustomerID, id);
    EXPECT_EQ(vehicles[0].values.at("Color"), "2");
    EXPECT_EQ(vehicles[0].values.size(), 6u);  // every vehicle column but the owner
    vehicles.clear();
    EXPECT_EQ(load_customer_vehicles(db, id + 1, vehicles), ret_t(false, 0));
    EXPECT_TRUE(vehicles.empty());
}

TEST_F(StoreTest, ValuesThatLookLikeSqlAreStoredAsText) {
    const tstring nasty = "x'); DELETE FROM tabcustomerinfo; --";
    const int32_t id = add_customer(nasty, "\"王\" ' OR 1=1 --");
    add_vehicle(id, "A' OR PlateID LIKE '%");
    EXPECT_EQ(rows_of("tabcustomerinfo"), 1);
    customer_info_t customer{id, {{"Code", nasty}, {"Name", "\"王\" ' OR 1=1 --"}}};
    EXPECT_EQ(match_customerinfo(db, customer), ret_t(true, 0));
    EXPECT_EQ(delete_vehicle(db, "A' OR PlateID LIKE '%"), ret_t(true, 0));
    EXPECT_EQ(rows_of("tabvehicleinfo"), 0);
}

TEST_F(StoreTest, AnEmptyStoredTextCountsAsNoValue) {
    const int32_t owner = add_customer("C1", "甲");
    add_vehicle(owner, "P1", "1");
    exec("update tabvehicleinfo set Color = '' where PlateID = 'P1'");
    vehicle_info_t same = vehicle_of(owner, "P1", "");
    EXPECT_EQ(match_vehicleinfo(db, same), ret_t(true, 0));
    EXPECT_EQ(update_vehicle(db, same), ret_t(false, kVehicleUnchanged));
}

TEST_F(StoreTest, UpdateCustomerRefusesIdenticalCustomers) {
    const int32_t first = add_customer("C1", "甲");
    const int32_t second = add_customer("C2", "乙");
    customer_info_t same{first, {{"Code", "C1"}, {"Name", "甲"}, {"Phone", ""}}};
    EXPECT_EQ(update_customer(db, same), ret_t(false, kCustomerUnchanged));
    customer_info_t copy{first, {{"Code", "C2"}, {"Name", "乙"}, {"Phone", ""}}};
    EXPECT_EQ(update_customer(db, copy), ret_t(false, kCustomerUnchanged));
    EXPECT_EQ(copy.CustomerID, second);
    customer_info_t renamed{first, {{"Code", "C1"}, {"Name", "甲'乙"}, {"RegisterTime", "t"}}};
    EXPECT_EQ(update_customer(db, renamed), ret_t(true, 0));
    EXPECT_EQ(
        cell("select Name as v from tabcustomerinfo where CustomerID = " + std::to_string(first)),
        "甲'乙");
    // RegisterTime is read-only: never updated.
    EXPECT_EQ(cell("select RegisterTime as v from tabcustomerinfo where Code = 'C1'"), "");
}

TEST_F(StoreTest, UpdateVehicleKeepsOneRowPerPlate) {
    const int32_t owner = add_customer("C1", "甲");
    add_vehicle(owner, "P1", "1");
    add_vehicle(owner, "P2", "2");
    vehicle_info_t same = vehicle_of(owner, "P1", "1");
    EXPECT_EQ(update_vehicle(db, same), ret_t(false, kVehicleUnchanged));
    vehicle_info_t recoloured = vehicle_of(owner, "P1", "3");
    EXPECT_EQ(update_vehicle(db, recoloured), ret_t(true, 0));
    EXPECT_EQ(vehicle_column("P1", "Color"), "3");

    vehicle_info_t onto_used = vehicle_of(owner, "P2", "5");
    onto_used.stored_plate = "P1";
    EXPECT_EQ(update_vehicle(db, onto_used), ret_t(false, kPlateExists));
    EXPECT_EQ(vehicle_column("P1", "Color") + vehicle_column("P2", "Color"), "32");

    vehicle_info_t onto_free = vehicle_of(owner, "新P3", "4");
    onto_free.stored_plate = "P1";
    EXPECT_EQ(update_vehicle(db, onto_free), ret_t(true, 0));
    EXPECT_EQ(vehicle_column("P1", "Color"), "<none>");
    EXPECT_EQ(vehicle_column("新P3", "CustomerID"), std::to_string(owner));

    vehicle_info_t twice = vehicle_of(owner, "P2", "2");
    EXPECT_EQ(insert_vehicle(db, twice), ret_t(false, kPlateExists));
}

TEST_F(StoreTest, FailedPlateChangeKeepsTheOldRow) {
    const int32_t owner = add_customer("C1", "甲");
    add_vehicle(owner, "OLD", "1");
    // A vehicle data type without a column makes the insert of the new plate fail.
    exec(
        "INSERT INTO tabdatatypeinfo (ShowIndex, DataType, DataTypeCategory) VALUES (30, 'Ghost', "
        "1)");
    reload_data_types();
    vehicle_info_t changed = vehicle_of(owner, "NEW", "2");
    changed.values["Ghost"] = "boo";
    changed.stored_plate = "OLD";
    EXPECT_EQ(update_vehicle(db, changed), ret_t(false, 0));
    EXPECT_EQ(vehicle_column("OLD", "Color"), "1");
    EXPECT_EQ(vehicle_column("NEW", "Color"), "<none>");
}

TEST_F(StoreTest, DeleteRowsRemovesCustomerWithItsLastVehicle) {
    const int32_t two = add_customer("C1", "甲");
    add_vehicle(two, "P1");
    add_vehicle(two, "P2");
    const int32_t none = add_customer("C2", "乙");
    const int32_t kept = add_customer("C3", "丙");
    add_vehicle(kept, "P3");
    EXPECT_EQ(delete_rows(db, {{two, "P1"}}), ret_t(true, 0));
    EXPECT_EQ(rows_of("tabcustomerinfo"), 3);
    // The vanished plate "GONE" must not take customer C3 and its vehicle with it.
    EXPECT_EQ(delete_rows(db, {{two, "P2"}, {none, ""}, {kept, "GONE"}}), ret_t(true, 0));
    EXPECT_EQ(cell("select group_concat(Code) as v from tabcustomerinfo"), "C3");
    EXPECT_EQ(rows_of("tabvehicleinfo"), 1);
    EXPECT_EQ(delete_rows(db, {}), ret_t(false, 0));
}

TEST_F(StoreTest, DeleteCustomerAndVehicles) {
    const int32_t id = add_customer("C1", "甲");
    add_vehicle(id, "P1");
    add_vehicle(id, "P2");
    const int32_t bare = add_customer("C2", "乙");
    EXPECT_EQ(delete_customer_and_vehicles(db, id), ret_t(true, 0));
    EXPECT_EQ(delete_customer_and_vehicles(db, bare), ret_t(true, 0));
    EXPECT_EQ(rows_of("tabcustomerinfo") + rows_of("tabvehicleinfo"), 0);
}

TEST_F(StoreTest, FailedCustomerDeleteKeepsItsVehicles) {
    const int32_t id = add_customer("C1", "甲");
    add_vehicle(id, "P1");
    add_vehicle(id, "P2");
    exec(
        "CREATE TRIGGER keep BEFORE DELETE ON tabcustomerinfo BEGIN SELECT RAISE(ABORT, 'kept'); "
        "END");
    EXPECT_EQ(delete_customer_and_vehicles(db, id), ret_t(false, 0));
    EXPECT_EQ(rows_of("tabcustomerinfo"), 1);
    EXPECT_EQ(rows_of("tabvehicleinfo"), 2);
}

// Only a lost connection skips the customers; no vehicle is ever left without its owner.
TEST_F(StoreTest, DeleteAllRowsGoesOnAfterAFailedVehicleDelete) {
    add_vehicle(add_customer("C1", "甲"), "LOCKED");
    add_customer("C2", "乙");
    exec(
        "CREATE TRIGGER keep BEFORE DELETE ON tabvehicleinfo WHEN old.PlateID = 'LOCKED' BEGIN "
        "SELECT RAISE(ABORT, 'kept'); END");
    EXPECT_EQ(delete_all_rows(db), ret_t(false, 0));
    EXPECT_EQ(cell("select group_concat(Code) as v from tabcustomerinfo"), "C1");
    EXPECT_EQ(rows_of("tabvehicleinfo"), 1);
}

TEST_F(StoreTest, DeleteAllRowsReportsTheCustomerStatement) {
    add_vehicle(add_customer("C1", "甲"), "P1");
    exec(
        "CREATE TRIGGER keep BEFORE DELETE ON tabcustomerinfo BEGIN SELECT RAISE(ABORT, 'kept'); "
        "END");
    EXPECT_EQ(delete_all_rows(db), ret_t(false, 0));
    EXPECT_EQ(rows_of("tabvehicleinfo"), 0);
    exec("DROP TRIGGER keep");
    EXPECT_EQ(delete_all_rows(db), ret_t(true, 0));
    EXPECT_EQ(rows_of("tabcustomerinfo"), 0);
}

TEST_F(StoreTest, MoveVehiclesGivesPlatesToTheTarget) {
    const int32_t target = add_customer("T", "目标");
    const int32_t other = add_customer("O", "其他");
    add_vehicle(target, "T1");
    add_vehicle(other, "O1");
    add_vehicle(other, "O'2");
    EXPECT_EQ(move_vehicles(db, {{target, {"T1"}}}, target), ret_t(false, 0));
    EXPECT_EQ(move_vehicles(db, {{target, {"T1"}}, {other, {"", "O1", "O'2"}}}, target),
              ret_t(true, 0));
    EXPECT_EQ(cell("select count(*) as v from tabvehicleinfo where CustomerID = " +
                   std::to_string(target)),
              "3");
    EXPECT_EQ(rows_of("tabcustomerinfo"), 2);  // the giving customer stays
    // A target deleted since the list was read gets nothing: its vehicles would be unlisted.
    exec("DELETE FROM tabcustomerinfo WHERE CustomerID = " + std::to_string(other));
    EXPECT_EQ(move_vehicles(db, {{target, {"T1", "O1"}}}, other), ret_t(false, 0));
    EXPECT_EQ(cell("select count(*) as v from tabvehicleinfo where CustomerID = " +
                   std::to_string(target)),
              "3");
}

// Both return before anything reaches the service, which is paused to prove it.
TEST_F(StoreTest, UpdatesWithNothingToSetSendNothing) {
    svc.pause();
    const customer_info_t read_only{1, {{"RegisterTime", "2026"}}};
    EXPECT_EQ(update_customerinfo(db, read_only), ret_t(true, 0));
    vehicle_info_t plate_only;
    plate_only.values = {{"PlateID", "P1"}};
    EXPECT_EQ(update_vehicleinfo(db, plate_only), ret_t(true, 0));
    svc.resume();
}

// The operator leaves the code empty and gives an existing customer's name: the page must go on
// with the customer it created, not with the older one.
TEST_F(StoreTest, ANewCustomerLearnsTheIdOfItsOwnRow) {
    const int32_t older = add_customer("", "同名");
    customer_info_t twin{-1, {{"Code", ""}, {"Name", "同名"}, {"Phone", ""}}};
    ASSERT_EQ(insert_customerinfo(db, twin), ret_t(true, 0));
    EXPECT_NE(twin.CustomerID, older);
    EXPECT_EQ(cell("select max(CustomerID) as v from tabcustomerinfo"),
              std::to_string(twin.CustomerID));
}

// A write meant for a customer or vehicle that is gone (deleted from the list meanwhile), or
// for a vehicle without a plate, is refused and stores nothing.
struct GoneCase {
    const char* name;
    std::function<ret_t(DbConnection&, int32_t owner, int32_t gone)> run;
    ret_t expected;
    const char* state;  // read afterwards; the data set up holds "P1,GP"
};
void PrintTo(const GoneCase& c, std::ostream* out) {
    *out << c.name;
}

class WriteToWhatIsGone : public StoreTest, public ::testing::WithParamInterface<GoneCase> {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        owner = add_customer("C1", "甲");
        add_vehicle(owner, "P1", "1");
        gone = add_customer("G", "去");
        add_vehicle(gone, "GP", "2");
        ASSERT_EQ(delete_customer(db, gone), ret_t(true, 0));
    }
    int32_t owner = -1;
    int32_t gone = -1;
};

TEST_P(WriteToWhatIsGone, IsRefusedAndStoresNothing) {
    EXPECT_EQ(GetParam().run(db, owner, gone), GetParam().expected);
    EXPECT_EQ(cell("select group_concat(ifnull(PlateID, 'NULL')) || '/' || group_concat(Color) "
                   "as v from (select * from tabvehicleinfo order by rowid)"),
              GetParam().state);
    EXPECT_EQ(cell("select group_concat(Code) as v from tabcustomerinfo"), "C1");
}

INSTANTIATE_TEST_SUITE_P(
    Writes, WriteToWhatIsGone,
    ::testing::Values(GoneCase{"customer_update",
                               [](DbConnection& db, int32_t, int32_t gone) {
                                   customer_info_t customer{gone, {{"Code", "G"}, {"Name", "改"}}};
                                   return update_customer(db, customer);
                               },
                               ret_t(false, 0), "P1,GP/1,2"},
                      GoneCase{"vehicle_insert",
                               [](DbConnection& db, int32_t, int32_t gone) {
                                   vehicle_info_t vehicle = vehicle_of(gone, "NEW", "3");
                                   return insert_vehicle(db, vehicle);
                               },
                               ret_t(false, 0), "P1,GP/1,2"},
                      GoneCase{"vehicle_update",
                               [](DbConnection& db, int32_t owner, int32_t) {
                                   EXPECT_EQ(delete_vehicle(db, "P1"), ret_t(true, 0));
                                   vehicle_info_t vehicle = vehicle_of(owner, "P1", "3");
                                   return update_vehicle(db, vehicle);
                               },
                               ret_t(false, 0), "GP/2"},
                      GoneCase{"plate_change_of_a_gone_owner",
                               [](DbConnection& db, int32_t, int32_t gone) {
                                   vehicle_info_t vehicle = vehicle_of(gone, "GQ", "3");
                                   vehicle.stored_plate = "GP";
                                   return update_vehicle(db, vehicle);
                               },
                               ret_t(false, 0), "P1,GP/1,2"},
                      GoneCase{"insert_without_plate",
                               [](DbConnection& db, int32_t owner, int32_t) {
                                   vehicle_info_t vehicle = vehicle_of(owner, "", "3");
                                   return insert_vehicle(db, vehicle);
                               },
                               ret_t(false, kNoPlate), "P1,GP/1,2"},
                      GoneCase{"plate_emptied",
                               [](DbConnection& db, int32_t owner, int32_t) {
                                   vehicle_info_t vehicle = vehicle_of(owner, "", "3");
                                   vehicle.stored_plate = "P1";
                                   return update_vehicle(db, vehicle);
                               },
                               ret_t(false, kNoPlate), "P1,GP/1,2"}),
    testcases::kCaseName);

}  // namespace

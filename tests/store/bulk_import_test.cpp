#include <regex>
#include <sstream>

#include "tests/store/store_fixture.h"

namespace {

row_info_t row_of(const tstring& code, const tstring& name, const tstring& plate,
                  const tstring& color) {
    row_info_t row;
    row.customer.values = {{"Code", code}, {"Name", name}};
    row.vehicle.values = {{"PlateID", plate}, {"Color", color}};
    return row;
}

class ImportTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        s1 = add_customer("S1", "旧名", "139");
        add_vehicle(s1, "SP1", "1");
        add_vehicle(s1, "SP2", "2");
        s2 = add_customer("S2", "乙");
        add_vehicle(s2, "SP3", "4");
        add_vehicle(s2, "SP4", "1");
    }
    tstring owner_code(const tstring& plate) {
        return cell(
            "select Code as v from tabcustomerinfo join tabvehicleinfo using (CustomerID) "
            "where PlateID = " +
            sql::literal(plate));
    }
    int32_t s1 = -1, s2 = -1;
};

TEST_F(ImportTest, BulkRowsGetOneResultEach) {
    std::vector<row_info_t> rows = {
        row_of("N'1", "新客户", "新P1", "3"),  // new customer and vehicle
        row_of("N'1", "新客户", "新P2", "3"),  // the same new customer, second plate
        row_of("N2", "无车", "", "1"),         // no plate
        row_of("S1", "旧名", "SP3", "5"),      // S1's code with S2's plate
        row_of("S2", "乙", "SP3", "4"),        // stored exactly like this
        row_of("S1", "新名", "SP1", "1"),      // customer changed, vehicle identical
        row_of("", "无码", "SP2", "2"),        // plate as code, but SP2 belongs to S1
        row_of("", "无码", "无码P", ""),       // plate as code, all new
        row_of("S2", "乙", "SP4", "2"),        // customer identical, vehicle changed
    };
    std::vector<insert_result_t> results(20, insert_result_t{true, 99});
    ASSERT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    std::vector<std::pair<bool, int32_t>> got;
    for (const insert_result_t& r : results) got.emplace_back(r.ok, r.code);
    EXPECT_EQ(got, (std::vector<std::pair<bool, int32_t>>{{true, 0},
                                                          {true, 0},
                                                          {false, kNoPlate},
                                                          {false, kCodePlateConflict},
                                                          {false, kNothingToImport},
                                                          {true, 0},
                                                          {false, kCodePlateConflict},
                                                          {true, 0},
                                                          {true, 0}}));
    EXPECT_EQ(owner_code("新P1") + owner_code("新P2"), "N'1N'1");
    EXPECT_EQ(owner_code("无码P"), "无码P");
    // Code-10 rows write nothing: SP3 stays S2's, in its colour.
    EXPECT_EQ(owner_code("SP3") + vehicle_column("SP3", "Color"), "S24");
    EXPECT_EQ(vehicle_column("SP4", "Color"), "2");
    // S1 was updated in place: same id, its other vehicle kept, the unmapped Phone kept.
    EXPECT_EQ(
        cell("select CustomerID || Name || Phone as v from tabcustomerinfo where Code = 'S1'"),
        std::to_string(s1) + "新名139");
    EXPECT_EQ(owner_code("SP2"), "S1");
    EXPECT_EQ(rows[0].customer.CustomerID, rows[1].vehicle.CustomerID);
}

TEST_F(ImportTest, EachRowWritesExactlyItsOwnColumns) {
    std::vector<row_info_t> rows(2);
    rows[0].customer.values = {{"Code", "S1"}, {"Phone", "138"}};
    rows[0].vehicle.values = {{"PlateID", "SP1"}};
    rows[1].customer.values = {{"Code", "S2"}, {"Name", "乙改"}, {"ParkingSpaces", "3"}};
    rows[1].vehicle.values = {{"PlateID", "SP3"}, {"Color", "5"}};
    std::vector<insert_result_t> results;
    ASSERT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    EXPECT_TRUE(results[0].ok && results[1].ok);
    EXPECT_EQ(cell("select Name || Phone as v from tabcustomerinfo where Code = 'S1'"), "旧名138");
    EXPECT_EQ(cell("select Name || ParkingSpaces as v from tabcustomerinfo where Code = 'S2'"),
              "乙改3");
    EXPECT_EQ(vehicle_column("SP1", "Color") + vehicle_column("SP3", "Color"), "15");
}

// The customer stays stored with its old values, so the row's vehicle still goes to it; the
// row reports the failed update.
TEST_F(ImportTest, ARowWhoseCustomerUpdateFailedStillWritesItsVehicle) {
    exec(
        "CREATE TRIGGER refuse BEFORE UPDATE ON tabcustomerinfo WHEN new.Name = 'FAIL' BEGIN "
        "SELECT RAISE(ABORT, 'refused'); END");
    std::vector<row_info_t> rows = {row_of("S1", "FAIL", "NEWP", "3"),
                                    row_of("S2", "FAIL", "SP3", "4")};
    std::vector<insert_result_t> results;
    ASSERT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    EXPECT_EQ(std::make_pair(results[0].ok, results[0].code),
              std::make_pair(false, int32_t(kCustomerUpdateFailed)));
    EXPECT_EQ(std::make_pair(results[1].ok, results[1].code),
              std::make_pair(false, int32_t(kCustomerUpdateFailed)));
    EXPECT_EQ(owner_code("NEWP") + vehicle_column("NEWP", "Color"), "S13");
    EXPECT_EQ(cell("select Name as v from tabcustomerinfo where Code = 'S1'"), "旧名");
}

TEST_F(ImportTest, SingleRowDecisions) {
    row_info_t no_plate = row_of("N", "x", "", "");
    EXPECT_EQ(insert_row(db, no_plate), ret_t(false, kNoPlate));
    row_info_t conflict = row_of("S1", "旧名", "SP3", "5");
    EXPECT_EQ(insert_row(db, conflict), ret_t(false, kCodePlateConflict));
    row_info_t defaulted = row_of("", "无码", "SP1", "1");
    EXPECT_EQ(insert_row(db, defaulted), ret_t(false, kCodePlateConflict));
    EXPECT_EQ(owner_code("SP3") + vehicle_column("SP3", "Color"), "S24");

    row_info_t same = row_of("S2", "乙", "SP3", "4");
    EXPECT_EQ(insert_row(db, same), ret_t(true, 0));
    row_info_t fresh = row_of("", "新'人", "新'P", "3");
    EXPECT_EQ(insert_row(db, fresh), ret_t(true, 0));
    EXPECT_EQ(owner_code("新'P"), "新'P");
    row_info_t moved = row_of("S2", "乙改", "SP1", "5");  // SP1's owner S1 has another code
    EXPECT_EQ(insert_row(db, moved), ret_t(false, kCodePlateConflict));
    row_info_t unknown_code = row_of("NEW", "x", "SP1", "1");  // SP1 belongs to S1
    EXPECT_EQ(insert_row(db, unknown_code), ret_t(false, kCodePlateConflict));
    // A vehicle whose owner is gone goes to the row's new customer.
    exec("INSERT INTO tabvehicleinfo (PlateID, CustomerID) VALUES ('ORPHAN', 999)");
    row_info_t adopter = row_of("AD", "收养", "ORPHAN", "2");
    EXPECT_EQ(insert_row(db, adopter), ret_t(true, 0));
    EXPECT_EQ(owner_code("ORPHAN"), "AD");
    row_info_t recoloured = row_of("S1", "旧名", "SP1", "5");
    EXPECT_EQ(insert_row(db, recoloured), ret_t(true, 0));
    EXPECT_EQ(vehicle_column("SP1", "Color"), "5");
}

TEST_F(ImportTest, LongBatchesAreSentWhole) {
    std::vector<row_info_t> rows;
    const tstring padding(120, 'x');
    for (int i = 0; i < 300; ++i) {
        const tstring n = std::to_string(i);
        rows.push_back(row_of("L" + n, "长名" + padding + n, "长P" + n, "1"));
    }
    std::vector<insert_result_t> results;
    ASSERT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    EXPECT_EQ(std::count_if(results.begin(), results.end(), [](auto& r) { return r.ok; }), 300);
    EXPECT_EQ(rows_of("tabvehicleinfo"), 304);
}

TEST_F(ImportTest, EmptyBatchSendsNothing) {
    svc.pause();
    std::vector<row_info_t> rows;
    std::vector<insert_result_t> results(3);
    EXPECT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(upsert_batch(db, rows, {}, results, true, true), ret_t(false, 0));
    svc.resume();
}

TEST_F(ImportTest, StepTimerPrintsOneLinePerStep) {
    std::ostringstream out;
    StepTimer::set_output(&out);
    row_info_t fresh = row_of("T1", "计时", "TP1", "");
    EXPECT_EQ(insert_row(db, fresh), ret_t(true, 0));
    StepTimer::set_output(nullptr);
    const std::regex lines(
        "find_plateID==\\d+ ms\n\rfind_customer_by_code==\\d+ ms\n\r"
        "insert_customerinfo==\\d+ ms\n\rinsert_vehicleinfo==\\d+ ms\n\r");
    EXPECT_TRUE(std::regex_match(out.str(), lines)) << out.str();
}

}  // namespace

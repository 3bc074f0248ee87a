#include <regex>
#include <sstream>

#include "tests/store/store_fixture.h"
#include "tests/support/case_printing.h"

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
        row_of("N2", "无车", "", "1"),         // no plate: the customer alone
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
                                                          {true, 0},
                                                          {false, kCodePlateConflict},
                                                          {false, kNothingToImport},
                                                          {true, 0},
                                                          {false, kCodePlateConflict},
                                                          {true, 0},
                                                          {true, 0}}));
    EXPECT_EQ(owner_code("新P1") + owner_code("新P2"), "N'1N'1");
    EXPECT_EQ(owner_code("无码P"), "无码P");
    EXPECT_EQ(cell("select count(*) as v from tabcustomerinfo c join tabvehicleinfo v using "
                   "(CustomerID) where c.Code = 'N2'"),
              "0");
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

// A row is stored whole or not at all: a refused customer update keeps its vehicle out, a
// refused vehicle keeps its new customer out, and the codes say which write was refused.
TEST_F(ImportTest, ARefusedWriteStoresNothingOfItsRow) {
    exec(
        "CREATE TRIGGER refuse_customer BEFORE UPDATE ON tabcustomerinfo WHEN new.Name = 'FAIL' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    exec(
        "CREATE TRIGGER refuse_vehicle BEFORE INSERT ON tabvehicleinfo WHEN new.Color = 'FAIL' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    std::vector<row_info_t> rows = {row_of("S1", "FAIL", "NEWP", "3"),
                                    row_of("NB", "新", "BADP", "FAIL"),
                                    row_of("S2", "乙", "BADP2", "FAIL"),
                                    row_of("N5", "好", "GOODP", "1")};
    std::vector<insert_result_t> results;
    ASSERT_EQ(insert_multi_rows(db, rows, results), ret_t(true, 0));
    std::vector<std::pair<bool, int32_t>> got;
    for (const insert_result_t& r : results) got.emplace_back(r.ok, r.code);
    EXPECT_EQ(got, (std::vector<std::pair<bool, int32_t>>{{false, kCustomerUpdateFailed},
                                                          {false, kVehicleInsertFailed},
                                                          {false, kVehicleInsertFailed},
                                                          {true, 0}}));
    EXPECT_EQ(rows_of("tabvehicleinfo"), 5);
    EXPECT_EQ(cell("select count(*) as v from tabcustomerinfo where Code = 'NB'"), "0");
    EXPECT_EQ(cell("select Name as v from tabcustomerinfo where Code = 'S1'"), "旧名");
    EXPECT_EQ(owner_code("GOODP"), "N5");
}

TEST_F(ImportTest, SingleRowDecisions) {
    row_info_t no_plate = row_of("", "x", "", "");
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
        "insert_customerinfo==\\d+ ms\n\r");
    EXPECT_TRUE(std::regex_match(out.str(), lines)) << out.str();
}

// The reference: every row imported alone with insert_row, one after the other; a row whose
// customer and vehicle are stored exactly so reports that nothing changed. The batched import
// must equal it in every row's result, in what it leaves in the rows and in the stored data.
class RowByRow {
public:
    RowByRow(DbConnection& db, std::vector<row_info_t>& rows, std::vector<insert_result_t>& results)
        : db(db), rows(rows), results(results) {}

    ret_t run() {
        results.clear();
        for (row_info_t& row : rows) {
            const bool unchanged = stored_exactly(row);
            const ret_t imported = insert_row(db, row);
            if (!imported.ok) {
                results.push_back({false, imported.code});
            } else {
                results.push_back(unchanged ? insert_result_t{false, kNothingToImport}
                                            : insert_result_t{true, 0});
            }
        }
        return ret_t(true, 0);
    }

private:
    bool stored_exactly(row_info_t row) {
        row_facts_t facts;
        look_up_row(db, row, facts);
        const customer_decision_t decision = decide_customer(row, facts);
        if (decision.kind != customer_decision_t::Exists) return false;
        if (!match_customerinfo(db, row.customer).ok) return false;
        if (row.vehicle.values["PlateID"].empty()) return true;
        if (!decision.plate_stored) return false;
        row.vehicle.CustomerID = row.customer.CustomerID;
        stamp_owner(row.vehicle);
        return match_vehicleinfo(db, row.vehicle).ok;
    }

    DbConnection& db;
    std::vector<row_info_t>& rows;
    std::vector<insert_result_t>& results;
};

struct BatchCase {
    const char* name;
    std::vector<row_info_t> rows;
    const char* before = "";  // run on both services first
    size_t batch = 0;         // rows per insert_multi_rows call; 0: all in one
};
void PrintTo(const BatchCase& c, std::ostream* out) {
    *out << c.name;
}

// The same stored data on two services: one imports row by row, the other in batches.
class BatchEqualsRowByRow : public ::testing::TestWithParam<BatchCase> {
protected:
    void SetUp() override {
        StepTimer::set_output(nullptr);
        open(reference, reference_svc);
        open(batched, batched_svc);
    }
    void open(DbConnection& db, testsupport::TestService& svc) {
        ASSERT_TRUE(db.open(svc.endpoint(), svc.user(), svc.password()).ok) << svc.log();
        DataTypeDictionary::data_info_map info;
        ASSERT_TRUE(load_data_type_info(db, info).ok);
        DataTypeDictionary::data_value_map values;
        ASSERT_TRUE(load_common_data(db, values).ok);
        for (const char* sql :
             {"INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) VALUES (1, 'S1', "
              "'旧名', '139'), (2, 'S2', '乙', NULL), (3, NULL, '无码', NULL), (4, 'SP5', "
              "'以牌为码', "
              "NULL)",
              "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color) VALUES ('SP1', 1, '1'), "
              "('SP2', 1, '2'), ('SP3', 2, '4'), ('SP4', 2, '1'), ('NC1', 3, '1'), ('ORPHAN', 999, "
              "'2')",
              GetParam().before}) {
            if (*sql) {
                ASSERT_TRUE(db.execute(sql).ok) << sql;
            }
        }
    }
    static tstring dump(DbConnection& db) {
        tstring text;
        for (const char* sql : {"select * from tabcustomerinfo order by CustomerID",
                                "select * from tabvehicleinfo order by PlateID"}) {
            std::unique_ptr<NetSqliteResultSet> result;
            EXPECT_TRUE(db.query(sql, result).ok);
            while (result && result->Next()) {
                for (const char* column :
                     {"CustomerID", "Code", "Name", "Phone", "PlateID", "Color"})
                    text += result->GetString(column) + "|";
                text += "\n";
            }
        }
        return text;
    }
    testsupport::TestService reference_svc, batched_svc;
    DbConnection reference, batched;
};

tstring described(const std::vector<row_info_t>& rows,
                  const std::vector<insert_result_t>& results) {
    std::ostringstream out;
    for (size_t i = 0; i < rows.size(); ++i) {
        out << i << ": " << results[i].ok << "," << results[i].code << " ids "
            << rows[i].customer.CustomerID << "/" << rows[i].vehicle.CustomerID;
        for (const auto& [column, text] : rows[i].customer.values)
            out << " " << column << "=" << text;
        for (const auto& [column, text] : rows[i].vehicle.values)
            out << " " << column << "=" << text;
        out << "\n";
    }
    return out.str();
}

TEST_P(BatchEqualsRowByRow, EveryRowGetsTheSameResult) {
    std::vector<row_info_t> rows_one = GetParam().rows;
    std::vector<row_info_t> rows_two = GetParam().rows;
    std::vector<insert_result_t> expected, got;
    ASSERT_EQ(RowByRow(reference, rows_one, expected).run(), ret_t(true, 0));
    const size_t batch = GetParam().batch ? GetParam().batch : rows_two.size();
    for (size_t first = 0; first < rows_two.size(); first += batch) {
        std::vector<row_info_t> part(rows_two.begin() + first,
                                     rows_two.begin() + std::min(rows_two.size(), first + batch));
        std::vector<insert_result_t> results;
        ASSERT_TRUE(insert_multi_rows(batched, part, results).ok);
        std::copy(part.begin(), part.end(), rows_two.begin() + first);
        got.insert(got.end(), results.begin(), results.end());
    }
    EXPECT_EQ(described(rows_two, got), described(rows_one, expected));
    EXPECT_EQ(dump(batched), dump(reference));
}

std::vector<row_info_t> operator+(std::vector<row_info_t> a, const std::vector<row_info_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<row_info_t> kNew = {row_of("N1", "新", "NP1", "3")};
const std::vector<row_info_t> kChanged = {row_of("S1", "新名", "SP1", "5")};
const std::vector<row_info_t> kUnchanged = {row_of("S2", "乙", "SP3", "4"),
                                            row_of("S2", "乙", "SP4", "2")};
const std::vector<row_info_t> kOtherOwnersPlate = {row_of("S1", "旧名", "SP3", "4"),
                                                   row_of("NEW", "x", "SP1", "1"),
                                                   row_of("NC", "y", "NC1", "1")};
const std::vector<row_info_t> kMissingCode = {
    row_of("", "无码", "SP2", "2"), row_of("", "全新", "FREE1", "1"),
    row_of("", "以牌为码", "SP5", "3"), row_of("", "z", "NC1", "")};
// A row without a plate stores its customer alone, leaving that customer's vehicles as they
// are; without a code as well it is refused.
const std::vector<row_info_t> kMissingPlate = {
    row_of("N2", "无车", "", "1"),    row_of("", "", "", ""),     row_of("", "z", "", "1"),
    row_of("S1", "只改客户", "", ""), row_of("S2", "乙", "", ""), row_of("N2", "无车", "", "2"),
    row_of("N2", "无车", "NP9", "1")};
const std::vector<row_info_t> kDuplicatePlates = {
    row_of("A1", "a", "DUP", "1"), row_of("A2", "b", "DUP", "2"), row_of("S1", "旧名", "DUP", "3")};
const std::vector<row_info_t> kRepeatedRows = {
    row_of("R1", "r", "RP", "1"), row_of("R1", "r", "RP", "1"), row_of("S1", "又改", "SP2", "2"),
    row_of("S1", "又改", "SP2", "2")};
const std::vector<row_info_t> kOrphan = {row_of("AD", "收养", "ORPHAN", "2")};
// One customer on several rows whose customer columns differ: each later row updates it.
const std::vector<row_info_t> kCustomerRowsDiffer = {
    row_of("D1", "甲", "DP1", "1"), row_of("D1", "甲改", "DP2", "2"),
    row_of("S1", "改一", "SP1", "1"), row_of("S1", "改二", "DP3", "3"),
    row_of("D1", "甲改", "DP1", "4")};
const std::vector<row_info_t> kNewPlateTwice = {row_of("N3", "x", "SAME", "1"),
                                                row_of("N4", "y", "SAME", "2")};

// More rows than one query takes, codes and plates repeating across the pieces.
std::vector<row_info_t> many_rows() {
    std::vector<row_info_t> rows;
    for (int k = 0; k < 1200; ++k) {
        rows.push_back(row_of("G" + std::to_string(k % 700), "名" + std::to_string(k % 3),
                              "GP" + std::to_string(k % 900), std::to_string(k % 5)));
    }
    return rows + kChanged + kUnchanged;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchEqualsRowByRow,
    ::testing::Values(
        BatchCase{"new", kNew}, BatchCase{"changed", kChanged}, BatchCase{"unchanged", kUnchanged},
        BatchCase{"plate_of_another_customer", kOtherOwnersPlate},
        BatchCase{"missing_code", kMissingCode}, BatchCase{"missing_plate", kMissingPlate},
        BatchCase{"duplicate_plates", kDuplicatePlates}, BatchCase{"repeated_rows", kRepeatedRows},
        BatchCase{"orphan_vehicle", kOrphan},
        BatchCase{"customer_rows_differ", kCustomerRowsDiffer},
        BatchCase{"customer_rows_differ_across_batches", kCustomerRowsDiffer + kCustomerRowsDiffer,
                  "", 3},
        BatchCase{"new_plate_on_two_customers", kNewPlateTwice},
        BatchCase{"all_at_once", kNew + kChanged + kUnchanged + kOtherOwnersPlate + kMissingCode +
                                     kMissingPlate + kDuplicatePlates + kRepeatedRows + kOrphan +
                                     kCustomerRowsDiffer + kNewPlateTwice},
        BatchCase{"failed_customer_update", kChanged + kRepeatedRows + kNew,
                  "CREATE TRIGGER refuse BEFORE UPDATE ON tabcustomerinfo WHEN new.Name = '又改' "
                  "BEGIN SELECT RAISE(ABORT, 'refused'); END"},
        BatchCase{"failed_vehicle_insert", kNew + kDuplicatePlates,
                  "CREATE TRIGGER refuse BEFORE INSERT ON tabvehicleinfo WHEN new.PlateID = 'DUP' "
                  "BEGIN SELECT RAISE(ABORT, 'refused'); END"},
        BatchCase{"across_query_pieces", many_rows()}),
    testcases::kCaseName);

}  // namespace

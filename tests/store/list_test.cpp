#include <set>

#include "tests/store/stalling_proxy.h"
#include "tests/store/store_fixture.h"
#include "tests/support/case_printing.h"

namespace {

TEST_F(StoreTest, LoginChecksUserAndPasswordVerbatim) {
    EXPECT_EQ(login_user(db, "admin", "admin123"), ret_t(true, 0));
    EXPECT_EQ(login_user(db, "admin", "wrong"), ret_t(false, 0));
    EXPECT_EQ(login_user(db, "admin", "' or '1'='1"), ret_t(false, 0));
    EXPECT_EQ(login_user(db, "admin' --", "x"), ret_t(false, 0));
    exec("INSERT INTO userInfo (userName, pass) VALUES ('值班''员', '密码%')");
    EXPECT_EQ(login_user(db, "值班'员", "密码%"), ret_t(true, 0));
}

class ListTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        a = add_customer("A", "张三");
        add_vehicle(a, "京A001", "4");  // 红色
        add_vehicle(a, "京A002", "13");
        b = add_customer("B", "O'Brien");
        c = add_customer("C", "100%_off");
        add_vehicle(c, "沪B777", "1");
        d = add_customer("D", "a\\b 誣");
    }
    int32_t count(const std::vector<search_constraint_t>& constraints) {
        int32_t n = -1;
        EXPECT_TRUE(count_rows(db, constraints, n).ok);
        return n;
    }
    std::vector<tstring> plates(const sort_type_t& sort, int page, int size,
                                const std::vector<search_constraint_t>& constraints = {}) {
        std::vector<row_info_t> rows;
        load_rows_page(db, sort, constraints, page, size, rows);
        std::vector<tstring> out;
        for (const row_info_t& row : rows) out.push_back(row.vehicle.values.at("PlateID"));
        return out;
    }
    int32_t a = -1, b = -1, c = -1, d = -1;
};

TEST_F(ListTest, CountsAndPagesEveryCustomerVehiclePair) {
    EXPECT_EQ(count({}), 5);  // a customer without vehicles is one row
    EXPECT_EQ(plates({1, "PlateID"}, 0, 3), (std::vector<tstring>{"", "", "京A001"}));
    EXPECT_EQ(plates({0, "PlateID"}, 1, 3), (std::vector<tstring>{"", ""}));
    std::vector<row_info_t> rows;
    EXPECT_EQ(load_rows_page(db, {1, ""}, {}, 2, 3, rows), ret_t(false, 0));
    EXPECT_TRUE(rows.empty());

    ASSERT_EQ(load_rows_page(db, {1, "Name"}, {}, 0, 1, rows), ret_t(true, 0));
    EXPECT_EQ(rows[0].customer.CustomerID, c);
    EXPECT_EQ(rows[0].customer.values.at("Name"), "100%_off");
    EXPECT_EQ(rows[0].vehicle.values.at("Color"), "1");
    EXPECT_EQ(rows[0].vehicle.CustomerID, -1);
    EXPECT_EQ(rows[0].customer.values.count("ParkingSpaces"), 0u);  // not shown
}

TEST_F(ListTest, SearchMatchesAnyConstraint) {
    EXPECT_EQ(count({{"Name", "张"}, {"PlateID", "沪"}}), 3);
    EXPECT_EQ(count({{"Name", "O'B"}}), 1);
    EXPECT_EQ(count({{"Name", "0%_"}}), 1);
    // Typed text is matched as it stands: no wildcards.
    EXPECT_EQ(count({{"Name", "_"}}), 1);
    EXPECT_EQ(count({{"Name", "%"}}), 1);
    EXPECT_EQ(count({{"Name", "0_o"}}), 0);
    EXPECT_EQ(count({{"Name", "\\"}}), 1);
    EXPECT_EQ(count({{"Name", "誣"}}), 1);  // its trail byte is "_" in GBK
    EXPECT_EQ(count({{"CustomerID", std::to_string(b)}}), 1);
    EXPECT_EQ(count({{"Name", "x' or '1'='1"}}), 0);
    // Lookup values: "红色" is 4; "白色" is 1, whose pattern also matches the stored 13.
    EXPECT_EQ(count({{"Color", "红"}}), 1);
    EXPECT_EQ(count({{"Color", "白"}}), 2);
    EXPECT_EQ(count({{"Color", "紫"}}), 5);  // no value contains it: no term at all
    EXPECT_EQ(plates({1, "PlateID"}, 0, 20, {{"Color", "白"}}),
              (std::vector<tstring>{"京A002", "沪B777"}));
}

TEST_F(ListTest, ShownColumnChangesApplyToTheNextPage) {
    data_type_info_t spaces = db.dictionary().data_info().at("ParkingSpaces");
    spaces.ShowList = 1;
    ASSERT_TRUE(update_data_type_info(db, spaces).ok);
    std::vector<row_info_t> rows;
    ASSERT_TRUE(load_rows_page(db, {1, ""}, {}, 0, 1, rows).ok);
    EXPECT_EQ(rows[0].customer.values.count("ParkingSpaces"), 1u);
}

struct PagingCase : testcases::NamedCase {
    sort_type_t sort;
    int32_t page_size;
};

// Many rows tie on the sort column: 2,000 vehicles of four customers in five colours, and two
// customers without vehicles. Paging must still give every row once, in the chosen order.
class PagingTest : public StoreTest, public ::testing::WithParamInterface<PagingCase> {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        for (const char* code : {"V0", "V1", "V2", "V3", "E0", "E1"}) add_customer(code, code);
        exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1999) "
             "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color) "
             "SELECT 'P' || printf('%04d', i), (SELECT CustomerID FROM tabcustomerinfo "
             "WHERE Code = 'V' || (i * 7 % 4)), i * 3 % 5 + 1 FROM n");
    }
    std::vector<row_info_t> every_page(const sort_type_t& sort, int32_t page_size) {
        std::vector<row_info_t> rows;
        for (int32_t page = 0; load_rows_page(db, sort, {}, page, page_size, rows).ok; ++page) {
        }
        return rows;
    }
    // The sort column as SQLite orders it: a customer without vehicles has no colour, first.
    static std::pair<int32_t, tstring> sort_key(const row_info_t& row, const tstring& column) {
        if (column.empty()) return {row.customer.CustomerID, ""};
        return {0, row.vehicle.values.at(column)};
    }
};

TEST_P(PagingTest, GivesEveryRowOnceInOrder) {
    const auto& [order, column] = GetParam().sort;
    const std::vector<row_info_t> rows = every_page(GetParam().sort, GetParam().page_size);
    int32_t total = 0;
    ASSERT_TRUE(count_rows(db, {}, total).ok);
    EXPECT_EQ(total, 2002);
    EXPECT_EQ(rows.size(), static_cast<size_t>(total));
    std::set<std::pair<int32_t, tstring>> seen;
    for (const row_info_t& row : rows) {
        const tstring plate = row.vehicle.values.at("PlateID");
        EXPECT_TRUE(seen.insert({row.customer.CustomerID, plate}).second)
            << "repeated: " << row.customer.CustomerID << " " << plate;
    }
    const bool descending = !column.empty() && order != 1;
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto before = sort_key(rows[i - 1], column), after = sort_key(rows[i], column);
        ASSERT_TRUE(descending ? before >= after : before <= after) << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    TiedRows, PagingTest,
    ::testing::Values(PagingCase{{"ColorAscBy100"}, {1, "Color"}, 100},
                      PagingCase{{"ColorAscBy500"}, {1, "Color"}, 500},
                      PagingCase{{"ColorDescBy100"}, {0, "Color"}, 100},
                      PagingCase{{"ColorDescBy500"}, {0, "Color"}, 500},
                      PagingCase{{"DefaultBy100"}, {1, ""}, 100},
                      PagingCase{{"DefaultBy500"}, {0, ""}, 500}),
    testcases::kCaseName);

// The page statement as sent, explained: the default order follows the index on the vehicles'
// CustomerID rather than sorting the whole list.
TEST_F(StoreTest, DefaultOrderNeedsNoSort) {
    StallingProxy recorder(svc);
    connect(recorder.endpoint());
    recorder.take_requests();
    std::vector<row_info_t> rows;
    load_rows_page(db, {1, ""}, {}, 0, 20, rows);
    const std::vector<std::string> requests = recorder.take_requests();
    ASSERT_EQ(requests.size(), 1u);
    std::unique_ptr<NetSqliteResultSet> plan;
    ASSERT_TRUE(db.query("EXPLAIN QUERY PLAN " + requests[0].substr(requests[0].find(':') + 1),
                         plan)
                    .ok);
    int steps = 0;
    for (; plan->Next(); ++steps) {
        tstring detail;
        DbGetText("detail", detail, *plan);
        EXPECT_EQ(detail.find("B-TREE"), tstring::npos) << detail;
    }
    EXPECT_EQ(steps, 2);  // the customers, then each one's vehicles
}

}  // namespace

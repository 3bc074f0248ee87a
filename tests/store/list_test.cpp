#include "tests/store/store_fixture.h"

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

}  // namespace

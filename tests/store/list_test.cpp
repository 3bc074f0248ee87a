#include <map>
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
    // 沪 (hu) before 京 (jing)
    EXPECT_EQ(plates({1, "PlateID"}, 0, 3), (std::vector<tstring>{"", "", "沪B777"}));
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
              (std::vector<tstring>{"沪B777", "京A002"}));
}

TEST_F(ListTest, ShownColumnChangesApplyToTheNextPage) {
    data_type_info_t spaces = db.dictionary().data_info().at("ParkingSpaces");
    spaces.ShowList = 1;
    ASSERT_TRUE(update_data_type_info(db, spaces).ok);
    std::vector<row_info_t> rows;
    ASSERT_TRUE(load_rows_page(db, {1, ""}, {}, 0, 1, rows).ok);
    EXPECT_EQ(rows[0].customer.values.count("ParkingSpaces"), 1u);
}

// The search through the service's search text against the statement that reads every row with
// LIKE: the same rows, for texts with wildcards, quotes, Chinese, letters of either case
// (full-width ones never fold), of one to five characters, before and after rows change, move
// between customers or blocks of customers, or take the rowid 0, and ids that hold the text.
TEST_F(StoreTest, SearchTextFindsWhatLikeFinds) {
    const std::vector<std::pair<tstring, tstring>> people{
        {"张三丰", "13800001234"}, {"O'Brien", "x\"y"}, {"100%_off", "a_b%c"}, {"a\\b 誣", ""},
        {"Hello World", "HELLO"},  {"ＡＢＣ全角", "ａｂｃ"}, {"三丰", "12"}};
    std::vector<int> ids;
    for (size_t i = 0; i < people.size(); ++i) {
        ids.push_back(add_customer("K" + std::to_string(i), people[i].first, people[i].second));
        if (i % 2 == 0) add_vehicle(ids[i], "京A0" + std::to_string(i) + (i % 4 ? "x" : "X"), "4");
    }
    auto check_all = [&] {
        for (const char* text : {"张", "三丰", "张三丰", "o'b", "O'BR", "0%_", "%", "_", "a\\b",
                                 "誣", "hello", "LLO W", "ａｂｃ", "ＡＢＣ", "京a0", "京A0",
                                 "\"y", "x\"", "138", "a_b%", "12", "ien", "红色", "京",
                                 "零号"}) {
            SCOPED_TRACE(text);
            std::vector<search_constraint_t> search;
            for (const data_type_info_t* column : db.dictionary().shown_columns())
                search.push_back({column->DataType, text});
            const tstring from =
                " from tabcustomerinfo LEFT JOIN tabvehicleinfo on tabcustomerinfo.CustomerID = "
                "tabvehicleinfo.CustomerID" + search_condition(db, search);
            int32_t n = -1;
            ASSERT_TRUE(count_rows(db, search, n).ok);
            EXPECT_EQ(std::to_string(n), cell("select count(*) as v" + from));
            std::vector<row_info_t> rows;
            load_rows_page(db, {1, ""}, search, 0, 100, rows);
            tstring found;
            for (const row_info_t& row : rows)
                found += (found.empty() ? "" : " ") + std::to_string(row.customer.CustomerID) +
                         "/" + row.vehicle.values.at("PlateID");
            EXPECT_EQ(found, cell("select ifnull(group_concat(k, ' '), '') as v from (select "
                                  "tabcustomerinfo.CustomerID || '/' || "
                                  "ifnull(tabvehicleinfo.PlateID, '') as k" + from +
                                  " order by tabcustomerinfo.CustomerID, tabvehicleinfo.rowid)"));
        }
    };
    check_all();
    exec("UPDATE tabcustomerinfo SET Name = '张三' WHERE Code = 'K0'");
    exec("DELETE FROM tabvehicleinfo WHERE PlateID = '京A02x'");
    exec("UPDATE tabvehicleinfo SET CustomerID = " + std::to_string(ids[1]) +
         " WHERE PlateID = '京A04X'");
    exec("INSERT INTO tabvehicleinfo (rowid, PlateID, CustomerID) VALUES (0, '零号', " +
         std::to_string(ids[3]) + ")");
    add_vehicle(ids[3], "京B9", "1");
    add_vehicle(ids[5], "零号2", "1");
    exec("DELETE FROM tabcustomerinfo WHERE Code = 'K6'");
    add_customer("K9", "新张三丰", "0138");
    check_all();
    exec("DELETE FROM tabvehicleinfo WHERE rowid = 0");
    check_all();
    exec("UPDATE tabcustomerinfo SET CustomerID = 138 WHERE Code = 'K5'");
    exec("INSERT INTO tabcustomerinfo (CustomerID, Code, Name) VALUES (-12, 'Kneg', '张')");
    exec("UPDATE tabvehicleinfo SET CustomerID = -12 WHERE PlateID = '京B9'");
    exec("DELETE FROM tabcustomerinfo WHERE Code = 'K4'");
    check_all();
}

// The walk of an export: each page read from the last row of the one before. Deleting a row
// already read must not make it skip one, as reading by offset does.
TEST_F(ListTest, WalkByKeyMissesNoRowWhenReadRowsAreDeleted) {
    std::vector<row_info_t> rows, page;
    ASSERT_TRUE(load_rows_page(db, {1, ""}, {}, 0, 2, page).ok);
    exec("DELETE FROM tabvehicleinfo WHERE PlateID = '京A001'");
    while (!page.empty()) {
        rows.insert(rows.end(), page.begin(), page.end());
        const page_step_t next{1, page.back().list_key, 0};
        page.clear();
        load_rows_beside(db, {1, ""}, {}, next, 2, page);
    }
    std::vector<int32_t> customers;
    for (const row_info_t& row : rows) customers.push_back(row.customer.CustomerID);
    EXPECT_EQ(customers, (std::vector<int32_t>{a, a, b, c, d}));
    page_step_t forged{1, "1) OR (1=1", 0};
    EXPECT_EQ(load_rows_beside(db, {1, ""}, {}, forged, 2, page), ret_t(false, 0));
}

// Chinese by pinyin, before Latin letters (ICU's order for Chinese), letters whatever their
// case; a lookup column by the text it
// shows (a ValueID without a value shows nothing, as a customer without vehicles does).
TEST_F(StoreTest, SortsTextByPinyinAndLookupsByTheirText) {
    std::map<tstring, int> id;
    for (const char* name : {"于洁", "何军", "傅雷", "Bob", "alice"}) id[name] = add_customer(name, name);
    add_vehicle(id["于洁"], "P1", "13");
    add_vehicle(id["何军"], "P2", "4");  // 红色
    add_vehicle(id["傅雷"], "P3", "1");  // 白色
    auto sorted = [&](const tstring& column, int category, const tstring& shown) {
        std::vector<row_info_t> rows;
        load_rows_page(db, {1, column}, {}, 0, 20, rows);
        std::vector<tstring> out;
        for (const row_info_t& row : rows)
            out.push_back((category == 0 ? row.customer.values : row.vehicle.values).at(shown));
        return out;
    };
    EXPECT_EQ(sorted("Name", 0, "Name"),
              (std::vector<tstring>{"傅雷", "何军", "于洁", "alice", "Bob"}));
    EXPECT_EQ(sorted("Color", 1, "PlateID"), (std::vector<tstring>{"P1", "", "", "P3", "P2"}));
}

struct PagingCase : testcases::NamedCase {
    sort_type_t sort;
    int32_t page_size;
    std::vector<search_constraint_t> search;
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
    std::vector<row_info_t> every_page(const PagingCase& c) {
        std::vector<row_info_t> rows;
        for (int32_t page = 0; load_rows_page(db, c.sort, c.search, page, c.page_size, rows).ok;
             ++page) {
        }
        return rows;
    }
    // Forward from the first page, or backward from the last, each page from its neighbour.
    std::vector<row_info_t> walk_by_key(const PagingCase& c, int32_t direction, int32_t total) {
        std::vector<row_info_t> rows, page;
        page_step_t step{direction, "", total % c.page_size};
        bool ok = direction > 0 ? load_rows_page(db, c.sort, c.search, 0, c.page_size, page).ok
                                : load_rows_beside(db, c.sort, c.search, step, c.page_size, page).ok;
        while (ok) {
            rows.insert(direction > 0 ? rows.end() : rows.begin(), page.begin(), page.end());
            step.anchor = direction > 0 ? page.back().list_key : page.front().list_key;
            page.clear();
            ok = load_rows_beside(db, c.sort, c.search, step, c.page_size, page).ok;
        }
        return rows;
    }
    static std::vector<std::pair<int32_t, tstring>> identities(const std::vector<row_info_t>& rows) {
        std::vector<std::pair<int32_t, tstring>> out;
        for (const row_info_t& row : rows)
            out.emplace_back(row.customer.CustomerID, row.vehicle.values.at("PlateID"));
        return out;
    }
    // The sort column as the list orders it: colours by their text (白 黑 红 蓝 银 for the
    // ValueIDs 1 2 4 5 3); a customer without vehicles has none and comes first.
    static std::pair<int32_t, tstring> sort_key(const row_info_t& row, const tstring& column) {
        if (column.empty()) return {row.customer.CustomerID, ""};
        static const std::map<tstring, tstring> kTextOrder{
            {"", "0"}, {"1", "1"}, {"2", "2"}, {"4", "3"}, {"5", "4"}, {"3", "5"}};
        return {0, kTextOrder.at(row.vehicle.values.at(column))};
    }
};

TEST_P(PagingTest, GivesEveryRowOnceInOrder) {
    const auto& [order, column] = GetParam().sort;
    const std::vector<row_info_t> rows = every_page(GetParam());
    int32_t total = 0;
    ASSERT_TRUE(count_rows(db, GetParam().search, total).ok);
    EXPECT_EQ(total, GetParam().search.empty() ? 2002 : 100);
    EXPECT_EQ(rows.size(), static_cast<size_t>(total));
    EXPECT_EQ(identities(walk_by_key(GetParam(), 1, total)), identities(rows));
    EXPECT_EQ(identities(walk_by_key(GetParam(), -1, total)), identities(rows));
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
    ::testing::Values(PagingCase{{"ColorAscBy100"}, {1, "Color"}, 100, {}},
                      PagingCase{{"ColorAscBy500"}, {1, "Color"}, 500, {}},
                      PagingCase{{"ColorDescBy100"}, {0, "Color"}, 100, {}},
                      PagingCase{{"ColorDescBy500"}, {0, "Color"}, 500, {}},
                      PagingCase{{"DefaultBy100"}, {1, ""}, 100, {}},
                      PagingCase{{"DefaultBy500"}, {0, ""}, 500, {}},
                      PagingCase{{"ColorDescFound"}, {0, "Color"}, 30, {{"PlateID", "P00"}}},
                      PagingCase{{"DefaultFound"}, {1, ""}, 7, {{"PlateID", "P01"}}},
                      // a one-character text as well: read from the search text
                      PagingCase{{"ColorDescFoundByText"}, {0, "Color"}, 30,
                                 {{"PlateID", "P00"}, {"Code", "x"}}},
                      PagingCase{{"DefaultFoundByText"}, {1, ""}, 7,
                                 {{"PlateID", "P01"}, {"Code", "x"}}}),
    testcases::kCaseName);

// The page statement as sent, explained: the default order follows the index on the vehicles'
// CustomerID, or the search text's key when a short text is searched, rather than sorting the
// whole list.
TEST_F(StoreTest, DefaultOrderNeedsNoSort) {
    StallingProxy recorder(svc);
    connect(recorder.endpoint());
    for (const auto& [search, tables] :
         {std::pair<std::vector<search_constraint_t>, int>{{}, 2}, {{{"Name", "x"}}, 3}}) {
        recorder.take_requests();
        std::vector<row_info_t> rows;
        load_rows_page(db, {1, ""}, search, 0, 20, rows);
        const std::vector<std::string> requests = recorder.take_requests();
        ASSERT_EQ(requests.size(), 1u);
        std::unique_ptr<NetSqliteResultSet> plan;
        ASSERT_TRUE(
            db.query("EXPLAIN QUERY PLAN " + requests[0].substr(requests[0].find(':') + 1), plan)
                .ok);
        int steps = 0;
        for (; plan->Next(); ++steps) {
            tstring detail;
            DbGetText("detail", detail, *plan);
            EXPECT_EQ(detail.find("B-TREE"), tstring::npos) << detail;
        }
        EXPECT_EQ(steps, tables);  // one step for each table read
    }
}

}  // namespace

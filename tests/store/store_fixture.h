#pragma once

#include <gtest/gtest.h>

#include "store/sql_text.h"
#include "store/step_timer.h"
#include "store/store.h"
#include "tests/support/test_service.h"

// A connection to a fresh seeded service with the data types and lookup values loaded.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        StepTimer::set_output(nullptr);
        connect(svc.endpoint());
    }

    void connect(const tstring& endpoint) {
        ASSERT_TRUE(db.open(endpoint, svc.user(), svc.password()).ok) << svc.log();
        reload_data_types();
    }

    void reload_data_types() {
        DataTypeDictionary::data_info_map info;
        ASSERT_TRUE(load_data_type_info(db, info).ok);
        DataTypeDictionary::data_value_map values;
        ASSERT_TRUE(load_common_data(db, values).ok);
    }

    void exec(const tstring& sql) { ASSERT_TRUE(db.execute(sql).ok) << sql; }

    // The first row's cell of `column`, or "<none>" when no row came back.
    tstring cell(const tstring& sql, const tstring& column = "v") {
        std::unique_ptr<NetSqliteResultSet> result;
        if (!db.query(sql, result).ok || !result->Next()) return "<none>";
        tstring text;
        DbGetText(column, text, *result);
        return text;
    }
    int rows_of(const tstring& table) {
        return std::stoi(cell("select count(*) as v from " + table));
    }
    tstring vehicle_column(const tstring& plate, const tstring& column) {
        return cell("select " + column +
                    " as v from tabvehicleinfo where PlateID = " + sql::literal(plate));
    }

    int add_customer(const tstring& code, const tstring& name, const tstring& phone = "") {
        customer_info_t customer;
        customer.values = {{"Code", code}, {"Name", name}, {"Phone", phone}};
        EXPECT_TRUE(insert_customerinfo(db, customer).ok) << code;
        return customer.CustomerID;
    }
    void add_vehicle(int owner, const tstring& plate, const tstring& color = "") {
        vehicle_info_t vehicle;
        vehicle.CustomerID = owner;
        vehicle.values = {{"PlateID", plate}, {"Color", color}};
        EXPECT_TRUE(insert_vehicle(db, vehicle).ok) << plate;
    }

    testsupport::TestService svc;
    DbConnection db;
};

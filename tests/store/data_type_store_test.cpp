#include "tests/store/store_fixture.h"

namespace {

std::vector<tstring> listed(const DataTypeDictionary::column_list& list) {
    std::vector<tstring> out;
    for (const data_type_info_t* info : list) out.push_back(info->DataType);
    return out;
}

TEST_F(StoreTest, LoadedDataTypesFillDictionaryAndCategories) {
    const DataTypeDictionary& d = db.dictionary();
    EXPECT_EQ(
        listed(d.all_columns()),
        (std::vector<tstring>{"Code", "Name", "Phone", "ParkingSpaces", "RegisterTime", "PlateID",
                              "Color", "ValidFrom", "ValidUntil", "Allowed", "AccessPeriod"}));
    const data_type_info_t& color = d.data_info().at("Color");
    EXPECT_EQ(color.DataTypeName, "车辆颜色");
    EXPECT_EQ(color.Type, kTypeLookup);
    EXPECT_EQ(color.DefaultNull, 1);
    EXPECT_EQ(d.data_info().at("RegisterTime").ReadOnly, 1);
    EXPECT_EQ(db.category_of("PlateID"), kCategoryVehicle);
    EXPECT_EQ(d.data_map().at("Color").front(), common_value_t(1, "白色"));
}

TEST_F(StoreTest, DataTypesOfOtherCategoriesNeverReachStatements) {
    exec(
        "INSERT INTO tabdatatypeinfo (ShowIndex, DataType, DataTypeCategory, ShowList) VALUES "
        "(40, 'Elsewhere', 2, 1)");
    reload_data_types();
    EXPECT_EQ(db.dictionary().data_info().count("Elsewhere"), 1u);
    // Neither table has a column "Elsewhere"; the write succeeds because it is left out.
    customer_info_t customer{-1, {{"Code", "X"}, {"Elsewhere", "v"}}};
    EXPECT_EQ(insert_customerinfo(db, customer), ret_t(true, 0));
}

TEST_F(StoreTest, CategoryChangeListsAtOnceButWritesAfterReload) {
    data_type_info_t phone = db.dictionary().data_info().at("Phone");
    phone.DataTypeCategory = kCategoryVehicle;
    phone.DataTypeName = "电话'号码";
    ASSERT_EQ(update_data_type_info(db, phone), ret_t(true, 0));
    EXPECT_EQ(db.dictionary().find("Phone")->DataTypeCategory, kCategoryVehicle);
    EXPECT_EQ(db.category_of("Phone"), kCategoryCustomer);
    EXPECT_EQ(cell("select DataTypeName as v from tabdatatypeinfo where DataType = 'Phone'"),
              "电话'号码");
    reload_data_types();
    EXPECT_EQ(db.category_of("Phone"), kCategoryVehicle);
}

TEST_F(StoreTest, CommonDataWritesKeepDictionaryInStep) {
    EXPECT_EQ(insert_common_data(db, "Color", "枣'红", 9), ret_t(true, 0));
    EXPECT_EQ(update_common_data(db, "Color", "橙色", 2), ret_t(true, 0));
    EXPECT_EQ(delete_common_data(db, "Color", "蓝色", 5), ret_t(true, 0));
    EXPECT_EQ(delete_common_data(db, "Color", "not stored", 3), ret_t(true, 0));
    // (Color, 1) exists: the database refuses it and nothing changes in memory.
    EXPECT_EQ(insert_common_data(db, "Color", "twin", 1), ret_t(false, 0));
    const common_value_list_t expected{
        {1, "白色"}, {2, "橙色"}, {3, "银色"}, {4, "红色"}, {9, "枣'红"}};
    EXPECT_EQ(db.dictionary().data_map().at("Color"), expected);
    DataTypeDictionary::data_value_map loaded;
    ASSERT_TRUE(load_common_data(db, loaded).ok);
    EXPECT_EQ(loaded.at("Color"), expected);
}

// A deleted value leaves no record holding its ValueID, which a later value may take; a value
// renamed meanwhile is not deleted, and its records keep it.
TEST_F(StoreTest, DeletingALookupValueTakesItFromTheRecordsHoldingIt) {
    const int owner = add_customer("K1", "甲");
    add_vehicle(owner, "P1", "5");
    add_vehicle(owner, "P2", "4");
    add_vehicle(owner, "P3", "5");
    int32_t uses = -1;
    EXPECT_EQ(count_common_data_uses(db, "Color", 5, uses), ret_t(true, 0));
    EXPECT_EQ(uses, 2);
    EXPECT_EQ(count_common_data_uses(db, "Name", 5, uses), ret_t(true, 0));
    EXPECT_EQ(uses, 0) << "no record holds a ValueID in a text column";

    EXPECT_EQ(delete_common_data(db, "Color", "天蓝", 5), ret_t(true, 0));
    EXPECT_EQ(vehicle_column("P1", "Color"), "5");
    ASSERT_EQ(delete_common_data(db, "Color", "蓝色", 5), ret_t(true, 0));
    EXPECT_EQ(vehicle_column("P1", "Color"), "");
    EXPECT_EQ(vehicle_column("P3", "Color"), "");
    EXPECT_EQ(vehicle_column("P2", "Color"), "4");
    EXPECT_EQ(count_common_data_uses(db, "Color", 5, uses), ret_t(true, 0));
    EXPECT_EQ(uses, 0);
    EXPECT_EQ(rows_of("tabvehicleinfo"), 3);
}

TEST_F(StoreTest, CommonDataKeepsDatabaseOrder) {
    exec("DELETE FROM tabcommondatainfo");
    exec(
        "INSERT INTO tabcommondatainfo (ValueID, DataType, Value) VALUES (3, 'Size', 'c'), "
        "(1, 'Size', 'a'), (2, 'Size', 'b')");
    DataTypeDictionary::data_value_map loaded;
    ASSERT_TRUE(load_common_data(db, loaded).ok);
    EXPECT_EQ(loaded.at("Size"), (common_value_list_t{{3, "c"}, {1, "a"}, {2, "b"}}));
}

// Every demo lookup value is a Color; removing them all, one by one or in one statement, leaves
// tabcommondatainfo empty, and a reload must then drop them from the caller's map and the
// connection's dictionary alike.
class EmptiedLookupValues : public StoreTest, public ::testing::WithParamInterface<bool> {
protected:
    void DeleteColorsOneByOne() {
        const common_value_list_t values = db.dictionary().data_map().at("Color");
        for (const auto& [value_id, text] : values) {
            ASSERT_TRUE(delete_common_data(db, "Color", text, value_id).ok);
        }
    }
};

TEST_P(EmptiedLookupValues, ReloadForgetsEveryValue) {
    DataTypeDictionary::data_value_map loaded{{"Stale", {{7, "old"}}}};
    GetParam() ? DeleteColorsOneByOne() : exec("DELETE FROM tabcommondatainfo");
    EXPECT_EQ(load_common_data(db, loaded), ret_t(true, 0));
    EXPECT_TRUE(loaded.empty());
    const auto& kept = db.dictionary().data_map();
    EXPECT_TRUE(kept.count("Color") == 0 || kept.at("Color").empty());
    EXPECT_EQ(db.dictionary().all_columns().size(), 11u);
}

INSTANTIATE_TEST_SUITE_P(DeletedOneByOne, EmptiedLookupValues, ::testing::Bool());

}  // namespace

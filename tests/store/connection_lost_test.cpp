#include "tests/store/stalling_proxy.h"
#include "tests/store/store_fixture.h"

namespace {

// The service stops answering in the middle of a composite operation.
class ConnectionLostTest : public StoreTest {
protected:
    void SetUp() override {
        StepTimer::set_output(nullptr);
        proxy = std::make_unique<StallingProxy>(svc);
        connect(proxy->endpoint());
        owner = add_customer("S1", "旧名");
        add_vehicle(owner, "SP1", "1");
        proxy->take_requests();
    }
    // Requests sent during the operation; the last one was never answered.
    std::vector<tstring> requests_after_resume() {
        svc.resume();
        return proxy->take_requests();
    }
    std::unique_ptr<StallingProxy> proxy;
    int32_t owner = -1;
};

TEST_F(ConnectionLostTest, BulkImportStopsAtTheFailingBatch) {
    std::vector<row_info_t> rows(2);
    rows[0].customer.values = {{"Code", "S1"}, {"Name", "新名"}};
    rows[0].vehicle.values = {{"PlateID", "SP1"}, {"Color", "2"}};
    rows[1].customer.values = {{"Code", "N1"}, {"Name", "新"}};
    rows[1].vehicle.values = {{"PlateID", "NP1"}, {"Color", "3"}};
    proxy->pause_service_at("INSERT INTO tabvehicleinfo");
    std::vector<insert_result_t> results;
    EXPECT_EQ(insert_multi_rows(db, rows, results), ret_t(false, kDbConnectionLost));
    // The vehicle update batch was the last request: no re-check, no insert batch followed.
    const auto requests = requests_after_resume();
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(requests.back().find("ON CONFLICT(PlateID)"), tstring::npos) << requests.back();
    EXPECT_TRUE(results[0].ok && results[1].ok);  // customers re-checked before the loss
}

TEST_F(ConnectionLostTest, PlateChangeNeverDeletesWithoutTheInsert) {
    vehicle_info_t changed;
    changed.CustomerID = owner;
    changed.values = {{"PlateID", "NEW"}, {"Color", "1"}};
    changed.stored_plate = "SP1";
    proxy->pause_service_at("INSERT INTO tabvehicleinfo");
    EXPECT_EQ(update_vehicle(db, changed), ret_t(false, kDbConnectionLost));
    const auto requests = requests_after_resume();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().rfind("nonquery:INSERT INTO tabvehicleinfo", 0), 0u)
        << requests.back();
    for (const tstring& request : requests) EXPECT_EQ(request.find("DELETE"), tstring::npos);
}

}  // namespace

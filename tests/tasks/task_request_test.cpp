#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tasks/db_task_caller.h"
#include "tests/tasks/task_test_support.h"

namespace {

using namespace task_keys;
using taskstest::ScratchSettings;

// Keeps every submitted context instead of queuing it.
class CapturingTask : public Async_Task {
public:
    void Submit(TaskContext ctx) override { submitted.push_back(ctx); }
    std::vector<TaskContext> submitted;
};

class Requests : public ::testing::Test {
protected:
    Requests() { caller.Attach(&task); }

    const TaskContext& Last() const { return task.submitted.back(); }

    CapturingTask task;
    db_task_caller caller;
};

struct KeyCheck {
    const char* key;
    std::function<bool(const TaskContext&)> holdsItsType;
};

template <class T>
KeyCheck Has(task_key<T> key) {
    return {key.name, [key](const TaskContext& ctx) { return ctx.Find(key) != nullptr; }};
}

struct RequestCase {
    const char* taskName;
    std::function<void(db_task_caller&)> request;
    std::vector<KeyCheck> keys;
};

class RequestKeys : public Requests, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(RequestKeys, PutsExactlyTheTaskKeysWithTheirTypes) {
    const RequestCase& c = GetParam();
    c.request(caller);
    ASSERT_EQ(task.submitted.size(), 1u);
    const TaskContext& ctx = Last();
    EXPECT_EQ(ctx.Get(task_name), c.taskName);
    EXPECT_EQ(ctx.Get(ret), ret_t(false, 0));
    ASSERT_NE(ctx.Find(callback), nullptr);
    EXPECT_FALSE(ctx.Get(callback).empty());
    for (const KeyCheck& check : c.keys) {
        EXPECT_TRUE(check.holdsItsType(ctx)) << "key " << check.key;
    }
    EXPECT_EQ(ctx.Size(), 3 + c.keys.size());
}

const tstring kText = "x";
const customer_info_t kCustomer;
const vehicle_info_t kVehicle;

INSTANTIATE_TEST_SUITE_P(
    EveryTask, RequestKeys,
    ::testing::Values(
        RequestCase{task_names::kOpenDb,
                    [](db_task_caller& c) { c.RequestOpenDb(); },
                    {Has(url), Has(user), Has(pass), Has(database)}},
        RequestCase{task_names::kLogin,
                    [](db_task_caller& c) { c.RequestLogin(kText, kText); },
                    {Has(user), Has(pass)}},
        RequestCase{task_names::kGetRowCount,
                    [](db_task_caller& c) { c.RequestGetRowCount({}); },
                    {Has(constraints), Has(count)}},
        RequestCase{task_names::kLoadDbRange,
                    [](db_task_caller& c) {
                        c.RequestLoadDbRange(0, 20, {}, {1, kText});
                    },
                    {Has(page_num), Has(page_size), Has(constraints), Has(sortType), Has(rows)}},
        RequestCase{task_names::kDeleteRows,
                    [](db_task_caller& c) { c.RequestDeleteRows({}); },
                    {Has(rows_to_delete)}},
        RequestCase{
            task_names::kDeleteAllRows, [](db_task_caller& c) { c.RequestDeleteAllRows(); }, {}},
        RequestCase{task_names::kMergeRows,
                    [](db_task_caller& c) { c.RequestMergeRows({}, 1); },
                    {Has(plates_to_move), Has(id)}},
        RequestCase{task_names::kLoadCustomerByID,
                    [](db_task_caller& c) { c.RequestLoadCustomerByID(1); },
                    {Has(id), Has(row)}},
        RequestCase{task_names::kLoadCustomerVehicles,
                    [](db_task_caller& c) { c.RequestLoadCustomerVehicles(1); },
                    {Has(id), Has(vehicles)}},
        RequestCase{task_names::kUpdateCustomer,
                    [](db_task_caller& c) { c.RequestUpdateCustomer(kCustomer); },
                    {Has(customer_info)}},
        RequestCase{task_names::kUpdateVehicle,
                    [](db_task_caller& c) { c.RequestUpdateVehicle(kVehicle); },
                    {Has(vehicle_info)}},
        RequestCase{task_names::kInsertCustomer,
                    [](db_task_caller& c) { c.RequestInsertCustomer(kCustomer); },
                    {Has(customer_info)}},
        RequestCase{task_names::kInsertVehicle,
                    [](db_task_caller& c) { c.RequestInsertVehicle(kVehicle); },
                    {Has(vehicle_info)}},
        RequestCase{task_names::kDeleteVehicle,
                    [](db_task_caller& c) { c.RequestDeleteVehicle(kText); },
                    {Has(PlateID)}},
        RequestCase{task_names::kDeleteCustomerAndVehicles,
                    [](db_task_caller& c) { c.RequestDeleteCustomerAndVehicles(1); },
                    {Has(id)}},
        RequestCase{task_names::kGetDataTypeInfo,
                    [](db_task_caller& c) { c.RequestGetDataTypeInfo(); },
                    {Has(data_info)}},
        RequestCase{task_names::kGetCommonDataMap,
                    [](db_task_caller& c) { c.RequestGetCommonDataMap(); },
                    {Has(data_map)}},
        RequestCase{task_names::kUpdateDataTypeInfo,
                    [](db_task_caller& c) { c.RequestUpdateDataTypeInfo({}); },
                    {Has(data_type)}},
        RequestCase{task_names::kUpdateCommonData,
                    [](db_task_caller& c) { c.RequestUpdateCommonData(kText, kText, 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{task_names::kInsertCommonData,
                    [](db_task_caller& c) { c.RequestInsertCommonData(kText, kText, 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{task_names::kDeleteCommonData,
                    [](db_task_caller& c) { c.RequestDeleteCommonData(kText, kText, 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{task_names::kImportRow,
                    [](db_task_caller& c) { c.RequestImportRow({}); },
                    {Has(row_data)}},
        RequestCase{task_names::kImportRows,
                    [](db_task_caller& c) { c.RequestImportRows({}, {}); },
                    {Has(rows), Has(results)}}),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return info.param.taskName; });

TEST_F(Requests, InputsArriveAsGivenAndOutputsStartEmpty) {
    const constraint_list_t search = {{"PlateID", "A1"}, {"Name", "Li"}};
    caller.RequestLoadDbRange(3, 20, search, {1, "Name"});
    const TaskContext& ctx = Last();
    EXPECT_EQ(ctx.Get(page_num), 3);
    EXPECT_EQ(ctx.Get(page_size), 20);
    ASSERT_EQ(ctx.Get(constraints).size(), 2u);
    EXPECT_EQ(ctx.Get(constraints)[1].text, "Li");
    EXPECT_EQ(ctx.Get(sortType), sort_type_t(1, "Name"));
    EXPECT_TRUE(ctx.Get(rows).empty());

    caller.RequestMergeRows({{7, {"A1", "B2"}}}, 9);
    EXPECT_EQ(Last().Get(id), 9);
    EXPECT_EQ(Last().Get(plates_to_move).at(7).size(), 2u);

    caller.RequestImportRows(row_list_t(2), insert_result_list_t(1, {true, 7}));
    EXPECT_EQ(Last().Get(rows).size(), 2u);
    ASSERT_EQ(Last().Get(results).size(), 1u);
    EXPECT_EQ(Last().Get(results)[0].code, 7);
}

TEST_F(Requests, TheCallbackDispatchesAContextSharingValuesButNotHoldingItself) {
    bool handled = false;
    caller.Register(task_names::kGetRowCount, [&](TaskContext ctx) {
        handled = true;
        EXPECT_FALSE(ctx.Contains(callback.name));
        EXPECT_EQ(ctx.Get(count), 41);
        EXPECT_EQ(ctx.Get(ret), ret_t(true, 0));
    });
    caller.RequestGetRowCount({});
    TaskContext worker(Last());
    worker.Get(count) = 41;
    worker.Get(ret) = ret_t(true, 0);
    worker.Get(callback)();
    EXPECT_TRUE(handled);
}

TEST(RequestWithoutTask, FailsClearlyInsteadOfCrashing) {
    db_task_caller caller;
    EXPECT_THROW(caller.RequestDeleteAllRows(), std::logic_error);
}

TEST_F(Requests, OpenDbStoresAGivenHostAndTakesTheAccountFromTheSettings) {
    const ScratchSettings settings(
        "[Db]\nIp=10.1.2.3\nName=whitelist\nUserName=ledger\nPassword=ledger2026\n");
    caller.RequestOpenDb("127.0.0.9");
    EXPECT_EQ(Last().Get(url), "tcp://127.0.0.9:5566");
    EXPECT_EQ(Last().Get(user), "ledger");
    EXPECT_EQ(Last().Get(pass), "ledger2026");
    EXPECT_EQ(Last().Get(database), "whitelist");
    EXPECT_NE(settings.FileText().find("Ip=127.0.0.9"), std::string::npos) << settings.FileText();

    // A retry without a host opens the stored one and writes nothing.
    caller.RequestOpenDb();
    EXPECT_EQ(Last().Get(url), "tcp://127.0.0.9:5566");
}

TEST_F(Requests, OpenDbWithoutADbSectionSendsEmptyValues) {
    const ScratchSettings settings("[Import]\nAutoStep=1\n");
    caller.RequestOpenDb();
    EXPECT_EQ(Last().Get(url), "tcp://:5566");
    EXPECT_EQ(Last().Get(user), "");
    EXPECT_EQ(Last().Get(pass), "");
    EXPECT_EQ(settings.FileText(), "[Import]\nAutoStep=1\n");
}

TEST_F(Requests, WithoutASettingsObjectTheRequestStillGoesOut) {
    ASSERT_EQ(CConfig::Instance(), nullptr);
    caller.RequestOpenDb("127.0.0.9");
    EXPECT_EQ(Last().Get(url), "tcp://127.0.0.9:5566");
    EXPECT_EQ(Last().Get(user), "");
}

}  // namespace

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tasks/db_task_caller.h"
#include "tests/support/case_printing.h"
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

class TaskRequests : public ::testing::Test {
protected:
    TaskRequests() { caller.Attach(&task); }

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

struct RequestCase : testcases::NamedCase {
    std::function<void(db_task_caller&)> request;
    std::vector<KeyCheck> keys;
};

class TaskRequestKeys : public TaskRequests, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(TaskRequestKeys, PutsExactlyTheTaskKeysWithTheirTypes) {
    const RequestCase& c = GetParam();
    c.request(caller);
    ASSERT_EQ(task.submitted.size(), 1u);
    const TaskContext& ctx = Last();
    EXPECT_EQ(ctx.Get(task_name), c.name);
    EXPECT_EQ(ctx.Get(ret), ret_t(false, 0));
    ASSERT_NE(ctx.Find(callback), nullptr);
    EXPECT_FALSE(ctx.Get(callback).empty());
    for (const KeyCheck& check : c.keys) {
        EXPECT_TRUE(check.holdsItsType(ctx)) << "key " << check.key;
    }
    EXPECT_EQ(ctx.Size(), 3 + c.keys.size());
}

using R = db_task_caller;

INSTANTIATE_TEST_SUITE_P(
    EveryTask, TaskRequestKeys,
    ::testing::Values(
        RequestCase{"OpenDb",
                    [](R& c) { c.RequestOpenDb(); },
                    {Has(url), Has(user), Has(pass), Has(database), Has(server_key)}},
        RequestCase{"Login", [](R& c) { c.RequestLogin("", ""); }, {Has(user), Has(pass)}},
        RequestCase{
            "GetRowCount", [](R& c) { c.RequestGetRowCount({}); }, {Has(constraints), Has(count)}},
        RequestCase{"LoadDbRange",
                    [](R& c) { c.RequestLoadDbRange(0, 20, {}, {}); },
                    {Has(page_num), Has(page_size), Has(constraints), Has(sortType), Has(page_step),
                     Has(list_columns), Has(rows)}},
        RequestCase{"DeleteRows", [](R& c) { c.RequestDeleteRows({}); }, {Has(rows_to_delete)}},
        RequestCase{"DeleteAllRows", [](R& c) { c.RequestDeleteAllRows(); }, {}},
        RequestCase{
            "MergeRows", [](R& c) { c.RequestMergeRows({}, 1); }, {Has(plates_to_move), Has(id)}},
        RequestCase{
            "LoadCustomerByID", [](R& c) { c.RequestLoadCustomerByID(1); }, {Has(id), Has(row)}},
        RequestCase{"LoadCustomerVehicles",
                    [](R& c) { c.RequestLoadCustomerVehicles(1); },
                    {Has(id), Has(vehicles)}},
        RequestCase{
            "UpdateCustomer", [](R& c) { c.RequestUpdateCustomer({}); }, {Has(customer_info)}},
        RequestCase{"UpdateVehicle", [](R& c) { c.RequestUpdateVehicle({}); }, {Has(vehicle_info)}},
        RequestCase{
            "InsertCustomer", [](R& c) { c.RequestInsertCustomer({}); }, {Has(customer_info)}},
        RequestCase{"InsertVehicle", [](R& c) { c.RequestInsertVehicle({}); }, {Has(vehicle_info)}},
        RequestCase{"DeleteVehicle", [](R& c) { c.RequestDeleteVehicle(""); }, {Has(PlateID)}},
        RequestCase{"DeleteCustomerAndVehicles",
                    [](R& c) { c.RequestDeleteCustomerAndVehicles(1); },
                    {Has(id)}},
        RequestCase{"GetDataTypeInfo", [](R& c) { c.RequestGetDataTypeInfo(); }, {Has(data_info)}},
        RequestCase{"GetCommonDataMap", [](R& c) { c.RequestGetCommonDataMap(); }, {Has(data_map)}},
        RequestCase{
            "UpdateDataTypeInfo", [](R& c) { c.RequestUpdateDataTypeInfo({}); }, {Has(data_type)}},
        RequestCase{"UpdateCommonData",
                    [](R& c) { c.RequestUpdateCommonData("", "", 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{"InsertCommonData",
                    [](R& c) { c.RequestInsertCommonData("", "", 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{"DeleteCommonData",
                    [](R& c) { c.RequestDeleteCommonData("", "", 1); },
                    {Has(key), Has(value), Has(id)}},
        RequestCase{"CountCommonDataUses",
                    [](R& c) { c.RequestCountCommonDataUses("", 1); },
                    {Has(key), Has(id), Has(count)}},
        RequestCase{"ImportRow", [](R& c) { c.RequestImportRow({}); }, {Has(row_data)}},
        RequestCase{
            "ImportRows", [](R& c) { c.RequestImportRows({}, {}); }, {Has(rows), Has(results)}}),
    testcases::kCaseName);

TEST_F(TaskRequests, TheCallbackDispatchesAContextSharingValuesButNotHoldingItself) {
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

TEST(TaskRequestWithoutTask, FailsClearlyInsteadOfCrashing) {
    db_task_caller caller;
    EXPECT_THROW(caller.RequestDeleteAllRows(), std::logic_error);
}

TEST_F(TaskRequests, OpenDbStoresAGivenHostAndTakesTheAccountFromTheSettings) {
    const ScratchSettings settings(
        "[Db]\nIp=10.1.2.3\nName=whitelist\nUserName=ledger\nPassword=ledger2026\n"
        "ServerKey=rq:rM>}U?@Lns47E1%kR.o@n%FcmmsL/@{H8]yf7\n");
    caller.RequestOpenDb("127.0.0.9");
    EXPECT_EQ(Last().Get(url), "tcp://127.0.0.9:5566");
    EXPECT_EQ(Last().Get(user), "ledger");
    EXPECT_EQ(Last().Get(pass), "ledger2026");
    EXPECT_EQ(Last().Get(database), "whitelist");
    EXPECT_EQ(Last().Get(server_key), "rq:rM>}U?@Lns47E1%kR.o@n%FcmmsL/@{H8]yf7");
    EXPECT_NE(settings.FileText().find("Ip=127.0.0.9"), std::string::npos) << settings.FileText();

    // A retry without a host opens the stored one and writes nothing.
    caller.RequestOpenDb();
    EXPECT_EQ(Last().Get(url), "tcp://127.0.0.9:5566");
}

TEST_F(TaskRequests, OpenDbWithoutADbSectionSendsEmptyValues) {
    const ScratchSettings settings("[Import]\nAutoStep=1\n");
    caller.RequestOpenDb();
    EXPECT_EQ(Last().Get(url), "tcp://:5566");
    EXPECT_EQ(Last().Get(user), "");
    EXPECT_EQ(Last().Get(pass), "");
    EXPECT_EQ(settings.FileText(), "[Import]\nAutoStep=1\n");
}

}  // namespace

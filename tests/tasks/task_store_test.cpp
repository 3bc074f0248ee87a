#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tasks/db_task_caller.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/test_service.h"
#include "tests/tasks/task_test_support.h"

namespace {

using namespace task_keys;
using taskstest::CompletionWnd;
using taskstest::ScratchSettings;

testsupport::TestService::Options DemoData() {
    testsupport::TestService::Options options;
    options.demo = true;
    return options;
}

// The real task object, caller and store against a real netsqlited with the demo whitelist.
class TasksOnService : public ::testing::Test {
protected:
    TasksOnService()
        : service(DemoData()),
          settings("[Db]\nName=whitelist\nUserName=ledger\nPassword=ledger2026\n") {}

    void SetUp() override {
        guisupport::EnsureApplication();
        ASSERT_NE(wnd.Create(nullptr, "tasks", UI_WNDSTYLE_FRAME), nullptr);
        task.SetTargetWindow(wnd);
        caller.Attach(&task);
        ASSERT_EQ(
            Run(task_names::kOpenDb, [&] { caller.RequestOpenDb(service.address()); }).Get(ret),
            ret_t(true, 0))
            << service.log();
    }

    // Makes a request and returns the context its completion handlers saw.
    TaskContext Run(const char* taskName, const std::function<void()>& request) {
        std::optional<TaskContext> completed;
        caller.Register(taskName, [&](TaskContext ctx) { completed = ctx; });
        request();
        const bool done =
            guisupport::ProcessMessagesUntil([&] { return completed.has_value(); }, 15000);
        caller.Unregister(taskName);
        EXPECT_TRUE(done) << taskName << " did not complete";
        return completed.value_or(TaskContext());
    }

    void LoadDictionary() {
        // The data types' system handler asks for the lookup values itself.
        caller.RequestGetDataTypeInfo();
        Run(task_names::kGetCommonDataMap, [] {});
    }

    testsupport::TestService service;
    ScratchSettings settings;
    CompletionWnd wnd;
    Async_Task task;
    db_task_caller caller;
};

TEST_F(TasksOnService, LoginChecksTheOperatorAccount) {
    EXPECT_EQ(Run(task_names::kLogin, [&] { caller.RequestLogin("admin", "admin123"); }).Get(ret),
              ret_t(true, 0));
    EXPECT_EQ(Run(task_names::kLogin, [&] { caller.RequestLogin("admin", "wrong"); }).Get(ret),
              ret_t(false, 0));
}

TEST_F(TasksOnService, DictionaryThenCountAndFirstPageOfTheList) {
    LoadDictionary();
    EXPECT_EQ(caller.GetDictionary().all_columns().size(), 11u);
    EXPECT_EQ(caller.GetDictionary().data_map().at("Color").size(), 5u);

    const TaskContext counted =
        Run(task_names::kGetRowCount, [&] { caller.RequestGetRowCount({}); });
    ASSERT_TRUE(counted.Get(ret).ok);
    EXPECT_GT(counted.Get(count), 20);
    const TaskContext page = Run(task_names::kLoadDbRange, [&] {
        caller.RequestLoadDbRange(0, 20, {}, {1, ""});
    });
    ASSERT_TRUE(page.Get(ret).ok);
    ASSERT_EQ(page.Get(rows).size(), 20u);
    EXPECT_EQ(page.Get(rows).front().customer.values.at("Code"), "C0001");
}

TEST_F(TasksOnService, InsertedCustomerComesBackWithItsIdAndCanBeDeleted) {
    LoadDictionary();
    customer_info_t customer;
    customer.values = {{"Code", "T9001"}, {"Name", "Tester"}};
    const TaskContext inserted =
        Run(task_names::kInsertCustomer, [&] { caller.RequestInsertCustomer(customer); });
    ASSERT_TRUE(inserted.Get(ret).ok);
    const int32_t id = inserted.Get(customer_info).CustomerID;
    EXPECT_GT(id, 0) << "the store's new CustomerID comes back in \"info\"";
    auto load = [&] {
        return Run(task_names::kLoadCustomerByID, [&] { caller.RequestLoadCustomerByID(id); });
    };
    EXPECT_EQ(load().Get(row).values.at("Name"), "Tester");
    EXPECT_TRUE(Run(task_names::kDeleteCustomerAndVehicles,
                    [&] { caller.RequestDeleteCustomerAndVehicles(id); })
                    .Get(ret)
                    .ok);
    EXPECT_EQ(load().Get(ret), ret_t(false, 0));
}

TEST_F(TasksOnService, AServiceThatStopsAnsweringStartsTheConnectionLostHandler) {
    task.SetReplyWait(100, 2);
    std::vector<std::string> calls;
    caller.Register(task_names::kGetRowCount, [&](TaskContext) { calls.push_back("handler"); });
    caller.SetConnectionLostHandler([&](TaskContext ctx) {
        EXPECT_EQ(ctx.Size(), 1u);
        calls.push_back("lost");
    });
    service.pause();
    const TaskContext failed =
        Run(task_names::kGetRowCount, [&] { caller.RequestGetRowCount({}); });
    service.resume();
    EXPECT_EQ(failed.Get(ret), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(calls, (std::vector<std::string>{"handler", "lost"}));
}

}  // namespace

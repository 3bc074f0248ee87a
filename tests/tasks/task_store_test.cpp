#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/db_connection.h"
#include "tasks/db_task_caller.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/case_printing.h"
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

// The demo's only lookup values are Colors: with all of them gone, a reload must leave the
// caller's dictionary without them, whether they went through the caller or behind its back.
class EmptiedLookupValues : public TasksOnService, public ::testing::WithParamInterface<bool> {
protected:
    void DeleteColorsThroughCaller() {
        const common_value_list_t values = caller.GetDictionary().data_map().at("Color");
        for (const auto& [value_id, text] : values) {
            EXPECT_TRUE(Run(task_names::kDeleteCommonData,
                            [&] { caller.RequestDeleteCommonData("Color", text, value_id); })
                            .Get(ret)
                            .ok);
        }
    }

    void DeleteColorsInDatabase() {
        DbConnection direct;
        ASSERT_TRUE(direct.open(service.endpoint(), service.user(), service.password()).ok);
        ASSERT_TRUE(direct.execute("DELETE FROM tabcommondatainfo").ok);
    }
};

TEST_P(EmptiedLookupValues, ReloadLeavesNoneInTheCallersDictionary) {
    LoadDictionary();
    GetParam() ? DeleteColorsThroughCaller() : DeleteColorsInDatabase();
    EXPECT_EQ(Run(task_names::kGetCommonDataMap, [&] { caller.RequestGetCommonDataMap(); })
                  .Get(ret),
              ret_t(true, 0));
    const auto& values = caller.GetDictionary().data_map();
    EXPECT_TRUE(values.count("Color") == 0 || values.at("Color").empty());
    EXPECT_EQ(caller.GetDictionary().all_columns().size(), 11u);
}

INSTANTIATE_TEST_SUITE_P(DeletedThroughCaller, EmptiedLookupValues, ::testing::Bool());

TEST_F(TasksOnService, AServiceThatStopsAnsweringStartsTheConnectionLostHandler) {
    task.SetReplyWait(100, 2);
    std::vector<std::string> calls;
    caller.Register(task_names::kGetRowCount, [&](TaskContext) { calls.push_back("handler"); });
    caller.SetConnectionLostHandler([&](TaskContext ctx) {
        EXPECT_EQ(ctx.Size(), 2u);
        calls.push_back("lost");
    });
    service.pause();
    const TaskContext failed =
        Run(task_names::kGetRowCount, [&] { caller.RequestGetRowCount({}); });
    service.resume();
    EXPECT_EQ(failed.Get(ret), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(calls, (std::vector<std::string>{"handler", "lost"}));
}

// Every task name, its inputs checked by value in the service's data or in its outputs, so a
// request that swaps two inputs of one type fails.
class TaskInputs : public TasksOnService {
protected:
    void SetUp() override {
        TasksOnService::SetUp();
        ASSERT_TRUE(direct.open(service.endpoint(), service.user(), service.password()).ok);
        LoadDictionary();
    }

public:
    // The first cell of what `sql` returns, read beside the task object's own connection.
    tstring cell(const tstring& sql) {
        std::unique_ptr<NetSqliteResultSet> result;
        if (!direct.query(sql, result).ok || !result->Next()) return "<none>";
        tstring text;
        DbGetText("v", text, *result);
        return text;
    }
    tstring plate_of(int32_t customer_id) {
        return cell("select PlateID as v from tabvehicleinfo where CustomerID = " +
                    std::to_string(customer_id) + " order by PlateID limit 1");
    }
    tstring customer_column(int32_t customer_id, const tstring& column) {
        return cell("select " + column +
                    " as v from tabcustomerinfo where CustomerID = " + std::to_string(customer_id));
    }
    tstring vehicle_text(const tstring& plate) {
        return cell(
            "select CustomerID || ':' || ifnull(Color, '') as v from tabvehicleinfo "
            "where PlateID = '" +
            plate + "'");
    }

    db_task_caller& requests() { return caller; }
    using TasksOnService::service;

protected:
    DbConnection direct;
};

struct TaskInputCase {
    const char* name;
    std::function<void(TaskInputs&)> request;
    std::function<void(TaskInputs&, const TaskContext&)> check;
};
void PrintTo(const TaskInputCase& c, std::ostream* out) {
    *out << c.name;
}

class EveryTask : public TaskInputs, public ::testing::WithParamInterface<TaskInputCase> {};

TEST_P(EveryTask, ReachesTheStoreWithItsInputsInPlace) {
    const TaskInputCase& c = GetParam();
    const TaskContext done = Run(c.name, [&] { c.request(*this); });
    EXPECT_EQ(done.Get(ret), ret_t(true, 0));
    EXPECT_EQ(done.Get(task_name), c.name);
    c.check(*this, done);
}

void NoCheck(TaskInputs&, const TaskContext&) {}

customer_info_t customer_of(int32_t id, const tstring& code, const tstring& name) {
    return customer_info_t{id, {{"Code", code}, {"Name", name}}};
}

row_info_t import_row(const tstring& code, const tstring& plate, const tstring& color) {
    row_info_t row;
    row.customer.values = {{"Code", code}, {"Name", "导入"}};
    row.vehicle.values = {{"PlateID", plate}, {"Color", color}};
    return row;
}

const char* const kListJoin =
    " from tabcustomerinfo LEFT JOIN tabvehicleinfo on tabcustomerinfo.CustomerID = "
    "tabvehicleinfo.CustomerID";

INSTANTIATE_TEST_SUITE_P(
    Tasks, EveryTask,
    ::testing::Values(
        // The account comes from the settings: user and password swapped would be refused.
        TaskInputCase{task_names::kOpenDb,
                      [](TaskInputs& t) { t.requests().RequestOpenDb(t.service.address()); },
                      NoCheck},
        TaskInputCase{task_names::kLogin,
                      [](TaskInputs& t) { t.requests().RequestLogin("admin", "admin123"); },
                      NoCheck},
        TaskInputCase{task_names::kGetRowCount,
                      [](TaskInputs& t) {
                          t.requests().RequestGetRowCount({{"Name", "张伟"}, {"PlateID", "沪B"}});
                      },
                      [](TaskInputs& t, const TaskContext& done) {
                          EXPECT_EQ(std::to_string(done.Get(count)),
                                    t.cell(tstring("select count(*) as v") + kListJoin +
                                           " where Name LIKE '%张伟%' or PlateID LIKE '%沪B%'"));
                      }},
        TaskInputCase{task_names::kLoadDbRange,
                      [](TaskInputs& t) {
                          t.requests().RequestLoadDbRange(1, 3, {{"PlateID", "A"}}, {0, "Code"});
                      },
                      [](TaskInputs& t, const TaskContext& done) {
                          tstring codes;
                          for (const row_info_t& r : done.Get(rows))
                              codes += r.customer.values.at("Code") + ",";
                          EXPECT_EQ(codes, t.cell(tstring("select group_concat(Code, ',') || ',' "
                                                          "as v from (select Code") +
                                                  kListJoin +
                                                  " where PlateID LIKE '%A%' order by Code desc "
                                                  "limit 3 offset 3)"));
                      }},
        TaskInputCase{task_names::kDeleteRows,
                      [](TaskInputs& t) {
                          t.requests().RequestDeleteRows({{2, t.plate_of(2)}});
                      },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.customer_column(2, "Code") + t.plate_of(2), "<none><none>");
                          EXPECT_EQ(t.customer_column(1, "Code"), "C0001");
                      }},
        TaskInputCase{task_names::kDeleteAllRows,
                      [](TaskInputs& t) { t.requests().RequestDeleteAllRows(); },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.cell("select (select count(*) from tabcustomerinfo) + "
                                           "(select count(*) from tabvehicleinfo) as v"),
                                    "0");
                      }},
        TaskInputCase{task_names::kMergeRows,
                      [](TaskInputs& t) {
                          t.requests().RequestMergeRows({{4, {t.plate_of(4)}}}, 1);
                      },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.cell("select count(*) as v from tabvehicleinfo where "
                                           "CustomerID = 1"),
                                    "3");
                          EXPECT_EQ(t.cell("select count(*) as v from tabvehicleinfo where "
                                           "CustomerID = 4"),
                                    "1");
                      }},
        TaskInputCase{task_names::kLoadCustomerByID,
                      [](TaskInputs& t) { t.requests().RequestLoadCustomerByID(5); },
                      [](TaskInputs&, const TaskContext& done) {
                          EXPECT_EQ(done.Get(row).CustomerID, 5);
                          EXPECT_EQ(done.Get(row).values.at("Code"), "C0005");
                      }},
        TaskInputCase{task_names::kLoadCustomerVehicles,
                      [](TaskInputs& t) { t.requests().RequestLoadCustomerVehicles(4); },
                      [](TaskInputs& t, const TaskContext& done) {
                          tstring plates;
                          for (const vehicle_info_t& v : done.Get(vehicles))
                              plates += v.values.at("PlateID") + ",";
                          EXPECT_EQ(plates, t.cell("select group_concat(PlateID, ',') || ',' as v "
                                                   "from tabvehicleinfo where CustomerID = 4"));
                      }},
        TaskInputCase{task_names::kUpdateCustomer,
                      [](TaskInputs& t) {
                          t.requests().RequestUpdateCustomer(customer_of(6, "C0006", "新名字"));
                      },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.customer_column(6, "Code || Name"), "C0006新名字");
                      }},
        TaskInputCase{task_names::kUpdateVehicle,
                      [](TaskInputs& t) {
                          vehicle_info_t v;
                          v.CustomerID = 3;
                          v.values = {{"PlateID", t.plate_of(3)}, {"Color", "2"}};
                          v.stored_plate = v.values["PlateID"];
                          t.requests().RequestUpdateVehicle(v);
                      },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.vehicle_text(t.plate_of(3)), "3:2");
                      }},
        TaskInputCase{task_names::kInsertCustomer,
                      [](TaskInputs& t) {
                          t.requests().RequestInsertCustomer(customer_of(-1, "T1", "新客"));
                      },
                      [](TaskInputs& t, const TaskContext& done) {
                          const int32_t id = done.Get(customer_info).CustomerID;
                          EXPECT_EQ(t.customer_column(id, "Code || Name"), "T1新客");
                      }},
        TaskInputCase{
            task_names::kInsertVehicle,
            [](TaskInputs& t) {
                vehicle_info_t v;
                v.CustomerID = 7;
                v.values = {{"PlateID", "新A001"}, {"Color", "2"}};
                t.requests().RequestInsertVehicle(v);
            },
            [](TaskInputs& t, const TaskContext&) { EXPECT_EQ(t.vehicle_text("新A001"), "7:2"); }},
        TaskInputCase{task_names::kDeleteVehicle,
                      [](TaskInputs& t) { t.requests().RequestDeleteVehicle(t.plate_of(8)); },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.plate_of(8) + t.customer_column(8, "Code"), "<none>C0008");
                      }},
        TaskInputCase{task_names::kDeleteCustomerAndVehicles,
                      [](TaskInputs& t) { t.requests().RequestDeleteCustomerAndVehicles(9); },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.plate_of(9) + t.customer_column(9, "Code"), "<none><none>");
                      }},
        TaskInputCase{task_names::kGetDataTypeInfo,
                      [](TaskInputs& t) { t.requests().RequestGetDataTypeInfo(); },
                      [](TaskInputs&, const TaskContext& done) {
                          EXPECT_EQ(done.Get(data_info).size(), 11u);
                          EXPECT_EQ(done.Get(data_info).at("Color").Type, kTypeLookup);
                      }},
        TaskInputCase{task_names::kGetCommonDataMap,
                      [](TaskInputs& t) { t.requests().RequestGetCommonDataMap(); },
                      [](TaskInputs&, const TaskContext& done) {
                          const common_value_list_t& colors = done.Get(data_map).at("Color");
                          ASSERT_EQ(colors.size(), 5u);
                          EXPECT_EQ(colors.front(), common_value_t(1, "白色"));
                      }},
        TaskInputCase{task_names::kUpdateDataTypeInfo,
                      [](TaskInputs& t) {
                          data_type_info_t phone;
                          phone.DataType = "Phone";
                          phone.DataTypeName = "电话号码";
                          phone.DataTypeCategory = 1;
                          phone.Enable = 0;
                          phone.ShowList = 5;
                          phone.Type = 2;
                          t.requests().RequestUpdateDataTypeInfo(phone);
                      },
                      [](TaskInputs& t, const TaskContext&) {
                          EXPECT_EQ(t.cell("select DataTypeName || DataTypeCategory || Enable || "
                                           "ShowList || Type as v from tabdatatypeinfo where "
                                           "DataType = 'Phone'"),
                                    "电话号码1052");
                      }},
        TaskInputCase{
            task_names::kUpdateCommonData,
            [](TaskInputs& t) { t.requests().RequestUpdateCommonData("Color", "紫色", 3); },
            [](TaskInputs& t, const TaskContext&) {
                EXPECT_EQ(t.cell("select group_concat(ValueID || Value) as v from "
                                 "tabcommondatainfo where DataType = 'Color' and "
                                 "ValueID = 3"),
                          "3紫色");
            }},
        TaskInputCase{
            task_names::kInsertCommonData,
            [](TaskInputs& t) { t.requests().RequestInsertCommonData("Color", "金色", 9); },
            [](TaskInputs& t, const TaskContext&) {
                EXPECT_EQ(t.cell("select group_concat(DataType || ValueID) as v from "
                                 "tabcommondatainfo where Value = '金色'"),
                          "Color9");
            }},
        TaskInputCase{
            task_names::kDeleteCommonData,
            [](TaskInputs& t) { t.requests().RequestDeleteCommonData("Color", "白色", 1); },
            [](TaskInputs& t, const TaskContext&) {
                EXPECT_EQ(t.cell("select group_concat(ValueID) as v from "
                                 "tabcommondatainfo where DataType = 'Color'"),
                          "2,3,4,5");
            }},
        TaskInputCase{
            task_names::kImportRow,
            [](TaskInputs& t) { t.requests().RequestImportRow(import_row("I1", "导A1", "4")); },
            [](TaskInputs& t, const TaskContext&) {
                EXPECT_EQ(t.cell("select Code || Color as v from tabvehicleinfo join "
                                 "tabcustomerinfo using (CustomerID) where PlateID = "
                                 "'导A1'"),
                          "I14");
            }},
        TaskInputCase{task_names::kImportRows,
                      [](TaskInputs& t) {
                          t.requests().RequestImportRows(
                              {import_row("I1", "导A1", "4"), import_row("I2", "导A2", "")},
                              insert_result_list_t(5, insert_result_t{true, 99}));
                      },
                      [](TaskInputs& t, const TaskContext& done) {
                          ASSERT_EQ(done.Get(results).size(), 2u);
                          EXPECT_TRUE(done.Get(results)[0].ok && done.Get(results)[1].ok);
                          EXPECT_EQ(t.cell("select group_concat(Code || PlateID) as v from "
                                           "tabvehicleinfo join tabcustomerinfo using "
                                           "(CustomerID) where PlateID like '导%'"),
                                    "I1导A1,I2导A2");
                      }}),
    testcases::kCaseName);

}  // namespace

#pragma once
// The UI-side hub of the tasks: one request function per task, and the dispatch of completed
// tasks by name to the handlers registered for it. UI thread only.
#include <boost/function.hpp>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "store/data_type_dictionary.h"
#include "tasks/async_task.h"
#include "tasks/task_keys.h"

typedef boost::function<void(TaskContext)> task_handler_t;
// Names one registered handler, so its owner can remove exactly that one.
enum class task_handler_id : uint64_t {};

class db_task_caller {
public:
    db_task_caller() = default;
    db_task_caller(const db_task_caller&) = delete;
    db_task_caller& operator=(const db_task_caller&) = delete;

    // Requests go to `task` from now on; installs the handlers that keep the dictionary in step.
    void Attach(Async_Task* task);
    Async_Task* GetTask() const { return m_task; }

    // Handlers of one name run in registration order, after the system handlers. A handler
    // registered during a dispatch first runs for the next completion.
    task_handler_id Register(const tstring& task_name, task_handler_t handler);
    // Removes the one handler (nothing if it is gone already); removed during a dispatch, it is
    // not called by the rest of that dispatch.
    void Unregister(task_handler_id id);
    // Removes every handler registered under the name, whoever registered it.
    void Unregister(const tstring& task_name);
    // Runs after a task's handlers when its "ret" is {false, kDbConnectionLost}, with a context
    // holding only "ret".
    void SetConnectionLostHandler(task_handler_t handler);

    // Runs the handlers of a completed task; bound into every request's "callback".
    void Dispatch(TaskContext ctx);

    // The UI-side copy of the data types and lookup values.
    const DataTypeDictionary& GetDictionary() const { return m_dictionary; }

    // Opens the database at the host, which is stored as the setting Db/Ip first; without a
    // host, at the stored Db/Ip. User, password and database name come from the settings.
    void RequestOpenDb(const tstring& host);
    void RequestOpenDb();
    void RequestLogin(const tstring& user, const tstring& pass);
    void RequestGetRowCount(const constraint_list_t& constraints);
    // A page by its number, or by a step from a row of the page beside it (page_step_t), with
    // the list's shown columns or every column.
    void RequestLoadDbRange(int32_t page_num, int32_t page_size,
                            const constraint_list_t& constraints, const sort_type_t& sortType,
                            const page_step_t& step = page_step_t(),
                            ListColumns columns = ListColumns::Shown);
    void RequestDeleteRows(const row_key_list_t& rows);
    void RequestDeleteAllRows();
    void RequestMergeRows(const plates_by_customer_t& plates, int32_t target_id);
    void RequestLoadCustomerByID(int32_t id);
    void RequestLoadCustomerVehicles(int32_t id);
    void RequestUpdateCustomer(const customer_info_t& info);
    void RequestUpdateVehicle(const vehicle_info_t& info);
    void RequestInsertCustomer(const customer_info_t& info);
    void RequestInsertVehicle(const vehicle_info_t& info);
    void RequestDeleteVehicle(const tstring& plate);
    void RequestDeleteCustomerAndVehicles(int32_t id);
    void RequestGetDataTypeInfo();
    void RequestGetCommonDataMap();
    void RequestUpdateDataTypeInfo(const data_type_info_t& data);
    void RequestUpdateCommonData(const tstring& data_type, const tstring& value, int32_t value_id);
    void RequestInsertCommonData(const tstring& data_type, const tstring& value, int32_t value_id);
    void RequestDeleteCommonData(const tstring& data_type, const tstring& value, int32_t value_id);
    // "count": how many records hold the value.
    void RequestCountCommonDataUses(const tstring& data_type, int32_t value_id);
    void RequestImportRow(const row_info_t& row);
    void RequestImportRows(const row_list_t& rows, const insert_result_list_t& results);

private:
    struct registered_handler {
        task_handler_id id;
        task_handler_t handler;
    };
    typedef std::map<tstring, std::vector<registered_handler>> handler_table_t;

    template <class Api, class... Slots>
    void Request(const char* task_name, const Slots&... slots);
    void OpenDbAt(const tstring& host);
    void AddSystemHandler(const char* task_name, void (db_task_caller::*handler)(TaskContext));
    task_handler_id Add(handler_table_t& table, const tstring& task_name, task_handler_t handler);
    static void RunHandlers(const handler_table_t& table, const tstring& name,
                            const TaskContext& ctx);
    static bool Holds(const handler_table_t& table, const tstring& name, task_handler_id id);

    void OnDataTypeInfo(TaskContext ctx);
    void OnCommonDataMap(TaskContext ctx);
    void OnDataTypeUpdated(TaskContext ctx);
    void OnCommonDataUpdated(TaskContext ctx);
    void OnCommonDataInserted(TaskContext ctx);
    void OnCommonDataDeleted(TaskContext ctx);

    Async_Task* m_task = nullptr;
    handler_table_t m_systemHandlers;
    handler_table_t m_pageHandlers;
    task_handler_t m_connectionLost;
    DataTypeDictionary m_dictionary;
    uint64_t m_lastHandlerId = 0;
};

// The handlers one owner registered: destroying the set with its owner removes exactly those, so
// a completion arriving later never reaches the destroyed owner and other owners' handlers of
// the same names keep running. Every caller used must outlive the set.
class task_handler_set {
public:
    task_handler_set() = default;
    task_handler_set(const task_handler_set&) = delete;
    task_handler_set& operator=(const task_handler_set&) = delete;
    ~task_handler_set() { Clear(); }

    void Register(db_task_caller& caller, const tstring& task_name, task_handler_t handler);
    // Removes every handler of this set.
    void Clear();

private:
    std::vector<std::pair<db_task_caller*, task_handler_id>> m_registered;
};

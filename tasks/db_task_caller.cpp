#include "tasks/db_task_caller.h"

#include <algorithm>
#include <stdexcept>

#include "settings/config.h"

using namespace task_keys;

namespace {

// One value a request puts, in the order of the operation table: an input or an empty output.
template <class T>
struct input_slot {
    task_key<T> key;
    const T& value;
    void PutInto(TaskContext& ctx) const { ctx.Put(key, value); }
};

template <class T>
struct output_slot {
    task_key<T> key;
    void PutInto(TaskContext& ctx) const { ctx.Put(key); }
};

template <class T>
input_slot<T> In(task_key<T> key, const T& value) {
    return {key, value};
}

template <class T>
output_slot<T> Out(task_key<T> key) {
    return {key};
}

template <class Handlers>
auto FindHandler(Handlers& handlers, task_handler_id id) {
    return std::find_if(handlers.begin(), handlers.end(),
                        [id](const auto& handler) { return handler.id == id; });
}

tstring DbSetting(const char* key) {
    CConfig* config = CConfig::Instance();
    return config ? config->GetValue("Db", key) : tstring();
}

}  // namespace

void db_task_caller::Attach(Async_Task* task) {
    m_task = task;
    m_systemHandlers.clear();
    AddSystemHandler(task_names::kGetDataTypeInfo, &db_task_caller::OnDataTypeInfo);
    AddSystemHandler(task_names::kGetCommonDataMap, &db_task_caller::OnCommonDataMap);
    AddSystemHandler(task_names::kUpdateDataTypeInfo, &db_task_caller::OnDataTypeUpdated);
    AddSystemHandler(task_names::kUpdateCommonData, &db_task_caller::OnCommonDataUpdated);
    AddSystemHandler(task_names::kInsertCommonData, &db_task_caller::OnCommonDataInserted);
    AddSystemHandler(task_names::kDeleteCommonData, &db_task_caller::OnCommonDataDeleted);
}

task_handler_id db_task_caller::Register(const tstring& task_name, task_handler_t handler) {
    return Add(m_pageHandlers, task_name, std::move(handler));
}

void db_task_caller::Unregister(task_handler_id id) {
    for (auto entry = m_pageHandlers.begin(); entry != m_pageHandlers.end(); ++entry) {
        std::vector<registered_handler>& handlers = entry->second;
        const auto found = FindHandler(handlers, id);
        if (found == handlers.end()) continue;
        handlers.erase(found);
        if (handlers.empty()) m_pageHandlers.erase(entry);
        return;
    }
}

void db_task_caller::Unregister(const tstring& task_name) {
    m_pageHandlers.erase(task_name);
}

task_handler_id db_task_caller::Add(handler_table_t& table, const tstring& task_name,
                                    task_handler_t handler) {
    const task_handler_id id{++m_lastHandlerId};
    table[task_name].push_back({id, std::move(handler)});
    return id;
}

void db_task_caller::SetConnectionLostHandler(task_handler_t handler) {
    m_connectionLost = std::move(handler);
}

void db_task_caller::Dispatch(TaskContext ctx) {
    const tstring name = ctx.Get(task_name);
    RunHandlers(m_systemHandlers, name, ctx);
    RunHandlers(m_pageHandlers, name, ctx);
    const ret_t& result = ctx.Get(ret);
    if (!result.ok && result.code == kDbConnectionLost && m_connectionLost) {
        // The name too: whether the lost request may have written decides what to tell.
        TaskContext lost = ctx.Only(ret.name);
        lost.Put(task_name, name);
        m_connectionLost(lost);
    }
}

void db_task_caller::RunHandlers(const handler_table_t& table, const tstring& name,
                                 const TaskContext& ctx) {
    const auto found = table.find(name);
    if (found == table.end()) {
        return;
    }
    // A copy: a handler that changes the tables cannot pull the list, or the handler running,
    // from under this loop. One removed meanwhile may belong to an owner already destroyed.
    const std::vector<registered_handler> handlers = found->second;
    for (const registered_handler& entry : handlers) {
        if (Holds(table, name, entry.id)) entry.handler(ctx);
    }
}

bool db_task_caller::Holds(const handler_table_t& table, const tstring& name, task_handler_id id) {
    const auto found = table.find(name);
    return found != table.end() && FindHandler(found->second, id) != found->second.end();
}

void db_task_caller::AddSystemHandler(const char* task_name,
                                      void (db_task_caller::*handler)(TaskContext)) {
    Add(m_systemHandlers, task_name, [this, handler](TaskContext ctx) {
        if (ctx.Get(ret).ok) {
            (this->*handler)(ctx);
        }
    });
}

void task_handler_set::Register(db_task_caller& caller, const tstring& task_name,
                                task_handler_t handler) {
    m_registered.emplace_back(&caller, caller.Register(task_name, std::move(handler)));
}

void task_handler_set::Clear() {
    for (const auto& [caller, id] : m_registered) caller->Unregister(id);
    m_registered.clear();
}

template <class Api, class... Slots>
void db_task_caller::Request(const char* name, const Slots&... slots) {
    if (!m_task) {
        throw std::logic_error("db_task_caller: a request before Attach");
    }
    TaskContext ctx;
    ctx.Put(task_name, name);
    ctx.Put(ret, ret_t(false, 0));
    (slots.PutInto(ctx), ...);
    // The callback holds a copy made before it is put, so it does not hold itself.
    const TaskContext bound(ctx);
    ctx.Put(callback, task_callback_t([this, bound] { Dispatch(bound); }));
    static_cast<Api&>(*m_task).Submit(ctx);
}

void db_task_caller::RequestOpenDb(const tstring& host) {
    if (CConfig* config = CConfig::Instance()) {
        config->SetValue("Db", "Ip", host);
    }
    OpenDbAt(host);
}

void db_task_caller::RequestOpenDb() {
    OpenDbAt(DbSetting("Ip"));
}

void db_task_caller::OpenDbAt(const tstring& host) {
    Request<AsyncApiThreaded_OpenCustomerInfoDb>(
        task_names::kOpenDb, In(url, "tcp://" + host + ":5566"), In(user, DbSetting("UserName")),
        In(pass, DbSetting("Password")), In(database, DbSetting("Name")),
        In(server_key, DbSetting("ServerKey")));
}

void db_task_caller::RequestLogin(const tstring& userName, const tstring& password) {
    Request<AsyncApiThreaded_Login>(task_names::kLogin, In(user, userName), In(pass, password));
}

void db_task_caller::RequestGetRowCount(const constraint_list_t& search) {
    Request<AsyncApiThreaded_GetRowCount>(task_names::kGetRowCount, In(constraints, search),
                                          Out(count));
}

void db_task_caller::RequestLoadDbRange(int32_t page, int32_t size, const constraint_list_t& search,
                                        const sort_type_t& sort, const page_step_t& step,
                                        ListColumns columns) {
    Request<AsyncApiThreaded_LoadCustomerInfoDb>(task_names::kLoadDbRange, In(page_num, page),
                                                 In(page_size, size), In(constraints, search),
                                                 In(sortType, sort), In(page_step, step),
                                                 In(list_columns, columns), Out(rows));
}

void db_task_caller::RequestDeleteRows(const row_key_list_t& selected) {
    Request<AsyncApiThreaded_DeleteRows>(task_names::kDeleteRows, In(rows_to_delete, selected));
}

void db_task_caller::RequestDeleteAllRows() {
    Request<AsyncApiThreaded_DeleteAllRows>(task_names::kDeleteAllRows);
}

void db_task_caller::RequestMergeRows(const plates_by_customer_t& plates, int32_t target_id) {
    Request<AsyncApiThreaded_MergeRows>(task_names::kMergeRows, In(plates_to_move, plates),
                                        In(id, target_id));
}

void db_task_caller::RequestLoadCustomerByID(int32_t customer_id) {
    Request<AsyncApiThreaded_LoadCustomerByID>(task_names::kLoadCustomerByID, In(id, customer_id),
                                               Out(row));
}

void db_task_caller::RequestLoadCustomerVehicles(int32_t customer_id) {
    Request<AsyncApiThreaded_LoadCustomerVehicles>(task_names::kLoadCustomerVehicles,
                                                   In(id, customer_id), Out(vehicles));
}

void db_task_caller::RequestUpdateCustomer(const customer_info_t& info) {
    Request<AsyncApiThreaded_UpdateCustomer>(task_names::kUpdateCustomer, In(customer_info, info));
}

void db_task_caller::RequestUpdateVehicle(const vehicle_info_t& info) {
    Request<AsyncApiThreaded_UpdateVehicle>(task_names::kUpdateVehicle, In(vehicle_info, info));
}

void db_task_caller::RequestInsertCustomer(const customer_info_t& info) {
    Request<AsyncApiThreaded_InsertCustomer>(task_names::kInsertCustomer, In(customer_info, info));
}

void db_task_caller::RequestInsertVehicle(const vehicle_info_t& info) {
    Request<AsyncApiThreaded_InsertVehicle>(task_names::kInsertVehicle, In(vehicle_info, info));
}

void db_task_caller::RequestDeleteVehicle(const tstring& plate) {
    Request<AsyncApiThreaded_DeleteVehicle>(task_names::kDeleteVehicle, In(PlateID, plate));
}

void db_task_caller::RequestDeleteCustomerAndVehicles(int32_t customer_id) {
    Request<AsyncApiThreaded_DeleteCustomerAndVehicles>(task_names::kDeleteCustomerAndVehicles,
                                                        In(id, customer_id));
}

void db_task_caller::RequestGetDataTypeInfo() {
    Request<AsyncApiThreaded_GetDataTypeInfo>(task_names::kGetDataTypeInfo, Out(data_info));
}

void db_task_caller::RequestGetCommonDataMap() {
    Request<AsyncApiThreaded_GetCommonData>(task_names::kGetCommonDataMap, Out(data_map));
}

void db_task_caller::RequestUpdateDataTypeInfo(const data_type_info_t& data) {
    Request<AsyncApiThreaded_UpdateDataTypeInfo>(task_names::kUpdateDataTypeInfo,
                                                 In(data_type, data));
}

void db_task_caller::RequestUpdateCommonData(const tstring& data_type_name, const tstring& text,
                                             int32_t value_id) {
    Request<AsyncApiThreaded_UpdateCommonData>(
        task_names::kUpdateCommonData, In(key, data_type_name), In(value, text), In(id, value_id));
}

void db_task_caller::RequestInsertCommonData(const tstring& data_type_name, const tstring& text,
                                             int32_t value_id) {
    Request<AsyncApiThreaded_InsertCommonData>(
        task_names::kInsertCommonData, In(key, data_type_name), In(value, text), In(id, value_id));
}

void db_task_caller::RequestDeleteCommonData(const tstring& data_type_name, const tstring& text,
                                             int32_t value_id) {
    Request<AsyncApiThreaded_DeleteCommonData>(
        task_names::kDeleteCommonData, In(key, data_type_name), In(value, text), In(id, value_id));
}

void db_task_caller::RequestCountCommonDataUses(const tstring& data_type_name, int32_t value_id) {
    Request<AsyncApiThreaded_CountCommonDataUses>(task_names::kCountCommonDataUses,
                                                  In(key, data_type_name), In(id, value_id),
                                                  Out(count));
}

void db_task_caller::RequestImportRow(const row_info_t& data) {
    Request<AsyncApiThreaded_InsertRow>(task_names::kImportRow, In(row_data, data));
}

void db_task_caller::RequestImportRows(const row_list_t& data,
                                       const insert_result_list_t& handed_in) {
    Request<AsyncApiThreaded_InsertMultiRows>(task_names::kImportRows, In(rows, data),
                                              In(results, handed_in));
}

void db_task_caller::OnDataTypeInfo(TaskContext ctx) {
    m_dictionary.set_data_info(ctx.Get(data_info));
    RequestGetCommonDataMap();
}

void db_task_caller::OnCommonDataMap(TaskContext ctx) {
    m_dictionary.set_data_map(ctx.Get(data_map));
    m_dictionary.rebuild_lists();
}

void db_task_caller::OnDataTypeUpdated(TaskContext ctx) {
    m_dictionary.set_data_type(ctx.Get(data_type));
}

void db_task_caller::OnCommonDataUpdated(TaskContext ctx) {
    m_dictionary.set_common_value(ctx.Get(key), ctx.Get(id), ctx.Get(value));
}

void db_task_caller::OnCommonDataInserted(TaskContext ctx) {
    m_dictionary.add_common_value(ctx.Get(key), ctx.Get(id), ctx.Get(value));
}

void db_task_caller::OnCommonDataDeleted(TaskContext ctx) {
    m_dictionary.remove_common_value(ctx.Get(key), ctx.Get(id), ctx.Get(value));
}

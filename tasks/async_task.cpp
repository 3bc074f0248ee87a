#include "tasks/async_task.h"

#include "store/store.h"
#include "tasks/task_keys.h"

using namespace task_keys;

Async_Task::Async_Task() {
    SetTargetWindow(nullptr);
}

Async_Task::~Async_Task() {
    // Before the connection goes: a task still queued uses it.
    Shutdown();
}

void Async_Task::SetTargetWindow(HWND hWnd) {
    m_hWndTarget = hWnd;
#define LEDGERDESK_SET_TARGET(Operation) \
    static_cast<AsyncApiThreaded_##Operation&>(*this).SetTarget(&m_worker, hWnd);
    LEDGERDESK_TASK_OPERATIONS(LEDGERDESK_SET_TARGET)
#undef LEDGERDESK_SET_TARGET
}

void Async_Task::SetReplyWait(int poll_interval_ms, int poll_attempts) {
    m_worker.Post([this, poll_interval_ms, poll_attempts] {
        m_db.client().SetReplyWait(poll_interval_ms, poll_attempts);
    });
}

template <class StoreFunction, class... Inputs>
void Async_Task::RunStore(TaskContext& ctx, StoreFunction store, task_key<Inputs>... keys) {
    ctx.Get(ret) = store(m_db, ctx.Get(keys)...);
}

void Async_Task::OpenCustomerInfoDb(TaskContext ctx) {
    // "database" travels with the task but the service's open request does not carry it.
    ctx.Get(ret) = m_db.open(ctx.Get(url), ctx.Get(user), ctx.Get(pass), ctx.Get(server_key));
}

void Async_Task::LoadCustomerInfoDb(TaskContext ctx) {
    if (ctx.Get(page_step).direction != 0)
        RunStore(ctx, load_rows_beside, sortType, constraints, page_step, page_size, rows,
                 list_columns);
    else
        RunStore(ctx, load_rows_page, sortType, constraints, page_num, page_size, rows,
                 list_columns);
}

void Async_Task::GetRowCount(TaskContext ctx) {
    RunStore(ctx, count_rows, constraints, count);
}

void Async_Task::InsertRow(TaskContext ctx) {
    RunStore(ctx, insert_row, row_data);
}

void Async_Task::InsertMultiRows(TaskContext ctx) {
    RunStore(ctx, insert_multi_rows, rows, results);
}

void Async_Task::FindPlateID(TaskContext ctx) {
    int32_t owner = 0;
    ctx.Get(ret) = find_plateID(m_db, ctx.Get(PlateID), owner);
}

void Async_Task::GetCommonData(TaskContext ctx) {
    RunStore(ctx, load_common_data, data_map);
}

void Async_Task::GetDataTypeInfo(TaskContext ctx) {
    RunStore(ctx, load_data_type_info, data_info);
}

void Async_Task::UpdateCommonData(TaskContext ctx) {
    RunStore(ctx, update_common_data, key, value, id);
}

void Async_Task::InsertCommonData(TaskContext ctx) {
    RunStore(ctx, insert_common_data, key, value, id);
}

void Async_Task::DeleteCommonData(TaskContext ctx) {
    RunStore(ctx, delete_common_data, key, value, id);
}

void Async_Task::CountCommonDataUses(TaskContext ctx) {
    RunStore(ctx, count_common_data_uses, key, id, count);
}

void Async_Task::LoadCustomerByID(TaskContext ctx) {
    RunStore(ctx, load_customer_by_id, id, row);
}

void Async_Task::UpdateCustomer(TaskContext ctx) {
    RunStore(ctx, update_customer, customer_info);
}

void Async_Task::DeleteCustomerAndVehicles(TaskContext ctx) {
    RunStore(ctx, delete_customer_and_vehicles, id);
}

void Async_Task::LoadCustomerVehicles(TaskContext ctx) {
    RunStore(ctx, load_customer_vehicles, id, vehicles);
}

void Async_Task::UpdateVehicle(TaskContext ctx) {
    RunStore(ctx, update_vehicle, vehicle_info);
}

void Async_Task::InsertCustomer(TaskContext ctx) {
    RunStore(ctx, insert_customer, customer_info);
}

void Async_Task::InsertVehicle(TaskContext ctx) {
    RunStore(ctx, insert_vehicle, vehicle_info);
}

void Async_Task::DeleteCustomer(TaskContext ctx) {
    RunStore(ctx, delete_customer, id);
}

void Async_Task::DeleteVehicle(TaskContext ctx) {
    RunStore(ctx, delete_vehicle, PlateID);
}

void Async_Task::DeleteVehicleByCustomerID(TaskContext ctx) {
    RunStore(ctx, delete_vehicles_of_customer, id);
}

void Async_Task::UpdateDataTypeInfo(TaskContext ctx) {
    RunStore(ctx, update_data_type_info, data_type);
}

void Async_Task::Login(TaskContext ctx) {
    RunStore(ctx, login_user, user, pass);
}

void Async_Task::DeleteRows(TaskContext ctx) {
    RunStore(ctx, delete_rows, rows_to_delete);
}

void Async_Task::DeleteAllRows(TaskContext ctx) {
    RunStore(ctx, delete_all_rows);
}

void Async_Task::MergeRows(TaskContext ctx) {
    RunStore(ctx, move_vehicles, plates_to_move, id);
}

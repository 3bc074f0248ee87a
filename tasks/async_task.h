#pragma once
// The process's one task object: the worker thread, the database connection and the 27 API
// objects. Requests reach it through db_task_caller.
#include "store/db_connection.h"
#include "tasks/async_api.h"
#include "tasks/thread_worker.h"

#define LEDGERDESK_INHERIT_ASYNC_API(Operation) , public AsyncApiThreaded_##Operation
class Async_Task : public ThreadWorker LEDGERDESK_TASK_OPERATIONS(LEDGERDESK_INHERIT_ASYNC_API) {
#undef LEDGERDESK_INHERIT_ASYNC_API
public:
    // No thread yet (the first submission starts it), the connection closed, no target window.
    Async_Task();
    // Waits until every queued task has run, stops the worker, then closes the connection.
    ~Async_Task() override;

    // Waits until every queued task has run and stops the worker; later submissions never run.
    // A derived task whose operations use its own members calls this in its destructor.
    void Shutdown() {
        m_worker.Shutdown();
    }

    // UI thread. Completions of tasks submitted from now on go to hWnd.
    void SetTargetWindow(HWND hWnd);
    HWND GetTargetWindow() const {
        return m_hWndTarget;
    }

    // Test seam of the worker: runs on it each time it goes idle.
    void SetBeforeIdleWait(cpp11_thread::work_item hook) {
        m_worker.SetBeforeIdleWait(std::move(hook));
    }

    // Test seam: shortens how long the connection waits for a reply. Applied on the worker, in
    // order with the tasks.
    void SetReplyWait(int poll_interval_ms, int poll_attempts);

    // The operations: run on the worker, each calls its store function with the context's
    // values and leaves the result in "ret".
#define LEDGERDESK_DECLARE_OPERATION(Operation) void Operation(TaskContext ctx) override;
    LEDGERDESK_TASK_OPERATIONS(LEDGERDESK_DECLARE_OPERATION)
#undef LEDGERDESK_DECLARE_OPERATION

private:
    template <class StoreFunction, class... Inputs>
    void RunStore(TaskContext& ctx, StoreFunction store, task_key<Inputs>... keys);

    DbConnection m_db;
};

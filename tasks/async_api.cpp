#include "tasks/async_api.h"

#include "tasks/task_keys.h"

void ThreadedAsyncApi::SubmitWork(protected_bind_t::operation_t operation, complete_t complete,
                                  const TaskContext& ctx) {
    const protected_bind_t work(std::move(operation), ctx);
    const boost::function<void()> completion = [complete, ctx] { complete(ctx); };
    const HWND target = m_hWnd;
    m_pWorker->Post([work, completion, ctx, target] {
        work();
        PostTaskCompletion(target, completion, ctx);
    });
}

void ThreadedAsyncApi::RunCallback(const TaskContext& ctx) {
    const task_callback_t* callback = ctx.Find(task_keys::callback);
    if (callback && !callback->empty()) {
        (*callback)();
    }
}

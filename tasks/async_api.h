#pragma once
// One API object per database operation. The interface AsyncApi_<Operation> declares the
// operation; AsyncApiThreaded_<Operation> queues it on the worker and completes it on the UI
// thread. The queued part is the same for every operation, so one template carries it and the
// operation list below names the 27 operations once.
#include <boost/function.hpp>

#include "tasks/callback_info.h"
#include "tasks/cpp11_thread.h"
#include "tasks/protected_bind.h"
#include "tasks/task_context.h"
#include "uilib/ui_types.h"

// The operations in the order the task object derives from them.
#define LEDGERDESK_TASK_OPERATIONS(X) \
    X(OpenCustomerInfoDb)             \
    X(LoadCustomerInfoDb)             \
    X(GetRowCount)                    \
    X(InsertRow)                      \
    X(InsertMultiRows)                \
    X(FindPlateID)                    \
    X(GetCommonData)                  \
    X(GetDataTypeInfo)                \
    X(UpdateCommonData)               \
    X(InsertCommonData)               \
    X(DeleteCommonData)               \
    X(CountCommonDataUses)            \
    X(LoadCustomerByID)               \
    X(UpdateCustomer)                 \
    X(DeleteCustomerAndVehicles)      \
    X(LoadCustomerVehicles)           \
    X(UpdateVehicle)                  \
    X(InsertCustomer)                 \
    X(InsertVehicle)                  \
    X(DeleteCustomer)                 \
    X(DeleteVehicle)                  \
    X(DeleteVehicleByCustomerID)      \
    X(UpdateDataTypeInfo)             \
    X(Login)                          \
    X(DeleteRows)                     \
    X(DeleteAllRows)                  \
    X(MergeRows)

// Not polymorphic: the worker and the window that the completions of one API object go to.
class ThreadedAsyncApi {
public:
    void SetTarget(cpp11_thread* worker, HWND target) {
        m_pWorker = worker;
        m_hWnd = target;
    }

protected:
    typedef boost::function<void(TaskContext)> complete_t;

    // UI thread. Queues the operation with its own copy of the context; once it has run, the
    // worker posts a completion record (running `complete` with another copy) to the window that
    // was the target at submission.
    void SubmitWork(protected_bind_t::operation_t operation, complete_t complete,
                    const TaskContext& ctx);
    // Runs the context's "callback"; a context without one completes silently.
    static void RunCallback(const TaskContext& ctx);

private:
    cpp11_thread* m_pWorker = nullptr;
    HWND m_hWnd = nullptr;
};

template <class Api, void (Api::*Operation)(TaskContext)>
class AsyncApiThreaded : public Api, public ThreadedAsyncApi {
public:
    virtual void Submit(TaskContext ctx) {
        SubmitWork([this](TaskContext work) { (this->*Operation)(work); },
                   [this](TaskContext done) { Complete(done); }, ctx);
    }
    virtual void Complete(TaskContext ctx) { RunCallback(ctx); }

protected:
    ~AsyncApiThreaded() = default;
};

#define LEDGERDESK_DECLARE_ASYNC_API(Operation)                                      \
    class AsyncApi_##Operation {                                                     \
    public:                                                                          \
        virtual void Operation(TaskContext ctx) = 0;                                 \
                                                                                     \
    protected:                                                                       \
        ~AsyncApi_##Operation() = default;                                           \
    };                                                                               \
    typedef AsyncApiThreaded<AsyncApi_##Operation, &AsyncApi_##Operation::Operation> \
        AsyncApiThreaded_##Operation;
LEDGERDESK_TASK_OPERATIONS(LEDGERDESK_DECLARE_ASYNC_API)
#undef LEDGERDESK_DECLARE_ASYNC_API

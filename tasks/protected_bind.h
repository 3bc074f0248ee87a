#pragma once
// The work of a task inside a work item.
#include <boost/function.hpp>

#include "tasks/task_context.h"

// Calls the bound operation with a fresh copy of the context. The operations report failures in
// "ret" and throw nothing; should one throw anyway, the task fails with {false, 0} and its
// completion still runs, instead of the exception ending the worker and with it the program.
class protected_bind_t {
public:
    typedef boost::function<void(TaskContext)> operation_t;

    protected_bind_t(operation_t operation, const TaskContext& context)
        : m_operation(std::move(operation)), m_context(context) {}

    void operator()() const;

private:
    operation_t m_operation;
    TaskContext m_context;
};

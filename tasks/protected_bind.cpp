#include "tasks/protected_bind.h"

#include <cstdio>
#include <exception>

#include "tasks/task_keys.h"

namespace {

const char* Describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown exception";
    }
}

}  // namespace

void protected_bind_t::operator()() const {
    try {
        m_operation(TaskContext(m_context));
    } catch (...) {
        const tstring* name = m_context.Find(task_keys::task_name);
        std::fprintf(stderr, "task %s failed: %s\n", name ? name->c_str() : "",
                     Describe(std::current_exception()));
        if (ret_t* ret = m_context.Find(task_keys::ret)) {
            *ret = ret_t(false, 0);
        }
    }
}

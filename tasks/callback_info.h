#pragma once
// The completion record a finished task posts to its target window.
#include <atomic>
#include <boost/function.hpp>

#include "tasks/task_context.h"
#include "uilib/window_messages.h"

// wParam: the CallBackInfo*, lParam: 0.
constexpr UINT WM_TASK_COMPLETE = WM_USER + 300;

struct CallBackInfo {
    CallBackInfo(boost::function<void()> completion_, const TaskContext& context_)
        : completion(std::move(completion_)), context(context_) {}

    // Calls Complete of the task's API object with a copy of the context.
    boost::function<void()> completion;
    TaskContext context;
    // Set by the worker after the task has run and read by the UI thread before the record is
    // used: the task's writes are ordered before the handlers' reads by this flag itself, not
    // only by the window library's queue, which thread checkers cannot see through.
    std::atomic<bool> published{false};
};

// Worker side: posts the record to the target window, which then owns it. A record that cannot
// be posted, or that the window library drops because the window went away before delivery, is
// freed without running.
void PostTaskCompletion(HWND target, const boost::function<void()>& completion,
                        const TaskContext& context);

// For the message procedure of a target window on WM_TASK_COMPLETE: runs the completion and
// frees the record. Returns the message result, 0.
LRESULT RunTaskCompletion(WPARAM wParam);

#pragma once

#include "tasks/cpp11_thread.h"
#include "uilib/ui_types.h"

// The window that receives completions, and the one worker thread.
class ThreadWorker {
public:
    virtual ~ThreadWorker() = default;

protected:
    HWND m_hWndTarget = nullptr;
    cpp11_thread m_worker;
};

#pragma once
// A target window and a task object whose operations the test scripts.

#include <functional>
#include <memory>
#include <string>

#include "settings/config.h"
#include "tests/support/scratch_dir.h"
#include "tasks/async_task.h"
#include "tasks/callback_info.h"
#include "uilib/window_wnd.h"

namespace taskstest {

// Handles WM_TASK_COMPLETE the way the program's target windows do.
class CompletionWnd : public CWindowWnd {
public:
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_TASK_COMPLETE) {
            return RunTaskCompletion(wParam);
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
};

// The real worker, API objects and completion path, with "Login" and "InsertCommonData"
// running whatever the test sets (before its first request) instead of the store.
class ScriptedTask : public Async_Task {
public:
    using script_t = std::function<void(TaskContext&)>;

    // The scripts must outlive every queued task.
    ~ScriptedTask() override { Shutdown(); }

    void Login(TaskContext ctx) override { login(ctx); }
    void InsertCommonData(TaskContext ctx) override { insertCommonData(ctx); }

    script_t login = Succeed;
    script_t insertCommonData = Succeed;

    static void Succeed(TaskContext& ctx) { ctx.Get<ret_t>("ret") = ret_t(true, 0); }
};

// A settings file with the given text in a fresh folder, and the CConfig that reads it.
class ScratchSettings {
public:
    explicit ScratchSettings(const std::string& text) : m_path(m_folder.file("wlsetting.ini")) {
        WriteBytes(m_path, text);
        m_config = std::make_unique<CConfig>(m_path);
    }

    std::string FileText() const { return ReadBytes(m_path); }

private:
    ScratchDir m_folder;
    std::string m_path;
    std::unique_ptr<CConfig> m_config;
};

}  // namespace taskstest

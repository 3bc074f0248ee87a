#pragma once
// The first window: opens the database at the address the operator types, checks the operator,
// then hands the task object and caller to the main window and stays alive, hidden.
#include <memory>
#include <optional>

#include "app/dialog_builder_callback_ex.h"
#include "tasks/async_task.h"
#include "tasks/db_task_caller.h"
#include "uilib/dialog_wnd.h"

class CButtonUI;
class CEditUI;
class CLabelUI;
class CMainWnd;

// Posted by the login dialog to itself after a successful login (both parameters 0): the switch
// to the main window changes the caller's handlers, so it waits until the dispatch is over.
constexpr UINT WM_LOGIN_DONE = WM_USER + 301;

class CDlgLogin : public CDialogWnd, public INotifyUI {
public:
    CDlgLogin();
    // Closes the main window first, then waits for the queued tasks and stops the worker.
    ~CDlgLogin() override;

    void SetCaptionText(LPCTSTR pstrText) { m_sCaption = pstrText; }
    // Creates the window, hidden, from "DlgLogin.xml".
    HWND CreateFromSkin(LPCTSTR pstrCaption);

    Async_Task& GetTask() { return m_task; }
    db_task_caller& GetTaskCaller() { return m_caller; }
    // Null until the operator has logged in.
    CMainWnd* GetMainWnd() const { return m_pMainWnd.get(); }
    // From "ok" until the service has answered: "ok" is disabled and the cursor shows it.
    bool IsBusy() const { return m_busy.has_value(); }

    // Closing the dialog before a login ends the application.
    void Close(UINT nRet = IDCANCEL) override;
    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    void InitWindow() override;

private:
    void OnOk();
    void RequestLoginAsTyped();
    void OnOpenDb(TaskContext ctx);
    void OnLogin(TaskContext ctx);
    void OnLoginDone();
    // The outcome in "label_msg"; what to do about it, if anything, in "label_hint" below it.
    void SetMessage(LPCTSTR pstrText, LPCTSTR pstrHint = "");
    void SetBusy(bool bBusy);
    void SelectForRetyping(CEditUI* pEdit);

    CDialogBuilderCallbackEx m_builderCallback;
    Async_Task m_task;
    db_task_caller m_caller;
    task_handler_set m_handlers;
    CDuiString m_sCaption;
    CEditUI* m_pEditUserName = nullptr;
    CEditUI* m_pEditUserPass = nullptr;
    CEditUI* m_pEditIp = nullptr;
    CButtonUI* m_pBtnOk = nullptr;
    CLabelUI* m_pLabelMsg = nullptr;
    bool m_bConnected = false;
    std::optional<CWaitCursor> m_busy;
    // Last, so it goes first: its pages hold the caller.
    std::unique_ptr<CMainWnd> m_pMainWnd;
};

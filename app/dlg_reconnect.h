#pragma once
// The modal dialog that reopens the database after a lost connection, until it succeeds or the
// operator gives up, which ends the application.
#include "app/dialog_builder_callback_ex.h"
#include "tasks/db_task_caller.h"
#include "uilib/dialog_wnd.h"

class CLabelUI;

class CDlgReconnect : public CDialogWnd, public INotifyUI {
public:
    // How long a failed attempt waits before the next one.
    static constexpr UINT kDefaultRetryIntervalMs = 20000;
    // Tests shorten the wait between attempts; 0 restores the default.
    static void SetRetryInterval(UINT ms);
    static UINT GetRetryInterval();

    // How many reconnect dialogs exist: the main window never opens a second one.
    static int GetInstanceCount();

    CDlgReconnect();
    ~CDlgReconnect() override;

    // Creates the window, hidden, from "DlgReconnect.xml" over the parent.
    HWND CreateFromSkin(HWND hwndParent);
    // Hears the outcome of every "OpenDb" through the caller from now on.
    void Attach(db_task_caller* pCaller);
    void SetMessage(LPCTSTR pstrText);
    CDuiString GetMessage() const;

    // Giving up, however asked (the "cancel" button, Escape, the window manager): ends the
    // application.
    void Close(UINT nRet = IDCANCEL) override;
    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

private:
    void OnOpenDb(TaskContext ctx);
    // The retry timer runs on "label_msg" (on the root if a skin lacks it).
    CControlUI* RetryTimerHost() const;

    CDialogBuilderCallbackEx m_builderCallback;
    db_task_caller* m_pCaller = nullptr;
    CLabelUI* m_pLabelMsg = nullptr;
    task_handler_set m_handlers;
};

#pragma once
// The working window after login: navigation, the five pages, the reconnect dialog when the
// connection is lost, and a confirmation before closing.
#include "app/dialog_builder_callback_ex.h"
#include "controls/shadow_wnd.h"
#include "tasks/db_task_caller.h"
#include "tasks/task_context.h"
#include "uilib/dialog_wnd.h"

class Async_Task;
class CDlgReconnect;
class CMainTabPageUI;
class CTabLayoutUI;

// The pages in the order of the tab layout "main_tab".
enum MainPage { kPageList, kPageImport, kPageExport, kPageEdit, kPageDbConfig, kMainPageCount };

class CMainWnd : public CDialogWnd, public INotifyUI {
public:
    CMainWnd();
    ~CMainWnd() override;

    void SetCaptionText(LPCTSTR pstrText) { m_sCaption = pstrText; }
    // Creates the window, hidden, from "skin.xml" with the window's own control factory.
    HWND CreateFromSkin(LPCTSTR pstrCaption);

    // Takes over the task object and caller (owned by the login dialog): completions come here
    // from now on, the data types are requested, the pages initialised, and a lost connection
    // opens the reconnect dialog.
    void AttachTask(Async_Task* pTask, db_task_caller* pCaller);
    // 1 import, 2 edit, 3 data configuration, anything else the customer list.
    void SelectNavOption(int index);
    // Asks "确定要退出？" (or, with unsaved work on a page, that page's question); once
    // confirmed the window hides at once and closes a second later, which ends the application.
    void Close(UINT nRet = IDOK) override;

    CMainTabPageUI* GetPage(MainPage page) const { return m_pages[page]; }
    // The reconnect dialog while it is open, else null.
    CDlgReconnect* GetReconnectDialog() const { return m_pReconnect; }

    void Notify(TNotifyUI& msg) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    void InitWindow() override;

private:
    void Navigate(const CDuiString& option);
    void SelectOption(LPCTSTR pstrName, bool bTriggerEvent = true);
    // False when the page shown keeps the operator (its unsaved work is being saved, or he
    // called the switch off).
    bool MayLeaveShownPage(MainPage target, const CDuiString& option);
    CMainTabPageUI* PageWithUnsavedChanges() const;
    // Hides the window and closes it for good a second later.
    void Quit();
    bool IsOptionSelected(LPCTSTR pstrName) const;
    // Hands Ctrl with a key to the page shown; true when the page used it.
    bool ShortcutTaken(WPARAM vk);
    void OnConnectionLost(TaskContext ctx);
    // True when the connection is back; false when the operator gave up.
    bool RunReconnectDialog();
    // The close timer runs on the list page (on the root if a skin lacks the page).
    CControlUI* CloseTimerHost() const;
    void CloseForGood();

    CDialogBuilderCallbackEx m_builderCallback;
    CShadowWnd m_shadow;
    Async_Task* m_pTask = nullptr;
    db_task_caller* m_pCaller = nullptr;
    CMainTabPageUI* m_pages[kMainPageCount] = {};
    CControlUI* m_pSubNavImport = nullptr;
    CTabLayoutUI* m_pMainTab = nullptr;
    CDlgReconnect* m_pReconnect = nullptr;
    bool m_bReconnecting = false;
    // Quitting was confirmed; the window closes for good a second later.
    bool m_bClosing = false;
    // The data types and lookup values have reached the caller's dictionary.
    bool m_bDictionaryLoaded = false;
    task_handler_set m_handlers;
    CDuiString m_sCaption;
    // The navigation option of the page shown, selected again when leaving it is called off.
    CDuiString m_sShownOption;
};

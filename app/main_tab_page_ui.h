#pragma once
// The base of the main window's five pages.
#include <functional>

#include "app/tab_page_ui.h"
#include "tasks/db_task_caller.h"
#include "uilib/ui_notify.h"

class CMainWnd;
class CDialogBuilderCallbackEx;

// A page overrides InitPage (and calls this one first) to find its controls and register its
// task handlers. Every page is a notifier of the main window's paint manager, so its Notify sees
// what any page or the main window sends ("need_refresh_list", "edit_customer", "timer", ...).
class CMainTabPageUI : public CTabPageUI, public IChildWndNotifyUI, public INotifyUI {
public:
    CMainTabPageUI(LPCTSTR pstrLayout, CPaintManagerUI* pManager);
    ~CMainTabPageUI() override;

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Called once by the main window when it takes the tasks over: stores the three, the caller's
    // data-type dictionary, and joins the paint manager's notifiers.
    virtual void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                          db_task_caller* pCaller);
    // The main window's reconnect dialog has closed: the connection is back (`reconnected`), or
    // the application is ending. A page with work in flight stops or pauses it here.
    virtual void OnReconnectFinished(bool /*reconnected*/) {}
    // Work the operator has not saved yet, which leaving the page or quitting would drop.
    virtual bool HasUnsavedChanges() const { return false; }
    // Before the page is left: true to go on at once (nothing unsaved, or the operator dropped
    // it); false to stay, and then `afterSave` runs once the save the operator chose succeeded.
    virtual bool AskToLeave(std::function<void()> /*afterSave*/) { return true; }
    // Ctrl with the key vk was pressed while the page is shown; true when the page used it.
    virtual bool OnShortcut(UINT /*vk*/) { return false; }

    void Notify(TNotifyUI&) override {}
    void OnWindowMessage(UINT, WPARAM, LPARAM) override {}

protected:
    // Registers with the caller for as long as the page lives.
    void RegisterTaskHandler(const tstring& task_name, task_handler_t handler);

    CMainWnd* m_pMainWnd = nullptr;
    CDialogBuilderCallbackEx* m_pBuilderCallback = nullptr;
    db_task_caller* m_pCaller = nullptr;
    const DataTypeDictionary* m_pDictionary = nullptr;

private:
    CPaintManagerUI* m_pNotifyingManager = nullptr;
    task_handler_set m_taskHandlers;
};

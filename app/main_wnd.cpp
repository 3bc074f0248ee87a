#include "app/main_wnd.h"

#include "app/dlg_reconnect.h"
#include "app/find_control.h"
#include "app/main_tab_page_ui.h"
#include "tasks/callback_info.h"
#include "tasks/db_task_caller.h"
#include "uilib/button_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/message_box.h"
#include "uilib/ui_application.h"

namespace {

const UINT kCloseTimer = CTimerID::g_ID++;
const UINT kCloseDelayMs = 1000;

const char* const kPageNames[kMainPageCount] = {"pagelist", "pageimport", "pageexport", "pageedit",
                                                "pagedbconfig"};

// Tasks that only read. Any other task lost on its way may or may not have been written; the
// import run says so in its own notice.
const char* const kReadsOrTellsItself[] = {
    task_names::kOpenDb,          task_names::kLogin,
    task_names::kGetRowCount,     task_names::kLoadDbRange,
    task_names::kLoadCustomerByID, task_names::kLoadCustomerVehicles,
    task_names::kGetDataTypeInfo, task_names::kGetCommonDataMap,
    task_names::kCountCommonDataUses, task_names::kImportRow,
    task_names::kImportRows,
};

bool MayHaveWritten(const tstring& task) {
    for (const char* name : kReadsOrTellsItself) {
        if (task == name) return false;
    }
    return true;
}

// What selecting a navigation option does to the sub-navigation of the import and export pages.
enum class SubNav { kHide, kShow, kKeep };

struct NavEntry {
    const char* option;
    MainPage page;
    SubNav subNav;
};

// "option_import" shows whichever of import and export its sub-navigation has selected.
const NavEntry kNavigation[] = {
    {"option_list_view", kPageList, SubNav::kHide},
    {"option_import", kPageImport, SubNav::kShow},
    {"sub_option_import", kPageImport, SubNav::kKeep},
    {"sub_option_export", kPageExport, SubNav::kKeep},
    {"option_edit", kPageEdit, SubNav::kHide},
    {"option_dbconfig", kPageDbConfig, SubNav::kHide},
};

// SelectNavOption's index to option name.
const char* const kNavOptions[] = {"option_list_view", "option_import", "option_edit",
                                   "option_dbconfig"};

}  // namespace

CMainWnd::CMainWnd() = default;

CMainWnd::~CMainWnd() {
    if (m_pCaller) m_pCaller->SetConnectionLostHandler(task_handler_t());
}

HWND CMainWnd::CreateFromSkin(LPCTSTR pstrCaption) {
    return Create(nullptr, pstrCaption, "skin.xml", &m_builderCallback, UI_WNDSTYLE_FRAME);
}

void CMainWnd::InitWindow() {
    for (int page = 0; page < kMainPageCount; ++page)
        m_pages[page] = FindControlAs<CMainTabPageUI>(m_pm, kPageNames[page], "MainTabPage");
    m_pSubNavImport = m_pm.FindControl("subnav_import");
    m_pMainTab = FindControlAs<CTabLayoutUI>(m_pm, "main_tab", "TabLayout");
    for (const char* option : kNavOptions)
        if (IsOptionSelected(option)) m_sShownOption = option;
    if (CControlUI* title = m_pm.FindControl("title")) title->SetText(m_sCaption);
    // Without a compositor there is no shadow; the window works the same.
    m_shadow.Attach(this);
}

void CMainWnd::AttachTask(Async_Task* pTask, db_task_caller* pCaller) {
    m_pTask = pTask;
    m_pCaller = pCaller;
    m_pTask->SetTargetWindow(m_hWnd);
    m_handlers.Register(*m_pCaller, task_names::kGetCommonDataMap, [this](TaskContext ctx) {
        if (ctx.Get(task_keys::ret).ok) m_bDictionaryLoaded = true;
    });
    // Completes after the pages below have registered their handlers.
    m_pCaller->RequestGetDataTypeInfo();
    for (CMainTabPageUI* page : m_pages) {
        if (page) page->InitPage(this, &m_builderCallback, m_pCaller);
    }
    m_pCaller->SetConnectionLostHandler([this](TaskContext ctx) { OnConnectionLost(ctx); });
}

void CMainWnd::SelectNavOption(int index) {
    const bool known = index >= 1 && index <= 3;
    SelectOption(kNavOptions[known ? index : 0]);
}

void CMainWnd::SelectOption(LPCTSTR pstrName, bool bTriggerEvent) {
    if (auto* option = FindControlAs<COptionUI>(m_pm, pstrName, "Option"))
        option->Selected(true, bTriggerEvent);
}

bool CMainWnd::IsOptionSelected(LPCTSTR pstrName) const {
    const auto* option = FindControlAs<COptionUI>(m_pm, pstrName, "Option");
    return option && option->IsSelected();
}

void CMainWnd::Navigate(const CDuiString& option) {
    for (const NavEntry& entry : kNavigation) {
        if (option != entry.option) continue;
        MainPage page = entry.page;
        if (entry.subNav == SubNav::kShow && !IsOptionSelected("sub_option_import"))
            page = kPageExport;
        if (!MayLeaveShownPage(page, option)) return;
        if (m_pMainTab) m_pMainTab->SelectItem(page);
        if (entry.subNav == SubNav::kKeep) return;
        m_sShownOption = option;
        if (m_pSubNavImport) m_pSubNavImport->SetVisible(entry.subNav == SubNav::kShow);
        return;
    }
}

// The page shown keeps the operator while it holds unsaved work he has not let go: the option
// chosen is selected again once the save he asked for is done.
bool CMainWnd::MayLeaveShownPage(MainPage target, const CDuiString& option) {
    if (!m_pMainTab || m_pMainTab->GetCurSel() < 0 || m_pMainTab->GetCurSel() >= kMainPageCount)
        return true;
    CMainTabPageUI* shown = m_pages[m_pMainTab->GetCurSel()];
    if (!shown || shown == m_pages[target]) return true;
    if (shown->AskToLeave([this, option] { SelectOption(option); })) return true;
    SelectOption(m_sShownOption, false);
    return false;
}

CMainTabPageUI* CMainWnd::PageWithUnsavedChanges() const {
    for (CMainTabPageUI* page : m_pages)
        if (page && page->HasUnsavedChanges()) return page;
    return nullptr;
}

void CMainWnd::Close(UINT) {
    // Unsaved work is asked about instead: its answer decides whether to quit.
    if (CMainTabPageUI* unsaved = PageWithUnsavedChanges()) {
        if (unsaved->AskToLeave([this] { Quit(); })) Quit();
        return;
    }
    if (UIMessageBox2(m_hWnd, "确定要退出？") != 0) return;
    Quit();
}

void CMainWnd::Quit() {
    m_bClosing = true;
    ShowWindow(false);
    m_pm.SetTimer(CloseTimerHost(), kCloseTimer, kCloseDelayMs);
}

CControlUI* CMainWnd::CloseTimerHost() const {
    return m_pages[kPageList] ? static_cast<CControlUI*>(m_pages[kPageList]) : m_pm.GetRoot();
}

void CMainWnd::CloseForGood() {
    m_pm.KillTimer(CloseTimerHost(), kCloseTimer);
    CDialogWnd::Close(1);
}

void CMainWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_SELECTCHANGED && msg.pSender) {
        Navigate(msg.pSender->GetName());
    } else if (msg.sType == DUI_MSGTYPE_TIMER && msg.wParam == kCloseTimer) {
        CloseForGood();
    } else {
        CDialogWnd::Notify(msg);
    }
}

LRESULT CMainWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_TASK_COMPLETE) return RunTaskCompletion(wParam);
    if (uMsg == WM_KEYDOWN && (static_cast<UINT>(lParam) & MK_CONTROL) && ShortcutTaken(wParam))
        return 0;
    if (uMsg == WM_CLOSE) {
        // Only CloseForGood gets here (every other way of closing asks first): the end.
        const LRESULT result = CDialogWnd::HandleMessage(uMsg, wParam, lParam);
        PostQuitMessage(0);
        return result;
    }
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

bool CMainWnd::ShortcutTaken(WPARAM vk) {
    const int shown = m_pMainTab ? m_pMainTab->GetCurSel() : -1;
    CMainTabPageUI* page = shown >= 0 && shown < kMainPageCount ? m_pages[shown] : nullptr;
    return page && page->OnShortcut(static_cast<UINT>(vk));
}

void CMainWnd::OnConnectionLost(TaskContext ctx) {
    // Further failures while the dialog is open are its business, not a second dialog's.
    if (ctx.Get(task_keys::ret).code != kDbConnectionLost || m_bReconnecting) return;
    // The operator has chosen to quit: no dialog over a window already gone.
    if (m_bClosing) return;
    m_bReconnecting = true;
    const bool reconnected = RunReconnectDialog();
    m_bReconnecting = false;
    for (CMainTabPageUI* page : m_pages) {
        if (page) page->OnReconnectFinished(reconnected);
    }
    // Never sent again by itself: it may have been done already.
    if (reconnected && MayHaveWritten(ctx.Get(task_keys::task_name)))
        UIMessageBox(m_hWnd, "连接中断时的操作可能已经完成，也可能没有：请刷新后核对，确实没有完成再重做。");
    // Lost before they came, the data types are asked for again: no page loads without them.
    if (reconnected && !m_bDictionaryLoaded) m_pCaller->RequestGetDataTypeInfo();
}

bool CMainWnd::RunReconnectDialog() {
    CDlgReconnect dialog;
    if (!dialog.CreateFromSkin(m_hWnd)) return false;
    dialog.Attach(m_pCaller);
    dialog.CenterWindow();
    dialog.SetMessage("数据库已断开，正在重新连接...");
    m_pCaller->RequestOpenDb();
    m_pReconnect = &dialog;
    const UINT result = dialog.ShowModal();
    m_pReconnect = nullptr;
    // Given up: the application ends, and the window goes now, not after the worker's last wait.
    if (result != IDOK) ShowWindow(false);
    return result == IDOK;
}

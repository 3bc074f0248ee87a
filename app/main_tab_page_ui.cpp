#include "app/main_tab_page_ui.h"

#include <cstring>

#include "tasks/db_task_caller.h"
#include "uilib/paint_manager_ui.h"

CMainTabPageUI::CMainTabPageUI(LPCTSTR pstrLayout, CPaintManagerUI* pManager)
    : CTabPageUI(pstrLayout, pManager) {}

CMainTabPageUI::~CMainTabPageUI() {
    if (m_pNotifyingManager) m_pNotifyingManager->RemoveNotifier(this);
}

LPCTSTR CMainTabPageUI::GetClass() const {
    return "MainTabPageUI";
}

void* CMainTabPageUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "MainTabPage") == 0 ? this : CTabPageUI::GetInterface(pstrName);
}

void CMainTabPageUI::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                              db_task_caller* pCaller) {
    m_pMainWnd = pMainWnd;
    m_pBuilderCallback = pBuilderCallback;
    m_pCaller = pCaller;
    m_pDictionary = &pCaller->GetDictionary();
    if (m_pManager && !m_pNotifyingManager) {
        m_pNotifyingManager = m_pManager;
        m_pManager->AddNotifier(this);
    }
}

void CMainTabPageUI::RegisterTaskHandler(const tstring& task_name, task_handler_t handler) {
    m_taskHandlers.Register(*m_pCaller, task_name, std::move(handler));
}

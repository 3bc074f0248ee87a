#include "app/tab_page_ui.h"

#include <cstring>

#include "app/dialog_builder_callback_ex.h"

CTabPageUI::CTabPageUI(LPCTSTR pstrLayout, CPaintManagerUI* pManager) {
    CDialogBuilderCallbackEx callback;
    CDialogBuilder().Create(pstrLayout, &callback, pManager, this);
}

LPCTSTR CTabPageUI::GetClass() const {
    return "TabPageUI";
}

void* CTabPageUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "TabPage") == 0 ? this : CContainerUI::GetInterface(pstrName);
}

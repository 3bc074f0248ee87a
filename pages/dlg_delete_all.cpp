#include "pages/dlg_delete_all.h"

#include <string>

#include "app/find_control.h"
#include "uilib/edit_ui.h"

HWND CDlgDeleteAll::CreateFromSkin(HWND hwndParent) {
    return Create(hwndParent, "删除所有数据", "deleteall.xml");
}

void CDlgDeleteAll::InitWindow() {
    m_pEdit = FindControlAs<CEditUI>(m_pm, "edit_confirm", "Edit");
    m_pOk = m_pm.FindControl("ok");
    if (m_pOk) m_pOk->SetEnabled(false);
    CDuiString text;
    text.Format("确定要删除所有数据吗？\n删除后不可恢复。请输入记录数 %d 或“删除”以确认：",
                m_records);
    if (CControlUI* msg = m_pm.FindControl("msg")) msg->SetText(text);
    if (CControlUI* cancel = m_pm.FindControl("cancel")) cancel->SetFocus();
}

bool CDlgDeleteAll::IsConfirmationTyped() const {
    const CDuiString typed = m_pEdit ? m_pEdit->GetText() : CDuiString();
    return typed == "删除" || typed == std::to_string(m_records).c_str();
}

void CDlgDeleteAll::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_TEXTCHANGED && msg.pSender == m_pEdit) {
        if (m_pOk) m_pOk->SetEnabled(IsConfirmationTyped());
    } else if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender == m_pOk && IsConfirmationTyped()) {
        m_nResult = 0;
        Close(IDOK);
    } else if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == "cancel") {
        Close(IDCANCEL);
    } else {
        CDialogWnd::Notify(msg);
    }
}

#include "app/dlg_reconnect.h"

#include "app/find_control.h"
#include "app/handshake_advice.h"
#include "tasks/db_task_caller.h"
#include "uilib/label_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/ui_application.h"

namespace {

const UINT kRetryTimer = CTimerID::g_ID++;
// The window's title, also shown in its title bar.
const char kCaption[] = "数据库连接中断";
UINT g_retryIntervalMs = CDlgReconnect::kDefaultRetryIntervalMs;
int g_instanceCount = 0;

}  // namespace

void CDlgReconnect::SetRetryInterval(UINT ms) {
    g_retryIntervalMs = ms ? ms : kDefaultRetryIntervalMs;
}

UINT CDlgReconnect::GetRetryInterval() {
    return g_retryIntervalMs;
}

int CDlgReconnect::GetInstanceCount() {
    return g_instanceCount;
}

CDlgReconnect::CDlgReconnect() {
    ++g_instanceCount;
}

CDlgReconnect::~CDlgReconnect() {
    --g_instanceCount;
}

HWND CDlgReconnect::CreateFromSkin(HWND hwndParent) {
    return Create(hwndParent, kCaption, "DlgReconnect.xml", &m_builderCallback);
}

void CDlgReconnect::InitWindow() {
    m_pLabelMsg = FindControlAs<CLabelUI>(m_pm, "label_msg", "Label");
    if (CControlUI* title = m_pm.FindControl("title")) title->SetText(kCaption);
    // The dialog comes up unasked, maybe while the operator types: a Space or Enter meant for the
    // page would press "cancel" and end the application. The keyboard starts on the message;
    // Tab reaches "cancel".
    if (m_pLabelMsg) m_pLabelMsg->SetFocus();
}

void CDlgReconnect::Attach(db_task_caller* pCaller) {
    m_pCaller = pCaller;
    m_handlers.Register(*m_pCaller, task_names::kOpenDb,
                        [this](TaskContext ctx) { OnOpenDb(ctx); });
}

void CDlgReconnect::SetMessage(LPCTSTR pstrText) {
    if (m_pLabelMsg) m_pLabelMsg->SetText(pstrText);
}

CDuiString CDlgReconnect::GetMessage() const {
    return m_pLabelMsg ? m_pLabelMsg->GetText() : CDuiString();
}

CControlUI* CDlgReconnect::RetryTimerHost() const {
    return m_pLabelMsg ? static_cast<CControlUI*>(m_pLabelMsg) : m_pm.GetRoot();
}

void CDlgReconnect::OnOpenDb(TaskContext ctx) {
    if (ctx.Get(task_keys::ret).ok) {
        SetMessage("数据库已连接");
        // Takes effect after this dispatch, so the handlers are never removed while it runs.
        CDialogWnd::Close(IDOK);
    } else {
        // Retrying goes on: the service may come back with the key the settings hold.
        if (const char* advice = HandshakeAdvice(ctx.Get(task_keys::ret).code)) SetMessage(advice);
        m_pm.SetTimer(RetryTimerHost(), kRetryTimer, g_retryIntervalMs);
    }
}

void CDlgReconnect::Close(UINT nRet) {
    m_pm.KillTimer(RetryTimerHost(), kRetryTimer);
    CDialogWnd::Close(nRet);
    PostQuitMessage(0);
}

void CDlgReconnect::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_TIMER && msg.wParam == kRetryTimer) {
        m_pm.KillTimer(msg.pSender, kRetryTimer);
        m_pCaller->RequestOpenDb();
    } else if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender &&
               msg.pSender->GetName() == "cancel") {
        Close(IDCANCEL);
    } else {
        CDialogWnd::Notify(msg);
    }
}

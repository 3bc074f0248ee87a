#include "app/dlg_login.h"

#include "app/find_control.h"
#include "app/handshake_advice.h"
#include "app/main_wnd.h"
#include "app/product.h"
#include "settings/config.h"
#include "tasks/callback_info.h"
#include "uilib/button_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/message_box.h"
#include "uilib/ui_application.h"

namespace {

// Beside "数据库连接失败", which alone does not say what to do about it.
const char kOpenFailedHint[] = "请检查服务器地址，并确认数据库服务已启动。";
const char kLastOperatorSection[] = "Login";
const char kLastOperatorKey[] = "LastUser";

}  // namespace

CDlgLogin::CDlgLogin() = default;

CDlgLogin::~CDlgLogin() {
    m_pMainWnd.reset();
}

HWND CDlgLogin::CreateFromSkin(LPCTSTR pstrCaption) {
    return Create(nullptr, pstrCaption, "DlgLogin.xml", &m_builderCallback);
}

void CDlgLogin::InitWindow() {
    m_task.SetTargetWindow(m_hWnd);
    m_caller.Attach(&m_task);
    m_pEditUserName = FindControlAs<CEditUI>(m_pm, "edit_user_name", "Edit");
    m_pEditUserPass = FindControlAs<CEditUI>(m_pm, "edit_user_pass", "Edit");
    m_pEditIp = FindControlAs<CEditUI>(m_pm, "edit_ip", "Edit");
    m_pBtnOk = FindControlAs<CButtonUI>(m_pm, "ok", "Button");
    m_pLabelMsg = FindControlAs<CLabelUI>(m_pm, "label_msg", "Label");
    if (CControlUI* title = m_pm.FindControl("title")) title->SetText(m_sCaption);
    m_handlers.Register(m_caller, task_names::kOpenDb, [this](TaskContext ctx) { OnOpenDb(ctx); });
    m_handlers.Register(m_caller, task_names::kLogin, [this](TaskContext ctx) { OnLogin(ctx); });
    CConfig* config = CConfig::Instance();
    if (m_pEditIp) {
        m_pEditIp->SetFocus();
        if (config) m_pEditIp->SetText(config->GetValue("Db", "Ip").c_str());
    }
    // The operator who logged in last, never his password.
    if (m_pEditUserName && config)
        m_pEditUserName->SetText(config->GetValue(kLastOperatorSection, kLastOperatorKey).c_str());
}

void CDlgLogin::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) {
        const CDuiString name = msg.pSender->GetName();
        if (name == "ok") return OnOk();
        if (name == "cancel") return Close(IDCANCEL);
    }
    CDialogWnd::Notify(msg);
}

void CDlgLogin::Close(UINT nRet) {
    CDialogWnd::Close(nRet);
    if (m_pMainWnd) return;
    // At the end the worker may still await a reply for seconds: the window goes now, not then.
    ShowWindow(false);
    PostQuitMessage(0);
}

LRESULT CDlgLogin::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_TASK_COMPLETE) return RunTaskCompletion(wParam);
    if (uMsg == WM_LOGIN_DONE) {
        OnLoginDone();
        return 0;
    }
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

void CDlgLogin::OnOk() {
    if (m_bConnected) {
        RequestLoginAsTyped();
    } else {
        m_caller.RequestOpenDb(m_pEditIp ? m_pEditIp->GetText().str() : tstring());
        SetMessage("正在连接数据库...");
    }
    SetBusy(true);
}

void CDlgLogin::RequestLoginAsTyped() {
    m_caller.RequestLogin(m_pEditUserName ? m_pEditUserName->GetText().str() : tstring(),
                          m_pEditUserPass ? m_pEditUserPass->GetText().str() : tstring());
}

void CDlgLogin::OnOpenDb(TaskContext ctx) {
    const ret_t result = ctx.Get(task_keys::ret);
    if (result.ok) {
        SetMessage("数据库已连接");
        m_bConnected = true;
        RequestLoginAsTyped();
    } else {
        SetBusy(false);
        const char* advice = HandshakeAdvice(result.code);
        SetMessage("数据库连接失败", advice ? advice : kOpenFailedHint);
        SelectForRetyping(m_pEditIp);
    }
}

void CDlgLogin::OnLogin(TaskContext ctx) {
    const ret_t result = ctx.Get(task_keys::ret);
    if (result.ok) {
        // "ok" stays disabled until the dialog hides: a second press would log in twice.
        m_busy.reset();
        if (CConfig* config = CConfig::Instance(); config && m_pEditUserName)
            config->SetValue(kLastOperatorSection, kLastOperatorKey,
                             m_pEditUserName->GetText().str());
        PostMessage(WM_LOGIN_DONE, 0, 0);
    } else if (result.code == kDbConnectionLost) {
        // The connection went, not the password: blaming the password would send the operator
        // after the wrong fault. The next "ok" opens the database again.
        m_bConnected = false;
        SetBusy(false);
        SetMessage("数据库连接失败", kOpenFailedHint);
        SelectForRetyping(m_pEditIp);
    } else {
        SetBusy(false);
        UIMessageBox(m_hWnd, "用户名或密码错误！", nullptr, MB_ICONWARNING);
        // The name was probably right: the password is what gets typed again.
        SelectForRetyping(m_pEditUserPass);
    }
}

void CDlgLogin::OnLoginDone() {
    m_handlers.Clear();
    ShowWindow(false);
    // The dialog stays alive, hidden, as long as the program: it keeps no password meanwhile.
    if (m_pEditUserPass) m_pEditUserPass->SetText("");
    m_pMainWnd = std::make_unique<CMainWnd>();
    m_pMainWnd->SetCaptionText(m_sCaption);
    if (!m_pMainWnd->CreateFromSkin(m_sCaption)) {
        // Without a main window nothing is left to show: end rather than linger unseen.
        PostQuitMessage(0);
        return;
    }
    m_pMainWnd->AttachTask(&m_task, &m_caller);
    m_pMainWnd->SetIcon(kAppIconResource);
    m_pMainWnd->CenterWindow();
    m_pMainWnd->ShowWindow(true, true);
}

void CDlgLogin::SetMessage(LPCTSTR pstrText, LPCTSTR pstrHint) {
    if (m_pLabelMsg) m_pLabelMsg->SetText(pstrText);
    if (CControlUI* hint = m_pm.FindControl("label_hint")) hint->SetText(pstrHint);
}

void CDlgLogin::SetBusy(bool bBusy) {
    if (m_pBtnOk) m_pBtnOk->SetEnabled(!bBusy);
    if (bBusy)
        m_busy.emplace();
    else
        m_busy.reset();
}

// The keyboard goes where the likely mistake is, typing over it. Disabling "ok" took the focus
// away from it if it had it; without this nothing would have it.
void CDlgLogin::SelectForRetyping(CEditUI* pEdit) {
    if (!pEdit) return;
    pEdit->SetFocus();
    pEdit->SetSelAll();
}

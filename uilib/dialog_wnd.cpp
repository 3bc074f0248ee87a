#include "uilib/dialog_wnd.h"

#include <cstdio>

#include "uilib/dialog_builder.h"
#include "uilib/internal/native_window.h"

// Forwards notifications to CDialogWnd::Notify for a window that is not an INotifyUI itself.
class CDialogWnd::Notifier final : public INotifyUI {
public:
    explicit Notifier(CDialogWnd* owner) : m_owner(owner) {}
    void Notify(TNotifyUI& msg) override { m_owner->Notify(msg); }

private:
    CDialogWnd* m_owner;
};

CDialogWnd::CDialogWnd() = default;

CDialogWnd::~CDialogWnd() {
    delete m_pNotifier;
}

HWND CDialogWnd::Create(HWND hwndParent, LPCTSTR pstrCaption, LPCTSTR pstrLayout,
                        IDialogBuilderCallback* pCallback, DWORD dwStyle, DWORD dwExStyle) {
    m_sLayout = pstrLayout;
    m_pCallback = pCallback;
    m_dwStyle = dwStyle;
    return CWindowWnd::Create(hwndParent, pstrCaption, dwStyle, dwExStyle);
}

LRESULT CDialogWnd::OnCreate() {
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(m_sLayout, m_pCallback, &m_pm);
    if (!root) {
        std::fprintf(stderr, "uilib: %s\n", builder.GetLastErrorMessage().GetData());
        return -1;
    }
    m_pm.AttachDialog(root);
    if (auto* notifier = dynamic_cast<INotifyUI*>(this)) {
        m_pm.AddNotifier(notifier);
    } else {
        m_pNotifier = new Notifier(this);
        m_pm.AddNotifier(m_pNotifier);
    }
    SIZE size = m_pm.GetInitSize();
    ResizeClient(size.cx > 0 ? size.cx : 480, size.cy > 0 ? size.cy : 320);
    InitWindow();
    m_pm.SendNotify(root, DUI_MSGTYPE_WINDOWINIT);
    return 0;
}

void CDialogWnd::Maximize(bool bMaximize) {
    if (auto* native = NativeWidget()) bMaximize ? native->showMaximized() : native->showNormal();
}

void CDialogWnd::ShowMaximizedState(bool bMaximized) {
    if (CControlUI* max = m_pm.FindControl("maxbtn")) max->SetVisible(!bMaximized);
    if (CControlUI* restore = m_pm.FindControl("restorebtn")) restore->SetVisible(bMaximized);
    CControlUI* root = m_pm.GetRoot();
    if (!root || bMaximized == m_bFrameHidden) return;
    // A maximised window meets the screen's edges: a frame there only looks like a gap.
    if (bMaximized) m_dwFrameColor = root->GetBorderColor();
    root->SetBorderColor(bMaximized ? 0 : m_dwFrameColor);
    m_bFrameHidden = bMaximized;
}

void CDialogWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != DUI_MSGTYPE_CLICK || !msg.pSender) return;
    CDuiString name = msg.pSender->GetName();
    if (name == "closebtn")
        Close(IDCANCEL);
    else if (name == "minbtn" && NativeWidget())
        NativeWidget()->showMinimized();
    else if (name == "maxbtn")
        Maximize(true);
    else if (name == "restorebtn")
        Maximize(false);
}

LRESULT CDialogWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_CREATE) return OnCreate();
    if (uMsg == WM_SIZE && wParam != SIZE_MINIMIZED) ShowMaximizedState(wParam == SIZE_MAXIMIZED);
    LRESULT result = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE && (m_dwStyle & UI_WNDSTYLE_DIALOG)) {
        Close(IDCANCEL);
        return 0;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

#include "controls/shadow_wnd.h"

#include "uilib/container_ui.h"

CShadowWnd::~CShadowWnd() {
    Detach();
}

bool CShadowWnd::Attach(CDialogWnd* pHost) {
    if (m_pHost || m_hWnd || !pHost || !pHost->GetHWND()) return false;
    // Without a compositor the shadow's empty middle would hide its host behind black.
    if (!UICanShowTranslucentWindows()) return false;
    // Unmanaged: a window manager would stack an owned window above its owner, where it
    // would cover the host, and would list it among the program's windows.
    const DWORD exStyle = UI_WNDSTYLE_EX_TOOLWINDOW | UI_WNDSTYLE_EX_NOACTIVATE |
                          UI_WNDSTYLE_EX_LAYERED | UI_WNDSTYLE_EX_TRANSPARENT |
                          UI_WNDSTYLE_EX_UNMANAGED;
    CDuiString name;
    name.Format("UIWndClass%ld", reinterpret_cast<long>(this));
    if (!Create(pHost->GetHWND(), name, "wndshadow.xml", nullptr, UI_WNDSTYLE_POPUP, exStyle))
        return false;
    m_pHost = pHost;
    m_hHost = pHost->GetHWND();
    pHost->GetPaintManager().AddMessageFilter(this);
    if (pHost->IsVisible()) ShowShadow();
    return true;
}

void CShadowWnd::Detach() {
    if (m_pHost && IsWindow(m_hHost)) m_pHost->GetPaintManager().RemoveMessageFilter(this);
    m_pHost = nullptr;
    m_hHost = nullptr;
}

LRESULT CShadowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // Without a compositor the shadow's transparent parts turn black over the desktop.
    if (uMsg == WM_DWMCOMPOSITIONCHANGED && !wParam) {
        Detach();
        DestroyWindow();
        return 0;
    }
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CShadowWnd::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
    bHandled = false;
    switch (uMsg) {
        case WM_MOVE:
        case WM_ACTIVATE:
            if (IsVisible()) FollowPosition();
            break;
        case WM_SIZE:
            OnHostSize(wParam);
            break;
        case WM_PAINT:
            // The host has painted its new size: the shadow catches up in the same frame.
            if (m_bRelayoutDue) Relayout();
            break;
        case WM_SHOWWINDOW:
            OnHostShow(wParam != 0);
            break;
        case WM_CLOSE:
            DestroyWindow();
            break;
        case WM_DESTROY:
            Detach();
            DestroyWindow();
            break;
        default:
            break;
    }
    return 0;
}

void CShadowWnd::OnHostSize(WPARAM wParam) {
    // A maximised window fills the work area: a shadow would only hang off the screen.
    if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
        ShowWindow(false, false);
        return;
    }
    if (!m_pHost->IsVisible()) return;
    if (!IsVisible()) {
        ShowShadow();
        return;
    }
    RECT rcHost = m_pHost->GetWindowRect();
    if (rcHost.GetWidth() != m_szLast.cx || rcHost.GetHeight() != m_szLast.cy)
        m_bRelayoutDue = true;
}

void CShadowWnd::OnHostShow(bool bShow) {
    if (bShow)
        ShowShadow();
    else
        ShowWindow(false, false);
}

void CShadowWnd::FollowPosition() {
    RECT rcHost = m_pHost->GetWindowRect();
    RECT rcShadow = GetWindowRect();
    RECT inset = Insets();
    int left = rcHost.left - inset.left;
    int top = rcHost.top - inset.top;
    MoveWindow(RECT{left, top, left + rcShadow.GetWidth(), top + rcShadow.GetHeight()});
    StackBehind(m_hHost);
}

void CShadowWnd::Relayout() {
    RECT rcHost = m_pHost->GetWindowRect();
    RECT inset = Insets();
    MoveWindow(RECT{rcHost.left - inset.left, rcHost.top - inset.top, rcHost.right + inset.right,
                    rcHost.bottom + inset.bottom});
    m_szLast = SIZE{rcHost.GetWidth(), rcHost.GetHeight()};
    m_bRelayoutDue = false;
    m_pm.Invalidate();
}

void CShadowWnd::ShowShadow() {
    Relayout();
    ShowWindow(true, false);
    StackBehind(m_hHost);
}

RECT CShadowWnd::Insets() const {
    CControlUI* root = m_pm.GetRoot();
    auto* container = root ? static_cast<CContainerUI*>(root->GetInterface("Container")) : nullptr;
    return container ? container->GetInset() : RECT{};
}

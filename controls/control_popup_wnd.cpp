#include "controls/control_popup_wnd.h"

#include "uilib/paint_manager_ui.h"

bool CControlPopupWnd::Popup(CControlUI* pOwner, LPCTSTR pstrLayout, SIZE szWindow,
                             IDialogBuilderCallback* pCallback) {
    CPaintManagerUI* manager = pOwner ? pOwner->GetManager() : nullptr;
    if (!manager || !manager->GetPaintWindow()) return false;
    m_pOwner = pOwner;
    m_szWindow = szWindow;
    if (!Create(manager->GetPaintWindow(), nullptr, pstrLayout, pCallback, UI_WNDSTYLE_POPUP,
                UI_WNDSTYLE_EX_TOOLWINDOW))
        return false;
    Reposition();
    ShowWindow(true, false);
    return true;
}

void CControlPopupWnd::Reposition() {
    CPaintManagerUI* manager = m_pOwner ? m_pOwner->GetManager() : nullptr;
    if (!manager || !GetHWND()) return;
    RECT pos = m_pOwner->GetPos();
    POINT topLeft{pos.left, pos.top};
    POINT bottomRight{pos.right, pos.bottom};
    manager->ClientToScreen(topLeft);
    manager->ClientToScreen(bottomRight);
    RECT work;
    UIGetMonitorInfo(manager->GetPaintWindow(), nullptr, &work);
    MoveWindow(PlaceByControl(RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y},
                              m_szWindow, work));
}

RECT CControlPopupWnd::PlaceByControl(const RECT& rcControl, SIZE sz, const RECT& rcWork) {
    if (rcControl.bottom + sz.cy > rcWork.bottom)
        return RECT{rcControl.left, rcControl.top - sz.cy, rcControl.left + sz.cx, rcControl.top};
    return RECT{rcControl.left, rcControl.bottom, rcControl.left + sz.cx, rcControl.bottom + sz.cy};
}

#include "controls/control_popup_wnd.h"

#include <utility>

#include "uilib/paint_manager_ui.h"

// ---------------------------------------------------------------------------------------------
// The pop-up

bool CControlPopupWnd::Popup(CControlUI* pOwner, CControlPopupWnd** ppOwnerRef,
                             LPCTSTR pstrLayout, SIZE szWindow, IDialogBuilderCallback* pCallback) {
    CPaintManagerUI* manager = pOwner ? pOwner->GetManager() : nullptr;
    if (!manager || !manager->GetPaintWindow()) return false;
    m_pOwner = pOwner;
    m_szWindow = szWindow;
    if (!Create(manager->GetPaintWindow(), nullptr, pstrLayout, pCallback, UI_WNDSTYLE_POPUP,
                UI_WNDSTYLE_EX_TOOLWINDOW)) {
        m_pOwner = nullptr;
        return false;
    }
    m_ppOwnerRef = ppOwnerRef;
    Reposition();
    ShowWindow(true, false);
    return true;
}

void CControlPopupWnd::SetPopupSize(SIZE szWindow) {
    m_szWindow = szWindow;
    Reposition();
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

void CControlPopupWnd::Dismiss() {
    m_pOwner = nullptr;
    m_ppOwnerRef = nullptr;
    Close(IDCANCEL);
}

// Escape closes the pop-up when it has the keyboard; Enter does nothing by itself.
LRESULT CControlPopupWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        Close(IDCANCEL);
        return 0;
    }
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

void CControlPopupWnd::OnFinalMessage(HWND) {
    if (m_ppOwnerRef && *m_ppOwnerRef == this) *m_ppOwnerRef = nullptr;
    delete this;
}

// ---------------------------------------------------------------------------------------------
// The box

CDropDownEditUI::~CDropDownEditUI() {
    ClosePopup();
}

void CDropDownEditUI::OpenPopup() {
    if (!m_pPopup) m_pPopup = CreatePopup(&m_pPopup);
}

void CDropDownEditUI::ClosePopup() {
    if (m_pPopup) std::exchange(m_pPopup, nullptr)->Dismiss();
}

void CDropDownEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CEditUI::SetPos(rc, bNeedInvalidate);
    if (m_pPopup) m_pPopup->Reposition();
}

void CDropDownEditUI::SetVisible(bool bVisible) {
    CEditUI::SetVisible(bVisible);
    if (!IsVisible()) ClosePopup();
}

void CDropDownEditUI::SetInternVisible(bool bVisible) {
    CEditUI::SetInternVisible(bVisible);
    if (!IsVisible()) ClosePopup();
}

void CDropDownEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_RBUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (!IsEnabled() || !m_pManager) return;
            m_pManager->ReleaseCapture();
            if (IsFocused()) {
                StartEdit();
                OpenPopup();
            }
            break;
        case UIEVENT_KILLFOCUS:
            ClosePopup();
            break;
        default:
            break;
    }
    CEditUI::DoEvent(event);
}

bool CDropDownEditUI::OnEditKey(UINT vk, UINT keyState) {
    if (vk == VK_ESCAPE && m_pPopup) {
        ClosePopup();
        return true;
    }
    return CEditUI::OnEditKey(vk, keyState);
}

// A click into the edit window brings back a pop-up that Escape closed.
bool CDropDownEditUI::OnEditMouse(UINT uMsg, POINT pt) {
    if (uMsg == WM_LBUTTONDOWN || uMsg == WM_RBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK)
        OpenPopup();
    return CEditUI::OnEditMouse(uMsg, pt);
}

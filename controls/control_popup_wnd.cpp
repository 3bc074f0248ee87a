#include "controls/control_popup_wnd.h"

#include <utility>

#include "uilib/paint_manager_ui.h"

bool CControlPopupWnd::Popup(CControlUI* pOwner, CControlPopupWnd** ppOwnerRef,
                             LPCTSTR pstrLayout, SIZE szWindow, IDialogBuilderCallback* pCallback) {
    if (!CPopupWnd::Popup(pOwner, pstrLayout, szWindow, pCallback)) return false;
    m_ppOwnerRef = ppOwnerRef;
    return true;
}

void CControlPopupWnd::Dismiss() {
    m_ppOwnerRef = nullptr;
    Close(IDCANCEL);
}

// Clicked into, the pop-up has the keyboard, and Escape there closes it as in the box; a pop-up
// of its own that is open (a calendar in the period dialog) takes the Escape first.
LRESULT CControlPopupWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg != WM_KEYDOWN || wParam != VK_ESCAPE)
        return CPopupWnd::HandleMessage(uMsg, wParam, lParam);
    LRESULT result = 0;
    if (!m_pm.MessageHandler(uMsg, wParam, lParam, result)) Close(IDCANCEL);
    return result;
}

void CControlPopupWnd::OnFinalMessage(HWND) {
    if (m_ppOwnerRef && *m_ppOwnerRef == this) *m_ppOwnerRef = nullptr;
    delete this;
}

CDropDownEditUI::~CDropDownEditUI() {
    ClosePopup();
}

void CDropDownEditUI::OpenPopup() {
    if (!m_pPopup) m_pPopup = CreatePopup(&m_pPopup);
}

void CDropDownEditUI::ClosePopup() {
    if (m_pPopup) std::exchange(m_pPopup, nullptr)->Dismiss();
}

void CDropDownEditUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_RBUTTONDOWN ||
        event.Type == UIEVENT_DBLCLICK) {
        if (!IsEnabled() || !m_pManager) return;
        m_pManager->ReleaseCapture();
        if (IsFocused()) {
            StartEdit();
            OpenPopup();
        }
    }
    CEditUI::DoEvent(event);
}

bool CDropDownEditUI::OnEditMouse(UINT uMsg, POINT pt) {
    if (uMsg == WM_LBUTTONDOWN || uMsg == WM_RBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK)
        OpenPopup();
    return CEditUI::OnEditMouse(uMsg, pt);
}

#pragma once
// The pop-ups that the program's boxes open, and the edit base of those boxes.
#include "uilib/edit_ui.h"
#include "uilib/popup_wnd.h"

// A pop-up that deletes itself once closed and then clears the box's reference to it.
class CControlPopupWnd : public CPopupWnd {
public:
    // Opens by the control (see CPopupWnd::Popup); *ppOwnerRef is cleared when the window is
    // gone. False when nothing could be opened (the caller still owns the object then).
    bool Popup(CControlUI* pOwner, CControlPopupWnd** ppOwnerRef, LPCTSTR pstrLayout,
               SIZE szWindow, IDialogBuilderCallback* pCallback = nullptr);
    // The box is going away or closes the pop-up itself: forget it and close.
    void Dismiss();

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnFinalMessage(HWND hWnd) override;

private:
    CControlPopupWnd** m_ppOwnerRef = nullptr;
};

// An edit whose click, while it has the focus, opens a pop-up beside it (also a click into its
// edit window, so a pop-up that Escape closed comes back).
class CDropDownEditUI : public CEditUI {
public:
    ~CDropDownEditUI() override;
    CControlPopupWnd* GetPopupWnd() const { return m_pPopup; }
    void ClosePopup();

    void DoEvent(TEventUI& event) override;

protected:
    // Creates and shows the pop-up with Popup(this, ppOwnerRef, ...); null when it cannot open.
    virtual CControlPopupWnd* CreatePopup(CControlPopupWnd** ppOwnerRef) = 0;
    void OpenPopup();
    bool OnEditMouse(UINT uMsg, POINT pt) override;

private:
    CControlPopupWnd* m_pPopup = nullptr;
};

#pragma once
// A tool window that drops down from a control (below it, or above when it would leave the work
// area), and the edit base of the boxes that open one.
#include "uilib/dialog_wnd.h"
#include "uilib/edit_ui.h"

// Deletes itself once closed and then clears the owner's reference to it.
class CControlPopupWnd : public CDialogWnd {
public:
    // Builds the layout into a tool window owned by the control's window and shows it by the
    // control without taking the keyboard; *ppOwnerRef is cleared when the window is gone.
    // False when nothing could be opened (the caller still owns the object then).
    bool Popup(CControlUI* pOwner, CControlPopupWnd** ppOwnerRef, LPCTSTR pstrLayout,
               SIZE szWindow, IDialogBuilderCallback* pCallback = nullptr);
    CControlUI* GetOwnerControl() const { return m_pOwner; }
    // Places the pop-up by its control again (the control moved or the size changed).
    void Reposition();
    void SetPopupSize(SIZE szWindow);
    // Forgets the control (it is going away) and closes.
    void Dismiss();

    static RECT PlaceByControl(const RECT& rcControl, SIZE sz, const RECT& rcWork);

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    void OnFinalMessage(HWND hWnd) override;

    CControlUI* m_pOwner = nullptr;

private:
    CControlPopupWnd** m_ppOwnerRef = nullptr;
    SIZE m_szWindow;
};

// An edit whose click, while it has the focus, opens a pop-up beside it; the pop-up follows
// the box and closes when the box loses the focus, is hidden or destroyed, or on Escape.
class CDropDownEditUI : public CEditUI {
public:
    ~CDropDownEditUI() override;
    CControlPopupWnd* GetPopupWnd() const { return m_pPopup; }
    void ClosePopup();

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void DoEvent(TEventUI& event) override;

protected:
    // Creates and shows the pop-up with Popup(this, ref, ...); null when it cannot open.
    virtual CControlPopupWnd* CreatePopup(CControlPopupWnd** ppOwnerRef) = 0;
    void OpenPopup();
    bool OnEditKey(UINT vk, UINT keyState) override;
    bool OnEditMouse(UINT uMsg, POINT pt) override;

private:
    CControlPopupWnd* m_pPopup = nullptr;
};

#pragma once
// A tool window that drops down from a control: below it, or above when it would leave the
// work area. Derived pop-ups delete themselves in OnFinalMessage.
#include "uilib/dialog_wnd.h"

class CControlPopupWnd : public CDialogWnd {
public:
    // Builds the layout into a tool window owned by the control's window and shows it by the
    // control without taking the keyboard. False when nothing could be opened.
    bool Popup(CControlUI* pOwner, LPCTSTR pstrLayout, SIZE szWindow,
               IDialogBuilderCallback* pCallback = nullptr);
    CControlUI* GetOwnerControl() const { return m_pOwner; }
    // Places the pop-up by its control again (the control moved).
    void Reposition();

    static RECT PlaceByControl(const RECT& rcControl, SIZE sz, const RECT& rcWork);

protected:
    CControlUI* m_pOwner = nullptr;
    SIZE m_szWindow;
};

#pragma once
// CPopupWnd: a window that drops down from a control of another window (a month calendar under
// a date box, a picker dialog, a list under a combo-like button).
#include <memory>

#include "uilib/dialog_wnd.h"

// Why a pop-up closes on its own (CPopupWnd::OnAutoClose).
enum : UINT {
    UIPOPUP_OUTSIDECLICK = 1,  // a click outside the pop-up and its control
    UIPOPUP_DEACTIVATED,       // the program lost the focus to another program
    UIPOPUP_FOCUSLEFT,         // the focus went to another window or another control
    UIPOPUP_OWNERHIDDEN,       // the control or its window was hidden or minimised
    UIPOPUP_OWNERGONE,         // the control left its window or was destroyed; its window closed
    UIPOPUP_ESCAPE,            // Escape, typed in the control's window
};

// The pop-up lies below its control, or above it when it would leave the work area, and follows
// the control when the window or the layout moves it. It never takes the keyboard when it
// opens: typing goes on in the control's edit. It closes on the reasons above; a click on the
// control itself is left to the control (which may close or keep it). Only the owner's window
// keeps it open when it takes the focus, so the control's own edit window never closes it.
// Closing posts WM_CLOSE like any window; derived pop-ups delete themselves in OnFinalMessage
// and clear the control's reference to them there, through GetOwnerControl().
class CPopupWnd : public CDialogWnd {
public:
    CPopupWnd();
    ~CPopupWnd() override;

    // Builds the layout into a tool window owned by the control's window and shows it by the
    // control. A size of 0 in a dimension takes the layout's size (width: the control's when
    // the layout has none). False, with nothing open, when the control has no window or the
    // layout cannot be built.
    bool Popup(CControlUI* pOwner, LPCTSTR pstrLayout, SIZE szWindow = SIZE{},
               IDialogBuilderCallback* pCallback = nullptr);
    // The control; null once it left its window or was destroyed.
    CControlUI* GetOwnerControl() const { return m_pOwner; }
    // Resizes the pop-up and places it again by its control.
    void SetPopupSize(SIZE szWindow);
    void Reposition();
    // The window that took the focus when the pop-up last closed for UIPOPUP_FOCUSLEFT (null:
    // none of the library's windows).
    HWND GetFocusTaker() const { return m_hFocusTaker; }

    // Where a pop-up of size sz goes for a control at rcControl (screen coordinates): below
    // it, or above when its bottom would leave rcWork; moved left, and down from the top, to
    // stay inside rcWork.
    static RECT PlaceByControl(const RECT& rcControl, SIZE sz, const RECT& rcWork);

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    // Called before the pop-up closes on its own; hWndFocus is the window that took the focus
    // (UIPOPUP_FOCUSLEFT only). Return false to keep it open (not for UIPOPUP_OWNERGONE).
    virtual bool OnAutoClose(UINT uReason, HWND hWndFocus);

private:
    class Watcher;
    friend class Watcher;

    void AutoClose(UINT uReason, HWND hWndFocus = nullptr);
    // The work area, narrowed across to the owner's window when the pop-up fits over it.
    RECT Bounds(const RECT& rcWork) const;
    void DetachFromOwner();
    void StopWatching();
    RECT OwnerScreenRect() const;

    CControlUI* m_pOwner = nullptr;
    CPaintManagerUI* m_pOwnerManager = nullptr;
    std::unique_ptr<Watcher> m_pWatcher;
    SIZE m_szWindow;
    HWND m_hFocusTaker = nullptr;
    bool m_bClosing = false;
};

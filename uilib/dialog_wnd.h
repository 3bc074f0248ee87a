#pragma once
// CDialogWnd: a window whose content is built from a layout, with its own paint manager.
#include "uilib/paint_manager_ui.h"
#include "uilib/window_wnd.h"

class IDialogBuilderCallback;

// A derived window that is also an INotifyUI is made a notifier of its paint manager once the
// layout is built; its Notify then overrides the one here, and should pass what it does not
// handle on to CDialogWnd::Notify. Dialogs close on Escape; frames do not.
class CDialogWnd : public CWindowWnd {
public:
    CDialogWnd();
    ~CDialogWnd() override;

    // Creates the window, builds the layout (a skin file or XML text) and runs InitWindow.
    // Returns null, with no window, when the layout cannot be built.
    HWND Create(HWND hwndParent, LPCTSTR pstrCaption, LPCTSTR pstrLayout,
                IDialogBuilderCallback* pCallback = nullptr, DWORD dwStyle = UI_WNDSTYLE_DIALOG,
                DWORD dwExStyle = 0);

    CPaintManagerUI& GetPaintManager() { return m_pm; }
    CControlUI* FindControl(LPCTSTR pstrName) const { return m_pm.FindControl(pstrName); }

    // Default handling: "click" on "closebtn" closes with IDCANCEL, "minbtn", "maxbtn" and
    // "restorebtn" minimise, maximise and restore.
    virtual void Notify(TNotifyUI& msg);
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    // Runs once the layout is built and attached, before the window is shown.
    virtual void InitWindow() {}

    CPaintManagerUI m_pm;

private:
    class Notifier;
    LRESULT OnCreate();
    void Maximize(bool bMaximize);
    // Maximised or not, however it came about (button, caption double-click, window manager):
    // the caption shows the matching button and the frame drawn by the layout goes.
    void ShowMaximizedState(bool bMaximized);

    CDuiString m_sLayout;
    IDialogBuilderCallback* m_pCallback = nullptr;
    DWORD m_dwStyle = UI_WNDSTYLE_DIALOG;
    Notifier* m_pNotifier = nullptr;
    bool m_bFrameHidden = false;
    DWORD m_dwFrameColor = 0;
};

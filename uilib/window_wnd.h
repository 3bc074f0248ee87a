#pragma once
// CWindowWnd: one native window with a message procedure. No Qt in this header.
#include <memory>

#include "uilib/window_messages.h"

// Window styles (dwStyle of Create). Windows have no system frame: the layout draws the caption
// (see the Window attributes "caption" and "sizebox").
enum : DWORD {
    UI_WNDSTYLE_FRAME = 0x0001,   // main window; Escape does not close it
    UI_WNDSTYLE_DIALOG = 0x0002,  // dialog; Escape closes it
    UI_WNDSTYLE_POPUP = 0x0004,   // notifiers, shadows
};

// Extended styles (dwExStyle of Create).
enum : DWORD {
    UI_WNDSTYLE_EX_TOOLWINDOW = 0x0001,  // not in the taskbar, stays above its owner
    UI_WNDSTYLE_EX_DROPDOWN = 0x0020,    // closes when the user clicks outside (menus, lists)
    UI_WNDSTYLE_EX_NOACTIVATE = 0x0002,  // never takes the focus when shown or clicked
    UI_WNDSTYLE_EX_TOPMOST = 0x0004,
    UI_WNDSTYLE_EX_LAYERED = 0x0008,      // per-pixel translucent background
    UI_WNDSTYLE_EX_TRANSPARENT = 0x0010,  // mouse input passes through to what lies below
    // Left alone by the window manager: never framed, listed in the taskbar or window lists,
    // activated or restacked by it; the program places it (StackBehind).
    UI_WNDSTYLE_EX_UNMANAGED = 0x0040,
};

enum : UINT { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
enum : int { CW_USEDEFAULT = -0x7fffffff - 1 };

class CPaintManagerUI;

namespace uilib_detail {
class NativeWindow;
}

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the native window and sends WM_CREATE to HandleMessage before returning.
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle = UI_WNDSTYLE_FRAME,
                DWORD dwExStyle = 0, int x = CW_USEDEFAULT, int y = CW_USEDEFAULT,
                int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);

    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    bool IsVisible() const;
    // Shows the window modally and returns the result given to Close once it is closed. The
    // window takes the keyboard: Enter presses its default button, Escape cancels.
    UINT ShowModal();
    // Posts WM_CLOSE with nRet: the window closes after the current message has been handled.
    // Closing from the title bar or the window manager comes here with IDCANCEL, so a window
    // that must ask first overrides this.
    virtual void Close(UINT nRet = IDOK);
    void DestroyWindow();
    void CenterWindow();
    // The program's icon: resource 101 is the application icon.
    void SetIcon(UINT nRes);
    void SetWindowText(LPCTSTR pstrText);

    void ResizeClient(int cx = -1, int cy = -1);
    RECT GetWindowRect() const;  // screen coordinates of the client area
    // Moves and sizes the window (screen coordinates) without activating it.
    void MoveWindow(const RECT& rc);
    // The available area (without task bars) of the monitor that holds this window.
    RECT GetWorkArea() const;
    void BringToFront();
    // Puts the window directly behind another one (on X11; elsewhere nothing changes).
    void StackBehind(HWND hWndAbove);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessageA(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return PostMessage(uMsg, wParam, lParam);
    }

    // The window procedure. Derived windows handle what they need and pass the rest here.
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    // Called last, after the native window is gone; a window may delete itself here.
    virtual void OnFinalMessage(HWND hWnd);

    uilib_detail::NativeWindow* NativeWidget() const { return m_pNative; }

    HWND m_hWnd = nullptr;

private:
    friend class uilib_detail::NativeWindow;
    friend class CPaintManagerUI;

    struct ModalState;

    void DetachNative();
    // Hands the native window over to Qt for deletion once it is safe.
    void ReleaseNative();
    // Ends a running modal loop of this window; it must not touch the window afterwards.
    void EndModalLoop();
    void TakeKeyboardFocus();

    uilib_detail::NativeWindow* m_pNative = nullptr;
    ModalState* m_pModal = nullptr;
};

// The rectangle of the monitor that holds the window (the primary one for null) and its work
// area (without task bars), in screen coordinates.
void UIGetMonitorInfo(HWND hWnd, RECT* pMonitor, RECT* pWork);
// For tests: every monitor reports these rectangles; null restores the real ones.
void UISetMonitorInfoOverride(const RECT* pMonitor, const RECT* pWork);
// True when the desktop shows translucent windows (UI_WNDSTYLE_EX_LAYERED) as such. An X11
// desktop without a compositing manager does not: their transparent parts come out black.
bool UICanShowTranslucentWindows();
// The desktop's double-click time in milliseconds: a second click sooner makes a double click.
UINT UIGetDoubleClickTime();

// A busy cursor over every window of the program while it lives.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

#pragma once
// CPaintManagerUI: lays out, paints and feeds the controls of one window; sends notifications.
#include <atomic>
#include <memory>
#include <vector>

#include "uilib/control_ui.h"
#include "uilib/ui_notify.h"

class CRenderContext;
class CWindowWnd;

// Timer ids of the program come from this shared counter, one id taken per use at start-up:
//   static const UINT kReconnectTimer = CTimerID::g_ID++;
class CTimerID {
public:
    static std::atomic<UINT> g_ID;
};

struct TFontInfo {
    CDuiString sFontName;
    int iSize = 13;  // pixels
    bool bBold = false;
    bool bUnderline = false;
    bool bItalic = false;
};

// Mouse cursors a control can ask for while the mouse is over it.
enum UICURSOR { UICURSOR_ARROW, UICURSOR_HAND, UICURSOR_IBEAM, UICURSOR_SIZEWE, UICURSOR_SIZENS };

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Binds the manager to a window; its messages then reach MessageHandler.
    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWnd; }
    CWindowWnd* GetWindow() const;

    // The window's own attributes, set from the layout's <Window> element.
    void SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue);
    SIZE GetClientSize() const;
    SIZE GetInitSize() const { return m_szInitWindowSize; }
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetSizeBox(const RECT& rcSizeBox) { m_rcSizeBox = rcSizeBox; }
    // Where dragging moves the window: top/left offsets; right 0 means "to the right edge",
    // bottom is the caption height.
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetCaptionRect(const RECT& rcCaption) { m_rcCaption = rcCaption; }
    SIZE GetMinInfo() const { return m_szMinWindow; }
    void SetMinInfo(int cx, int cy);

    bool AttachDialog(CControlUI* pControl);
    // Registers a control tree that joined the window (names, option groups) and initialises it.
    bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
    // Forgets a control that leaves the window or is being deleted: its name, focus, timers,
    // and its registrations as notifier or filter.
    void ReapObjects(CControlUI* pControl);
    // Forgets only the name under which FindControl finds the control (it is being renamed).
    void ForgetName(CControlUI* pControl);
    CControlUI* GetRoot() const { return m_pRoot; }

    CControlUI* FindControl(POINT pt) const;
    // The innermost visible control at pt that has a tooltip, whether or not it takes the
    // mouse (a mark in a list row shows its tooltip though clicks go to the row).
    CControlUI* FindToolTipControl(POINT pt) const;
    CControlUI* FindControl(LPCTSTR pstrName) const;
    CControlUI* FindSubControlByPoint(CControlUI* pParent, POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const;
    CControlUI* FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass, int iIndex = 0) const;

    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);
    // Tab and Shift+Tab: moves the focus to the next (previous) visible, enabled tab stop.
    bool SetNextTabControl(bool bForward = true);
    // The button that Enter presses: the one marked default="true", else one named "ok".
    CControlUI* GetDefaultButton() const;
    // Unless a control has the focus already: focuses the default button, else the first tab stop.
    void SetInitialFocus();

    bool AddNotifier(INotifyUI* pNotifier);
    bool RemoveNotifier(INotifyUI* pNotifier);
    // Delivers to every notifier in registration order; bAsync queues it for the UI thread.
    void SendNotify(TNotifyUI& Msg, bool bAsync = false);
    void SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);
    bool AddMessageFilter(IMessageFilterUI* pFilter);
    bool RemoveMessageFilter(IMessageFilterUI* pFilter);
    bool AddChildWndNotifier(IChildWndNotifyUI* pNotifier);
    bool RemoveChildWndNotifier(IChildWndNotifyUI* pNotifier);

    // A due timer reaches the control as UIEVENT_TIMER, which by default sends the "timer"
    // notification with wParam = nTimerID. Setting an existing timer again restarts it.
    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);
    void RemoveAllTimers();

    bool AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);
    const std::vector<CControlUI*>* GetOptionGroup(LPCTSTR pStrGroupName) const;
    void RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl);

    // Fonts of this window; ids not defined here fall back to the style's, then the default.
    // Layouts built into one window share its fonts, defaults and classes: a definition that
    // differs from one already there is refused (false) and the first one stays.
    bool AddFont(int id, const TFontInfo& font, bool bDefault = false);
    const TFontInfo& GetFontInfo(int id) const;
    int GetDefaultFontId() const;

    // Attribute lists of this window by control class name ("Button") and by class name.
    bool AddDefaultAttributeList(LPCTSTR pStrControlName, LPCTSTR pStrControlAttrList);
    CDuiString GetDefaultAttributeList(LPCTSTR pStrControlName) const;
    bool AddClass(LPCTSTR pStrClassName, LPCTSTR pStrControlAttrList);
    CDuiString GetClassAttributeList(LPCTSTR pStrClassName) const;

    // Colours used by controls that have none of their own.
    DWORD GetDefaultFontColor() const { return m_dwDefaultFontColor; }
    DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }
    DWORD GetDefaultSelectedBkColor() const { return m_dwDefaultSelectedBkColor; }
    // The keyboard-focus ring's colour: the current style's, else a plain blue.
    DWORD GetFocusColor() const;

    void NeedUpdate();
    void Invalidate();
    void Invalidate(const RECT& rcItem);
    // Lays the controls out now if a change asked for it (painting does this anyway).
    void UpdateLayout();
    // Paints pending changes at once instead of at the next turn of the message loop.
    void PaintNow();

    void SetCapture(CControlUI* pControl);
    void ReleaseCapture();
    CControlUI* GetCapture() const { return m_pEventClick; }
    POINT GetMousePos() const { return m_ptLastMousePos; }
    void SetCursor(UICURSOR cursor);
    void ClientToScreen(POINT& pt) const;
    void ScreenToClient(POINT& pt) const;

    // Handles one window message for the controls; true when it was consumed.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Deletes the control once the current message has been handled (a control that removes
    // itself from inside its own event).
    void AddDelayedCleanup(CControlUI* pControl);

    // Runs the program's message loop until PostQuitMessage; returns its exit code.
    static int MessageLoop();
    // Plain tooltips (false) or balloon-style ones (true).
    static void SetToolTipStyle(bool bBalloon);
    static bool IsBalloonToolTip();

    // Draws the controls into rc of ctx (used by the window's paint event).
    void Paint(CRenderContext& ctx, const RECT& rcPaint);

private:
    struct Impl;
    struct TimerInfo;

    void DispatchMouse(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void DispatchButtonDown(int eventType, POINT pt, UINT keyState);
    void DispatchButtonUp(int eventType, POINT pt, UINT keyState);
    void DispatchMouseMove(POINT pt, UINT keyState);
    void DispatchKey(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void UpdateHover(CControlUI* pNewHover, POINT pt);
    bool InCaption(POINT pt) const;
    // Moves the window by its caption or resizes it by its size box; false when pt is in neither.
    bool StartWindowTracking(POINT pt);
    void SendEvent(CControlUI* pControl, int type, POINT pt, UINT keyState, WPARAM wParam = 0,
                   LPARAM lParam = 0);
    void OnTimer(int nativeId);
    void NotifyChildWnds(UINT uMsg, WPARAM wParam, LPARAM lParam);
    void RemoveListenersOf(CControlUI* pControl);
    // Queued notifications and delayed deletions run once the current message is handled.
    void ScheduleAsyncWork();
    void FlushAsyncWork();

    std::unique_ptr<Impl> m_pImpl;
    HWND m_hWnd = nullptr;
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventClick = nullptr;
    std::vector<CControlUI*> m_hoverChain;
    POINT m_ptLastMousePos;
    bool m_bLayoutNeeded = true;
    SIZE m_szInitWindowSize;
    SIZE m_szMinWindow;
    RECT m_rcSizeBox;
    RECT m_rcCaption;
    DWORD m_dwDefaultFontColor = 0xFF333333;
    DWORD m_dwDefaultDisabledColor = 0xFFA0A8B0;
    DWORD m_dwDefaultSelectedBkColor = 0xFFD6EAFF;
};

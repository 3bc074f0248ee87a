#pragma once
// Notifications (control -> window and pages) and events (window -> control).
#include "uilib/dui_string.h"
#include "uilib/window_messages.h"

class CControlUI;

// Notification types the library sends. The program's own ("need_refresh_list", ...) are free
// strings sent with CPaintManagerUI::SendNotify.
#define DUI_MSGTYPE_WINDOWINIT "windowinit"
#define DUI_MSGTYPE_CLICK "click"
#define DUI_MSGTYPE_SELECTCHANGED "selectchanged"
#define DUI_MSGTYPE_OPTIONCLICK "option_click"
#define DUI_MSGTYPE_TIMER "timer"
#define DUI_MSGTYPE_ITEMSELECT "itemselect"
#define DUI_MSGTYPE_ITEMCLICK "itemclick"
#define DUI_MSGTYPE_ITEMACTIVATE "itemactivate"
#define DUI_MSGTYPE_TEXTCHANGED "textchanged"
#define DUI_MSGTYPE_RETURN "return"
#define DUI_MSGTYPE_EDITCLOSED "editclosed"
#define DUI_MSGTYPE_MENU "menu"
#define DUI_MSGTYPE_SETFOCUS "setfocus"
#define DUI_MSGTYPE_KILLFOCUS "killfocus"
#define DUI_MSGTYPE_SORTLIST "sortlist"
#define DUI_MSGTYPE_HEADERCLICK "headerclick"
#define DUI_MSGTYPE_DROPDOWN "dropdown"
#define DUI_MSGTYPE_VALUECHANGED "value_changed"

struct TNotifyUI {
    CDuiString sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse;  // client coordinates of the sender's window
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

// Sees a window's messages before its controls do; set bHandled to stop them there.
class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// A control hosted in a window, or a window tied to one, that wants to hear about the window
// itself: its place, size, visibility and end (WM_MOVE, WM_SIZE, WM_SHOWWINDOW, WM_CLOSE,
// WM_DESTROY), and these of the paint manager:
enum : UINT {
    UIMSG_LAYOUTDONE = 0x03F0,   // the controls were laid out again and may have moved
    UIMSG_CONTROLGONE = 0x03F1,  // wParam: a control that left the window or is being destroyed
};
class IChildWndNotifyUI {
public:
    virtual void OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IChildWndNotifyUI() = default;
};

enum EVENTTYPE_UI {
    UIEVENT__FIRST = 1,
    UIEVENT_KEYDOWN,
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_RBUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_CONTEXTMENU,
    UIEVENT_SCROLLWHEEL,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETFOCUS,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
    UIEVENT__LAST,
};

// An input or focus event delivered to one control (CControlUI::DoEvent).
struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse;       // client coordinates
    UINT chKey = 0;      // virtual key (key events) or Unicode character (UIEVENT_CHAR)
    UINT wKeyState = 0;  // MK_ flags
    WPARAM wParam = 0;   // timer id; for the wheel: 0 up, 1 down
    LPARAM lParam = 0;   // for the wheel: the raw delta
};

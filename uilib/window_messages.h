#pragma once
// Window messages and cross-thread posting. Safe to include from code that must not see Qt.
#include <functional>

#include "uilib/ui_types.h"

enum : UINT {
    WM_NULL = 0x0000,
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_SETFOCUS = 0x0007,
    WM_KILLFOCUS = 0x0008,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_SHOWWINDOW = 0x0018,
    WM_NCDESTROY = 0x0082,
    WM_KEYDOWN = 0x0100,
    WM_KEYUP = 0x0101,
    WM_CHAR = 0x0102,
    WM_TIMER = 0x0113,
    WM_MOUSEMOVE = 0x0200,
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MOUSEWHEEL = 0x020A,
    WM_MOUSELEAVE = 0x02A3,
    // Sent to translucent windows when the desktop stops composing them; wParam is 0.
    WM_DWMCOMPOSITIONCHANGED = 0x031E,
    WM_USER = 0x0400,
};

// True while the window named by the handle exists. Any thread.
bool IsWindow(HWND hWnd);

// Queues a message for the window's procedure (HandleMessage), which receives it on the UI
// thread. Any thread. Returns false, without queuing anything, when the window is gone.
//
// Once posted, the message belongs to the window. If the window is destroyed before the message
// is delivered, the message is dropped and onDropped runs, so whatever the parameters point to
// can be freed; a delivered message never calls onDropped.
bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                 std::function<void()> onDropped = {});

// Mouse messages carry the client point in lParam and the key state in wParam.
inline LPARAM MAKELPARAM(int low, int high) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high & 0xFFFF) << 16) |
                               static_cast<std::uint32_t>(low & 0xFFFF));
}
inline int GET_X_LPARAM(LPARAM lParam) {
    return static_cast<std::int16_t>(lParam & 0xFFFF);
}
inline int GET_Y_LPARAM(LPARAM lParam) {
    return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF);
}

// Key state flags of mouse messages and events.
enum : UINT {
    MK_LBUTTON = 0x0001,
    MK_RBUTTON = 0x0002,
    MK_SHIFT = 0x0004,
    MK_CONTROL = 0x0008,
    MK_ALT = 0x0020,
};

// Virtual key codes of WM_KEYDOWN (letters and digits are their upper-case ASCII codes).
enum : UINT {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_APPS = 0x5D,
    VK_F1 = 0x70,
    VK_F10 = 0x79,
};

// WM_SIZE wParam.
enum : UINT { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

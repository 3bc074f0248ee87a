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

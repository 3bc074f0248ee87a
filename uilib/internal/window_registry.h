#pragma once
#include "uilib/ui_types.h"

class QObject;

namespace uilib_detail {

// Live windows by handle. Posting looks the receiver up and queues under the same lock, and a
// window leaves the registry before its QObject dies, so a post never reaches a freed object.
HWND RegisterWindow(QObject* receiver);
void UnregisterWindow(HWND hWnd);
QObject* FindWindowObject(HWND hWnd);

}  // namespace uilib_detail

#pragma once
class QWidget;

namespace uilib_detail {

// True on X11 when some client owns the named selection of the default screen: a window
// manager owns "WM_S0", a compositing manager "_NET_WM_CM_S0".
bool X11SelectionOwned(const char* name);

// Gives the X input focus to a mapped top-level window, stamped with the server's current time.
void X11FocusWindow(QWidget* window);

}  // namespace uilib_detail

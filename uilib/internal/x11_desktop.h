#pragma once
#include <functional>

class QWidget;

namespace uilib_detail {

// True on X11 when some client owns the named selection of the default screen: a window
// manager owns "WM_S0", a compositing manager "_NET_WM_CM_S0".
bool X11SelectionOwned(const char* name);

// Gives the X input focus to a mapped top-level window, stamped with the server's current time.
void X11FocusWindow(QWidget* window);

// Restacks a mapped top-level window directly below another one, or below the frame the window
// manager put around that one. The first window must be one the window manager leaves alone.
void X11StackBelow(QWidget* window, QWidget* above);

// Gives a top-level window of the screen's own visual the screen's default colormap instead of
// the private one Qt makes. Screen captures that read each colormap apart (xwd) otherwise
// show an owned window drawn over another one as black.
void X11UseDefaultColormap(QWidget* window);

// Runs onGone once, when the compositing manager running now exits. False when none runs.
bool X11WatchCompositor(std::function<void()> onGone);

}  // namespace uilib_detail

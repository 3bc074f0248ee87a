#include "uilib/internal/x11_desktop.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace uilib_detail {

namespace {

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != "xcb") return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

}  // namespace

bool X11SelectionOwned(const char* name) {
    xcb_connection_t* connection = X11Connection();
    if (!connection) return false;
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name),
                              nullptr),
        &std::free);
    if (!atom) return false;
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

void X11FocusWindow(QWidget* window) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !window) return;
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT,
                        static_cast<xcb_window_t>(window->winId()), XCB_CURRENT_TIME);
    xcb_flush(connection);
}

}  // namespace uilib_detail

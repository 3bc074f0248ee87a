#include "uilib/internal/x11_desktop.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace uilib_detail {

namespace {

xcb_connection_t* X11Connection() {
    if (QGuiApplication::platformName() != "xcb") return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

template <typename Reply>
using XcbReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_window_t SelectionOwner(xcb_connection_t* connection, const char* name) {
    XcbReply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name),
                              nullptr),
        &std::free);
    if (!atom) return XCB_NONE;
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom),
                                      nullptr),
        &std::free);
    return owner ? owner->owner : XCB_NONE;
}

// The child of the root window that holds the window: its frame under a window manager.
xcb_window_t TopLevelAncestor(xcb_connection_t* connection, xcb_window_t window) {
    for (;;) {
        XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr),
            &std::free);
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root) return window;
        window = tree->parent;
    }
}

// The compositing manager's selection window is destroyed when it exits, with its connection.
class CompositorWatch : public QAbstractNativeEventFilter {
public:
    bool Watch(xcb_connection_t* connection, std::function<void()> onGone) {
        xcb_window_t owner = SelectionOwner(connection, "_NET_WM_CM_S0");
        if (owner == XCB_NONE) return false;
        if (owner != m_owner) {
            const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection, owner, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(connection);
            m_owner = owner;
        }
        m_onGone.push_back(std::move(onGone));
        return true;
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY) return false;
        if (reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window != m_owner) return false;
        m_owner = XCB_NONE;
        std::vector<std::function<void()>> callbacks;
        callbacks.swap(m_onGone);
        for (auto& onGone : callbacks) onGone();
        return false;
    }

private:
    xcb_window_t m_owner = XCB_NONE;
    std::vector<std::function<void()>> m_onGone;
};

}  // namespace

bool X11SelectionOwned(const char* name) {
    xcb_connection_t* connection = X11Connection();
    return connection && SelectionOwner(connection, name) != XCB_NONE;
}

void X11StackBelow(QWidget* window, QWidget* above) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !window || !above) return;
    const uint32_t values[] = {
        TopLevelAncestor(connection, static_cast<xcb_window_t>(above->winId())),
        XCB_STACK_MODE_BELOW};
    xcb_configure_window(connection, static_cast<xcb_window_t>(window->winId()),
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(connection);
}

bool X11WatchCompositor(std::function<void()> onGone) {
    xcb_connection_t* connection = X11Connection();
    if (!connection) return false;
    static CompositorWatch* watch = [] {
        auto* w = new CompositorWatch;
        qGuiApp->installNativeEventFilter(w);
        return w;
    }();
    return watch->Watch(connection, std::move(onGone));
}

void X11UseDefaultColormap(QWidget* window) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !window) return;
    auto id = static_cast<xcb_window_t>(window->winId());
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id),
                                        nullptr),
        &std::free);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    // A translucent window has a visual of its own, which the default colormap cannot serve.
    if (!attributes || !screen || attributes->visual != screen->root_visual) return;
    const uint32_t colormap = screen->default_colormap;
    xcb_change_window_attributes(connection, id, XCB_CW_COLORMAP, &colormap);
    xcb_flush(connection);
}

void X11FocusWindow(QWidget* window) {
    xcb_connection_t* connection = X11Connection();
    if (!connection || !window) return;
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT,
                        static_cast<xcb_window_t>(window->winId()), XCB_CURRENT_TIME);
    xcb_flush(connection);
}

}  // namespace uilib_detail

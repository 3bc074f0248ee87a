#include "uilib/internal/native_window.h"

#include <QCloseEvent>

#include "uilib/internal/posted_message.h"
#include "uilib/internal/window_registry.h"
#include "uilib/window_wnd.h"

namespace uilib_detail {

NativeWindow::NativeWindow(CWindowWnd* owner, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), m_owner(owner) {}

NativeWindow::~NativeWindow() {
    if (m_owner) m_owner->DetachNative();
}

void NativeWindow::destroySafely() {
    if (m_eventDepth > 0) {
        m_deleteWhenIdle = true;
        hide();
        return;
    }
    delete this;
}

bool NativeWindow::event(QEvent* e) {
    ++m_eventDepth;
    bool handled = deliverPostedMessage(e) || QWidget::event(e);
    if (--m_eventDepth == 0 && m_deleteWhenIdle) {
        deleteLater();
        m_deleteWhenIdle = false;
    }
    return handled;
}

bool NativeWindow::deliverPostedMessage(QEvent* e) {
    if (e->type() != PostedMessage::eventType()) return false;
    auto* message = static_cast<PostedMessage*>(e);
    // Messages that arrive between DestroyWindow and the actual deletion are dropped: the
    // event's destructor then frees the payload through its drop handler.
    if (m_owner) {
        message->markDelivered();
        m_owner->HandleMessage(message->message(), message->wParam(), message->lParam());
    }
    return true;
}

void NativeWindow::closeEvent(QCloseEvent* e) {
    // Closing from the title bar is a cancel; the owner decides whether the window goes.
    e->ignore();
    if (m_owner) m_owner->HandleMessage(WM_CLOSE, IDCANCEL, 0);
}

NativeWindow* NativeFromHandle(HWND hWnd) {
    return static_cast<NativeWindow*>(FindWindowObject(hWnd));
}

}  // namespace uilib_detail

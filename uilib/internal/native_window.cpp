#include "uilib/internal/native_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>

#include "uilib/accessible_ui.h"
#include "uilib/internal/posted_message.h"
#include "uilib/internal/render_context.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/window_registry.h"
#include "uilib/internal/x11_desktop.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/window_wnd.h"

namespace uilib_detail {

namespace {

LPARAM PointParam(const QPointF& pos) {
    return MAKELPARAM(static_cast<int>(pos.x()), static_cast<int>(pos.y()));
}

}  // namespace

NativeWindow::NativeWindow(CWindowWnd* owner, Qt::WindowFlags flags)
    : QWidget(nullptr, flags), m_owner(owner) {
    InstallAccessibility();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

NativeWindow::~NativeWindow() {
    if (m_owner) m_owner->DetachNative();
}

void NativeWindow::destroySafely() {
    hide();
    if (m_eventDepth > 0) {
        m_deleteWhenIdle = true;
        return;
    }
    delete this;
}

LRESULT NativeWindow::send(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return m_owner ? m_owner->HandleMessage(uMsg, wParam, lParam) : 0;
}

bool NativeWindow::event(QEvent* e) {
    TakeEventFromPoster(e);
    // This one deletes the window: nothing of it may be touched afterwards.
    if (e->type() == QEvent::DeferredDelete) return QWidget::event(e);
    ++m_eventDepth;
    bool handled = deliverPostedMessage(e) || showToolTip(e) || QWidget::event(e);
    if (e->type() == QEvent::ActivationChange) send(WM_ACTIVATE, isActiveWindow() ? 1 : 0, 0);
    // A window manager may report the new state after the new size.
    if (e->type() == QEvent::WindowStateChange) sendSize();
    if (--m_eventDepth == 0 && m_deleteWhenIdle) {
        m_deleteWhenIdle = false;
        deleteLater();
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

bool NativeWindow::showToolTip(QEvent* e) {
    if (e->type() != QEvent::ToolTip || !m_manager) return false;
    auto* help = static_cast<QHelpEvent*>(e);
    CControlUI* control = m_manager->FindToolTipControl(POINT{help->pos().x(), help->pos().y()});
    if (!control) {
        QToolTip::hideText();
        e->ignore();
        return true;
    }
    const RECT& rc = control->GetPos();
    QPoint at = CPaintManagerUI::IsBalloonToolTip() ? mapToGlobal(QPoint(rc.left, rc.bottom))
                                                    : help->globalPos();
    QToolTip::showText(at, FromGbk(control->GetToolTip().str()), this, ToQRect(rc));
    return true;
}

void NativeWindow::paintEvent(QPaintEvent* e) {
    if (!m_manager) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    CRenderContext ctx(painter);
    QRect r = e->rect();
    m_manager->Paint(ctx, RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    painter.end();
    if (m_activateWhenShown) completeActivation();
    send(WM_PAINT);
}

void NativeWindow::completeActivation() {
    m_activateWhenShown = false;
    if (isActiveWindow()) return;
    // Qt stamps its focus request with the time of the last event it saw. Without a window
    // manager to grant it, X drops a request older than the last focus change: ask again, now.
    if (QGuiApplication::platformName() == "xcb" && !X11SelectionOwned("WM_S0"))
        X11FocusWindow(this);
}

void NativeWindow::closeEvent(QCloseEvent* e) {
    // Closing from the title bar (or the window manager) is a cancel, and goes through the
    // window's own Close so that a window that asks first can refuse.
    // A drop-down that Qt closes (a click outside) is already gone from the screen.
    if (windowType() == Qt::Popup)
        e->accept();
    else
        e->ignore();
    if (m_owner) m_owner->Close(IDCANCEL);
}

void NativeWindow::mousePressEvent(QMouseEvent* e) {
    UINT keyState = KeyStateOf(e->modifiers(), e->buttons());
    if (e->button() == Qt::LeftButton)
        send(WM_LBUTTONDOWN, keyState, PointParam(e->position()));
    else if (e->button() == Qt::RightButton)
        send(WM_RBUTTONDOWN, keyState, PointParam(e->position()));
}

void NativeWindow::mouseReleaseEvent(QMouseEvent* e) {
    UINT keyState = KeyStateOf(e->modifiers(), e->buttons());
    if (e->button() == Qt::LeftButton)
        send(WM_LBUTTONUP, keyState, PointParam(e->position()));
    else if (e->button() == Qt::RightButton)
        send(WM_RBUTTONUP, keyState, PointParam(e->position()));
}

void NativeWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        send(WM_LBUTTONDBLCLK, KeyStateOf(e->modifiers(), e->buttons()), PointParam(e->position()));
    else
        mousePressEvent(e);
}

void NativeWindow::mouseMoveEvent(QMouseEvent* e) {
    send(WM_MOUSEMOVE, KeyStateOf(e->modifiers(), e->buttons()), PointParam(e->position()));
}

void NativeWindow::wheelEvent(QWheelEvent* e) {
    int delta = e->angleDelta().y();
    if (delta == 0) return;
    WPARAM wParam = (static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16) |
                    KeyStateOf(e->modifiers(), e->buttons());
    send(WM_MOUSEWHEEL, wParam, PointParam(e->position()));
}

void NativeWindow::leaveEvent(QEvent*) {
    send(WM_MOUSELEAVE);
}

void NativeWindow::keyPressEvent(QKeyEvent* e) {
    UINT keyState = KeyStateOf(e->modifiers(), Qt::NoButton);
    UINT vk = VirtualKeyOf(e->key());
    if (e->key() == Qt::Key_Backtab) keyState |= MK_SHIFT;
    if (vk) send(WM_KEYDOWN, vk, keyState);
    QString text = e->text();
    if (!text.isEmpty() && text.at(0).isPrint()) send(WM_CHAR, text.at(0).unicode(), keyState);
}

void NativeWindow::keyReleaseEvent(QKeyEvent* e) {
    UINT vk = VirtualKeyOf(e->key());
    if (vk) send(WM_KEYUP, vk, KeyStateOf(e->modifiers(), Qt::NoButton));
}

void NativeWindow::resizeEvent(QResizeEvent*) {
    sendSize();
}

void NativeWindow::sendSize() {
    WPARAM kind = isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED;
    send(WM_SIZE, kind, MAKELPARAM(width(), height()));
}

void NativeWindow::moveEvent(QMoveEvent*) {
    send(WM_MOVE, 0, MAKELPARAM(x(), y()));
}

void NativeWindow::showEvent(QShowEvent*) {
    send(WM_SHOWWINDOW, 1, 0);
}

void NativeWindow::hideEvent(QHideEvent*) {
    send(WM_SHOWWINDOW, 0, 0);
}

// Tab belongs to the paint manager's own focus order, not to Qt's.
bool NativeWindow::focusNextPrevChild(bool) {
    return false;
}

NativeWindow* NativeFromHandle(HWND hWnd) {
    return static_cast<NativeWindow*>(FindWindowObject(hWnd));
}

UINT VirtualKeyOf(int key) {
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<UINT>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Menu:
            return VK_APPS;
        default:
            return 0;
    }
}

UINT KeyStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    UINT state = 0;
    if (modifiers & Qt::ShiftModifier) state |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) state |= MK_CONTROL;
    if (modifiers & Qt::AltModifier) state |= MK_ALT;
    if (buttons & Qt::LeftButton) state |= MK_LBUTTON;
    if (buttons & Qt::RightButton) state |= MK_RBUTTON;
    return state;
}

}  // namespace uilib_detail

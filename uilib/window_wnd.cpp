#include "uilib/window_wnd.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStyleHints>
#include <QSvgRenderer>
#include <QWindow>
#include <optional>

#include "uilib/internal/event_loops.h"
#include "uilib/internal/native_window.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/internal/window_registry.h"
#include "uilib/internal/x11_desktop.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/ui_application.h"

using uilib_detail::NativeWindow;

struct CWindowWnd::ModalState {
    QEventLoop loop;
    UINT result = IDCANCEL;
    bool windowGone = false;  // the CWindowWnd may already be deleted
};

namespace {

Qt::WindowFlags FlagsForStyle(DWORD dwStyle, DWORD dwExStyle) {
    // Every window draws its own caption from its layout, so it looks the same with or
    // without a window manager.
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (dwStyle & UI_WNDSTYLE_DIALOG) flags = Qt::Dialog | Qt::FramelessWindowHint;
    if (dwExStyle & UI_WNDSTYLE_EX_TOOLWINDOW) flags |= Qt::Tool;
    if (dwExStyle & UI_WNDSTYLE_EX_DROPDOWN) flags = Qt::Popup | Qt::FramelessWindowHint;
    if (dwExStyle & UI_WNDSTYLE_EX_NOACTIVATE) flags |= Qt::WindowDoesNotAcceptFocus;
    if (dwExStyle & UI_WNDSTYLE_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (dwExStyle & UI_WNDSTYLE_EX_TRANSPARENT) flags |= Qt::WindowTransparentForInput;
    if (dwExStyle & UI_WNDSTYLE_EX_UNMANAGED) flags |= Qt::BypassWindowManagerHint;
    return flags;
}

void ApplyExStyleAttributes(NativeWindow* native, DWORD dwExStyle) {
    if (dwExStyle & UI_WNDSTYLE_EX_NOACTIVATE) native->setAttribute(Qt::WA_ShowWithoutActivating);
    if (dwExStyle & UI_WNDSTYLE_EX_LAYERED) {
        native->setAttribute(Qt::WA_TranslucentBackground);
        native->setAttribute(Qt::WA_NoSystemBackground);
    }
    if (dwExStyle & UI_WNDSTYLE_EX_TRANSPARENT)
        native->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A click that closes a drop-down must not reopen it on the control underneath.
    if (dwExStyle & UI_WNDSTYLE_EX_DROPDOWN) native->setAttribute(Qt::WA_NoMouseReplay);
    if (!(dwExStyle & UI_WNDSTYLE_EX_LAYERED)) {
        native->setAutoFillBackground(true);
        QPalette palette = native->palette();
        palette.setColor(QPalette::Window, Qt::white);
        native->setPalette(palette);
    }
}

RECT ToRect(const QRect& r) {
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

}  // namespace

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    EndModalLoop();
    if (m_pNative) ReleaseNative();
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy) {
    if (m_pNative) return m_hWnd;
    UiEnsureApplication();
    m_pNative = new NativeWindow(this, FlagsForStyle(dwStyle, dwExStyle));
    ApplyExStyleAttributes(m_pNative, dwExStyle);
    uilib_detail::X11UseDefaultColormap(m_pNative);
    if (pstrName) m_pNative->setWindowTitle(uilib_detail::FromGbk(pstrName));
    if (NativeWindow* parent = uilib_detail::NativeFromHandle(hwndParent)) {
        // Owned, not parented: the owner keeps the window above it without deleting it.
        m_pNative->winId();
        parent->winId();
        m_pNative->windowHandle()->setTransientParent(parent->windowHandle());
    }
    if (cx != CW_USEDEFAULT && cy != CW_USEDEFAULT) m_pNative->resize(cx, cy);
    if (x != CW_USEDEFAULT && y != CW_USEDEFAULT) m_pNative->move(x, y);
    m_hWnd = uilib_detail::RegisterWindow(m_pNative);
    if (dwExStyle & UI_WNDSTYLE_EX_LAYERED) {
        HWND hWnd = m_hWnd;
        uilib_detail::X11WatchCompositor(
            [hWnd] { ::PostMessage(hWnd, WM_DWMCOMPOSITIONCHANGED, 0, 0); });
    }
    if (HandleMessage(WM_CREATE, 0, 0) == -1) {
        DestroyWindow();
        return nullptr;
    }
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!m_pNative) return;
    if (!bShow) {
        m_pNative->hide();
        return;
    }
    m_pNative->setAttribute(Qt::WA_ShowWithoutActivating, !bTakeFocus);
    m_pNative->setActivateWhenShown(bTakeFocus);
    m_pNative->show();
    if (bTakeFocus) {
        m_pNative->raise();
        m_pNative->activateWindow();
    }
}

bool CWindowWnd::IsVisible() const {
    return m_pNative && m_pNative->isVisible();
}

UINT CWindowWnd::ShowModal() {
    if (!m_pNative || m_pModal) return IDCANCEL;
    ModalState state;
    m_pModal = &state;
    m_pNative->setWindowModality(Qt::ApplicationModal);
    ShowWindow(true, true);
    TakeKeyboardFocus();
    uilib_detail::RunQuittableLoop(state.loop);
    // The window may have deleted itself when it closed: then only the local state is read.
    if (!state.windowGone) m_pModal = nullptr;
    return state.result;
}

void CWindowWnd::TakeKeyboardFocus() {
    // Keys go to Qt's focus widget: the window itself, unless one of its edits already has it.
    if (!m_pNative->focusWidget()) m_pNative->setFocus(Qt::ActiveWindowFocusReason);
    if (CPaintManagerUI* manager = m_pNative->paintManager()) manager->SetInitialFocus();
}

void CWindowWnd::Close(UINT nRet) {
    PostMessage(WM_CLOSE, nRet, 0);
}

void CWindowWnd::DestroyWindow() {
    if (!m_pNative) return;
    HWND hWnd = m_hWnd;
    uilib_detail::UnregisterWindow(hWnd);
    HandleMessage(WM_DESTROY, 0, 0);
    ReleaseNative();
    EndModalLoop();
    OnFinalMessage(hWnd);
}

void CWindowWnd::ReleaseNative() {
    NativeWindow* native = m_pNative;
    DetachNative();
    native->detachOwner();
    native->setPaintManager(nullptr);
    native->destroySafely();
}

void CWindowWnd::EndModalLoop() {
    if (!m_pModal) return;
    m_pModal->windowGone = true;
    m_pModal->loop.quit();
    m_pModal = nullptr;
}

void CWindowWnd::DetachNative() {
    uilib_detail::UnregisterWindow(m_hWnd);
    m_pNative = nullptr;
    m_hWnd = nullptr;
}

void CWindowWnd::CenterWindow() {
    if (!m_pNative) return;
    QRect area = m_pNative->screen()->availableGeometry();
    if (QWindow* owner =
            m_pNative->windowHandle() ? m_pNative->windowHandle()->transientParent() : nullptr)
        area = owner->frameGeometry();
    QRect frame = m_pNative->frameGeometry();
    frame.moveCenter(area.center());
    m_pNative->move(frame.topLeft());
}

void CWindowWnd::SetWindowText(LPCTSTR pstrText) {
    if (m_pNative) m_pNative->setWindowTitle(uilib_detail::FromGbk(pstrText));
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!m_pNative) return;
    QSize size = m_pNative->size();
    m_pNative->resize(cx < 0 ? size.width() : cx, cy < 0 ? size.height() : cy);
}

RECT CWindowWnd::GetWindowRect() const {
    if (!m_pNative) return RECT{};
    // The geometry Qt keeps, not a query of the X server: a window shown but not yet mapped by
    // the window manager would report the top left corner of the screen.
    return ToRect(m_pNative->geometry());
}

void CWindowWnd::MoveWindow(const RECT& rc) {
    if (!m_pNative) return;
    m_pNative->setGeometry(rc.left, rc.top, rc.GetWidth(), rc.GetHeight());
}

RECT CWindowWnd::GetWorkArea() const {
    RECT work;
    UIGetMonitorInfo(m_hWnd, nullptr, &work);
    return work;
}

void CWindowWnd::BringToFront() {
    if (m_pNative) m_pNative->raise();
}

void CWindowWnd::StackBehind(HWND hWndAbove) {
    NativeWindow* above = uilib_detail::NativeFromHandle(hWndAbove);
    if (m_pNative && above && m_pNative->isVisible())
        uilib_detail::X11StackBelow(m_pNative, above);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return HandleMessage(uMsg, wParam, lParam);
}

bool CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM) {
    if (uMsg == WM_CLOSE) {
        if (m_pModal) m_pModal->result = static_cast<UINT>(wParam);
        DestroyWindow();
    }
    return 0;
}

void CWindowWnd::OnFinalMessage(HWND) {}

namespace {

std::optional<std::pair<RECT, RECT>>& MonitorOverride() {
    static std::optional<std::pair<RECT, RECT>> rects;
    return rects;
}

}  // namespace

void UIGetMonitorInfo(HWND hWnd, RECT* pMonitor, RECT* pWork) {
    if (const auto& fixed = MonitorOverride()) {
        if (pMonitor) *pMonitor = fixed->first;
        if (pWork) *pWork = fixed->second;
        return;
    }
    UiEnsureApplication();
    NativeWindow* native = uilib_detail::NativeFromHandle(hWnd);
    QScreen* screen = native ? native->screen() : QGuiApplication::primaryScreen();
    if (pMonitor) *pMonitor = screen ? ToRect(screen->geometry()) : RECT{};
    if (pWork) *pWork = screen ? ToRect(screen->availableGeometry()) : RECT{};
}

void UISetMonitorInfoOverride(const RECT* pMonitor, const RECT* pWork) {
    if (pMonitor && pWork)
        MonitorOverride() = std::make_pair(*pMonitor, *pWork);
    else
        MonitorOverride().reset();
}

bool UICanShowTranslucentWindows() {
    UiEnsureApplication();
    if (QGuiApplication::platformName() != "xcb") return true;
    // A compositing manager owns this selection for the screen it composes (the default one).
    return uilib_detail::X11SelectionOwned("_NET_WM_CM_S0");
}

UINT UIGetDoubleClickTime() {
    UiEnsureApplication();
    return static_cast<UINT>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

CWaitCursor::CWaitCursor() {
    UiEnsureApplication();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

CWaitCursor::~CWaitCursor() {
    QApplication::restoreOverrideCursor();
}

namespace {

// The program's icon when the skin has none: a light-blue tile with the initial.
QPixmap DrawnIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x2D, 0x8C, 0xF0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    QFont font("WenQuanYi Micro Hei");
    font.setPixelSize(38);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 64, 64), Qt::AlignCenter, "L");
    return pixmap;
}

// The skin's drawing at the sizes desktops ask for, from taskbar to task switcher.
QIcon IconFromDrawing(QSvgRenderer& drawing) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

void CWindowWnd::SetIcon(UINT nRes) {
    if (!m_pNative) return;
    CDuiString file;
    file.Format("icon%u.svg", nRes);
    QSvgRenderer* drawing = uilib_detail::SkinDrawing(file);
    m_pNative->setWindowIcon(drawing ? IconFromDrawing(*drawing) : QIcon(DrawnIcon()));
}

#include "uilib/window_wnd.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "uilib/internal/native_window.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/window_registry.h"
#include "uilib/ui_application.h"

using uilib_detail::NativeWindow;

struct CWindowWnd::ModalState {
    QEventLoop loop;
    UINT result = IDCANCEL;
};

namespace {

Qt::WindowFlags FlagsForStyle(DWORD dwStyle, DWORD dwExStyle) {
    Qt::WindowFlags flags = Qt::Window;
    if (dwStyle & UI_WNDSTYLE_DIALOG) flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint;
    if (dwStyle & UI_WNDSTYLE_POPUP) flags = Qt::Window | Qt::FramelessWindowHint;
    if (dwExStyle & UI_WNDSTYLE_EX_TOOLWINDOW) flags |= Qt::Tool;
    if (dwExStyle & UI_WNDSTYLE_EX_NOACTIVATE) flags |= Qt::WindowDoesNotAcceptFocus;
    if (dwExStyle & UI_WNDSTYLE_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (dwExStyle & UI_WNDSTYLE_EX_TRANSPARENT) flags |= Qt::WindowTransparentForInput;
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
}

RECT ToRect(const QRect& r) {
    return RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

}  // namespace

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    if (m_pModal) m_pModal->loop.quit();
    if (!m_pNative) return;
    NativeWindow* native = m_pNative;
    DetachNative();
    native->detachOwner();
    native->destroySafely();
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy) {
    if (m_pNative) return m_hWnd;
    UiEnsureApplication();
    m_pNative = new NativeWindow(this, FlagsForStyle(dwStyle, dwExStyle));
    ApplyExStyleAttributes(m_pNative, dwExStyle);
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
    state.loop.exec(QEventLoop::DialogExec);
    // The window may have deleted itself when it closed: only the local state is read here.
    return state.result;
}

void CWindowWnd::Close(UINT nRet) {
    PostMessage(WM_CLOSE, nRet, 0);
}

void CWindowWnd::DestroyWindow() {
    if (!m_pNative) return;
    HWND hWnd = m_hWnd;
    uilib_detail::UnregisterWindow(hWnd);
    HandleMessage(WM_DESTROY, 0, 0);
    NativeWindow* native = m_pNative;
    DetachNative();
    native->detachOwner();
    native->destroySafely();
    if (m_pModal) {
        m_pModal->loop.quit();
        m_pModal = nullptr;
    }
    OnFinalMessage(hWnd);
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
    return ToRect(QRect(m_pNative->mapToGlobal(QPoint(0, 0)), m_pNative->size()));
}

void CWindowWnd::MoveWindow(const RECT& rc) {
    if (!m_pNative) return;
    m_pNative->setGeometry(rc.left, rc.top, rc.GetWidth(), rc.GetHeight());
}

RECT CWindowWnd::GetWorkArea() const {
    QScreen* screen = m_pNative ? m_pNative->screen() : QGuiApplication::primaryScreen();
    return screen ? ToRect(screen->availableGeometry()) : RECT{};
}

void CWindowWnd::BringToFront() {
    if (m_pNative) m_pNative->raise();
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

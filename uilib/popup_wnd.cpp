#include "uilib/popup_wnd.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

#include "uilib/internal/native_window.h"

namespace {

QWindow* WindowOf(HWND hWnd) {
    auto* native = uilib_detail::NativeFromHandle(hWnd);
    return native ? native->windowHandle() : nullptr;
}

// True for the window itself and for windows it owns (a calendar's own pop-up inside it).
bool IsOrIsOwnedBy(const QWindow* window, const QWindow* owner) {
    for (const QWindow* w = window; w; w = w->transientParent())
        if (w == owner) return true;
    return false;
}

HWND HandleOfWindow(const QWindow* window) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() != window) continue;
        auto* native = dynamic_cast<uilib_detail::NativeWindow*>(widget);
        return native && native->owner() ? native->owner()->GetHWND() : nullptr;
    }
    return nullptr;
}

}  // namespace

// Watches the owner's window and the whole program for what closes or moves the pop-up.
class CPopupWnd::Watcher : public QObject,
                           public IChildWndNotifyUI,
                           public IMessageFilterUI,
                           public INotifyUI {
public:
    explicit Watcher(CPopupWnd* popup) : m_popup(popup) {
        Q_ASSERT(qApp);
        qApp->installEventFilter(this);
        connect(qApp, &QGuiApplication::focusWindowChanged, this, &Watcher::OnFocusWindow);
        connect(qApp, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    if (state != Qt::ApplicationActive) m_popup->AutoClose(UIPOPUP_DEACTIVATED);
                });
    }

    // After this nothing of the program reaches the pop-up through the watcher.
    void Disarm() {
        qApp->removeEventFilter(this);
        disconnect(qApp, nullptr, this, nullptr);
    }

    void OnWindowMessage(UINT uMsg, WPARAM wParam, LPARAM) override {
        switch (uMsg) {
            case WM_MOVE:
            case UIMSG_LAYOUTDONE:
                FollowOwner();
                break;
            case WM_SIZE:
                if (wParam == SIZE_MINIMIZED) m_popup->AutoClose(UIPOPUP_OWNERHIDDEN);
                break;
            case WM_SHOWWINDOW:
                if (wParam == 0) m_popup->AutoClose(UIPOPUP_OWNERHIDDEN);
                break;
            case WM_CLOSE:
            case WM_DESTROY:
                m_popup->AutoClose(UIPOPUP_OWNERGONE);
                break;
            case UIMSG_CONTROLGONE:
                if (reinterpret_cast<CControlUI*>(wParam) == m_popup->m_pOwner)
                    m_popup->AutoClose(UIPOPUP_OWNERGONE);
                break;
            default:
                break;
        }
    }

    // Escape typed in the control's edit closes the pop-up, not the control's dialog.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) override {
        if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE && m_popup->IsVisible()) {
            m_popup->AutoClose(UIPOPUP_ESCAPE);
            bHandled = true;
        }
        return 0;
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_KILLFOCUS && msg.pSender == m_popup->m_pOwner)
            m_popup->AutoClose(UIPOPUP_FOCUSLEFT, m_popup->m_pOwnerManager->GetPaintWindow());
    }

protected:
    // A press may pass a window and several of its widgets: closing twice does nothing.
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::MouseButtonPress) return false;
        QWindow* window = watched->isWindowType() ? static_cast<QWindow*>(watched) : nullptr;
        if (watched->isWidgetType()) window = static_cast<QWidget*>(watched)->window()->windowHandle();
        if (window) OnPress(window, static_cast<QMouseEvent*>(e));
        return false;
    }

private:
    void FollowOwner() {
        if (!m_popup->m_pOwner) return;
        if (!m_popup->m_pOwner->IsVisible())
            m_popup->AutoClose(UIPOPUP_OWNERHIDDEN);
        else if (m_popup->IsVisible())
            m_popup->Reposition();
    }

    void OnPress(QWindow* window, QMouseEvent* e) {
        if (!m_popup->m_pOwner) return;
        if (IsOrIsOwnedBy(window, WindowOf(m_popup->GetHWND()))) {
            m_userEntered = true;
            return;
        }
        QPoint global = e->globalPosition().toPoint();
        bool onOwner = window == WindowOf(m_popup->m_pOwnerManager->GetPaintWindow()) &&
                       m_popup->OwnerScreenRect().Contains(POINT{global.x(), global.y()});
        if (!onOwner) m_popup->AutoClose(UIPOPUP_OUTSIDECLICK);
    }

    void OnFocusWindow(QWindow* window) {
        if (!m_popup->m_pOwner) return;
        if (!window) {
            m_popup->AutoClose(UIPOPUP_DEACTIVATED);
            return;
        }
        QWindow* ownerWindow = WindowOf(m_popup->m_pOwnerManager->GetPaintWindow());
        if (window == WindowOf(m_popup->GetHWND()) && !m_userEntered && ownerWindow) {
            // Some desktops activate every window shown: the keyboard stays with the control.
            ownerWindow->requestActivate();
            return;
        }
        if (IsOrIsOwnedBy(window, WindowOf(m_popup->GetHWND())) || window == ownerWindow) return;
        m_popup->AutoClose(UIPOPUP_FOCUSLEFT, HandleOfWindow(window));
    }

    CPopupWnd* m_popup;
    bool m_userEntered = false;  // clicked into: then it may have the keyboard
};

CPopupWnd::CPopupWnd() = default;

CPopupWnd::~CPopupWnd() {
    DetachFromOwner();
}

bool CPopupWnd::Popup(CControlUI* pOwner, LPCTSTR pstrLayout, SIZE szWindow,
                      IDialogBuilderCallback* pCallback) {
    if (m_hWnd || !pOwner || !pOwner->GetManager()) return false;
    CPaintManagerUI* ownerManager = pOwner->GetManager();
    if (!Create(ownerManager->GetPaintWindow(), nullptr, pstrLayout, pCallback, UI_WNDSTYLE_POPUP,
                UI_WNDSTYLE_EX_TOOLWINDOW))
        return false;
    m_pOwner = pOwner;
    m_pOwnerManager = ownerManager;
    m_pWatcher = std::make_unique<Watcher>(this);
    ownerManager->AddChildWndNotifier(m_pWatcher.get());
    ownerManager->AddMessageFilter(m_pWatcher.get());
    ownerManager->AddNotifier(m_pWatcher.get());
    SIZE layout = m_pm.GetInitSize();
    m_szWindow = SIZE{szWindow.cx > 0   ? szWindow.cx
                      : layout.cx > 0   ? layout.cx
                                        : pOwner->GetWidth(),
                      szWindow.cy > 0 ? szWindow.cy : layout.cy};
    Reposition();
    ShowWindow(true, false);
    return true;
}

void CPopupWnd::SetPopupSize(SIZE szWindow) {
    m_szWindow = szWindow;
    Reposition();
}

void CPopupWnd::Reposition() {
    if (!m_pOwner || !m_hWnd) return;
    RECT work;
    UIGetMonitorInfo(m_pOwnerManager->GetPaintWindow(), nullptr, &work);
    RECT rc = PlaceByControl(OwnerScreenRect(), m_szWindow, Bounds(work));
    if (rc != GetWindowRect()) MoveWindow(rc);
}

// A pop-up hanging past the edge of its window looks lost; it stays over the window when it can.
RECT CPopupWnd::Bounds(const RECT& rcWork) const {
    CWindowWnd* window = m_pOwnerManager->GetWindow();
    if (!window) return rcWork;
    const RECT host = window->GetWindowRect();
    const int left = std::max(rcWork.left, host.left);
    const int right = std::min(rcWork.right, host.right);
    if (right - left < m_szWindow.cx) return rcWork;
    return RECT{left, rcWork.top, right, rcWork.bottom};
}

RECT CPopupWnd::PlaceByControl(const RECT& rcControl, SIZE sz, const RECT& rcWork) {
    int left = std::max(rcWork.left, std::min(rcControl.left, rcWork.right - sz.cx));
    int top = rcControl.bottom + sz.cy > rcWork.bottom ? rcControl.top - sz.cy : rcControl.bottom;
    top = std::max(top, rcWork.top);
    return RECT{left, top, left + sz.cx, top + sz.cy};
}

RECT CPopupWnd::OwnerScreenRect() const {
    RECT rc = m_pOwner->GetPos();
    POINT topLeft{rc.left, rc.top};
    m_pOwnerManager->ClientToScreen(topLeft);
    return RECT{topLeft.x, topLeft.y, topLeft.x + rc.GetWidth(), topLeft.y + rc.GetHeight()};
}

bool CPopupWnd::OnAutoClose(UINT, HWND) {
    return true;
}

void CPopupWnd::AutoClose(UINT uReason, HWND hWndFocus) {
    if (m_bClosing || !m_hWnd) return;
    bool ownerGone = uReason == UIPOPUP_OWNERGONE;
    if (!OnAutoClose(uReason, hWndFocus) && !ownerGone) return;
    m_bClosing = true;
    if (uReason == UIPOPUP_FOCUSLEFT) m_hFocusTaker = hWndFocus;
    // The owner may be going away right now: nothing of it is touched from here on.
    if (ownerGone) DetachFromOwner();
    ShowWindow(false);
    Close(IDCANCEL);
}

void CPopupWnd::DetachFromOwner() {
    StopWatching();
    m_pOwner = nullptr;
    m_pOwnerManager = nullptr;
}

void CPopupWnd::StopWatching() {
    if (m_pOwnerManager && m_pWatcher) {
        m_pOwnerManager->RemoveChildWndNotifier(m_pWatcher.get());
        m_pOwnerManager->RemoveMessageFilter(m_pWatcher.get());
        m_pOwnerManager->RemoveNotifier(m_pWatcher.get());
    }
    // Deleted later: the watcher may be inside one of its own handlers.
    if (m_pWatcher) {
        m_pWatcher->Disarm();
        m_pWatcher.release()->deleteLater();
    }
}

LRESULT CPopupWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // The control stays known to OnFinalMessage, which may have to tell it.
    if (uMsg == WM_DESTROY) StopWatching();
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

#include "uilib/paint_manager_ui.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimerEvent>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "uilib/accessible_ui.h"
#include "uilib/internal/event_loops.h"
#include "uilib/internal/native_window.h"
#include "uilib/internal/render_context.h"
#include "uilib/render_engine.h"
#include "uilib/style_manager_ui.h"
#include "uilib/ui_application.h"
#include "uilib/window_wnd.h"

std::atomic<UINT> CTimerID::g_ID{1000};

namespace {

bool g_balloonToolTips = false;

Qt::CursorShape CursorForEdges(Qt::Edges edges) {
    bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical)
        return (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
                   ? Qt::SizeFDiagCursor
                   : Qt::SizeBDiagCursor;
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

Qt::Edges SizeBoxEdges(const QWidget* native, const RECT& sizeBox, POINT pt) {
    if (!native || native->isMaximized()) return {};
    Qt::Edges edges;
    if (sizeBox.left > 0 && pt.x < sizeBox.left) edges |= Qt::LeftEdge;
    if (sizeBox.right > 0 && pt.x >= native->width() - sizeBox.right) edges |= Qt::RightEdge;
    if (sizeBox.top > 0 && pt.y < sizeBox.top) edges |= Qt::TopEdge;
    if (sizeBox.bottom > 0 && pt.y >= native->height() - sizeBox.bottom) edges |= Qt::BottomEdge;
    return edges;
}

// Moving or resizing a window by hand, where no window manager does it.
struct WindowTracking {
    bool active = false;
    Qt::Edges edges;  // none: moving
    QPoint grabGlobal;
    QRect startGeometry;

    void Track(QWidget* native, QPoint global, SIZE minSize) const {
        QPoint delta = global - grabGlobal;
        QRect rc = startGeometry;
        if (!edges) {
            native->move(rc.topLeft() + delta);
            return;
        }
        int minWidth = std::max(minSize.cx, 100), minHeight = std::max(minSize.cy, 60);
        // QRect's right and bottom are inclusive: a width w ends at left + w - 1.
        if (edges & Qt::LeftEdge)
            rc.setLeft(std::min(rc.left() + delta.x(), rc.right() + 1 - minWidth));
        if (edges & Qt::RightEdge)
            rc.setRight(std::max(rc.right() + delta.x(), rc.left() + minWidth - 1));
        if (edges & Qt::TopEdge)
            rc.setTop(std::min(rc.top() + delta.y(), rc.bottom() + 1 - minHeight));
        if (edges & Qt::BottomEdge)
            rc.setBottom(std::max(rc.bottom() + delta.y(), rc.top() + minHeight - 1));
        native->setGeometry(rc);
    }
};

DWORD Timestamp() {
    return static_cast<DWORD>(QDateTime::currentMSecsSinceEpoch());
}

// Receives the Qt timers of one manager.
class TimerHost : public QObject {
public:
    explicit TimerHost(std::function<void(int)> onTimer) : m_onTimer(std::move(onTimer)) {}

protected:
    void timerEvent(QTimerEvent* e) override { m_onTimer(e->timerId()); }

private:
    std::function<void(int)> m_onTimer;
};

CControlUI* FindByName(CControlUI* pControl, void* pData) {
    return pControl->GetName() == static_cast<const char*>(pData) ? pControl : nullptr;
}

// Parents come before their children: a control laid out again takes its children along, and
// they are not visited as changed afterwards.
CControlUI* LayOutIfNeeded(CControlUI* pControl, void*) {
    if (pControl->IsUpdateNeeded()) pControl->SetPos(pControl->GetPos(), false);
    return nullptr;
}

// Where the control shows: its rectangle clipped by every ancestor's (scrolled views).
bool ShowsAt(CControlUI* pControl, POINT pt) {
    for (CControlUI* c = pControl; c; c = c->GetParent())
        if (!c->GetPos().Contains(pt)) return false;
    return true;
}

CControlUI* ShowsToolTipAt(CControlUI* pControl, void* pData) {
    return !pControl->GetToolTip().IsEmpty() && ShowsAt(pControl, *static_cast<POINT*>(pData))
               ? pControl
               : nullptr;
}

CControlUI* FindByPoint(CControlUI* pControl, void*) {
    return pControl;
}

struct ClassSearch {
    const char* className;
    int remaining;
};

CControlUI* FindByClass(CControlUI* pControl, void* pData) {
    auto* search = static_cast<ClassSearch*>(pData);
    if (std::strcmp(pControl->GetClass(), search->className) != 0) return nullptr;
    return search->remaining-- == 0 ? pControl : nullptr;
}

struct TabSearch {
    std::vector<CControlUI*> stops;
};

CControlUI* CollectTabStops(CControlUI* pControl, void* pData) {
    if ((pControl->GetControlFlags() & UIFLAG_TABSTOP) && pControl->IsKeyboardEnabled() &&
        pControl->IsEnabled())
        static_cast<TabSearch*>(pData)->stops.push_back(pControl);
    return nullptr;
}

struct DefaultButtonSearch {
    CControlUI* marked = nullptr;
    CControlUI* namedOk = nullptr;
};

CControlUI* FindDefaultButton(CControlUI* pControl, void* pData) {
    auto* search = static_cast<DefaultButtonSearch*>(pData);
    if (!pControl->GetInterface("Button") || !pControl->IsEnabled()) return nullptr;
    if (!search->marked && pControl->GetInterface("DefaultButton")) search->marked = pControl;
    if (!search->namedOk && pControl->GetName() == "ok") search->namedOk = pControl;
    return nullptr;
}

// Events a control does not take while it, or a container around it, is disabled go to the
// outermost disabled control, which ignores them.
CControlUI* EventTarget(CControlUI* hit) {
    CControlUI* target = hit;
    for (CControlUI* c = hit; c; c = c->GetParent())
        if (!c->IsEnabled()) target = c;
    return target;
}

std::vector<CControlUI*> AncestorChain(CControlUI* control) {
    std::vector<CControlUI*> chain;
    for (CControlUI* c = control; c; c = c->GetParent()) chain.push_back(c);
    return chain;
}

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

// Calls fn for each entry until it returns true; an entry that an earlier call removed from the
// list (a notifier removing another, or itself) is skipped.
template <typename T, typename Fn>
bool ForEachCurrent(const std::vector<T*>& list, Fn fn) {
    std::vector<T*> snapshot = list;
    for (T* entry : snapshot)
        if (std::find(list.begin(), list.end(), entry) != list.end() && fn(entry)) return true;
    return false;
}

template <typename T>
bool AddListener(std::vector<T*>& list, T* item,
                 std::vector<std::pair<CControlUI*, const void*>>& controlListeners) {
    if (!AddUnique(list, item)) return false;
    if (auto* control = dynamic_cast<CControlUI*>(item))
        controlListeners.emplace_back(control, static_cast<const void*>(item));
    return true;
}

template <typename T>
bool RemoveListener(std::vector<T*>& list, T* item,
                    std::vector<std::pair<CControlUI*, const void*>>& controlListeners) {
    if (!RemoveItem(list, item)) return false;
    controlListeners.erase(
        std::remove_if(controlListeners.begin(), controlListeners.end(),
                       [item](const auto& entry) { return entry.second == item; }),
        controlListeners.end());
    return true;
}

template <typename T>
void RemoveAll(std::vector<T*>& list, const void* item) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [item](T* entry) { return static_cast<const void*>(entry) == item; }),
               list.end());
}

bool IsInteractive(CControlUI* control) {
    for (CControlUI* c = control; c; c = c->GetParent())
        if ((c->GetControlFlags() & UIFLAG_TABSTOP) || c->GetInterface("Button")) return true;
    return false;
}

}  // namespace

struct CPaintManagerUI::TimerInfo {
    CControlUI* control;
    UINT id;
    int nativeId;
};

struct CPaintManagerUI::Impl {
    std::unique_ptr<TimerHost> timerHost;
    std::unordered_map<std::string, CControlUI*> names;
    std::map<std::string, std::vector<CControlUI*>> optionGroups;
    std::vector<INotifyUI*> notifiers;
    std::vector<IMessageFilterUI*> filters;
    std::vector<IChildWndNotifyUI*> childWndNotifiers;
    // Notifiers, filters and child-window notifiers that are controls themselves: they leave
    // the lists when their control leaves the window (the entry is the object as registered).
    std::vector<std::pair<CControlUI*, const void*>> controlListeners;
    std::vector<TimerInfo> timers;
    std::map<int, TFontInfo> fonts;
    int defaultFont = -1;
    std::map<std::string, std::string> defaultAttributes;
    std::map<std::string, std::string> classes;
    std::vector<TNotifyUI> asyncNotifications;
    std::vector<CControlUI*> delayedCleanup;
    bool flushScheduled = false;
    bool painting = false;
    WindowTracking tracking;
    // A press on the caption that may still become a drag (or the first of a double click).
    bool captionPressed = false;
    POINT captionPress;
};

CPaintManagerUI::CPaintManagerUI() : m_pImpl(std::make_unique<Impl>()) {}

CPaintManagerUI::~CPaintManagerUI() {
    RemoveAllTimers();
    m_pImpl->asyncNotifications.clear();
    for (CControlUI* control : m_pImpl->delayedCleanup) delete control;
    m_pImpl->delayedCleanup.clear();
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd))
        if (native->paintManager() == this) native->setPaintManager(nullptr);
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
}

void CPaintManagerUI::Init(HWND hWnd) {
    UiEnsureApplication();
    m_hWnd = hWnd;
    if (!m_pImpl->timerHost)
        m_pImpl->timerHost = std::make_unique<TimerHost>([this](int id) { OnTimer(id); });
    if (auto* native = uilib_detail::NativeFromHandle(hWnd)) native->setPaintManager(this);
}

CWindowWnd* CPaintManagerUI::GetWindow() const {
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    return native ? native->owner() : nullptr;
}

void CPaintManagerUI::SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (std::strcmp(pstrName, "size") == 0) {
        SIZE size = ParseSize(pstrValue);
        SetInitSize(size.cx, size.cy);
    } else if (std::strcmp(pstrName, "sizebox") == 0) {
        SetSizeBox(ParseRect(pstrValue));
    } else if (std::strcmp(pstrName, "caption") == 0) {
        SetCaptionRect(ParseRect(pstrValue));
    } else if (std::strcmp(pstrName, "mininfo") == 0) {
        SIZE size = ParseSize(pstrValue);
        SetMinInfo(size.cx, size.cy);
    } else if (std::strcmp(pstrName, "defaultfontcolor") == 0) {
        m_dwDefaultFontColor = ParseColor(pstrValue);
    } else if (std::strcmp(pstrName, "disabledfontcolor") == 0) {
        m_dwDefaultDisabledColor = ParseColor(pstrValue);
    } else if (std::strcmp(pstrName, "selectedcolor") == 0) {
        m_dwDefaultSelectedBkColor = ParseColor(pstrValue);
    }
}

SIZE CPaintManagerUI::GetClientSize() const {
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    return native ? SIZE{native->width(), native->height()} : m_szInitWindowSize;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = SIZE{cx, cy};
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    if (native && cx > 0 && cy > 0) native->resize(cx, cy);
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) {
    m_szMinWindow = SIZE{cx, cy};
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) native->setMinimumSize(cx, cy);
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (!pControl) return false;
    SetFocus(nullptr);
    m_pEventClick = nullptr;
    m_hoverChain.clear();
    delete m_pRoot;
    m_pRoot = pControl;
    pControl->SetManager(this, nullptr, true);
    NeedUpdate();
    return true;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI*) {
    if (!pControl) return false;
    CDuiString name = pControl->GetName();
    if (!name.IsEmpty()) m_pImpl->names.emplace(name.str(), pControl);
    return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (pControl == m_pFocus) m_pFocus = nullptr;
    if (pControl == m_pEventClick) m_pEventClick = nullptr;
    m_hoverChain.erase(std::remove(m_hoverChain.begin(), m_hoverChain.end(), pControl),
                       m_hoverChain.end());
    if (pControl == m_pRoot) m_pRoot = nullptr;
    KillTimer(pControl);
    ForgetName(pControl);
    RemoveListenersOf(pControl);
    for (auto& group : m_pImpl->optionGroups) {
        auto& members = group.second;
        members.erase(std::remove(members.begin(), members.end(), pControl), members.end());
    }
    auto& notifications = m_pImpl->asyncNotifications;
    notifications.erase(
        std::remove_if(notifications.begin(), notifications.end(),
                       [pControl](const TNotifyUI& n) { return n.pSender == pControl; }),
        notifications.end());
    NotifyChildWnds(UIMSG_CONTROLGONE, reinterpret_cast<WPARAM>(pControl), 0);
}

void CPaintManagerUI::ForgetName(CControlUI* pControl) {
    auto& names = m_pImpl->names;
    auto it = names.find(pControl->GetName().str());
    if (it != names.end() && it->second == pControl) names.erase(it);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pRoot) return nullptr;
    return m_pRoot->FindControl(FindByPoint, &pt,
                                UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindToolTipControl(POINT pt) const {
    if (!m_pRoot) return nullptr;
    return m_pRoot->FindControl(ShowsToolTipAt, &pt, UIFIND_VISIBLE | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) const {
    if (!pstrName || !*pstrName) return nullptr;
    auto it = m_pImpl->names.find(pstrName);
    if (it != m_pImpl->names.end()) return it->second;
    // The registered control of that name left; another one of the same name may remain.
    CControlUI* found = FindSubControlByName(m_pRoot, pstrName);
    if (found) m_pImpl->names.emplace(pstrName, found);
    return found;
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* pParent, POINT pt) const {
    if (!pParent) pParent = m_pRoot;
    if (!pParent) return nullptr;
    return pParent->FindControl(FindByPoint, &pt,
                                UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, LPCTSTR pstrName) const {
    if (!pParent) pParent = m_pRoot;
    if (!pParent || !pstrName) return nullptr;
    return pParent->FindControl(FindByName, const_cast<char*>(pstrName), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByClass(CControlUI* pParent, LPCTSTR pstrClass,
                                                   int iIndex) const {
    if (!pParent) pParent = m_pRoot;
    if (!pParent || !pstrClass) return nullptr;
    ClassSearch search{pstrClass, iIndex};
    return pParent->FindControl(FindByClass, &search, UIFIND_ALL);
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl == m_pFocus) return;
    CControlUI* old = m_pFocus;
    m_pFocus = nullptr;
    if (old) {
        SendEvent(old, UIEVENT_KILLFOCUS, m_ptLastMousePos, 0, reinterpret_cast<WPARAM>(pControl));
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    // The control may have become unusable while the old one let go of the focus.
    if (pControl && pControl->GetManager() == this && pControl->IsVisible() &&
        pControl->IsEnabled()) {
        m_pFocus = pControl;
        SendEvent(pControl, UIEVENT_SETFOCUS, m_ptLastMousePos, 0);
        SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
        uilib_detail::AnnounceFocus(pControl);
    }
}

bool CPaintManagerUI::SetNextTabControl(bool bForward) {
    if (!m_pRoot) return false;
    TabSearch search;
    m_pRoot->FindControl(CollectTabStops, &search,
                         UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    auto& stops = search.stops;
    if (stops.empty()) return false;
    auto it = std::find(stops.begin(), stops.end(), m_pFocus);
    int count = static_cast<int>(stops.size());
    int index = it == stops.end() ? (bForward ? -1 : count) : static_cast<int>(it - stops.begin());
    index = (index + (bForward ? 1 : -1) + count) % count;
    SetFocus(stops[static_cast<std::size_t>(index)]);
    return true;
}

CControlUI* CPaintManagerUI::GetDefaultButton() const {
    if (!m_pRoot) return nullptr;
    DefaultButtonSearch search;
    m_pRoot->FindControl(FindDefaultButton, &search,
                         UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_ME_FIRST);
    return search.marked ? search.marked : search.namedOk;
}

void CPaintManagerUI::SetInitialFocus() {
    if (m_pFocus) return;
    if (CControlUI* button = GetDefaultButton())
        SetFocus(button);
    else
        SetNextTabControl(true);
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
    return AddListener(m_pImpl->notifiers, pNotifier, m_pImpl->controlListeners);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    return RemoveListener(m_pImpl->notifiers, pNotifier, m_pImpl->controlListeners);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg, bool bAsync) {
    if (Msg.dwTimestamp == 0) Msg.dwTimestamp = Timestamp();
    if (bAsync) {
        m_pImpl->asyncNotifications.push_back(Msg);
        ScheduleAsyncWork();
        return;
    }
    ForEachCurrent(m_pImpl->notifiers, [&Msg](INotifyUI* notifier) {
        notifier->Notify(Msg);
        return false;
    });
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam,
                                 LPARAM lParam, bool bAsync) {
    TNotifyUI msg;
    msg.sType = pstrMessage;
    msg.pSender = pControl;
    msg.ptMouse = m_ptLastMousePos;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
    return AddListener(m_pImpl->filters, pFilter, m_pImpl->controlListeners);
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) {
    return RemoveListener(m_pImpl->filters, pFilter, m_pImpl->controlListeners);
}

bool CPaintManagerUI::AddChildWndNotifier(IChildWndNotifyUI* pNotifier) {
    return AddListener(m_pImpl->childWndNotifiers, pNotifier, m_pImpl->controlListeners);
}

bool CPaintManagerUI::RemoveChildWndNotifier(IChildWndNotifyUI* pNotifier) {
    return RemoveListener(m_pImpl->childWndNotifiers, pNotifier, m_pImpl->controlListeners);
}

void CPaintManagerUI::RemoveListenersOf(CControlUI* pControl) {
    auto& listeners = m_pImpl->controlListeners;
    for (auto it = listeners.begin(); it != listeners.end();) {
        if (it->first != pControl) {
            ++it;
            continue;
        }
        RemoveAll(m_pImpl->notifiers, it->second);
        RemoveAll(m_pImpl->filters, it->second);
        RemoveAll(m_pImpl->childWndNotifiers, it->second);
        it = listeners.erase(it);
    }
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
    if (!pControl || !m_pImpl->timerHost) return false;
    KillTimer(pControl, nTimerID);
    int nativeId =
        m_pImpl->timerHost->startTimer(static_cast<int>(std::max(1u, uElapse)), Qt::PreciseTimer);
    if (nativeId == 0) return false;
    m_pImpl->timers.push_back(TimerInfo{pControl, nTimerID, nativeId});
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
    auto& timers = m_pImpl->timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const TimerInfo& t) {
        return t.control == pControl && t.id == nTimerID;
    });
    if (it == timers.end()) return false;
    m_pImpl->timerHost->killTimer(it->nativeId);
    timers.erase(it);
    return true;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    auto& timers = m_pImpl->timers;
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->control != pControl) {
            ++it;
            continue;
        }
        m_pImpl->timerHost->killTimer(it->nativeId);
        it = timers.erase(it);
    }
}

void CPaintManagerUI::RemoveAllTimers() {
    for (const TimerInfo& timer : m_pImpl->timers) m_pImpl->timerHost->killTimer(timer.nativeId);
    m_pImpl->timers.clear();
}

void CPaintManagerUI::OnTimer(int nativeId) {
    auto& timers = m_pImpl->timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [nativeId](const TimerInfo& t) { return t.nativeId == nativeId; });
    if (it == timers.end()) return;
    SendEvent(it->control, UIEVENT_TIMER, m_ptLastMousePos, 0, it->id);
}

bool CPaintManagerUI::AddOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    if (!pStrGroupName || !*pStrGroupName) return false;
    auto& members = m_pImpl->optionGroups[pStrGroupName];
    return AddUnique(members, pControl);
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR pStrGroupName) const {
    auto it = m_pImpl->optionGroups.find(pStrGroupName ? pStrGroupName : "");
    return it == m_pImpl->optionGroups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR pStrGroupName, CControlUI* pControl) {
    auto it = m_pImpl->optionGroups.find(pStrGroupName ? pStrGroupName : "");
    if (it != m_pImpl->optionGroups.end()) RemoveItem(it->second, pControl);
}

bool CPaintManagerUI::AddFont(int id, const TFontInfo& font, bool bDefault) {
    auto it = m_pImpl->fonts.find(id);
    if (it != m_pImpl->fonts.end()) {
        const TFontInfo& had = it->second;
        if (!(had.sFontName == font.sFontName) || had.iSize != font.iSize || had.bBold != font.bBold ||
            had.bUnderline != font.bUnderline || had.bItalic != font.bItalic)
            return false;
    }
    m_pImpl->fonts[id] = font;
    if (bDefault) m_pImpl->defaultFont = id;
    return true;
}

const TFontInfo& CPaintManagerUI::GetFontInfo(int id) const {
    const auto& fonts = m_pImpl->fonts;
    auto it = fonts.find(id < 0 ? GetDefaultFontId() : id);
    if (it != fonts.end()) return it->second;
    return CStyleManagerUI::Instance()->GetFontInfo(id < 0 ? GetDefaultFontId() : id);
}

DWORD CPaintManagerUI::GetFocusColor() const {
    const DWORD styled = CStyleManagerUI::Instance()->GetFocusColor();
    return styled ? styled : 0xFF2D8CF0;
}

int CPaintManagerUI::GetDefaultFontId() const {
    return m_pImpl->defaultFont >= 0 ? m_pImpl->defaultFont
                                     : CStyleManagerUI::Instance()->GetDefaultFontId();
}

bool CPaintManagerUI::AddDefaultAttributeList(LPCTSTR pStrControlName,
                                              LPCTSTR pStrControlAttrList) {
    return m_pImpl->defaultAttributes.emplace(pStrControlName, pStrControlAttrList).first->second ==
           pStrControlAttrList;
}

CDuiString CPaintManagerUI::GetDefaultAttributeList(LPCTSTR pStrControlName) const {
    auto it = m_pImpl->defaultAttributes.find(pStrControlName);
    if (it != m_pImpl->defaultAttributes.end()) return it->second;
    return CStyleManagerUI::Instance()->GetDefaultAttributeList(pStrControlName);
}

bool CPaintManagerUI::AddClass(LPCTSTR pStrClassName, LPCTSTR pStrControlAttrList) {
    return m_pImpl->classes.emplace(pStrClassName, pStrControlAttrList).first->second ==
           pStrControlAttrList;
}

CDuiString CPaintManagerUI::GetClassAttributeList(LPCTSTR pStrClassName) const {
    auto it = m_pImpl->classes.find(pStrClassName);
    if (it != m_pImpl->classes.end()) return it->second;
    return CStyleManagerUI::Instance()->GetClassAttributeList(pStrClassName);
}

void CPaintManagerUI::NeedUpdate() {
    m_bLayoutNeeded = true;
    if (m_pImpl->painting) return;
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) native->update();
}

void CPaintManagerUI::Invalidate() {
    if (m_pImpl->painting) return;
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) native->update();
}

void CPaintManagerUI::Invalidate(const RECT& rcItem) {
    if (m_pImpl->painting || rcItem.IsEmpty()) return;
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) native->update(ToQRect(rcItem));
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_bLayoutNeeded || !m_pRoot) return;
    m_bLayoutNeeded = false;
    SIZE client = GetClientSize();
    RECT window{0, 0, client.cx, client.cy};
    if (m_pRoot->GetPos() != window || m_pRoot->IsUpdateNeeded())
        m_pRoot->SetPos(window, false);
    else
        m_pRoot->FindControl(LayOutIfNeeded, nullptr, UIFIND_VISIBLE | UIFIND_ME_FIRST);
    NotifyChildWnds(UIMSG_LAYOUTDONE, 0, 0);
}

void CPaintManagerUI::PaintNow() {
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) native->repaint();
}

void CPaintManagerUI::Paint(CRenderContext& ctx, const RECT& rcPaint) {
    m_pImpl->painting = true;
    UpdateLayout();
    if (m_pRoot) m_pRoot->DoPaint(ctx, rcPaint);
    m_pImpl->painting = false;
}

void CPaintManagerUI::SetCapture(CControlUI* pControl) {
    m_pEventClick = pControl;
}

void CPaintManagerUI::ReleaseCapture() {
    m_pEventClick = nullptr;
}

void CPaintManagerUI::SetCursor(UICURSOR cursor) {
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    if (!native) return;
    static const Qt::CursorShape shapes[] = {Qt::ArrowCursor, Qt::PointingHandCursor,
                                             Qt::IBeamCursor, Qt::SizeHorCursor, Qt::SizeVerCursor};
    native->setCursor(shapes[cursor]);
}

void CPaintManagerUI::ClientToScreen(POINT& pt) const {
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) {
        QPoint global = native->mapToGlobal(QPoint(pt.x, pt.y));
        pt = POINT{global.x(), global.y()};
    }
}

void CPaintManagerUI::ScreenToClient(POINT& pt) const {
    if (auto* native = uilib_detail::NativeFromHandle(m_hWnd)) {
        QPoint local = native->mapFromGlobal(QPoint(pt.x, pt.y));
        pt = POINT{local.x(), local.y()};
    }
}

void CPaintManagerUI::SendEvent(CControlUI* pControl, int type, POINT pt, UINT keyState,
                                WPARAM wParam, LPARAM lParam) {
    if (!pControl) return;
    TEventUI event;
    event.Type = type;
    event.pSender = pControl;
    event.dwTimestamp = Timestamp();
    event.ptMouse = pt;
    event.wKeyState = keyState;
    event.wParam = wParam;
    event.lParam = lParam;
    pControl->Event(event);
}

void CPaintManagerUI::NotifyChildWnds(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ForEachCurrent(m_pImpl->childWndNotifiers, [=](IChildWndNotifyUI* notifier) {
        notifier->OnWindowMessage(uMsg, wParam, lParam);
        return false;
    });
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    bool filtered = ForEachCurrent(m_pImpl->filters, [&](IMessageFilterUI* filter) {
        bool handled = false;
        LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) lRes = result;
        return handled;
    });
    if (filtered) return true;
    switch (uMsg) {
        case WM_SIZE:
            NeedUpdate();
            NotifyChildWnds(uMsg, wParam, lParam);
            return false;
        case WM_MOVE:
        case WM_SHOWWINDOW:
        case WM_CLOSE:
            NotifyChildWnds(uMsg, wParam, lParam);
            return false;
        case WM_DESTROY:
            NotifyChildWnds(uMsg, wParam, lParam);
            RemoveAllTimers();
            return false;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MOUSEWHEEL:
        case WM_MOUSELEAVE:
            DispatchMouse(uMsg, wParam, lParam);
            lRes = 0;
            return true;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) return false;
            DispatchKey(uMsg, wParam, lParam);
            lRes = 0;
            return true;
        default:
            return false;
    }
}

void CPaintManagerUI::DispatchMouse(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    UINT keyState = static_cast<UINT>(wParam);
    switch (uMsg) {
        case WM_MOUSEMOVE:
            DispatchMouseMove(pt, keyState);
            break;
        case WM_LBUTTONDOWN:
            DispatchButtonDown(UIEVENT_BUTTONDOWN, pt, keyState);
            break;
        case WM_LBUTTONDBLCLK:
            DispatchButtonDown(UIEVENT_DBLCLICK, pt, keyState);
            break;
        case WM_RBUTTONDOWN:
            DispatchButtonDown(UIEVENT_RBUTTONDOWN, pt, keyState);
            break;
        case WM_LBUTTONUP:
            DispatchButtonUp(UIEVENT_BUTTONUP, pt, keyState);
            break;
        case WM_RBUTTONUP:
            DispatchButtonUp(UIEVENT_RBUTTONUP, pt, keyState);
            break;
        case WM_MOUSELEAVE:
            if (!m_pEventClick) UpdateHover(nullptr, pt);
            break;
        case WM_MOUSEWHEEL: {
            m_ptLastMousePos = pt;
            CControlUI* target = EventTarget(FindControl(pt));
            int delta = static_cast<std::int16_t>((wParam >> 16) & 0xFFFF);
            SendEvent(target, UIEVENT_SCROLLWHEEL, pt, keyState & 0xFFFF, delta > 0 ? 0 : 1, delta);
            break;
        }
        default:
            break;
    }
}

void CPaintManagerUI::DispatchMouseMove(POINT pt, UINT keyState) {
    m_ptLastMousePos = pt;
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    if (m_pImpl->tracking.active && native) {
        m_pImpl->tracking.Track(native, native->mapToGlobal(QPoint(pt.x, pt.y)), m_szMinWindow);
        return;
    }
    if (m_pImpl->captionPressed) {
        POINT from = m_pImpl->captionPress;
        if (std::abs(pt.x - from.x) + std::abs(pt.y - from.y) < QApplication::startDragDistance())
            return;
        m_pImpl->captionPressed = false;
        if (StartWindowTracking(from) && m_pImpl->tracking.active && native)
            m_pImpl->tracking.Track(native, native->mapToGlobal(QPoint(pt.x, pt.y)),
                                    m_szMinWindow);
        return;
    }
    Qt::Edges edges = m_pEventClick ? Qt::Edges() : SizeBoxEdges(native, m_rcSizeBox, pt);
    if (edges) {
        if (native) native->setCursor(CursorForEdges(edges));
        UpdateHover(nullptr, pt);
        return;
    }
    CControlUI* hit = FindControl(pt);
    if (!m_pEventClick) UpdateHover(hit, pt);
    CControlUI* target = m_pEventClick ? m_pEventClick : EventTarget(hit);
    if (!target) {
        SetCursor(UICURSOR_ARROW);
        return;
    }
    SendEvent(target, UIEVENT_MOUSEMOVE, pt, keyState);
    if (!m_pEventClick) SendEvent(target, UIEVENT_SETCURSOR, pt, keyState);
}

void CPaintManagerUI::UpdateHover(CControlUI* pNewHover, POINT pt) {
    std::vector<CControlUI*> newChain = AncestorChain(pNewHover ? EventTarget(pNewHover) : nullptr);
    std::vector<CControlUI*> oldChain;
    oldChain.swap(m_hoverChain);
    m_hoverChain = newChain;
    auto contains = [](const std::vector<CControlUI*>& chain, CControlUI* c) {
        return std::find(chain.begin(), chain.end(), c) != chain.end();
    };
    // Leave innermost first, enter outermost first: a row stays entered while the mouse is
    // over one of its cells.
    for (CControlUI* c : oldChain)
        if (!contains(newChain, c)) SendEvent(c, UIEVENT_MOUSELEAVE, pt, 0);
    for (auto it = newChain.rbegin(); it != newChain.rend(); ++it)
        if (!contains(oldChain, *it) && contains(m_hoverChain, *it))
            SendEvent(*it, UIEVENT_MOUSEENTER, pt, 0);
}

bool CPaintManagerUI::InCaption(POINT pt) const {
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    if (!native || m_rcCaption.bottom <= 0) return false;
    RECT caption{m_rcCaption.left, m_rcCaption.top,
                 m_rcCaption.right > 0 ? m_rcCaption.right : native->width(), m_rcCaption.bottom};
    return caption.Contains(pt);
}

bool CPaintManagerUI::StartWindowTracking(POINT pt) {
    auto* native = uilib_detail::NativeFromHandle(m_hWnd);
    if (!native) return false;
    Qt::Edges edges = SizeBoxEdges(native, m_rcSizeBox, pt);
    if (!edges && !InCaption(pt)) return false;
    QWindow* window = native->windowHandle();
    if (window && (edges ? window->startSystemResize(edges) : window->startSystemMove()))
        return true;
    m_pImpl->tracking =
        WindowTracking{true, edges, native->mapToGlobal(QPoint(pt.x, pt.y)), native->geometry()};
    return true;
}

void CPaintManagerUI::DispatchButtonDown(int eventType, POINT pt, UINT keyState) {
    m_ptLastMousePos = pt;
    CControlUI* hit = FindControl(pt);
    if (eventType == UIEVENT_BUTTONDOWN && !IsInteractive(hit) &&
        !SizeBoxEdges(uilib_detail::NativeFromHandle(m_hWnd), m_rcSizeBox, pt) && InCaption(pt)) {
        // The move starts once the mouse moves: a window manager's move would swallow the
        // second press of a double click, which maximises.
        m_pImpl->captionPressed = true;
        m_pImpl->captionPress = pt;
        return;
    }
    if (eventType == UIEVENT_BUTTONDOWN &&
        (SizeBoxEdges(uilib_detail::NativeFromHandle(m_hWnd), m_rcSizeBox, pt) ||
         !IsInteractive(hit)) &&
        StartWindowTracking(pt))
        return;
    if (eventType == UIEVENT_DBLCLICK && !IsInteractive(hit) && m_rcCaption.bottom > 0 &&
        (m_rcSizeBox.left || m_rcSizeBox.top || m_rcSizeBox.right || m_rcSizeBox.bottom) &&
        pt.y < m_rcCaption.bottom) {
        if (auto* native = uilib_detail::NativeFromHandle(m_hWnd))
            native->isMaximized() ? native->showNormal() : native->showMaximized();
        return;
    }
    CControlUI* target = EventTarget(hit);
    if (!target) {
        SetFocus(nullptr);
        return;
    }
    CControlUI* focus = target;
    while (focus && !((focus->GetControlFlags() & UIFLAG_TABSTOP) && focus->IsKeyboardEnabled()))
        focus = focus->GetParent();
    if (target->IsEnabled()) SetFocus(focus);
    // The focus change may have removed the control (an edit closing, a row rebuilt).
    target = EventTarget(FindControl(pt));
    if (!target) return;
    m_pEventClick = target;
    SendEvent(target, eventType, pt, keyState);
}

void CPaintManagerUI::DispatchButtonUp(int eventType, POINT pt, UINT keyState) {
    m_ptLastMousePos = pt;
    if (m_pImpl->tracking.active || m_pImpl->captionPressed) {
        m_pImpl->tracking.active = false;
        m_pImpl->captionPressed = false;
        return;
    }
    CControlUI* target = m_pEventClick;
    m_pEventClick = nullptr;
    if (!target) target = EventTarget(FindControl(pt));
    if (!target) return;
    SendEvent(target, eventType, pt, keyState);
    if (eventType == UIEVENT_RBUTTONUP) {
        CControlUI* under = EventTarget(FindControl(pt));
        if (under) SendEvent(under, UIEVENT_CONTEXTMENU, pt, keyState);
    }
    UpdateHover(FindControl(pt), pt);
}

void CPaintManagerUI::DispatchKey(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    UINT keyState = static_cast<UINT>(lParam);
    if (uMsg == WM_KEYDOWN && wParam == VK_TAB) {
        SetNextTabControl((keyState & MK_SHIFT) == 0);
        return;
    }
    // Enter presses the window's default button; where there is none, it goes to the focused
    // control as Space does (a navigation item of the main window).
    if (uMsg == WM_KEYDOWN && wParam == VK_RETURN &&
        !(m_pFocus && (m_pFocus->GetControlFlags() & UIFLAG_WANTRETURN))) {
        if (CControlUI* button = GetDefaultButton()) {
            button->Activate();
            return;
        }
    }
    if (!m_pFocus) return;
    int type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN
               : uMsg == WM_KEYUP ? UIEVENT_KEYUP
                                  : UIEVENT_CHAR;
    TEventUI event;
    event.Type = type;
    event.pSender = m_pFocus;
    event.dwTimestamp = Timestamp();
    event.ptMouse = m_ptLastMousePos;
    event.chKey = static_cast<UINT>(wParam);
    event.wKeyState = keyState;
    m_pFocus->Event(event);
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
    if (!pControl) return;
    pControl->SetManager(nullptr, nullptr, false);
    m_pImpl->delayedCleanup.push_back(pControl);
    ScheduleAsyncWork();
}

void CPaintManagerUI::ScheduleAsyncWork() {
    if (m_pImpl->flushScheduled || !m_pImpl->timerHost) return;
    m_pImpl->flushScheduled = true;
    QMetaObject::invokeMethod(
        m_pImpl->timerHost.get(), [this] { FlushAsyncWork(); }, Qt::QueuedConnection);
}

void CPaintManagerUI::FlushAsyncWork() {
    m_pImpl->flushScheduled = false;
    std::vector<CControlUI*> cleanup;
    cleanup.swap(m_pImpl->delayedCleanup);
    for (CControlUI* control : cleanup) delete control;
    std::vector<TNotifyUI> notifications;
    notifications.swap(m_pImpl->asyncNotifications);
    for (TNotifyUI& msg : notifications) SendNotify(msg, false);
}

int CPaintManagerUI::MessageLoop() {
    UiEnsureApplication();
    QEventLoop loop;
    return uilib_detail::RunQuittableLoop(loop);
}

void CPaintManagerUI::SetToolTipStyle(bool bBalloon) {
    g_balloonToolTips = bBalloon;
}

bool CPaintManagerUI::IsBalloonToolTip() {
    return g_balloonToolTips;
}

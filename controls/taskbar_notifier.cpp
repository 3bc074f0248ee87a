#include "controls/taskbar_notifier.h"

#include <algorithm>

namespace {

enum : UINT { kAppearTimer = 1, kStayTimer = 2, kDisappearTimer = 3 };

// The taskbar takes the part of the monitor that the work area leaves out.
CTaskbarNotifier::Direction SlideDirection(const RECT& rcMonitor, const RECT& rcWork) {
    if (rcWork.GetWidth() < rcMonitor.GetWidth())
        return rcWork.left == rcMonitor.left ? CTaskbarNotifier::kFromRight
                                             : CTaskbarNotifier::kFromLeft;
    if (rcWork.GetHeight() < rcMonitor.GetHeight() && rcWork.top != rcMonitor.top)
        return CTaskbarNotifier::kFromTop;
    return CTaskbarNotifier::kFromBottom;
}

// Just outside the work area, on the taskbar's side.
POINT StartPos(CTaskbarNotifier::Direction direction, const RECT& rcWork, SIZE size) {
    switch (direction) {
        case CTaskbarNotifier::kFromRight:
            return POINT{rcWork.right, rcWork.bottom - size.cy};
        case CTaskbarNotifier::kFromLeft:
            return POINT{rcWork.left - size.cx, rcWork.bottom - size.cy};
        case CTaskbarNotifier::kFromTop:
            return POINT{rcWork.right - size.cx, rcWork.top - size.cy};
        default:
            return POINT{rcWork.right - size.cx, rcWork.bottom};
    }
}

int Approach(int from, int to, int step) {
    return from < to ? std::min(from + step, to) : std::max(from - step, to);
}

POINT StepTowards(POINT from, POINT to) {
    const int step = CTaskbarNotifier::kStepPixels;
    return POINT{Approach(from.x, to.x, step), Approach(from.y, to.y, step)};
}

bool SamePoint(POINT a, POINT b) {
    return a.x == b.x && a.y == b.y;
}

}  // namespace

bool CTaskbarNotifier::CreateNotifier(HWND hOwner) {
    const DWORD exStyle =
        UI_WNDSTYLE_EX_TOOLWINDOW | UI_WNDSTYLE_EX_NOACTIVATE | UI_WNDSTYLE_EX_TOPMOST;
    if (!Create(hOwner, "TaskbarNotifier", "TaskbarNotifier.xml", nullptr, UI_WNDSTYLE_POPUP,
                exStyle))
        return false;
    RECT rc = GetWindowRect();
    m_size = SIZE{rc.GetWidth(), rc.GetHeight()};
    return true;
}

void CTaskbarNotifier::Show() {
    if (!m_hWnd) return;
    if (m_state == kHidden)
        StartSlideIn();
    else if (m_state != kAppearing)
        KeepShown();
}

void CTaskbarNotifier::Hide() {
    if (CControlUI* root = m_pm.GetRoot()) m_pm.KillTimer(root);
    ShowWindow(false);
    m_state = kHidden;
}

void CTaskbarNotifier::StartSlideIn() {
    RECT rcMonitor;
    UIGetMonitorInfo(m_hWnd, &rcMonitor, &m_rcWork);
    m_direction = SlideDirection(rcMonitor, m_rcWork);
    m_ptStart = StartPos(m_direction, m_rcWork, m_size);
    MoveTo(m_ptStart);
    ShowWindow(true, false);
    m_state = kAppearing;
    SetTimer(kAppearTimer, StepInterval(m_timings.showMs));
}

void CTaskbarNotifier::KeepShown() {
    if (m_state == kStaying)
        RestartStay();
    else if (m_state == kAppearing || m_state == kDisappearing)
        StayFullyShown();
}

void CTaskbarNotifier::StayFullyShown() {
    KillTimer(kAppearTimer);
    KillTimer(kDisappearTimer);
    MoveTo(FullyShownPos());
    m_state = kStaying;
    RestartStay();
}

void CTaskbarNotifier::RestartStay() {
    SetTimer(kStayTimer, m_timings.stayMs);
}

void CTaskbarNotifier::OnTimer(UINT nTimerID) {
    switch (nTimerID) {
        case kAppearTimer:
            StepIn();
            break;
        case kStayTimer:
            KillTimer(kStayTimer);
            m_state = kDisappearing;
            SetTimer(kDisappearTimer, StepInterval(m_timings.hideMs));
            break;
        case kDisappearTimer:
            StepOut();
            break;
        default:
            break;
    }
}

// The slide stops flush with the work area's edge, the same place the mouse or a new Show puts
// it, so the notice never jumps when it is touched.
void CTaskbarNotifier::StepIn() {
    POINT target = FullyShownPos();
    MoveTo(StepTowards(m_ptCurrent, target));
    if (!SamePoint(m_ptCurrent, target)) return;
    KillTimer(kAppearTimer);
    m_state = kStaying;
    RestartStay();
}

void CTaskbarNotifier::StepOut() {
    MoveTo(StepTowards(m_ptCurrent, m_ptStart));
    if (SamePoint(m_ptCurrent, m_ptStart)) Hide();
}

UINT CTaskbarNotifier::StepInterval(UINT nTotalMs) const {
    int distance = SlidesVertically() ? m_size.cy : m_size.cx;
    int steps = distance / kStepPixels;
    return steps > 0 ? std::max(1u, nTotalMs / static_cast<UINT>(steps)) : nTotalMs;
}

POINT CTaskbarNotifier::FullyShownPos() const {
    switch (m_direction) {
        case kFromRight:
            return POINT{m_rcWork.right - m_size.cx, m_ptStart.y};
        case kFromLeft:
            return POINT{m_rcWork.left, m_ptStart.y};
        case kFromTop:
            return POINT{m_ptStart.x, m_rcWork.top};
        default:
            return POINT{m_ptStart.x, m_rcWork.bottom - m_size.cy};
    }
}

void CTaskbarNotifier::MoveTo(POINT pt) {
    m_ptCurrent = pt;
    MoveWindow(RECT{pt.x, pt.y, pt.x + m_size.cx, pt.y + m_size.cy});
}

void CTaskbarNotifier::SetTimer(UINT nTimerID, UINT uElapse) {
    if (CControlUI* root = m_pm.GetRoot()) m_pm.SetTimer(root, nTimerID, uElapse);
}

void CTaskbarNotifier::KillTimer(UINT nTimerID) {
    if (CControlUI* root = m_pm.GetRoot()) m_pm.KillTimer(root, nTimerID);
}

void CTaskbarNotifier::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_TIMER && msg.pSender == m_pm.GetRoot()) {
        OnTimer(static_cast<UINT>(msg.wParam));
        return;
    }
    // The close button only puts the notice away; the window stays for the next Show.
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender && msg.pSender->GetName() == "closebtn") {
        Hide();
        return;
    }
    CDialogWnd::Notify(msg);
}

LRESULT CTaskbarNotifier::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_MOUSEMOVE) KeepShown();
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

void TextTaskbarNotifier::SetMessage(LPCTSTR pstrText) {
    if (CControlUI* label = m_pm.FindControl("label_msg_rich")) label->SetText(pstrText);
}

HWND TextTaskbarNotifier::ShowMessage(HWND hPrevious, LPCTSTR pstrText, HWND hOwner) {
    if (IsWindow(hPrevious)) ::PostMessage(hPrevious, WM_CLOSE, IDCANCEL, 0);
    auto* notifier = new TextTaskbarNotifier;
    // A window that fails to build is destroyed at once, and OnFinalMessage frees the object.
    if (!notifier->CreateNotifier(hOwner)) return nullptr;
    notifier->SetMessage(pstrText);
    notifier->Show();
    return notifier->GetHWND();
}

void TextTaskbarNotifier::OnFinalMessage(HWND) {
    delete this;
}

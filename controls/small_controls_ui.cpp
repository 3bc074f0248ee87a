#include "controls/small_controls_ui.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "uilib/paint_manager_ui.h"

namespace {

const UINT kSlideTimer = CTimerID::g_ID++;
// Closer than this to the target, the slide lands in one go.
const int kSnapDistance = 19;

}  // namespace

CEditAbleLabelUI::CEditAbleLabelUI() {
    m_dwBackColor = 0;
    m_nBorderSize = 0;
    m_rcTextPadding = RECT{10, 0, 10, 0};
}

LPCTSTR CEditAbleLabelUI::GetClass() const {
    return "EditAbleLabel";
}

void* CEditAbleLabelUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "EditAbleLabel") == 0) return this;
    return CEditUI::GetInterface(pstrName);
}

// Escape gives up what was typed, as it does in any in-place edit; the other keys keep it. The
// keyboard goes back to the list the cell is in, so that the arrows go on from the row.
bool CEditAbleLabelUI::OnEditKey(UINT vk, UINT) {
    if (vk == VK_ESCAPE) SetText(m_sTextAtStart);
    if (m_pManager) m_pManager->SetFocus(EnclosingList());
    return true;
}

CControlUI* CEditAbleLabelUI::EnclosingList() const {
    for (CControlUI* parent = GetParent(); parent; parent = parent->GetParent())
        if (parent->GetInterface("List")) return parent;
    return nullptr;
}

LPCTSTR CEmptySelectableComboUI::GetClass() const {
    return "EmptySelectableCombo";
}

void* CEmptySelectableComboUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "EmptySelectableCombo") == 0) return this;
    return CComboUI::GetInterface(pstrName);
}

CMovableOptionUI::~CMovableOptionUI() {
    StopSliding();
}

LPCTSTR CMovableOptionUI::GetClass() const {
    return "MovableOption";
}

void* CMovableOptionUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "MovableOption") == 0) return this;
    return COptionUI::GetInterface(pstrName);
}

void CMovableOptionUI::SlideTo(int nTargetTop, int nStep, UINT uElapse) {
    m_nTarget = nTargetTop;
    m_nStep = nStep;
    m_bRunning = m_pManager && m_pManager->SetTimer(this, kSlideTimer, uElapse);
    if (!m_bRunning) SlideStep();
}

void CMovableOptionUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_TIMER && event.wParam == kSlideTimer) {
        SlideStep();
        return;
    }
    COptionUI::DoEvent(event);
}

// A step never passes the target, so every slide ends whatever the step.
void CMovableOptionUI::SlideStep() {
    RECT padding = GetPadding();
    int distance = m_nTarget - padding.top;
    if (std::abs(distance) <= kSnapDistance || m_nStep <= 0) {
        padding.top = m_nTarget;
        StopSliding();
    } else {
        padding.top += distance > 0 ? std::min(m_nStep, distance) : std::max(-m_nStep, distance);
    }
    SetPadding(padding);
}

void CMovableOptionUI::StopSliding() {
    if (m_bRunning && m_pManager) m_pManager->KillTimer(this, kSlideTimer);
    m_bRunning = false;
}

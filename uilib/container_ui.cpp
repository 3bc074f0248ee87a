#include "uilib/container_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;

// ---------------------------------------------------------------------------------------------
// CScrollBarUI

CScrollBarUI::CScrollBarUI() {
    m_cxyFixed = SIZE{m_nThickness, m_nThickness};
}

LPCTSTR CScrollBarUI::GetClass() const {
    return "ScrollBarUI";
}

void* CScrollBarUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "ScrollBar") == 0 ? this : CControlUI::GetInterface(pstrName);
}

void CScrollBarUI::DoInit() {
    CDuiString style = m_pManager->GetDefaultAttributeList("ScrollBar");
    if (!style.IsEmpty()) ApplyAttributeList(style);
}

void CScrollBarUI::SetScrollRange(int nRange) {
    m_nRange = std::max(0, nRange);
    m_nScrollPos = std::clamp(m_nScrollPos, 0, m_nRange);
    Invalidate();
}

void CScrollBarUI::SetScrollPos(int nPos) {
    nPos = std::clamp(nPos, 0, m_nRange);
    if (nPos == m_nScrollPos) return;
    m_nScrollPos = nPos;
    Invalidate();
}

int CScrollBarUI::TrackLength() const {
    return m_bHorizontal ? GetWidth() : GetHeight();
}

RECT CScrollBarUI::ThumbRect() const {
    int track = TrackLength();
    int page = std::max(1, m_nPageSize);
    int thumb = std::max(24, track * page / std::max(1, page + m_nRange));
    thumb = std::min(thumb, track);
    int offset = m_nRange > 0 ? (track - thumb) * m_nScrollPos / m_nRange : 0;
    RECT rc = m_rcItem;
    // A thin bar with a little air around it.
    if (m_bHorizontal) {
        rc.left += offset;
        rc.right = rc.left + thumb;
        rc.top += 2;
        rc.bottom -= 2;
    } else {
        rc.top += offset;
        rc.bottom = rc.top + thumb;
        rc.left += 2;
        rc.right -= 2;
    }
    return rc;
}

void CScrollBarUI::DoEvent(TEventUI& event) {
    if (!m_pOwner) return CControlUI::DoEvent(event);
    SIZE pos = m_pOwner->GetScrollPos();
    int& own = m_bHorizontal ? pos.cx : pos.cy;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (ThumbRect().Contains(event.ptMouse)) {
                m_bDragging = true;
                m_ptDragStart = event.ptMouse;
                m_nDragStartPos = m_nScrollPos;
            } else {
                RECT thumb = ThumbRect();
                bool before =
                    m_bHorizontal ? event.ptMouse.x < thumb.left : event.ptMouse.y < thumb.top;
                own += before ? -m_nPageSize : m_nPageSize;
                m_pOwner->SetScrollPos(pos);
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_bDragging) {
                int track = TrackLength() -
                            (m_bHorizontal ? ThumbRect().GetWidth() : ThumbRect().GetHeight());
                int moved = m_bHorizontal ? event.ptMouse.x - m_ptDragStart.x
                                          : event.ptMouse.y - m_ptDragStart.y;
                if (track > 0) own = m_nDragStartPos + moved * m_nRange / track;
                m_pOwner->SetScrollPos(pos);
            }
            return;
        case UIEVENT_BUTTONUP:
            m_bDragging = false;
            return;
        case UIEVENT_MOUSEENTER:
            m_bHot = true;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            m_bHot = false;
            Invalidate();
            return;
        case UIEVENT_SCROLLWHEEL:
            m_pOwner->DoEvent(event);
            return;
        default:
            CControlUI::DoEvent(event);
    }
}

void CScrollBarUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "thumbcolor"))
        m_dwThumbColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "thumbhotcolor"))
        m_dwThumbHotColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "thickness")) {
        m_nThickness = std::max(4, std::atoi(pstrValue));
        m_cxyFixed = SIZE{m_nThickness, m_nThickness};
    } else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

void CScrollBarUI::PaintStatusImage(CRenderContext& ctx) {
    RECT thumb = ThumbRect();
    int round = m_bHorizontal ? thumb.GetHeight() : thumb.GetWidth();
    CRenderEngine::FillRoundRect(ctx, thumb, round, round,
                                 m_bHot || m_bDragging ? m_dwThumbHotColor : m_dwThumbColor);
}

// ---------------------------------------------------------------------------------------------
// CContainerUI

CContainerUI::CContainerUI() = default;

int CContainerUI::GetAccessibleChildCount() const {
    return static_cast<int>(m_items.size()) + (m_pVerticalScrollBar ? 1 : 0) +
           (m_pHorizontalScrollBar ? 1 : 0);
}

CControlUI* CContainerUI::GetAccessibleChildAt(int iIndex) const {
    int count = static_cast<int>(m_items.size());
    if (iIndex >= 0 && iIndex < count) return m_items[iIndex];
    if (iIndex == count && m_pVerticalScrollBar) return m_pVerticalScrollBar;
    if (iIndex == count + (m_pVerticalScrollBar ? 1 : 0)) return m_pHorizontalScrollBar;
    return nullptr;
}

CContainerUI::~CContainerUI() {
    // Children go first, while the manager can still forget them one by one.
    for (CControlUI* item : m_items)
        if (m_bAutoDestroy) delete item;
    m_items.clear();
    delete m_pVerticalScrollBar;
    delete m_pHorizontalScrollBar;
}

LPCTSTR CContainerUI::GetClass() const {
    return "ContainerUI";
}

void* CContainerUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Container") == 0 ? this : CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
    if (iIndex < 0 || iIndex >= static_cast<int>(m_items.size())) return nullptr;
    return m_items[static_cast<std::size_t>(iIndex)];
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
    auto it = std::find(m_items.begin(), m_items.end(), pControl);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* pControl, int iIndex) {
    auto found = std::find(m_items.begin(), m_items.end(), pControl);
    int current = found == m_items.end() ? -1 : static_cast<int>(found - m_items.begin());
    int count = static_cast<int>(m_items.size());
    if (current < 0 || iIndex < 0 || iIndex >= count) return false;
    m_items.erase(m_items.begin() + current);
    m_items.insert(m_items.begin() + iIndex, pControl);
    NeedUpdate();
    return true;
}

bool CContainerUI::Add(CControlUI* pControl) {
    return AddAt(pControl, GetCount());
}

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!pControl || iIndex < 0 || iIndex > static_cast<int>(m_items.size())) return false;
    m_items.insert(m_items.begin() + iIndex, pControl);
    pControl->SetManager(m_pManager, this, m_pManager != nullptr);
    pControl->SetInternVisible(IsVisible());
    NeedUpdate();
    return true;
}

void CContainerUI::DetachChild(CControlUI* pControl, bool bDestroy) {
    if (bDestroy && m_pManager) {
        // Deleted after the current message: the control may be the one handling it.
        m_pManager->AddDelayedCleanup(pControl);
    } else if (bDestroy) {
        delete pControl;
    } else {
        pControl->SetManager(nullptr, nullptr, false);
    }
}

bool CContainerUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
    return RemoveAt(GetItemIndex(pControl), bDoNotDestroy);
}

bool CContainerUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
    if (iIndex < 0 || iIndex >= static_cast<int>(m_items.size())) return false;
    CControlUI* control = m_items[static_cast<std::size_t>(iIndex)];
    m_items.erase(m_items.begin() + iIndex);
    DetachChild(control, m_bAutoDestroy && !bDoNotDestroy);
    NeedUpdate();
    Invalidate();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* item : items) DetachChild(item, m_bAutoDestroy);
    m_szScrollPos = SIZE{};
    NeedUpdate();
    Invalidate();
}

void CContainerUI::SetInset(RECT rcInset) {
    m_rcInset = rcInset;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int iPadding) {
    m_iChildPadding = iPadding;
    NeedUpdate();
}

void CContainerUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    CControlUI::SetVisible(bVisible);
    for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible) {
    CControlUI::SetInternVisible(bVisible);
    for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (CControlUI* item : m_items) item->SetManager(pManager, this, bInit);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(pManager, this, bInit);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    bool hitTest = (uFlags & UIFIND_HITTEST) != 0;
    if (hitTest) {
        POINT pt = *static_cast<POINT*>(pData);
        if (!m_rcItem.Contains(pt)) return nullptr;
        if (!m_bMouseChildEnabled) return m_bMouseEnabled ? Proc(this, pData) : nullptr;
    }
    if (uFlags & UIFIND_ME_FIRST)
        if (CControlUI* found = Proc(this, pData)) return found;
    for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar})
        if (bar && bar->IsVisible())
            if (CControlUI* found = bar->FindControl(Proc, pData, uFlags)) return found;
    bool outsideView = hitTest && !GetViewRect().Contains(*static_cast<POINT*>(pData));
    if (!outsideView) {
        if (uFlags & UIFIND_TOP_FIRST) {
            for (auto it = m_items.rbegin(); it != m_items.rend(); ++it)
                if (CControlUI* found = (*it)->FindControl(Proc, pData, uFlags)) return found;
        } else {
            for (CControlUI* item : m_items)
                if (CControlUI* found = item->FindControl(Proc, pData, uFlags)) return found;
        }
    }
    if (uFlags & UIFIND_ME_FIRST) return nullptr;
    if (hitTest && !m_bMouseEnabled) return nullptr;
    return Proc(this, pData);
}

RECT CContainerUI::GetViewRect() const {
    RECT rc{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top,
            m_rcItem.right - m_rcInset.right, m_rcItem.bottom - m_rcInset.bottom};
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible())
        rc.right -= m_pVerticalScrollBar->GetThickness();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        rc.bottom -= m_pHorizontalScrollBar->GetThickness();
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

SIZE CContainerUI::ClampedEstimate(CControlUI* pControl, SIZE szAvailable) {
    SIZE sz = pControl->EstimateSize(szAvailable);
    if (sz.cx > 0) sz.cx = std::clamp(sz.cx, pControl->GetMinWidth(), pControl->GetMaxWidth());
    if (sz.cy > 0) sz.cy = std::clamp(sz.cy, pControl->GetMinHeight(), pControl->GetMaxHeight());
    return sz;
}

void CContainerUI::SetFloatPos(CControlUI* pControl, const RECT&) {
    SIZE xy = pControl->GetFixedXY();
    RECT rc{m_rcItem.left + xy.cx, m_rcItem.top + xy.cy, 0, 0};
    rc.right = rc.left + pControl->GetFixedWidth();
    rc.bottom = rc.top + pControl->GetFixedHeight();
    pControl->SetPos(rc, false);
}

SIZE CContainerUI::LayoutChildren(const RECT& rcView) {
    SIZE available{rcView.GetWidth(), rcView.GetHeight()};
    for (CControlUI* item : m_items) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            SetFloatPos(item, rcView);
            continue;
        }
        RECT padding = item->GetPadding();
        SIZE sz = ClampedEstimate(item, available);
        RECT rc{rcView.left + padding.left, rcView.top + padding.top, rcView.right - padding.right,
                rcView.bottom - padding.bottom};
        if (sz.cx > 0) rc.right = rc.left + sz.cx;
        if (sz.cy > 0) rc.bottom = rc.top + sz.cy;
        rc.left -= m_szScrollPos.cx;
        rc.right -= m_szScrollPos.cx;
        rc.top -= m_szScrollPos.cy;
        rc.bottom -= m_szScrollPos.cy;
        item->SetPos(rc, false);
    }
    return available;
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    RECT old = m_rcItem;
    if (!m_bUpdateNeeded && rc.GetWidth() == old.GetWidth() && rc.GetHeight() == old.GetHeight()) {
        if (rc != old) {
            if (bNeedInvalidate) Invalidate();
            Move(SIZE{rc.left - old.left, rc.top - old.top});
            if (bNeedInvalidate) Invalidate();
        }
        return;
    }
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT inner{rc.left + m_rcInset.left, rc.top + m_rcInset.top, rc.right - m_rcInset.right,
               rc.bottom - m_rcInset.bottom};
    // Laid out with the bars as they were: they rarely come or go.
    SIZE content = LayoutChildren(GetViewRect());
    ProcessScrollBars(inner, content);
}

void CContainerUI::Move(SIZE szOffset) {
    CControlUI::Move(szOffset);
    for (CControlUI* item : m_items) item->Move(szOffset);
    for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar})
        if (bar) bar->Move(szOffset);
}

bool CContainerUI::ShowNeededBars(const RECT& rcInner) {
    // Each way is measured beside the other way's bar as the content was laid out: a bar that
    // takes room can call up the other one.
    auto shown = [](const CScrollBarUI* bar) { return bar && bar->IsVisible(); };
    auto taken = [&](const CScrollBarUI* bar) { return shown(bar) ? bar->GetThickness() : 0; };
    bool needV = m_pVerticalScrollBar &&
                 m_szContent.cy > rcInner.GetHeight() - taken(m_pHorizontalScrollBar);
    bool needH =
        m_pHorizontalScrollBar && m_szContent.cx > rcInner.GetWidth() - taken(m_pVerticalScrollBar);
    if (needV == shown(m_pVerticalScrollBar) && needH == shown(m_pHorizontalScrollBar))
        return false;
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->ShowInLayout(needV);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->ShowInLayout(needH);
    return true;
}

SIZE CContainerUI::ClampedScrollPos() const {
    SIZE range = GetScrollRange();
    return SIZE{std::clamp(m_szScrollPos.cx, 0, range.cx),
                std::clamp(m_szScrollPos.cy, 0, range.cy)};
}

void CContainerUI::ProcessScrollBars(const RECT& rcInner, SIZE szContent) {
    if (!m_pVerticalScrollBar && !m_pHorizontalScrollBar) return;
    m_szContent = szContent;
    // The bars took or gave room, or the content shrank: once more in the new view, until the
    // bars stay (one bar coming may bring the other; the rounds are bounded all the same).
    for (int round = 0; round < 3; ++round) {
        bool barsChanged = ShowNeededBars(rcInner);
        SIZE clamped = ClampedScrollPos();
        if (!barsChanged && clamped.cx == m_szScrollPos.cx && clamped.cy == m_szScrollPos.cy) break;
        m_szScrollPos = clamped;
        m_szContent = LayoutChildren(GetViewRect());
    }
    m_szScrollPos = ClampedScrollPos();
    RECT view = GetViewRect();
    SIZE range = GetScrollRange();
    bool needV = m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible();
    bool needH = m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible();
    if (needV) {
        int thickness = m_pVerticalScrollBar->GetThickness();
        m_pVerticalScrollBar->SetPos(RECT{rcInner.right - thickness, rcInner.top, rcInner.right,
                                          needH ? rcInner.bottom - thickness : rcInner.bottom},
                                     false);
        m_pVerticalScrollBar->SetPageSize(view.GetHeight());
        m_pVerticalScrollBar->SetScrollRange(range.cy);
        m_pVerticalScrollBar->SetScrollPos(m_szScrollPos.cy);
    }
    if (needH) {
        int thickness = m_pHorizontalScrollBar->GetThickness();
        m_pHorizontalScrollBar->SetPos(
            RECT{rcInner.left, rcInner.bottom - thickness,
                 needV ? rcInner.right - thickness : rcInner.right, rcInner.bottom},
            false);
        m_pHorizontalScrollBar->SetPageSize(view.GetWidth());
        m_pHorizontalScrollBar->SetScrollRange(range.cx);
        m_pHorizontalScrollBar->SetScrollPos(m_szScrollPos.cx);
    }
}

void CContainerUI::EnableScrollBar(bool bEnableVertical, bool bEnableHorizontal) {
    auto ensure = [this](CScrollBarUI*& bar, bool enable, bool horizontal) {
        if (enable && !bar) {
            bar = new CScrollBarUI;
            bar->SetHorizontal(horizontal);
            bar->SetOwner(this);
            bar->SetManager(m_pManager, this, m_pManager != nullptr);
        } else if (!enable && bar) {
            delete bar;
            bar = nullptr;
        }
    };
    ensure(m_pVerticalScrollBar, bEnableVertical, false);
    ensure(m_pHorizontalScrollBar, bEnableHorizontal, true);
    NeedUpdate();
}

SIZE CContainerUI::GetScrollPos() const {
    return m_szScrollPos;
}

SIZE CContainerUI::GetScrollRange() const {
    RECT view = GetViewRect();
    return SIZE{std::max(0, m_szContent.cx - view.GetWidth()),
                std::max(0, m_szContent.cy - view.GetHeight())};
}

void CContainerUI::SetScrollPos(SIZE szPos) {
    SIZE range = GetScrollRange();
    szPos.cx = std::clamp(szPos.cx, 0, range.cx);
    szPos.cy = std::clamp(szPos.cy, 0, range.cy);
    if (szPos.cx == m_szScrollPos.cx && szPos.cy == m_szScrollPos.cy) return;
    SIZE offset{m_szScrollPos.cx - szPos.cx, m_szScrollPos.cy - szPos.cy};
    m_szScrollPos = szPos;
    // Floating children keep their place in the container; the others scroll.
    for (CControlUI* item : m_items)
        if (!item->IsFloat()) item->Move(offset);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetScrollPos(szPos.cy);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetScrollPos(szPos.cx);
    Invalidate();
}

void CContainerUI::LineUp() {
    SetScrollPos(SIZE{m_szScrollPos.cx, m_szScrollPos.cy - m_nScrollLine});
}

void CContainerUI::LineDown() {
    SetScrollPos(SIZE{m_szScrollPos.cx, m_szScrollPos.cy + m_nScrollLine});
}

void CContainerUI::PageUp() {
    SetScrollPos(SIZE{m_szScrollPos.cx, m_szScrollPos.cy - GetViewRect().GetHeight()});
}

void CContainerUI::PageDown() {
    SetScrollPos(SIZE{m_szScrollPos.cx, m_szScrollPos.cy + GetViewRect().GetHeight()});
}

void CContainerUI::HomeUp() {
    SetScrollPos(SIZE{m_szScrollPos.cx, 0});
}

void CContainerUI::EndDown() {
    SetScrollPos(SIZE{m_szScrollPos.cx, GetScrollRange().cy});
}

void CContainerUI::ScrollToShow(const RECT& rc) {
    RECT view = GetViewRect();
    SIZE pos = m_szScrollPos;
    if (rc.top < view.top)
        pos.cy -= view.top - rc.top;
    else if (rc.bottom > view.bottom)
        pos.cy += std::min(rc.bottom - view.bottom, rc.top - view.top);
    if (rc.left < view.left)
        pos.cx -= view.left - rc.left;
    else if (rc.right > view.right)
        pos.cx += std::min(rc.right - view.right, rc.left - view.left);
    SetScrollPos(pos);
}

void CContainerUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    RECT area = IntersectRects(rcPaint, m_rcItem);
    if (area.IsEmpty()) return;
    {
        CRenderClip clip(ctx, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
        PaintBkColor(ctx);
        PaintBkImage(ctx);
        PaintStatusImage(ctx);
        PaintText(ctx);
        RECT view = IntersectRects(area, GetViewRect());
        if (!view.IsEmpty()) {
            CRenderClip childClip(ctx, view);
            for (CControlUI* item : m_items) {
                if (!item->IsVisible()) continue;
                const RECT& pos = item->GetPos();
                if (IntersectRects(view, pos).IsEmpty()) continue;
                item->DoPaint(ctx, view);
            }
        }
        for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar})
            if (bar && bar->IsVisible()) bar->DoPaint(ctx, area);
    }
    PaintBorder(ctx);
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SCROLLWHEEL && m_pVerticalScrollBar &&
        m_pVerticalScrollBar->IsVisible()) {
        event.wParam == 0 ? LineUp() : LineDown();
        return;
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "inset"))
        SetInset(ParseRect(pstrValue));
    else if (AttributeIs(pstrName, "childpadding"))
        SetChildPadding(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "mousechild"))
        SetMouseChildEnabled(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "vscrollbar"))
        EnableScrollBar(ParseBool(pstrValue), m_pHorizontalScrollBar != nullptr);
    else if (AttributeIs(pstrName, "hscrollbar"))
        EnableScrollBar(m_pVerticalScrollBar != nullptr, ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "scrollline"))
        m_nScrollLine = std::max(1, std::atoi(pstrValue));
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

#include "uilib/layout_ui.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "uilib/internal/attribute_list.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;

namespace {

UINT ParseAlign(LPCTSTR value) {
    if (std::strstr(value, "center")) return DT_CENTER | DT_VCENTER;
    if (std::strstr(value, "right") || std::strstr(value, "bottom")) return DT_RIGHT | DT_BOTTOM;
    return 0;
}

// The placement of one child along the main axis, computed before any child is moved.
struct Slot {
    CControlUI* control;
    SIZE estimate;
};

// Shares `free` pixels equally among the stretching children, each kept within its minimum and
// maximum: a child whose limit binds takes its limit and the others share what is left, the last
// of them taking the remainder.
std::vector<int> ShareStretch(const std::vector<std::pair<int, int>>& limits, int free) {
    std::vector<int> sizes(limits.size());
    std::vector<std::size_t> open(limits.size());
    for (std::size_t i = 0; i < open.size(); ++i) open[i] = i;
    int remaining = free;
    while (!open.empty()) {
        const int share = remaining / static_cast<int>(open.size());
        // Minimums first: a child held up by its minimum lowers everyone else's share.
        auto it = std::find_if(open.begin(), open.end(),
                               [&](std::size_t i) { return limits[i].first > share; });
        const bool minimum = it != open.end();
        if (!minimum)
            it = std::find_if(open.begin(), open.end(),
                              [&](std::size_t i) { return limits[i].second < share; });
        if (it == open.end()) break;
        sizes[*it] = minimum ? limits[*it].first : limits[*it].second;
        remaining -= sizes[*it];
        open.erase(it);
    }
    for (std::size_t k = 0; k < open.size(); ++k) {
        const int left = static_cast<int>(open.size() - k);
        sizes[open[k]] = remaining / left;
        remaining -= sizes[open[k]];
    }
    return sizes;
}

// Lays out a box along one axis; `vertical` picks which coordinates are the main axis.
SIZE LayoutBox(const std::vector<CControlUI*>& items, const RECT& rcView, SIZE scroll,
               int childPadding, UINT align, UINT valign, bool vertical,
               const std::function<void(CControlUI*)>& placeFloat) {
    auto mainOf = [vertical](SIZE s) { return vertical ? s.cy : s.cx; };
    auto crossOf = [vertical](SIZE s) { return vertical ? s.cx : s.cy; };
    int viewMain = vertical ? rcView.GetHeight() : rcView.GetWidth();
    int viewCross = vertical ? rcView.GetWidth() : rcView.GetHeight();
    SIZE available{rcView.GetWidth(), rcView.GetHeight()};

    std::vector<Slot> slots;
    std::vector<std::pair<int, int>> stretchLimits;
    int fixedMain = 0;
    for (CControlUI* item : items) {
        if (!item->IsVisible()) continue;
        if (item->IsFloat()) {
            placeFloat(item);
            continue;
        }
        SIZE sz = item->EstimateSize(available);
        RECT pad = item->GetPadding();
        int padMain = vertical ? pad.top + pad.bottom : pad.left + pad.right;
        int mainSize = mainOf(sz);
        int lo = vertical ? item->GetMinHeight() : item->GetMinWidth();
        int hi = vertical ? item->GetMaxHeight() : item->GetMaxWidth();
        if (mainSize > 0) {
            mainSize = std::clamp(mainSize, lo, hi);
            fixedMain += mainSize;
        } else {
            stretchLimits.emplace_back(lo, hi);
        }
        fixedMain += padMain;
        slots.push_back(Slot{item, vertical ? SIZE{sz.cx, mainSize} : SIZE{mainSize, sz.cy}});
    }
    if (!slots.empty()) fixedMain += childPadding * static_cast<int>(slots.size() - 1);
    std::vector<int> stretch = ShareStretch(stretchLimits, std::max(0, viewMain - fixedMain));
    int stretchTotal = 0;
    for (int s : stretch) stretchTotal += s;

    int used = fixedMain + stretchTotal;
    int pos = (vertical ? rcView.top - scroll.cy : rcView.left - scroll.cx);
    if (stretch.empty() && used < viewMain) {
        UINT mainAlign = vertical ? valign : align;
        if (mainAlign & DT_CENTER)
            pos += (viewMain - used) / 2;
        else if (mainAlign & DT_RIGHT)
            pos += viewMain - used;
    }
    int crossStart = vertical ? rcView.left - scroll.cx : rcView.top - scroll.cy;
    int maxCross = 0;
    std::size_t nextStretch = 0;
    for (const Slot& slot : slots) {
        CControlUI* item = slot.control;
        RECT pad = item->GetPadding();
        int mainSize = mainOf(slot.estimate) > 0 ? mainOf(slot.estimate) : stretch[nextStretch++];
        int padBefore = vertical ? pad.top : pad.left;
        int padAfter = vertical ? pad.bottom : pad.right;
        int crossBefore = vertical ? pad.left : pad.top;
        int crossAfter = vertical ? pad.right : pad.bottom;
        int crossRoom = viewCross - crossBefore - crossAfter;
        // Across a row only an explicit height holds; otherwise the child fills the row (a
        // label's own height estimate is for stacking, not for rows).
        int crossSize = vertical ? crossOf(slot.estimate) : item->GetFixedHeight();
        int lo = vertical ? item->GetMinWidth() : item->GetMinHeight();
        int hi = vertical ? item->GetMaxWidth() : item->GetMaxHeight();
        crossSize = crossSize > 0 ? std::clamp(crossSize, lo, hi) : std::clamp(crossRoom, lo, hi);
        int crossPos = crossStart + crossBefore;
        UINT crossAlign = vertical ? align : valign;
        if (crossAlign & DT_CENTER)
            crossPos += (crossRoom - crossSize) / 2;
        else if (crossAlign & DT_RIGHT)
            crossPos += crossRoom - crossSize;
        pos += padBefore;
        RECT rc = vertical ? RECT{crossPos, pos, crossPos + crossSize, pos + mainSize}
                           : RECT{pos, crossPos, pos + mainSize, crossPos + crossSize};
        item->SetPos(rc, false);
        pos += mainSize + padAfter + childPadding;
        maxCross = std::max(maxCross, crossSize + crossBefore + crossAfter);
    }
    int contentMain = std::max(used, 0);
    int contentCross = std::max(maxCross, viewCross);
    return vertical ? SIZE{contentCross, contentMain} : SIZE{contentMain, contentCross};
}

}  // namespace

void CBoxLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "childalign"))
        m_uChildAlign = ParseAlign(pstrValue);
    else if (AttributeIs(pstrName, "childvalign"))
        m_uChildVAlign = ParseAlign(pstrValue);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

SIZE CBoxLayoutUI::LayoutChildren(const RECT& rcView) {
    return LayoutBox(m_items, rcView, m_szScrollPos, m_iChildPadding, m_uChildAlign, m_uChildVAlign,
                     m_bVertical, [&](CControlUI* c) { SetFloatPos(c, rcView); });
}

LPCTSTR CVerticalLayoutUI::GetClass() const {
    return "VerticalLayoutUI";
}

void* CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "VerticalLayout") == 0 ? this
                                                        : CContainerUI::GetInterface(pstrName);
}

LPCTSTR CHorizontalLayoutUI::GetClass() const {
    return "HorizontalLayoutUI";
}

void* CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "HorizontalLayout") == 0 ? this
                                                          : CContainerUI::GetInterface(pstrName);
}

LPCTSTR CTabLayoutUI::GetClass() const {
    return "TabLayoutUI";
}

void* CTabLayoutUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "TabLayout") == 0 ? this : CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* pControl) {
    return AddAt(pControl, GetCount());
}

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CContainerUI::AddAt(pControl, iIndex)) return false;
    if (m_iCurSel < 0)
        m_iCurSel = iIndex;
    else if (iIndex <= m_iCurSel)
        ++m_iCurSel;
    pControl->SetVisible(pControl == GetItemAt(m_iCurSel));
    if (iIndex == m_iInitSel) {
        m_iInitSel = -1;
        SelectItem(iIndex);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
    int index = GetItemIndex(pControl);
    if (!CContainerUI::Remove(pControl, bDoNotDestroy)) return false;
    if (index < m_iCurSel)
        --m_iCurSel;
    else if (index == m_iCurSel) {
        m_iCurSel = -1;
        SelectItem(std::min(index, GetCount() - 1));
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int iIndex) {
    if (iIndex < 0 || iIndex >= GetCount()) return false;
    if (iIndex == m_iCurSel) return true;
    m_iCurSel = iIndex;
    for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == iIndex);
    NeedUpdate();
    if (m_pManager) m_pManager->SetFocus(nullptr);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl) {
    return SelectItem(GetItemIndex(pControl));
}

void CTabLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "selectedid")) {
        m_iInitSel = std::atoi(pstrValue);
        SelectItem(m_iInitSel);
    } else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

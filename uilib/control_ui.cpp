#include "uilib/control_ui.h"

#include <cstring>

#include "uilib/accessible_ui.h"
#include "uilib/internal/attribute_list.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"
#include "uilib/style_manager_ui.h"

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager) m_pManager->ReapObjects(this);
    uilib_detail::ForgetAccessible(this);
}

void CControlUI::SetName(LPCTSTR pstrName) {
    if (m_sName == pstrName) return;
    // Re-register so FindControl finds the control under its new name.
    CPaintManagerUI* manager = m_pManager;
    if (manager) manager->ForgetName(this);
    m_sName = pstrName;
    if (manager) manager->InitControls(this, m_pParent);
}

LPCTSTR CControlUI::GetClass() const {
    return "ControlUI";
}

void* CControlUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Control") == 0 ? this : nullptr;
}

UINT CControlUI::GetControlFlags() const {
    return 0;
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    if (m_pManager && m_pManager != pManager) m_pManager->ReapObjects(this);
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pManager) {
        m_pManager->InitControls(this, pParent);
        DoInit();
    }
}

void CControlUI::SetText(LPCTSTR pstrText) {
    if (m_sText == pstrText) return;
    m_sText = pstrText;
    Invalidate();
}

void CControlUI::SetBkColor(DWORD dwColor) {
    m_dwBackColor = dwColor;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD dwColor) {
    m_dwBorderColor = dwColor;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD dwColor) {
    m_dwFocusBorderColor = dwColor;
    Invalidate();
}

void CControlUI::SetBorderSize(int nSize) {
    m_nBorderSize = nSize;
    Invalidate();
}

void CControlUI::SetBorderSides(RECT rc) {
    m_rcBorderSides = rc;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE cxyRound) {
    m_cxyBorderRound = cxyRound;
    Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR pstrImage) {
    m_sBkImage = pstrImage;
    Invalidate();
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    if (bNeedInvalidate && rc != m_rcItem) Invalidate();
    m_rcItem = rc;
    m_bUpdateNeeded = false;
    if (bNeedInvalidate) Invalidate();
}

void CControlUI::Move(SIZE szOffset) {
    m_rcItem.left += szOffset.cx;
    m_rcItem.right += szOffset.cx;
    m_rcItem.top += szOffset.cy;
    m_rcItem.bottom += szOffset.cy;
}

void CControlUI::SetPadding(RECT rcPadding) {
    m_rcPadding = rcPadding;
    NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE szXY) {
    m_cXY = szXY;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0 || cx == m_cxyFixed.cx) return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0 || cy == m_cxyFixed.cy) return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
    if (cx < 0 || cx == m_cxyMin.cx) return;
    m_cxyMin.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx) {
    if (cx < 0 || cx == m_cxyMax.cx) return;
    m_cxyMax.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy) {
    if (cy < 0 || cy == m_cxyMin.cy) return;
    m_cxyMin.cy = cy;
    NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy) {
    if (cy < 0 || cy == m_cxyMax.cy) return;
    m_cxyMax.cy = cy;
    NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) {
    return m_cxyFixed;
}

void CControlUI::SetToolTip(LPCTSTR pstrText) {
    m_sToolTip = pstrText;
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    bool wasVisible = IsVisible();
    m_bVisible = bVisible;
    if (m_bFocused && !bVisible && m_pManager) m_pManager->SetFocus(nullptr);
    if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool bVisible) {
    m_bInternVisible = bVisible;
    if (!bVisible && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool bEnable) {
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    if (!bEnable && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
    Invalidate();
    uilib_detail::AnnounceStateChange(this, uilib_detail::AccessibleChange::Enabled);
}

void CControlUI::SetFocus() {
    if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFloat(bool bFloat) {
    if (m_bFloat == bFloat) return;
    m_bFloat = bFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((uFlags & UIFIND_HITTEST) &&
        (!m_bMouseEnabled || !m_rcItem.Contains(*static_cast<POINT*>(pData))))
        return nullptr;
    return Proc(this, pData);
}

void CControlUI::Invalidate() {
    if (!IsVisible() || !m_pManager) return;
    // Only the part that the scrolled, clipped ancestors show needs painting.
    RECT rc = m_rcItem;
    for (CControlUI* parent = m_pParent; parent; parent = parent->GetParent()) {
        rc = IntersectRects(rc, parent->GetPos());
        if (rc.IsEmpty()) return;
    }
    m_pManager->Invalidate(rc);
}

void CControlUI::NeedUpdate() {
    // Marked even while hidden: showing it again must lay out what changed meanwhile.
    m_bUpdateNeeded = true;
    if (IsVisible() && m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent) {
        m_pParent->NeedUpdate();
        m_pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::Event(TEventUI& event) {
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETCURSOR:
            if (m_pManager) m_pManager->SetCursor(UICURSOR_ARROW);
            return;
        case UIEVENT_SETFOCUS:
            m_bFocused = true;
            Invalidate();
            return;
        case UIEVENT_KILLFOCUS:
            m_bFocused = false;
            Invalidate();
            return;
        case UIEVENT_TIMER:
            m_pManager->SendNotify(this, DUI_MSGTYPE_TIMER, event.wParam, event.lParam);
            return;
        case UIEVENT_CONTEXTMENU:
            if (IsContextMenuUsed()) {
                TNotifyUI msg;
                msg.sType = DUI_MSGTYPE_MENU;
                msg.pSender = this;
                msg.ptMouse = event.ptMouse;
                m_pManager->SendNotify(msg);
                return;
            }
            break;
        default:
            break;
    }
    // What the control does not use goes to its parent (the wheel scrolls the container).
    if (m_pParent && (event.Type == UIEVENT_SCROLLWHEEL || event.Type == UIEVENT_CONTEXTMENU))
        m_pParent->DoEvent(event);
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    using uilib_detail::AttributeIs;
    if (AttributeIs(pstrName, "class"))
        ApplyClass(pstrValue);
    else if (AttributeIs(pstrName, "name"))
        SetName(pstrValue);
    else if (AttributeIs(pstrName, "text"))
        SetText(pstrValue);
    else if (AttributeIs(pstrName, "tooltip"))
        SetToolTip(pstrValue);
    else if (AttributeIs(pstrName, "userdata"))
        SetUserData(pstrValue);
    else if (AttributeIs(pstrName, "tag"))
        SetTag(static_cast<UINT_PTR>(std::strtoull(pstrValue, nullptr, 10)));
    else if (AttributeIs(pstrName, "pos")) {
        RECT rc = ParseRect(pstrValue);
        SetFixedXY(SIZE{rc.left, rc.top});
        SetFixedWidth(rc.GetWidth());
        SetFixedHeight(rc.GetHeight());
    } else if (AttributeIs(pstrName, "padding"))
        SetPadding(ParseRect(pstrValue));
    else if (AttributeIs(pstrName, "width"))
        SetFixedWidth(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "height"))
        SetFixedHeight(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "minwidth"))
        SetMinWidth(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "minheight"))
        SetMinHeight(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "maxwidth"))
        SetMaxWidth(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "maxheight"))
        SetMaxHeight(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "bkcolor"))
        SetBkColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "bkcolor2"))
        m_dwBackColor2 = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "disabledbkcolor"))
        m_dwDisabledBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "bordercolor"))
        SetBorderColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "focusbordercolor"))
        SetFocusBorderColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "bordersize")) {
        if (std::strchr(pstrValue, ','))
            SetBorderSides(ParseRect(pstrValue));
        else
            SetBorderSize(std::atoi(pstrValue));
    } else if (AttributeIs(pstrName, "borderround"))
        SetBorderRound(ParseSize(pstrValue));
    else if (AttributeIs(pstrName, "bkimage"))
        SetBkImage(pstrValue);
    else if (AttributeIs(pstrName, "visible"))
        SetVisible(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "enabled"))
        SetEnabled(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "mouse"))
        SetMouseEnabled(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "keyboard"))
        SetKeyboardEnabled(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "float"))
        SetFloat(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "menu"))
        SetContextMenuUsed(ParseBool(pstrValue));
    else
        uilib_detail::NoteUnknownAttribute();
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
    for (const auto& attribute : uilib_detail::ParseAttributeList(pstrList))
        SetAttribute(attribute.first.c_str(), attribute.second.c_str());
    return this;
}

void CControlUI::ApplyClass(LPCTSTR pstrClasses) {
    CDuiString names(pstrClasses);
    int start = 0;
    while (start < names.GetLength()) {
        int end = names.Find(' ', start);
        if (end < 0) end = names.GetLength();
        CDuiString name = names.Mid(start, end - start);
        start = end + 1;
        if (name.IsEmpty()) continue;
        CDuiString list = m_pManager ? m_pManager->GetClassAttributeList(name)
                                     : CStyleManagerUI::Instance()->GetClassAttributeList(name);
        ApplyAttributeList(list);
    }
}

UINT CControlUI::BaseState() const {
    UINT state = 0;
    if (!IsEnabled()) state |= UISTATE_DISABLED;
    if (IsFocused()) state |= UISTATE_FOCUSED;
    return state;
}

void CControlUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    if (IntersectRects(rcPaint, m_rcItem).IsEmpty()) return;
    PaintBkColor(ctx);
    PaintBkImage(ctx);
    PaintStatusImage(ctx);
    PaintText(ctx);
    PaintBorder(ctx);
}

void CControlUI::FillShape(CRenderContext& ctx, DWORD dwColor) {
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)
        CRenderEngine::FillRoundRect(ctx, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy,
                                     dwColor);
    else
        CRenderEngine::DrawColor(ctx, m_rcItem, dwColor);
}

void CControlUI::OutlineShape(CRenderContext& ctx, int nSize, DWORD dwColor) {
    if (m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0)
        CRenderEngine::DrawRoundRect(ctx, m_rcItem, nSize, m_cxyBorderRound.cx, m_cxyBorderRound.cy,
                                     dwColor);
    else
        CRenderEngine::DrawRect(ctx, m_rcItem, nSize, dwColor);
}

void CControlUI::PaintFocusRing(CRenderContext& ctx, const RECT& rc) const {
    if (m_pManager)
        CRenderEngine::DrawFocusRing(ctx, rc, m_cxyBorderRound, m_pManager->GetFocusColor());
}

void CControlUI::PaintBkColor(CRenderContext& ctx) {
    DWORD color = !IsEnabled() && m_dwDisabledBkColor ? m_dwDisabledBkColor : m_dwBackColor;
    if (!color) return;
    bool rounded = m_cxyBorderRound.cx > 0 || m_cxyBorderRound.cy > 0;
    if (m_dwBackColor2 && !rounded)
        CRenderEngine::DrawGradient(ctx, m_rcItem, color, m_dwBackColor2, true);
    else
        FillShape(ctx, color);
}

void CControlUI::PaintBkImage(CRenderContext& ctx) {
    if (!m_sBkImage.IsEmpty()) DrawImage(ctx, m_sBkImage);
}

void CControlUI::PaintStatusImage(CRenderContext&) {}

void CControlUI::PaintText(CRenderContext&) {}

void CControlUI::PaintBorder(CRenderContext& ctx) {
    DWORD color = IsFocused() && m_dwFocusBorderColor ? m_dwFocusBorderColor : m_dwBorderColor;
    if (!color) return;
    if (m_rcBorderSides.left >= 0) {
        const RECT& r = m_rcItem;
        const RECT& s = m_rcBorderSides;
        if (s.left > 0)
            CRenderEngine::DrawColor(ctx, RECT{r.left, r.top, r.left + s.left, r.bottom}, color);
        if (s.top > 0)
            CRenderEngine::DrawColor(ctx, RECT{r.left, r.top, r.right, r.top + s.top}, color);
        if (s.right > 0)
            CRenderEngine::DrawColor(ctx, RECT{r.right - s.right, r.top, r.right, r.bottom}, color);
        if (s.bottom > 0)
            CRenderEngine::DrawColor(ctx, RECT{r.left, r.bottom - s.bottom, r.right, r.bottom},
                                     color);
        return;
    }
    if (m_nBorderSize > 0) OutlineShape(ctx, m_nBorderSize, color);
}

bool CControlUI::DrawImage(CRenderContext& ctx, LPCTSTR pStrImage, LPCTSTR pStrModify) {
    return CRenderEngine::DrawImageString(ctx, m_pManager, m_rcItem, pStrImage, pStrModify);
}

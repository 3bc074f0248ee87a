#include "uilib/button_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/accessible_ui.h"
#include "uilib/internal/attribute_list.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;

namespace {

constexpr int kCheckSize = 16;
constexpr int kCheckGap = 6;

DWORD Pick(DWORD preferred, DWORD fallback) {
    return preferred ? preferred : fallback;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CButtonUI

CButtonUI::CButtonUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS;
}

LPCTSTR CButtonUI::GetClass() const {
    return "ButtonUI";
}

void* CButtonUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "Button") == 0) return this;
    if (std::strcmp(pstrName, "DefaultButton") == 0) return m_bDefault ? this : nullptr;
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const {
    UINT flags = IsEnabled() ? UINT(UIFLAG_SETCURSOR) : 0u;
    if (IsKeyboardEnabled()) flags |= UIFLAG_TABSTOP | UIFLAG_WANTRETURN;
    return flags;
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool bEnable) {
    CLabelUI::SetEnabled(bEnable);
    if (!bEnable) m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_KEYDOWN:
            if (IsKeyboardEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) {
                Activate();
                return;
            }
            break;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled() && m_rcItem.Contains(event.ptMouse)) {
                m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_uButtonState & UISTATE_CAPTURED) {
                bool inside = m_rcItem.Contains(event.ptMouse);
                if (inside != IsPushed()) {
                    m_uButtonState ^= UISTATE_PUSHED;
                    Invalidate();
                }
            }
            return;
        case UIEVENT_BUTTONUP:
            if (m_uButtonState & UISTATE_CAPTURED) {
                bool clicked = m_rcItem.Contains(event.ptMouse);
                m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
                Invalidate();
                // The click may delete the button: nothing of it is used afterwards.
                if (clicked) Activate();
            }
            return;
        case UIEVENT_MOUSEENTER:
            if (IsEnabled()) {
                m_uButtonState |= UISTATE_HOT;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSELEAVE:
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
            return;
        case UIEVENT_SETCURSOR:
            if (m_pManager) m_pManager->SetCursor(IsEnabled() ? UICURSOR_HAND : UICURSOR_ARROW);
            return;
        default:
            break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "normalimage"))
        m_sNormalImage = pstrValue;
    else if (AttributeIs(pstrName, "hotimage"))
        m_sHotImage = pstrValue;
    else if (AttributeIs(pstrName, "pushedimage"))
        m_sPushedImage = pstrValue;
    else if (AttributeIs(pstrName, "focusedimage"))
        m_sFocusedImage = pstrValue;
    else if (AttributeIs(pstrName, "disabledimage"))
        m_sDisabledImage = pstrValue;
    else if (AttributeIs(pstrName, "hotbkcolor"))
        m_dwHotBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "pushedbkcolor"))
        m_dwPushedBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "hottextcolor"))
        m_dwHotTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "pushedtextcolor"))
        m_dwPushedTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "hotbordercolor"))
        m_dwHotBorderColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "default"))
        m_bDefault = ParseBool(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CButtonUI::PaintBkColor(CRenderContext& ctx) {
    DWORD color = m_dwBackColor;
    if (!IsEnabled())
        color = Pick(m_dwDisabledBkColor, color);
    else if (IsPushed())
        color = Pick(m_dwPushedBkColor, Pick(m_dwHotBkColor, color));
    else if (IsHot())
        color = Pick(m_dwHotBkColor, color);
    if (color) FillShape(ctx, color);
}

void CButtonUI::PaintStatusImage(CRenderContext& ctx) {
    const CDuiString* image = &m_sNormalImage;
    if (!IsEnabled() && !m_sDisabledImage.IsEmpty())
        image = &m_sDisabledImage;
    else if (IsPushed() && !m_sPushedImage.IsEmpty())
        image = &m_sPushedImage;
    else if (IsHot() && !m_sHotImage.IsEmpty())
        image = &m_sHotImage;
    else if (IsFocused() && !m_sFocusedImage.IsEmpty())
        image = &m_sFocusedImage;
    if (!image->IsEmpty()) DrawImage(ctx, *image);
}

void CButtonUI::PaintBorder(CRenderContext& ctx) {
    if (IsHot() && IsEnabled() && m_dwHotBorderColor && m_nBorderSize > 0)
        OutlineShape(ctx, m_nBorderSize, m_dwHotBorderColor);
    else
        CLabelUI::PaintBorder(ctx);
    if (IsFocused() && IsEnabled()) PaintFocusRing(ctx, m_rcItem);
}

DWORD CButtonUI::CurrentTextColor() const {
    DWORD normal = CLabelUI::CurrentTextColor();
    if (!IsEnabled()) return normal;
    if (IsPushed()) return Pick(m_dwPushedTextColor, Pick(m_dwHotTextColor, normal));
    if (IsHot()) return Pick(m_dwHotTextColor, normal);
    return normal;
}

// ---------------------------------------------------------------------------------------------
// COptionUI

COptionUI::~COptionUI() {
    if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

LPCTSTR COptionUI::GetClass() const {
    return "OptionUI";
}

void* COptionUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Option") == 0 ? this : CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CButtonUI::SetManager(pManager, pParent, bInit);
    if (bInit && m_pManager && !m_sGroupName.IsEmpty())
        m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
    if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
    m_sGroupName = pStrGroupName;
    if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->AddOptionGroup(m_sGroupName, this);
    // Joining a group with a selected member keeps only one selected.
    if (m_bSelected) {
        m_bSelected = false;
        Selected(true, false);
    }
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected == bSelected) return;
    m_bSelected = bSelected;
    Invalidate();
    uilib_detail::AnnounceStateChange(this, uilib_detail::AccessibleChange::Checked);
    if (!m_pManager) return;
    if (m_sGroupName.IsEmpty()) {
        if (bTriggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
        return;
    }
    if (!bSelected) return;
    if (const auto* group = m_pManager->GetOptionGroup(m_sGroupName)) {
        std::vector<CControlUI*> members = *group;
        for (CControlUI* member : members)
            if (member != this) static_cast<COptionUI*>(member)->Selected(false, bTriggerEvent);
    }
    if (bTriggerEvent) m_pManager->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
}

UIROLE COptionUI::GetAccessibleRole() const {
    if (m_checkStyle == CHECK_RADIO || (m_checkStyle == CHECK_NONE && !m_sGroupName.IsEmpty()))
        return UIROLE_RADIO;
    return UIROLE_CHECKBOX;
}

UINT COptionUI::GetControlFlags() const {
    return CButtonUI::GetControlFlags() & ~UINT(UIFLAG_WANTRETURN);
}

bool COptionUI::Activate() {
    if (!CControlUI::Activate()) return false;
    Selected(m_sGroupName.IsEmpty() ? !m_bSelected : true);
    if (!m_pManager) return true;
    CPaintManagerUI* manager = m_pManager;
    manager->SendNotify(this, DUI_MSGTYPE_CLICK);
    manager->SendNotify(this, DUI_MSGTYPE_OPTIONCLICK);
    return true;
}

void COptionUI::SetCheckStyle(CheckStyle style) {
    m_checkStyle = style;
    Invalidate();
}

void COptionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "group"))
        SetGroup(pstrValue);
    else if (AttributeIs(pstrName, "selected"))
        Selected(ParseBool(pstrValue), false);
    else if (AttributeIs(pstrName, "selectedimage"))
        m_sSelectedImage = pstrValue;
    else if (AttributeIs(pstrName, "selectedhotimage"))
        m_sSelectedHotImage = pstrValue;
    else if (AttributeIs(pstrName, "selectedbkcolor"))
        m_dwSelectedBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "selectedhotbkcolor"))
        m_dwSelectedHotBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "selectedtextcolor"))
        m_dwSelectedTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "checkcolor"))
        m_dwCheckColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "checkstyle"))
        SetCheckStyle(std::strcmp(pstrValue, "box") == 0     ? CHECK_BOX
                      : std::strcmp(pstrValue, "radio") == 0 ? CHECK_RADIO
                                                             : CHECK_NONE);
    else
        CButtonUI::SetAttribute(pstrName, pstrValue);
}

void COptionUI::PaintBkColor(CRenderContext& ctx) {
    if (!m_bSelected || !IsEnabled() || !(m_dwSelectedBkColor || m_dwSelectedHotBkColor))
        return CButtonUI::PaintBkColor(ctx);
    DWORD color = IsHot() ? Pick(m_dwSelectedHotBkColor, m_dwSelectedBkColor) : m_dwSelectedBkColor;
    if (!color) return CButtonUI::PaintBkColor(ctx);
    FillShape(ctx, color);
}

void COptionUI::PaintStatusImage(CRenderContext& ctx) {
    if (m_bSelected) {
        const CDuiString& image =
            IsHot() && !m_sSelectedHotImage.IsEmpty() ? m_sSelectedHotImage : m_sSelectedImage;
        if (!image.IsEmpty() && DrawImage(ctx, image)) return;
    }
    CButtonUI::PaintStatusImage(ctx);
    if (m_checkStyle == CHECK_NONE) return;
    int top = m_rcItem.top + (GetHeight() - kCheckSize) / 2;
    RECT box{m_rcItem.left + m_rcTextPadding.left, top,
             m_rcItem.left + m_rcTextPadding.left + kCheckSize, top + kCheckSize};
    DWORD accent = IsEnabled() ? m_dwCheckColor : 0xFFC0C8D0;
    DWORD frame = IsEnabled() ? (IsHot() ? m_dwCheckColor : 0xFFB8C4D0) : 0xFFD5DBE1;
    if (m_checkStyle == CHECK_BOX) {
        if (m_bSelected) {
            CRenderEngine::FillRoundRect(ctx, box, 6, 6, accent);
            CRenderEngine::DrawGlyph(ctx, box, CRenderEngine::GLYPH_CHECK, 0xFFFFFFFF, 2);
        } else {
            CRenderEngine::FillRoundRect(ctx, box, 6, 6, 0xFFFFFFFF);
            CRenderEngine::DrawRoundRect(ctx, box, 1, 6, 6, frame);
        }
    } else {
        CRenderEngine::FillEllipse(ctx, box, m_bSelected ? accent : frame);
        RECT inner{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
        CRenderEngine::FillEllipse(ctx, inner, 0xFFFFFFFF);
        if (m_bSelected) {
            RECT dot{box.left + 4, box.top + 4, box.right - 4, box.bottom - 4};
            CRenderEngine::FillEllipse(ctx, dot, accent);
        }
    }
}

void COptionUI::PaintText(CRenderContext& ctx) {
    if (m_checkStyle == CHECK_NONE) return CButtonUI::PaintText(ctx);
    if (m_sText.IsEmpty()) return;
    RECT rc{m_rcItem.left + m_rcTextPadding.left + kCheckSize + kCheckGap,
            m_rcItem.top + m_rcTextPadding.top, m_rcItem.right - m_rcTextPadding.right,
            m_rcItem.bottom - m_rcTextPadding.bottom};
    UINT style = m_uTextStyle;
    m_uTextStyle = (m_uTextStyle & ~(DT_CENTER | DT_RIGHT));
    DrawTextIn(ctx, rc, m_sText, CurrentTextColor());
    m_uTextStyle = style;
}

DWORD COptionUI::CurrentTextColor() const {
    if (m_bSelected && IsEnabled() && m_dwSelectedTextColor) return m_dwSelectedTextColor;
    return CButtonUI::CurrentTextColor();
}

LPCTSTR CCheckBoxUI::GetClass() const {
    return "CheckBoxUI";
}

void* CCheckBoxUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "CheckBox") == 0 ? this : COptionUI::GetInterface(pstrName);
}

// ---------------------------------------------------------------------------------------------
// CProgressUI

CProgressUI::CProgressUI() {
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    m_dwBackColor = 0xFFE6EEF7;
    m_cxyBorderRound = SIZE{8, 8};
}

LPCTSTR CProgressUI::GetClass() const {
    return "ProgressUI";
}

void* CProgressUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Progress") == 0 ? this : CLabelUI::GetInterface(pstrName);
}

void CProgressUI::SetMinValue(int nMin) {
    m_nMin = nMin;
    SetValue(m_nValue);
}

void CProgressUI::SetMaxValue(int nMax) {
    m_nMax = nMax;
    SetValue(m_nValue);
}

void CProgressUI::SetValue(int nValue) {
    nValue = std::clamp(nValue, m_nMin, std::max(m_nMin, m_nMax));
    if (nValue == m_nValue) return;
    m_nValue = nValue;
    Invalidate();
}

void CProgressUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "min"))
        SetMinValue(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "max"))
        SetMaxValue(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "value"))
        SetValue(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "forecolor"))
        m_dwForeColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "foreimage"))
        m_sForeImage = pstrValue;
    else if (AttributeIs(pstrName, "showtext"))
        m_bShowText = ParseBool(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CProgressUI::PaintStatusImage(CRenderContext& ctx) {
    int span = std::max(1, m_nMax - m_nMin);
    int width = GetWidth() * (m_nValue - m_nMin) / span;
    if (width <= 0) return;
    RECT fill{m_rcItem.left, m_rcItem.top, m_rcItem.left + width, m_rcItem.bottom};
    if (!m_sForeImage.IsEmpty()) {
        CRenderClip clip(ctx, fill);
        if (DrawImage(ctx, m_sForeImage)) return;
    }
    CRenderClip clip(ctx, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy);
    CRenderEngine::FillRoundRect(ctx, fill, m_cxyBorderRound.cx, m_cxyBorderRound.cy,
                                 m_dwForeColor);
}

void CProgressUI::PaintText(CRenderContext& ctx) {
    if (!m_bShowText) return CLabelUI::PaintText(ctx);
    int span = std::max(1, m_nMax - m_nMin);
    CDuiString text;
    text.Format("%d%%", (m_nValue - m_nMin) * 100 / span);
    DrawTextIn(ctx, m_rcItem, text, CurrentTextColor());
}

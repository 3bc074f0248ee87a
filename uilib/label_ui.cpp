#include "uilib/label_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;

CLabelUI::CLabelUI() : m_uTextStyle(DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS) {}

LPCTSTR CLabelUI::GetClass() const {
    return "LabelUI";
}

void* CLabelUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Label") == 0 ? this : CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetTextStyle(UINT uStyle) {
    m_uTextStyle = uStyle;
    NeedParentUpdate();
}

void CLabelUI::SetTextColor(DWORD dwTextColor) {
    m_dwTextColor = dwTextColor;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor) {
    m_dwDisabledTextColor = dwTextColor;
    Invalidate();
}

void CLabelUI::SetText(LPCTSTR pstrText) {
    if (m_sText == pstrText) return;
    CControlUI::SetText(pstrText);
    // The size follows the text only for an auto-width or a wrapped label.
    if (m_bAutoCalcWidth || !(m_uTextStyle & DT_SINGLELINE)) NeedParentUpdate();
}

void CLabelUI::SetFont(int index) {
    m_iFont = index;
    NeedParentUpdate();
}

void CLabelUI::SetTextPadding(RECT rc) {
    m_rcTextPadding = rc;
    NeedParentUpdate();
}

void CLabelUI::SetShowHtml(bool bShowHtml) {
    m_bShowHtml = bShowHtml;
    Invalidate();
}

void CLabelUI::SetAutoCalcWidth(bool bAuto) {
    m_bAutoCalcWidth = bAuto;
    NeedParentUpdate();
}

SIZE CLabelUI::EstimateSize(SIZE szAvailable) {
    SIZE size = m_cxyFixed;
    if (m_bAutoCalcWidth && size.cx == 0) {
        SIZE text = m_bShowHtml
                        ? CRenderEngine::GetHtmlTextSize(m_pManager, m_sText, m_iFont)
                        : CRenderEngine::GetTextSize(m_pManager, m_sText, m_iFont, m_uTextStyle);
        // Even without text it keeps to its size: a width of 0 would stretch it instead.
        size.cx = std::max(1, text.cx + m_rcTextPadding.left + m_rcTextPadding.right);
    }
    // A single line does not stretch vertically: it takes its font's height with some air.
    if (size.cy == 0 && (m_uTextStyle & DT_SINGLELINE)) {
        int line = uilib_detail::FontHeight(m_pManager, m_iFont);
        size.cy = line + 8 + m_rcTextPadding.top + m_rcTextPadding.bottom;
    }
    (void)szAvailable;
    return size;
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "align")) {
        m_uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (std::strstr(pstrValue, "center"))
            m_uTextStyle |= DT_CENTER;
        else if (std::strstr(pstrValue, "right"))
            m_uTextStyle |= DT_RIGHT;
        if (std::strstr(pstrValue, "top"))
            m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        else if (std::strstr(pstrValue, "bottom"))
            m_uTextStyle = (m_uTextStyle & ~DT_VCENTER) | DT_BOTTOM;
    } else if (AttributeIs(pstrName, "valign")) {
        m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (std::strstr(pstrValue, "center"))
            m_uTextStyle |= DT_VCENTER;
        else if (std::strstr(pstrValue, "bottom"))
            m_uTextStyle |= DT_BOTTOM;
    } else if (AttributeIs(pstrName, "endellipsis")) {
        if (ParseBool(pstrValue))
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (AttributeIs(pstrName, "multiline") || AttributeIs(pstrName, "wordbreak")) {
        if (ParseBool(pstrValue))
            m_uTextStyle = (m_uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK;
        else
            m_uTextStyle = (m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE;
    } else if (AttributeIs(pstrName, "font"))
        SetFont(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "textcolor"))
        SetTextColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "disabledtextcolor"))
        SetDisabledTextColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "textpadding"))
        SetTextPadding(ParseRect(pstrValue));
    else if (AttributeIs(pstrName, "showhtml"))
        SetShowHtml(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "autocalcwidth"))
        SetAutoCalcWidth(ParseBool(pstrValue));
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

DWORD CLabelUI::CurrentTextColor() const {
    DWORD normal = m_dwTextColor ? m_dwTextColor
                                 : (m_pManager ? m_pManager->GetDefaultFontColor() : 0xFF333333);
    if (IsEnabled()) return normal;
    if (m_dwDisabledTextColor) return m_dwDisabledTextColor;
    return m_pManager ? m_pManager->GetDefaultDisabledColor() : 0xFFA0A8B0;
}

void CLabelUI::DrawTextIn(CRenderContext& ctx, const RECT& rc, LPCTSTR text, DWORD color) {
    if (m_bShowHtml)
        CRenderEngine::DrawHtmlText(ctx, m_pManager, rc, text, color, m_iFont, m_uTextStyle);
    else
        CRenderEngine::DrawText(ctx, m_pManager, rc, text, color, m_iFont, m_uTextStyle);
}

void CLabelUI::PaintText(CRenderContext& ctx) {
    if (m_sText.IsEmpty()) return;
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
            m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    DrawTextIn(ctx, rc, m_sText, CurrentTextColor());
}

CTextUI::CTextUI() {
    m_uTextStyle = DT_WORDBREAK;
    m_bShowHtml = true;
}

LPCTSTR CTextUI::GetClass() const {
    return "TextUI";
}

void* CTextUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Text") == 0 ? this : CLabelUI::GetInterface(pstrName);
}

#include "uilib/edit_ui.h"

#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/internal/edit_overlay.h"
#include "uilib/internal/native_window.h"
#include "uilib/internal/render_context.h"
#include "uilib/internal/text_codec.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;
using uilib_detail::EditOverlay;
using uilib_detail::FromGbk;

namespace {

QString ColorName(DWORD argb) {
    return ToQColor(argb).name(QColor::HexArgb);
}

}  // namespace

CEditUI::CEditUI() {
    m_rcTextPadding = RECT{8, 0, 8, 0};
    m_dwBackColor = 0xFFFFFFFF;
}

CEditUI::~CEditUI() {
    if (m_pOverlay) m_pOverlay->detach();
}

LPCTSTR CEditUI::GetClass() const {
    return "EditUI";
}

void* CEditUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Edit") == 0 ? this : CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const {
    return IsEnabled() ? (IsKeyboardEnabled() ? UINT(UIFLAG_TABSTOP) : 0u) | UIFLAG_SETCURSOR : 0;
}

void CEditUI::SetText(LPCTSTR pstrText) {
    CLabelUI::SetText(pstrText);
    // Programmatic changes reach the open edit window without sending "textchanged".
    if (m_pOverlay && uilib_detail::ToGbk(m_pOverlay->text()) != m_sText.str())
        m_pOverlay->setText(FromGbk(m_sText.str()));
}

void CEditUI::SetMaxChar(UINT uMax) {
    m_uMaxChar = uMax;
    if (m_pOverlay) m_pOverlay->setMaxLength(static_cast<int>(uMax));
}

void CEditUI::SetReadOnly(bool bReadOnly) {
    m_bReadOnly = bReadOnly;
    if (m_pOverlay) m_pOverlay->setReadOnly(bReadOnly);
}

void CEditUI::SetPasswordMode(bool bPasswordMode) {
    m_bPasswordMode = bPasswordMode;
    if (m_pOverlay)
        m_pOverlay->setEchoMode(bPasswordMode ? QLineEdit::Password : QLineEdit::Normal);
    Invalidate();
}

void CEditUI::SetNumberOnly(bool bNumberOnly) {
    m_bNumberOnly = bNumberOnly;
}

void CEditUI::SetTipValue(LPCTSTR pstrTip) {
    m_sTipValue = pstrTip;
    Invalidate();
}

void CEditUI::SetSel(int nStart, int nEnd) {
    if (!m_pOverlay) return;
    int length = static_cast<int>(m_pOverlay->text().size());
    nStart = std::clamp(nStart, 0, length);
    nEnd = nEnd < 0 ? length : std::clamp(nEnd, nStart, length);
    m_pOverlay->setSelection(nStart, nEnd - nStart);
}

int CEditUI::GetCharFromPos(POINT pt) const {
    RECT rc = EditRect();
    if (m_pOverlay) return m_pOverlay->cursorPositionAt(QPoint(pt.x - rc.left, pt.y - rc.top));
    return CRenderEngine::HitTestText(m_pManager, m_sText, m_iFont, pt.x - rc.left);
}

RECT CEditUI::EditRect() const {
    int border = std::max(0, m_nBorderSize);
    return RECT{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top + border,
                m_rcItem.right - m_rcTextPadding.right,
                m_rcItem.bottom - m_rcTextPadding.bottom - border};
}

void CEditUI::PlaceOverlay() {
    if (!m_pOverlay) return;
    RECT rc = EditRect();
    // Where a scrolled container hides part of the edit, the native window must not show.
    RECT shown = rc;
    for (CControlUI* parent = m_pParent; parent; parent = parent->GetParent())
        shown = IntersectRects(shown, parent->GetPos());
    m_pOverlay->setGeometry(ToQRect(rc));
    m_pOverlay->setVisible(!shown.IsEmpty());
    if (shown != rc && !shown.IsEmpty())
        m_pOverlay->setMask(QRegion(ToQRect(shown).translated(-rc.left, -rc.top)));
    else
        m_pOverlay->clearMask();
}

void CEditUI::StartEdit() {
    if (m_pOverlay || !m_pManager) return;
    auto* native = uilib_detail::NativeFromHandle(m_pManager->GetPaintWindow());
    if (!native) return;
    m_pOverlay = new EditOverlay(this, native);
    m_sTextAtStart = m_sText;
    m_pOverlay->setFont(uilib_detail::FontOf(m_pManager, m_iFont));
    m_pOverlay->setMaxLength(static_cast<int>(m_uMaxChar));
    m_pOverlay->setReadOnly(m_bReadOnly);
    m_pOverlay->setEchoMode(m_bPasswordMode ? QLineEdit::Password : QLineEdit::Normal);
    m_pOverlay->setStyleSheet(
        QString("QLineEdit { background: %1; color: %2; border: none; "
                "selection-background-color: #FF9CCBF5; selection-color: #FF1F2D3D; }")
            .arg(ColorName(m_dwNativeBkColor), ColorName(CurrentTextColor())));
    m_pOverlay->setText(FromGbk(m_sText.str()));
    PlaceOverlay();
    m_pOverlay->show();
    m_pOverlay->setFocus(Qt::OtherFocusReason);
    m_pOverlay->selectAll();
}

void CEditUI::EndEdit() {
    if (!m_pOverlay) return;
    EditOverlay* overlay = m_pOverlay;
    m_pOverlay = nullptr;
    m_sText = uilib_detail::ToGbk(overlay->text());
    overlay->detach();
    if (auto* native =
            uilib_detail::NativeFromHandle(m_pManager ? m_pManager->GetPaintWindow() : nullptr))
        native->setFocus(Qt::OtherFocusReason);
    Invalidate();
    OnEditEnd(m_sText != m_sTextAtStart);
}

void CEditUI::Move(SIZE szOffset) {
    CLabelUI::Move(szOffset);
    PlaceOverlay();
}

void CEditUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CLabelUI::SetPos(rc, bNeedInvalidate);
    PlaceOverlay();
}

void CEditUI::SetVisible(bool bVisible) {
    CLabelUI::SetVisible(bVisible);
    if (!IsVisible()) EndEdit();
}

void CEditUI::SetEnabled(bool bEnable) {
    CLabelUI::SetEnabled(bEnable);
    if (!bEnable) EndEdit();
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETFOCUS:
            CLabelUI::DoEvent(event);
            StartEdit();
            return;
        case UIEVENT_KILLFOCUS:
            CLabelUI::DoEvent(event);
            EndEdit();
            return;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
        case UIEVENT_RBUTTONDOWN:
            if (m_pOverlay) {
                UINT msg = event.Type == UIEVENT_RBUTTONDOWN ? WM_RBUTTONDOWN
                           : event.Type == UIEVENT_DBLCLICK  ? WM_LBUTTONDBLCLK
                                                             : WM_LBUTTONDOWN;
                if (!OnEditMouse(msg, event.ptMouse))
                    m_pOverlay->setCursorPosition(GetCharFromPos(event.ptMouse));
            }
            return;
        case UIEVENT_SETCURSOR:
            if (m_pManager) m_pManager->SetCursor(IsEnabled() ? UICURSOR_IBEAM : UICURSOR_ARROW);
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

bool CEditUI::OnEditChar(UINT ch) {
    return !m_bNumberOnly || (ch >= '0' && ch <= '9');
}

bool CEditUI::OnEditKey(UINT, UINT) {
    return false;
}

bool CEditUI::OnEditMouse(UINT, POINT) {
    return false;
}

void CEditUI::OnEditChanged(const CDuiString& text) {
    m_sText = text;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_TEXTCHANGED);
}

void CEditUI::OnEditEnd(bool bChanged) {
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_EDITCLOSED, bChanged ? 1 : 0);
}

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "maxchar"))
        SetMaxChar(static_cast<UINT>(std::atoi(pstrValue)));
    else if (AttributeIs(pstrName, "readonly"))
        SetReadOnly(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "password"))
        SetPasswordMode(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "numberonly"))
        SetNumberOnly(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "tipvalue") || AttributeIs(pstrName, "prompttext"))
        SetTipValue(pstrValue);
    else if (AttributeIs(pstrName, "tipvaluecolor"))
        m_dwTipValueColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "nativebkcolor"))
        m_dwNativeBkColor = ParseColor(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CEditUI::PaintText(CRenderContext& ctx) {
    if (m_pOverlay) return;
    RECT rc = EditRect();
    UINT style = m_uTextStyle;
    m_uTextStyle = (m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (m_sText.IsEmpty()) {
        if (!m_sTipValue.IsEmpty()) DrawTextIn(ctx, rc, m_sTipValue, m_dwTipValueColor);
    } else if (m_bPasswordMode) {
        CDuiString masked;
        int characters = static_cast<int>(FromGbk(m_sText.str()).size());
        for (int i = 0; i < characters; ++i) masked += "●";
        DrawTextIn(ctx, rc, masked, CurrentTextColor());
    } else {
        DrawTextIn(ctx, rc, m_sText, CurrentTextColor());
    }
    m_uTextStyle = style;
}

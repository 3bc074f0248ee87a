#include "uilib/combo_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/internal/list_rows.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"
#include "uilib/window_wnd.h"

using uilib_detail::AttributeIs;
using uilib_detail::ListItemOf;

// The drop-down: a pop-up window whose body shows the combo's own items while it is open.
class CComboWnd : public CWindowWnd, public INotifyUI {
public:
    explicit CComboWnd(CComboUI* owner) : m_pOwner(owner) {}

    bool Open() {
        CPaintManagerUI* ownerManager = m_pOwner->GetManager();
        if (!Create(ownerManager->GetPaintWindow(), nullptr, UI_WNDSTYLE_POPUP,
                    UI_WNDSTYLE_EX_DROPDOWN | UI_WNDSTYLE_EX_TOOLWINDOW))
            return false;
        MoveWindow(PlaceBelowOrAbove());
        ShowWindow(true, true);
        if (m_pOwner->GetCurSel() >= 0) EnsureVisible(m_pOwner->GetCurSel());
        return true;
    }

    void Notify(TNotifyUI&) override {}

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        switch (uMsg) {
            case WM_CREATE:
                BuildBody();
                return 0;
            case WM_KEYDOWN:
                if (HandleKey(static_cast<UINT>(wParam))) return 0;
                break;
            case WM_CLOSE:
                ReturnItems();
                break;
            default:
                break;
        }
        LRESULT result = 0;
        if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

protected:
    void OnFinalMessage(HWND) override {
        if (m_pOwner) m_pOwner->DropWindowGone();
        delete this;
    }

private:
    void BuildBody() {
        m_pm.Init(m_hWnd);
        m_pBody = new CVerticalLayoutUI;
        m_pBody->SetAutoDestroy(false);
        m_pBody->EnableScrollBar(true, false);
        m_pBody->SetBkColor(0xFFFFFFFF);
        m_pBody->SetBorderColor(0xFFC8D6E5);
        m_pBody->SetBorderSize(1);
        m_pBody->SetInset(RECT{1, 1, 1, 1});
        m_pm.AttachDialog(m_pBody);
        for (int i = 0; i < m_pOwner->GetCount(); ++i) m_pBody->Add(m_pOwner->GetItemAt(i));
        m_pm.AddNotifier(this);
    }

    // The items go back to the combo before the body (which does not own them) is deleted.
    void ReturnItems() {
        if (!m_pBody || !m_pOwner) return;
        m_pBody->RemoveAll();
        CPaintManagerUI* manager = m_pOwner->GetManager();
        for (int i = 0; i < m_pOwner->GetCount(); ++i)
            m_pOwner->GetItemAt(i)->SetManager(manager, m_pOwner, manager != nullptr);
        m_pBody = nullptr;
    }

    RECT PlaceBelowOrAbove() {
        CPaintManagerUI* manager = m_pOwner->GetManager();
        RECT pos = m_pOwner->GetPos();
        POINT topLeft{pos.left, pos.bottom};
        POINT above{pos.left, pos.top};
        manager->ClientToScreen(topLeft);
        manager->ClientToScreen(above);
        SIZE box = m_pOwner->GetDropBoxSize();
        int width = box.cx > 0 ? box.cx : pos.GetWidth();
        int content = 2;
        for (int i = 0; i < m_pOwner->GetCount(); ++i)
            content += m_pOwner->GetItemAt(i)->EstimateSize(SIZE{width, 0}).cy;
        int height = std::min(content, box.cy > 0 ? box.cy : 240);
        RECT work = GetWorkArea();
        RECT rc{topLeft.x, topLeft.y, topLeft.x + width, topLeft.y + height};
        if (rc.bottom > work.bottom) rc = RECT{above.x, above.y - height, above.x + width, above.y};
        return rc;
    }

    void EnsureVisible(int index) {
        m_pm.UpdateLayout();
        if (CControlUI* item = m_pOwner->GetItemAt(index)) m_pBody->ScrollToShow(item->GetPos());
    }

    bool HandleKey(UINT vk) {
        int count = m_pOwner->GetCount();
        int current = m_pOwner->GetCurSel();
        if (vk == VK_UP || vk == VK_DOWN) {
            int next = std::clamp(current + (vk == VK_UP ? -1 : 1), 0, count - 1);
            if (count > 0 && next != current) {
                m_pOwner->SelectItem(next);
                EnsureVisible(next);
            }
            return true;
        }
        if (vk == VK_RETURN || vk == VK_ESCAPE) {
            Close(IDOK);
            return true;
        }
        return false;
    }

    CComboUI* m_pOwner;
    CPaintManagerUI m_pm;
    CVerticalLayoutUI* m_pBody = nullptr;

    friend class CComboUI;
};

CComboUI::CComboUI() {
    m_dwBackColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFC8D6E5;
    m_nBorderSize = 1;
    m_cxyBorderRound = SIZE{6, 6};
}

CComboUI::~CComboUI() {
    if (m_pWindow) {
        m_pWindow->ReturnItems();
        m_pWindow->m_pOwner = nullptr;
        m_pWindow->Close(IDCANCEL);
    }
}

LPCTSTR CComboUI::GetClass() const {
    return "ComboUI";
}

void* CComboUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "Combo") == 0) return this;
    if (std::strcmp(pstrName, "IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CComboUI::GetControlFlags() const {
    return IsEnabled() && IsKeyboardEnabled() ? UINT(UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0u;
}

CDuiString CComboUI::GetText() const {
    CControlUI* item = GetItemAt(m_iCurSel);
    return item ? item->GetText() : m_sText;
}

bool CComboUI::Add(CControlUI* pControl) {
    return AddAt(pControl, GetCount());
}

bool CComboUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CContainerUI::AddAt(pControl, iIndex)) return false;
    uilib_detail::AdoptInsertedRow(this, pControl, iIndex, {&m_iCurSel});
    if (m_pWindow && m_pWindow->m_pBody) m_pWindow->m_pBody->AddAt(pControl, iIndex);
    return true;
}

bool CComboUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
    return RemoveAt(GetItemIndex(pControl), bDoNotDestroy);
}

bool CComboUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
    CControlUI* item = GetItemAt(iIndex);
    if (!item) return false;
    if (m_pWindow && m_pWindow->m_pBody) m_pWindow->m_pBody->Remove(item, true);
    if (!CContainerUI::RemoveAt(iIndex, bDoNotDestroy)) return false;
    uilib_detail::ForgetRemovedRow(this, iIndex, {&m_iCurSel});
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    CloseDropDown();
    if (m_pWindow) m_pWindow->ReturnItems();
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    Invalidate();
}

bool CComboUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
    if (iIndex >= GetCount()) return false;
    if (iIndex < 0) iIndex = -1;
    if (bTakeFocus && m_pManager) m_pManager->SetFocus(this);
    if (iIndex == m_iCurSel) return true;
    int old = m_iCurSel;
    if (IListItemUI* item = ListItemOf(GetItemAt(old))) item->SetSelected(false);
    m_iCurSel = iIndex;
    if (IListItemUI* item = ListItemOf(GetItemAt(iIndex))) item->SetSelected(true);
    Invalidate();
    if (bTriggerEvent && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), old);
    return true;
}

void CComboUI::ItemPressed(int iIndex, UINT, bool bRightButton) {
    if (bRightButton) return;
    SelectItem(iIndex);
    CloseDropDown();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate() || m_pWindow || !m_pManager) return false;
    m_pWindow = new CComboWnd(this);
    if (!m_pWindow->Open()) {
        delete m_pWindow;
        m_pWindow = nullptr;
        return false;
    }
    m_pManager->SendNotify(this, DUI_MSGTYPE_DROPDOWN);
    Invalidate();
    return true;
}

void CComboUI::CloseDropDown() {
    // Closed by a posted message: the drop-down may be handling the click that closes it.
    if (m_pWindow) m_pWindow->Close(IDOK);
}

void CComboUI::DropWindowGone() {
    m_pWindow = nullptr;
    Invalidate();
}

void CComboUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

void CComboUI::SetTextColor(DWORD dwColor) {
    m_dwTextColor = dwColor;
    Invalidate();
}

void CComboUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
}

SIZE CComboUI::EstimateSize(SIZE) {
    if (m_cxyFixed.cy > 0) return m_cxyFixed;
    return SIZE{m_cxyFixed.cx, uilib_detail::FontHeight(m_pManager, m_iFont) + 14};
}

CControlUI* CComboUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    // The items are not on the combo's face: a point never finds them here.
    if (uFlags & UIFIND_HITTEST) return CControlUI::FindControl(Proc, pData, uFlags);
    return CContainerUI::FindControl(Proc, pData, uFlags);
}

void CComboUI::SetVisible(bool bVisible) {
    CContainerUI::SetVisible(bVisible);
    if (!IsVisible()) CloseDropDown();
}

void CComboUI::SetEnabled(bool bEnable) {
    CContainerUI::SetEnabled(bEnable);
    if (!bEnable) CloseDropDown();
}

void CComboUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled()) Activate();
            return;
        case UIEVENT_KEYDOWN:
            if (event.chKey == VK_UP || event.chKey == VK_DOWN) {
                int next =
                    std::clamp(m_iCurSel + (event.chKey == VK_UP ? -1 : 1), 0, GetCount() - 1);
                if (GetCount() > 0) SelectItem(next);
            } else if (event.chKey == VK_SPACE || event.chKey == VK_F1 + 3) {
                Activate();
            }
            return;
        case UIEVENT_SCROLLWHEEL:
            if (m_pParent) m_pParent->DoEvent(event);
            return;
        case UIEVENT_MOUSEENTER:
        case UIEVENT_MOUSELEAVE:
            m_bHot = event.Type == UIEVENT_MOUSEENTER;
            Invalidate();
            return;
        case UIEVENT_SETCURSOR:
            if (m_pManager) m_pManager->SetCursor(IsEnabled() ? UICURSOR_HAND : UICURSOR_ARROW);
            return;
        default:
            CControlUI::DoEvent(event);
    }
}

void CComboUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (m_ListInfo.SetAttribute(pstrName, pstrValue)) return;
    if (AttributeIs(pstrName, "dropboxsize"))
        SetDropBoxSize(ParseSize(pstrValue));
    else if (AttributeIs(pstrName, "font"))
        SetFont(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "textcolor"))
        SetTextColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "disabledtextcolor"))
        m_dwDisabledTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "textpadding"))
        m_rcTextPadding = ParseRect(pstrValue);
    else if (AttributeIs(pstrName, "arrowcolor"))
        m_dwArrowColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "hotbordercolor"))
        m_dwHotBorderColor = ParseColor(pstrValue);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CComboUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    if (IntersectRects(rcPaint, m_rcItem).IsEmpty()) return;
    PaintBkColor(ctx);
    PaintBkImage(ctx);
    CDuiString text = GetText();
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
            m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    DWORD color = !IsEnabled()    ? m_dwDisabledTextColor
                  : m_dwTextColor ? m_dwTextColor
                  : m_pManager    ? m_pManager->GetDefaultFontColor()
                                  : 0xFF333333;
    if (!text.IsEmpty())
        CRenderEngine::DrawText(ctx, m_pManager, rc, text, color, m_iFont,
                                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    int mid = (m_rcItem.top + m_rcItem.bottom) / 2;
    RECT arrow{m_rcItem.right - 22, mid - 7, m_rcItem.right - 8, mid + 7};
    CRenderEngine::DrawGlyph(
        ctx, arrow, m_pWindow ? CRenderEngine::GLYPH_ARROW_UP : CRenderEngine::GLYPH_ARROW_DOWN,
        IsEnabled() ? m_dwArrowColor : m_dwDisabledTextColor, 2);
    DWORD border = (m_bHot || IsFocused() || m_pWindow) && IsEnabled() && m_dwHotBorderColor
                       ? m_dwHotBorderColor
                       : m_dwBorderColor;
    if (border && m_nBorderSize > 0) OutlineShape(ctx, m_nBorderSize, border);
    if (IsFocused() && IsEnabled() && !m_pWindow) PaintFocusRing(ctx, m_rcItem);
}

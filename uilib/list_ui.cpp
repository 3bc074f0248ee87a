#include "uilib/list_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/internal/attribute_list.h"
#include "uilib/internal/list_rows.h"
#include "uilib/internal/ui_resources.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/render_engine.h"

using uilib_detail::AttributeIs;
using uilib_detail::ListItemOf;

TListInfoUI::TListInfoUI() : uTextStyle(DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS) {}

bool TListInfoUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "itemfont"))
        nFont = std::atoi(pstrValue);
    else if (AttributeIs(pstrName, "itemtextpadding"))
        rcTextPadding = ParseRect(pstrValue);
    else if (AttributeIs(pstrName, "itemtextcolor"))
        dwTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itembkcolor"))
        dwBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemaltbkcolor"))
        dwAlternateBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemselectedtextcolor"))
        dwSelectedTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemselectedbkcolor"))
        dwSelectedBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemhottextcolor"))
        dwHotTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemhotbkcolor"))
        dwHotBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemdisabledtextcolor"))
        dwDisabledTextColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemlinecolor"))
        dwLineColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "itemshowhtml"))
        bShowHtml = ParseBool(pstrValue);
    else if (AttributeIs(pstrName, "itemalign"))
        uTextStyle =
            (uTextStyle & ~(DT_CENTER | DT_RIGHT)) | (std::strstr(pstrValue, "center")  ? DT_CENTER
                                                      : std::strstr(pstrValue, "right") ? DT_RIGHT
                                                                                        : 0u);
    else
        return false;
    return true;
}

namespace uilib_detail {

IListItemUI* ListItemOf(CControlUI* pControl) {
    return pControl ? static_cast<IListItemUI*>(pControl->GetInterface("ListItem")) : nullptr;
}

namespace {

void RenumberRows(CContainerUI* pOwner, int iFrom) {
    for (int i = std::max(0, iFrom); i < pOwner->GetCount(); ++i)
        if (IListItemUI* row = ListItemOf(pOwner->GetItemAt(i))) row->SetIndex(i);
}

}  // namespace

void AdoptInsertedRow(CContainerUI* pOwner, CControlUI* pRow, int iIndex,
                      std::initializer_list<int*> marks) {
    if (IListItemUI* row = ListItemOf(pRow)) row->SetOwner(pOwner);
    RenumberRows(pOwner, iIndex);
    for (int* mark : marks)
        if (*mark >= iIndex) ++*mark;
}

void ForgetRemovedRow(CContainerUI* pOwner, int iIndex, std::initializer_list<int*> marks) {
    RenumberRows(pOwner, iIndex);
    for (int* mark : marks) {
        if (*mark == iIndex)
            *mark = -1;
        else if (*mark > iIndex)
            --*mark;
    }
}

}  // namespace uilib_detail

namespace {

DWORD RowTextColor(const TListInfoUI* info, const IListItemUI* item, bool enabled) {
    if (!enabled) return info->dwDisabledTextColor;
    if (item->IsSelected() && info->dwSelectedTextColor) return info->dwSelectedTextColor;
    if (item->IsHot() && info->dwHotTextColor) return info->dwHotTextColor;
    return info->dwTextColor;
}

void PaintRowBackground(CRenderContext& ctx, const RECT& rc, const TListInfoUI* info,
                        const IListItemUI* item, bool enabled) {
    DWORD color = info->dwBkColor;
    if (info->dwAlternateBkColor && item->GetIndex() % 2 == 1) color = info->dwAlternateBkColor;
    if (enabled && item->IsHot() && info->dwHotBkColor) color = info->dwHotBkColor;
    if (item->IsSelected() && info->dwSelectedBkColor) color = info->dwSelectedBkColor;
    if (color) CRenderEngine::DrawColor(ctx, rc, color);
    if (info->dwLineColor)
        CRenderEngine::DrawColor(ctx, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom},
                                 info->dwLineColor);
}

// Shift+F10 and the Menu key open the context menu of what has the focus.
bool IsContextMenuKey(const TEventUI& event) {
    return event.chKey == VK_APPS || (event.chKey == VK_F10 && (event.wKeyState & MK_SHIFT));
}

bool HasRowFocus(IListOwnerUI* owner, const IListItemUI* item) {
    return owner->GetListInfo()->bFocusRing && owner->GetFocusedItem() == item->GetIndex();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rows

template <typename TControl>
void* CListRowUI<TControl>::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ListItem") == 0) return static_cast<IListItemUI*>(this);
    return TControl::GetInterface(pstrName);
}

template <typename TControl>
void CListRowUI<TControl>::SetOwner(CControlUI* pOwner) {
    m_pOwner = pOwner ? static_cast<IListOwnerUI*>(pOwner->GetInterface("IListOwner")) : nullptr;
}

template <typename TControl>
void CListRowUI<TControl>::SetSelected(bool bSelected) {
    if (m_bSelected == bSelected) return;
    m_bSelected = bSelected;
    this->Invalidate();
}

template <typename TControl>
bool CListRowUI<TControl>::Select(bool bSelect) {
    if (!m_pOwner) return false;
    return m_pOwner->SelectItem(bSelect ? m_iIndex : -1);
}

template <typename TControl>
bool CListRowUI<TControl>::Activate() {
    CPaintManagerUI* manager = this->GetManager();
    if (!this->IsVisible() || !this->IsEnabled() || !manager) return false;
    manager->SendNotify(this, DUI_MSGTYPE_ITEMACTIVATE);
    return true;
}

template <typename TControl>
SIZE CListRowUI<TControl>::EstimateSize(SIZE) {
    int fixed = this->GetFixedHeight();
    if (fixed > 0) return SIZE{this->GetFixedWidth(), fixed};
    const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
    int font = info ? info->nFont : -1;
    RECT pad = info ? info->rcTextPadding : RECT{};
    int height = uilib_detail::FontHeight(this->GetManager(), font) + pad.top + pad.bottom + 8;
    return SIZE{this->GetFixedWidth(), height};
}

template <typename TControl>
void CListRowUI<TControl>::DoEvent(TEventUI& event) {
    CPaintManagerUI* manager = this->GetManager();
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_RBUTTONDOWN:
            if (!this->IsEnabled() || !m_pOwner) return;
            m_pOwner->ItemPressed(m_iIndex, event.wKeyState, event.Type == UIEVENT_RBUTTONDOWN);
            // A handler of the selection may have taken the row away.
            if (event.Type == UIEVENT_BUTTONDOWN && this->GetManager() == manager && manager)
                manager->SendNotify(this, DUI_MSGTYPE_ITEMCLICK, static_cast<WPARAM>(m_iIndex));
            return;
        case UIEVENT_DBLCLICK:
            if (this->IsEnabled()) Activate();
            return;
        case UIEVENT_CONTEXTMENU:
        case UIEVENT_KEYDOWN:
        case UIEVENT_CHAR:
        case UIEVENT_SCROLLWHEEL:
            if (m_pOwner) m_pOwner->DoEvent(event);
            return;
        case UIEVENT_MOUSEENTER:
        case UIEVENT_MOUSELEAVE:
            m_bHot = event.Type == UIEVENT_MOUSEENTER && this->IsEnabled();
            this->Invalidate();
            return;
        default:
            TControl::DoEvent(event);
    }
}

template class CListRowUI<CControlUI>;
template class CListRowUI<CHorizontalLayoutUI>;

LPCTSTR CListElementUI::GetClass() const {
    return "ListElementUI";
}

void* CListElementUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ListElement") == 0) return this;
    return CListRowUI::GetInterface(pstrName);
}

void CListElementUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    if (IntersectRects(rcPaint, m_rcItem).IsEmpty() || !m_pOwner) return;
    PaintRowBackground(ctx, m_rcItem, m_pOwner->GetListInfo(), this, IsEnabled());
    PaintBkImage(ctx);
    DrawItemText(ctx, m_rcItem);
    PaintBorder(ctx);
    if (HasRowFocus(m_pOwner, this)) PaintFocusRing(ctx, m_rcItem);
}

LPCTSTR CListLabelElementUI::GetClass() const {
    return "ListLabelElementUI";
}

void* CListLabelElementUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "ListLabelElement") == 0 ? this
                                                          : CListElementUI::GetInterface(pstrName);
}

void CListLabelElementUI::DrawItemText(CRenderContext& ctx, const RECT& rcItem) {
    if (m_sText.IsEmpty()) return;
    const TListInfoUI* info = m_pOwner->GetListInfo();
    RECT rc{rcItem.left + info->rcTextPadding.left, rcItem.top + info->rcTextPadding.top,
            rcItem.right - info->rcTextPadding.right, rcItem.bottom - info->rcTextPadding.bottom};
    DWORD color = RowTextColor(info, this, IsEnabled());
    if (info->bShowHtml)
        CRenderEngine::DrawHtmlText(ctx, m_pManager, rc, m_sText, color, info->nFont,
                                    info->uTextStyle);
    else
        CRenderEngine::DrawText(ctx, m_pManager, rc, m_sText, color, info->nFont, info->uTextStyle);
}

LPCTSTR CListTextElementUI::GetClass() const {
    return "ListTextElementUI";
}

void* CListTextElementUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "ListTextElement") == 0 ? this
                                                         : CListElementUI::GetInterface(pstrName);
}

CDuiString CListTextElementUI::GetText(int iIndex) const {
    if (iIndex < 0 || iIndex >= static_cast<int>(m_texts.size())) return CDuiString();
    return m_texts[static_cast<std::size_t>(iIndex)];
}

void CListTextElementUI::SetText(int iIndex, LPCTSTR pstrText) {
    if (iIndex < 0) return;
    if (iIndex >= static_cast<int>(m_texts.size()))
        m_texts.resize(static_cast<std::size_t>(iIndex) + 1);
    m_texts[static_cast<std::size_t>(iIndex)] = pstrText;
    Invalidate();
}

void CListTextElementUI::DrawItemText(CRenderContext& ctx, const RECT& rcItem) {
    const TListInfoUI* info = m_pOwner->GetListInfo();
    DWORD color = RowTextColor(info, this, IsEnabled());
    int columns = std::max(1, info->nColumns);
    for (int i = 0; i < columns && i < static_cast<int>(m_texts.size()); ++i) {
        const CDuiString& text = m_texts[static_cast<std::size_t>(i)];
        if (text.IsEmpty()) continue;
        RECT cell = info->nColumns > 0 ? info->rcColumn[static_cast<std::size_t>(i)] : rcItem;
        RECT rc{cell.left + info->rcTextPadding.left, rcItem.top + info->rcTextPadding.top,
                cell.right - info->rcTextPadding.right, rcItem.bottom - info->rcTextPadding.bottom};
        if (info->bShowHtml)
            CRenderEngine::DrawHtmlText(ctx, m_pManager, rc, text, color, info->nFont,
                                        info->uTextStyle);
        else
            CRenderEngine::DrawText(ctx, m_pManager, rc, text, color, info->nFont,
                                    info->uTextStyle);
    }
}

LPCTSTR CListContainerElementUI::GetClass() const {
    return "ListContainerElementUI";
}

void* CListContainerElementUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ListContainerElement") == 0) return this;
    return CListRowUI::GetInterface(pstrName);
}

void CListContainerElementUI::DoPaint(CRenderContext& ctx, const RECT& rcPaint) {
    if (IntersectRects(rcPaint, m_rcItem).IsEmpty()) return;
    if (m_pOwner) PaintRowBackground(ctx, m_rcItem, m_pOwner->GetListInfo(), this, IsEnabled());
    CHorizontalLayoutUI::DoPaint(ctx, rcPaint);
    if (m_pOwner && HasRowFocus(m_pOwner, this)) PaintFocusRing(ctx, m_rcItem);
}

// ---------------------------------------------------------------------------------------------
// Header

CListHeaderItemUI::CListHeaderItemUI() {
    m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
    m_rcTextPadding = RECT{10, 0, 10, 0};
    m_cxyMin.cx = 16;
}

LPCTSTR CListHeaderItemUI::GetClass() const {
    return "ListHeaderItemUI";
}

void* CListHeaderItemUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "ListHeaderItem") == 0 ? this : CLabelUI::GetInterface(pstrName);
}

UINT CListHeaderItemUI::GetControlFlags() const {
    return UIFLAG_SETCURSOR;
}

CListUI* CListHeaderItemUI::GetOwnerList() const {
    CControlUI* header = GetParent();
    CControlUI* list = header ? header->GetParent() : nullptr;
    return list ? static_cast<CListUI*>(list->GetInterface("List")) : nullptr;
}

void CListHeaderItemUI::SetSortOrder(int nOrder) {
    m_nSortOrder = nOrder;
    Invalidate();
}

RECT CListHeaderItemUI::SeparatorRect() const {
    return RECT{m_rcItem.right - m_iSepWidth, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
}

void CListHeaderItemUI::Clicked() {
    CControlUI* header = GetParent();
    auto* container =
        header ? static_cast<CContainerUI*>(header->GetInterface("Container")) : nullptr;
    int column = container ? container->GetItemIndex(this) : -1;
    int order = 0;
    if (m_bSortable && !m_bSortDefault) order = m_nSortOrder == 1 ? 2 : 1;
    if ((m_bSortable || m_bSortDefault) && container) {
        for (int i = 0; i < container->GetCount(); ++i)
            if (auto* item = static_cast<CListHeaderItemUI*>(
                    container->GetItemAt(i)->GetInterface("ListHeaderItem")))
                item->SetSortOrder(item == this ? order : 0);
    }
    CPaintManagerUI* manager = m_pManager;
    manager->SendNotify(this, DUI_MSGTYPE_HEADERCLICK, 0, column);
    if (m_bSortable || m_bSortDefault)
        manager->SendNotify(this, DUI_MSGTYPE_SORTLIST, static_cast<WPARAM>(order), column);
}

void CListHeaderItemUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (!IsEnabled()) return;
            if (m_bDragable && m_iSepWidth > 0 && SeparatorRect().Contains(event.ptMouse)) {
                m_bResizing = true;
                m_nResizeStartX = event.ptMouse.x;
                m_nResizeStartWidth = GetWidth();
            } else {
                m_bPushed = true;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_bResizing) {
                int width =
                    std::max(m_cxyMin.cx, m_nResizeStartWidth + event.ptMouse.x - m_nResizeStartX);
                SetFixedWidth(std::min(width, m_cxyMax.cx));
            }
            return;
        case UIEVENT_BUTTONUP: {
            bool clicked = m_bPushed && m_rcItem.Contains(event.ptMouse);
            m_bResizing = false;
            m_bPushed = false;
            Invalidate();
            if (clicked && m_pManager) Clicked();
            return;
        }
        case UIEVENT_MOUSEENTER:
        case UIEVENT_MOUSELEAVE:
            m_bHot = event.Type == UIEVENT_MOUSEENTER;
            Invalidate();
            return;
        case UIEVENT_SETCURSOR:
            if (m_pManager)
                m_pManager->SetCursor(m_bDragable && m_iSepWidth > 0 &&
                                              SeparatorRect().Contains(event.ptMouse)
                                          ? UICURSOR_SIZEWE
                                      : m_bSortable || m_bSortDefault ? UICURSOR_HAND
                                                                      : UICURSOR_ARROW);
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

void CListHeaderItemUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (AttributeIs(pstrName, "sortable"))
        m_bSortable = ParseBool(pstrValue);
    else if (AttributeIs(pstrName, "sortdefault"))
        m_bSortDefault = ParseBool(pstrValue);
    else if (AttributeIs(pstrName, "dragable"))
        m_bDragable = ParseBool(pstrValue);
    else if (AttributeIs(pstrName, "sepwidth"))
        m_iSepWidth = std::max(0, std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "sepcolor"))
        m_dwSepColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "hotbkcolor"))
        m_dwHotBkColor = ParseColor(pstrValue);
    else if (AttributeIs(pstrName, "sortcolor"))
        m_dwSortColor = ParseColor(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CListHeaderItemUI::PaintBkColor(CRenderContext& ctx) {
    CLabelUI::PaintBkColor(ctx);
    bool clickable = m_bSortable || m_bSortDefault;
    if (clickable && IsEnabled() && (m_bHot || m_bPushed) && m_dwHotBkColor)
        CRenderEngine::DrawColor(ctx, m_rcItem, m_dwHotBkColor);
}

void CListHeaderItemUI::PaintText(CRenderContext& ctx) {
    RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
            m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    if (m_nSortOrder != 0) {
        int mid = (m_rcItem.top + m_rcItem.bottom) / 2;
        RECT arrow{rc.right - 12, mid - 6, rc.right, mid + 6};
        CRenderEngine::DrawGlyph(
            ctx, arrow,
            m_nSortOrder == 1 ? CRenderEngine::GLYPH_ARROW_UP : CRenderEngine::GLYPH_ARROW_DOWN,
            m_dwSortColor, 2);
        rc.right -= 16;
    }
    if (!m_sText.IsEmpty()) DrawTextIn(ctx, rc, m_sText, CurrentTextColor());
}

void CListHeaderItemUI::PaintBorder(CRenderContext& ctx) {
    CLabelUI::PaintBorder(ctx);
    if (m_iSepWidth > 0 && m_dwSepColor) {
        int inset = GetHeight() / 4;
        CRenderEngine::DrawColor(
            ctx,
            RECT{m_rcItem.right - 1, m_rcItem.top + inset, m_rcItem.right, m_rcItem.bottom - inset},
            m_dwSepColor);
    }
}

LPCTSTR CListHeaderUI::GetClass() const {
    return "ListHeaderUI";
}

void* CListHeaderUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "ListHeader") == 0 ? this
                                                    : CHorizontalLayoutUI::GetInterface(pstrName);
}

void CListHeaderUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CHorizontalLayoutUI::SetPos(rc, bNeedInvalidate);
    if (auto* list = static_cast<CListUI*>(m_pParent ? m_pParent->GetInterface("List") : nullptr))
        list->UpdateColumns();
}

void CListHeaderUI::Move(SIZE szOffset) {
    CHorizontalLayoutUI::Move(szOffset);
    if (auto* list = static_cast<CListUI*>(m_pParent ? m_pParent->GetInterface("List") : nullptr))
        list->UpdateColumns();
}

SIZE CListHeaderUI::EstimateSize(SIZE) {
    return SIZE{m_cxyFixed.cx, m_cxyFixed.cy > 0 ? m_cxyFixed.cy : 34};
}

int CListHeaderUI::GetColumnsWidth() {
    int width = 0;
    for (CControlUI* item : m_items) {
        if (!item->IsVisible() || item->IsFloat()) continue;
        RECT pad = item->GetPadding();
        width += std::max(item->GetFixedWidth(), item->GetMinWidth()) + pad.left + pad.right;
    }
    return width + m_rcInset.left + m_rcInset.right;
}

LPCTSTR CListBodyUI::GetClass() const {
    return "ListBodyUI";
}

SIZE CListBodyUI::LayoutChildren(const RECT& rcView) {
    RECT wide = rcView;
    if (CListHeaderUI* header = m_pOwner->GetHeader())
        wide.right = std::max(rcView.right, rcView.left + header->GetColumnsWidth());
    SIZE content = CVerticalLayoutUI::LayoutChildren(wide);
    content.cx = std::max(content.cx, wide.GetWidth());
    return content;
}

void CListBodyUI::SetScrollPos(SIZE szPos) {
    int oldX = GetScrollPos().cx;
    CVerticalLayoutUI::SetScrollPos(szPos);
    // The header moves along with the columns.
    if (GetScrollPos().cx != oldX) m_pOwner->SetPos(m_pOwner->GetPos());
}

void CListBodyUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_CONTEXTMENU || event.Type == UIEVENT_KEYDOWN) {
        m_pOwner->DoEvent(event);
        return;
    }
    CVerticalLayoutUI::DoEvent(event);
}

// ---------------------------------------------------------------------------------------------
// CListUI

CListUI::CListUI() : m_pHeader(new CListHeaderUI), m_pList(new CListBodyUI(this)) {
    m_pList->EnableScrollBar(true, true);
    CVerticalLayoutUI::AddAt(m_pHeader, 0);
    CVerticalLayoutUI::AddAt(m_pList, 1);
    m_pHeader->SetBkColor(0xFFF4F7FB);
    m_pHeader->SetBorderSides(RECT{0, 0, 0, 1});
    m_pHeader->SetBorderColor(0xFFDDE4EC);
}

LPCTSTR CListUI::GetClass() const {
    return "ListUI";
}

void* CListUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "List") == 0) return this;
    if (std::strcmp(pstrName, "IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(pstrName);
}

UINT CListUI::GetControlFlags() const {
    return IsKeyboardEnabled() ? UINT(UIFLAG_TABSTOP) : 0u;
}

IListItemUI* CListUI::RowAt(int iIndex) const {
    return ListItemOf(m_pList->GetItemAt(iIndex));
}

CControlUI* CListUI::GetItemAt(int iIndex) const {
    return m_pList->GetItemAt(iIndex);
}

int CListUI::GetItemIndex(CControlUI* pControl) const {
    return m_pList->GetItemIndex(pControl);
}

int CListUI::GetCount() const {
    return m_pList->GetCount();
}

bool CListUI::Add(CControlUI* pControl) {
    if (!pControl) return false;
    if (pControl->GetInterface("ListHeaderItem")) return m_pHeader->Add(pControl);
    return AddAt(pControl, GetCount());
}

bool CListUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!pControl) return false;
    if (pControl->GetInterface("ListHeaderItem")) return m_pHeader->AddAt(pControl, iIndex);
    if (!m_pList->AddAt(pControl, iIndex)) return false;
    uilib_detail::AdoptInsertedRow(this, pControl, iIndex, {&m_iCurSel, &m_iAnchor});
    return true;
}

bool CListUI::Remove(CControlUI* pControl, bool bDoNotDestroy) {
    if (pControl && pControl->GetInterface("ListHeaderItem"))
        return m_pHeader->Remove(pControl, bDoNotDestroy);
    return RemoveAt(GetItemIndex(pControl), bDoNotDestroy);
}

bool CListUI::RemoveAt(int iIndex, bool bDoNotDestroy) {
    if (!m_pList->RemoveAt(iIndex, bDoNotDestroy)) return false;
    uilib_detail::ForgetRemovedRow(this, iIndex, {&m_iCurSel, &m_iAnchor});
    return true;
}

void CListUI::RemoveAll() {
    m_iCurSel = -1;
    m_iAnchor = -1;
    m_pList->RemoveAll();
}

void CListUI::SetRowSelected(int iIndex, bool bSelected) {
    if (IListItemUI* row = RowAt(iIndex)) row->SetSelected(bSelected);
}

void CListUI::ClearSelection() {
    for (int i = 0; i < GetCount(); ++i) SetRowSelected(i, false);
}

void CListUI::NotifySelection(int iOld, bool bTrigger) {
    if (bTrigger && m_pManager)
        m_pManager->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, static_cast<WPARAM>(m_iCurSel), iOld);
}

bool CListUI::SelectItem(int iIndex, bool bTakeFocus, bool bTriggerEvent) {
    if (iIndex >= GetCount()) return false;
    int old = m_iCurSel;
    std::vector<int> before = GetSelectedItems();
    ClearSelection();
    m_iCurSel = iIndex < 0 ? -1 : iIndex;
    m_iAnchor = m_iCurSel;
    if (m_iCurSel >= 0) {
        SetRowSelected(m_iCurSel, true);
        EnsureVisible(m_iCurSel);
    }
    if (bTakeFocus && m_pManager) m_pManager->SetFocus(this);
    if (old != m_iCurSel || before != GetSelectedItems()) NotifySelection(old, bTriggerEvent);
    return true;
}

void CListUI::ItemPressed(int iIndex, UINT keyState, bool bRightButton) {
    IListItemUI* row = RowAt(iIndex);
    if (!row || !IsEnabled()) return;
    int old = m_iCurSel;
    if (bRightButton) {
        // A right click inside the selection keeps it, as in a file manager.
        if (!row->IsSelected()) {
            ClearSelection();
            row->SetSelected(true);
            m_iAnchor = iIndex;
        }
    } else if (m_bMultiSel && (keyState & MK_SHIFT)) {
        int anchor = m_iAnchor >= 0 ? m_iAnchor : iIndex;
        if (!(keyState & MK_CONTROL)) ClearSelection();
        for (int i = std::min(anchor, iIndex); i <= std::max(anchor, iIndex); ++i)
            SetRowSelected(i, true);
    } else if (m_bMultiSel && (keyState & MK_CONTROL)) {
        row->SetSelected(!row->IsSelected());
        m_iAnchor = iIndex;
    } else {
        ClearSelection();
        row->SetSelected(true);
        m_iAnchor = iIndex;
    }
    m_iCurSel = iIndex;
    NotifySelection(old, true);
}

bool CListUI::SelectMultiItem(int iIndex, bool bSelect) {
    if (!m_bMultiSel) return bSelect ? SelectItem(iIndex) : false;
    IListItemUI* row = RowAt(iIndex);
    if (!row) return false;
    int old = m_iCurSel;
    row->SetSelected(bSelect);
    m_iCurSel = iIndex;
    m_iAnchor = iIndex;
    NotifySelection(old, true);
    return true;
}

void CListUI::UnSelectAllItems() {
    ClearSelection();
    m_iCurSel = -1;
    m_iAnchor = -1;
}

std::vector<int> CListUI::GetSelectedItems() const {
    std::vector<int> selected;
    for (int i = 0; i < GetCount(); ++i)
        if (IListItemUI* row = RowAt(i); row && row->IsSelected()) selected.push_back(i);
    return selected;
}

void CListUI::SetMultiSelect(bool bMultiSel) {
    m_bMultiSel = bMultiSel;
    if (!bMultiSel) SelectItem(m_iCurSel, false, false);
}

void CListUI::EnsureVisible(int iIndex) {
    CControlUI* row = GetItemAt(iIndex);
    if (!row) return;
    if (m_pManager) m_pManager->UpdateLayout();
    m_pList->ScrollToShow(row->GetPos());
}

void CListUI::Scroll(int dx, int dy) {
    SIZE pos = m_pList->GetScrollPos();
    m_pList->SetScrollPos(SIZE{pos.cx + dx, pos.cy + dy});
}

void CListUI::UpdateColumns() {
    std::vector<RECT> columns;
    for (int i = 0; i < m_pHeader->GetCount(); ++i) {
        CControlUI* item = m_pHeader->GetItemAt(i);
        if (item->IsVisible()) columns.push_back(item->GetPos());
    }
    bool widthsChanged = columns.size() != m_ListInfo.rcColumn.size();
    for (std::size_t i = 0; !widthsChanged && i < columns.size(); ++i)
        widthsChanged = columns[i].GetWidth() != m_ListInfo.rcColumn[i].GetWidth();
    m_ListInfo.rcColumn = columns;
    m_ListInfo.nColumns = static_cast<int>(columns.size());
    if (!widthsChanged) return;
    // Rows made of child controls place them by column.
    for (int i = 0; i < m_pList->GetCount(); ++i) m_pList->GetItemAt(i)->NeedUpdate();
    m_pList->NeedUpdate();
}

void CListUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    RECT view{rc.left + m_rcInset.left, rc.top + m_rcInset.top, rc.right - m_rcInset.right,
              rc.bottom - m_rcInset.bottom};
    int headerHeight = m_pHeader->IsVisible() ? m_pHeader->EstimateSize(SIZE{}).cy : 0;
    int scrollX = m_pList->GetScrollPos().cx;
    int headerWidth = std::max(view.GetWidth(), m_pHeader->GetColumnsWidth());
    // Laid out even when hidden: its items give the columns.
    m_pHeader->SetPos(RECT{view.left - scrollX, view.top, view.left - scrollX + headerWidth,
                           view.top + std::max(headerHeight, 0)},
                      false);
    UpdateColumns();
    m_pList->SetPos(RECT{view.left, view.top + headerHeight, view.right, view.bottom}, false);
}

void CListUI::MoveCurrent(int iIndex, UINT keyState) {
    iIndex = std::clamp(iIndex, 0, GetCount() - 1);
    if (m_bMultiSel && (keyState & MK_SHIFT)) {
        int old = m_iCurSel;
        int anchor = m_iAnchor >= 0 ? m_iAnchor : iIndex;
        ClearSelection();
        for (int i = std::min(anchor, iIndex); i <= std::max(anchor, iIndex); ++i)
            SetRowSelected(i, true);
        m_iCurSel = iIndex;
        m_iAnchor = anchor;
        EnsureVisible(iIndex);
        NotifySelection(old, true);
    } else {
        SelectItem(iIndex);
    }
}

void CListUI::NotifyContextMenu(int iIndex, POINT pt) {
    if (!IsEnabled() || !m_pManager) return;
    TNotifyUI msg;
    msg.sType = DUI_MSGTYPE_MENU;
    msg.pSender = this;
    msg.ptMouse = pt;
    msg.wParam = static_cast<WPARAM>(iIndex);
    m_pManager->SendNotify(msg);
}

void CListUI::PaintBorder(CRenderContext& ctx) {
    CVerticalLayoutUI::PaintBorder(ctx);
    if (IsFocused() && IsEnabled() && m_iCurSel < 0 && m_ListInfo.bFocusRing)
        PaintFocusRing(ctx, m_rcItem);
}

void CListUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_CONTEXTMENU: {
            IListItemUI* row = ListItemOf(event.pSender);
            bool ours = row && row->GetOwner() == static_cast<IListOwnerUI*>(this);
            NotifyContextMenu(ours ? row->GetIndex() : -1, event.ptMouse);
            return;
        }
        case UIEVENT_KEYDOWN: {
            if (IsContextMenuKey(event)) {
                CControlUI* current = m_iCurSel >= 0 ? GetItemAt(m_iCurSel) : nullptr;
                const RECT& rc = current ? current->GetPos() : m_pList->GetPos();
                NotifyContextMenu(m_iCurSel, POINT{rc.left, current ? rc.bottom : rc.top});
                return;
            }
            if (GetCount() == 0) return;
            int page = std::max(
                1, m_pList->GetViewRect().GetHeight() / std::max(1, GetItemAt(0)->GetHeight()));
            switch (event.chKey) {
                case VK_UP:
                    MoveCurrent(m_iCurSel - 1, event.wKeyState);
                    return;
                case VK_DOWN:
                    MoveCurrent(m_iCurSel + 1, event.wKeyState);
                    return;
                case VK_PRIOR:
                    MoveCurrent(m_iCurSel - page, event.wKeyState);
                    return;
                case VK_NEXT:
                    MoveCurrent(m_iCurSel + page, event.wKeyState);
                    return;
                case VK_HOME:
                    MoveCurrent(0, event.wKeyState);
                    return;
                case VK_END:
                    MoveCurrent(GetCount() - 1, event.wKeyState);
                    return;
                case 'A':
                    if (m_bMultiSel && (event.wKeyState & MK_CONTROL)) {
                        for (int i = 0; i < GetCount(); ++i) SetRowSelected(i, true);
                        NotifySelection(m_iCurSel, true);
                    }
                    return;
                default:
                    return;
            }
        }
        case UIEVENT_SCROLLWHEEL:
            m_pList->DoEvent(event);
            return;
        default:
            CVerticalLayoutUI::DoEvent(event);
    }
}

void CListUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (m_ListInfo.SetAttribute(pstrName, pstrValue)) return;
    if (AttributeIs(pstrName, "header"))
        m_pHeader->SetVisible(std::strcmp(pstrValue, "hidden") != 0);
    else if (AttributeIs(pstrName, "headerbkcolor"))
        m_pHeader->SetBkColor(ParseColor(pstrValue));
    else if (AttributeIs(pstrName, "headerheight"))
        m_pHeader->SetFixedHeight(std::atoi(pstrValue));
    else if (AttributeIs(pstrName, "multiselect"))
        SetMultiSelect(ParseBool(pstrValue));
    else if (AttributeIs(pstrName, "vscrollbar") || AttributeIs(pstrName, "hscrollbar"))
        m_pList->SetAttribute(pstrName, pstrValue);
    else
        CVerticalLayoutUI::SetAttribute(pstrName, pstrValue);
}

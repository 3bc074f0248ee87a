#include "controls/combo_union_ui.h"

#include <algorithm>
#include <cstring>

#include "controls/list_item_ui.h"
#include "uilib/paint_manager_ui.h"
#include "uilib/popup_wnd.h"
#include "uilib/render_engine.h"

namespace {

const int kArrowWidth = 28;
// Posted when a window of the two lost the keyboard; by then the one that got it has said so.
const UINT kCheckFocus = WM_USER + 1;

}  // namespace

// ---------------------------------------------------------------------------------------------
// The drop-down

CComboUnionWnd::~CComboUnionWnd() {
    CloseDropDown();
    for (CComboUnionUI* combo : m_bound) combo->m_pDropDown = nullptr;
}

bool CComboUnionWnd::Init(HWND hWndOwner, LPCTSTR pstrLayout, LPCTSTR pstrListName,
                          IDialogBuilderCallback* pCallback) {
    m_sListName = pstrListName;
    if (!Create(hWndOwner, "CComboUnionWnd", pstrLayout, pCallback, UI_WNDSTYLE_POPUP,
                UI_WNDSTYLE_EX_TOOLWINDOW))
        return false;
    CControlUI* list = m_pm.FindControl(m_sListName);
    m_pList = list ? static_cast<CListUI*>(list->GetInterface("List")) : nullptr;
    return m_pList != nullptr;
}

CDuiString CComboUnionWnd::ItemText(CControlUI* pItem) {
    if (auto* text = static_cast<CListTextElementUI*>(pItem->GetInterface("ListTextElement")))
        return text->GetText(0);
    if (auto* cells = static_cast<CListTextContainerElementUI*>(
            pItem->GetInterface("ListTextContainerElement")))
        return cells->GetText(0);
    return pItem->GetText();
}

void CComboUnionWnd::Open(CComboUnionUI* pCombo) {
    if (!m_pList || !pCombo || !pCombo->GetManager()) return;
    m_pCombo = pCombo;
    m_bActive = false;
    m_bComboActive = true;
    WatchCombo(true);
    SelectOwnersItem();
    Place();
    ShowWindow(true, false);
    m_pm.UpdateLayout();
    if (m_pList->GetCurSel() >= 0) m_pList->EnsureVisible(m_pList->GetCurSel());
}

// The item showing the combo's text is selected; with none, nothing is and the list starts at
// its top.
void CComboUnionWnd::SelectOwnersItem() {
    int match = -1;
    for (int i = 0; i < m_pList->GetCount() && match < 0; ++i)
        if (ItemText(m_pList->GetItemAt(i)) == m_pCombo->GetText()) match = i;
    m_pList->SelectItem(match, false, false);
    LeaveClicksToRow(match);
    if (match < 0) m_pList->GetList()->SetScrollPos(SIZE{0, 0});
}

// A selected row of cells gives its cells the mouse so that they can be edited; a drop-down row
// is only ever chosen, so its cells other than buttons leave the click to the row.
void CComboUnionWnd::LeaveClicksToRow(int iIndex) {
    CControlUI* item = m_pList->GetItemAt(iIndex);
    auto* row = item ? static_cast<CContainerUI*>(item->GetInterface("Container")) : nullptr;
    if (!row) return;
    for (int i = 0; i < row->GetCount(); ++i)
        if (!row->GetItemAt(i)->GetInterface("Button")) row->GetItemAt(i)->SetMouseEnabled(false);
}

int CComboUnionWnd::WantedHeight() {
    int width = m_pCombo->GetWidth();
    int height = 0;
    for (int i = 0; i < m_pList->GetCount(); ++i)
        height += m_pList->GetItemAt(i)->EstimateSize(SIZE{width, 0}).cy;
    CListHeaderUI* header = m_pList->GetHeader();
    if (header->IsVisible()) height += header->EstimateSize(SIZE{width, 0}).cy;
    for (CControlUI* c = m_pList; c; c = c->GetParent()) {
        int border = std::max(0, c->GetBorderSize()) * 2;
        height += border;
        if (auto* container = static_cast<CContainerUI*>(c->GetInterface("Container")))
            height += container->GetInset().top + container->GetInset().bottom;
    }
    return std::min(height, kMaxHeight);
}

void CComboUnionWnd::Place() {
    CPaintManagerUI* manager = m_pCombo->GetManager();
    RECT pos = m_pCombo->GetPos();
    POINT topLeft{pos.left, pos.top};
    POINT bottomRight{pos.right, pos.bottom};
    manager->ClientToScreen(topLeft);
    manager->ClientToScreen(bottomRight);
    RECT work;
    UIGetMonitorInfo(manager->GetPaintWindow(), nullptr, &work);
    MoveWindow(CPopupWnd::PlaceByControl(
        RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y},
        SIZE{pos.right - pos.left, WantedHeight()}, work));
}

void CComboUnionWnd::CloseDropDown() {
    if (!m_pCombo) return;
    WatchCombo(false);
    // Its arrow shows whether it is open: it is drawn again pointing down.
    m_pCombo->Invalidate();
    m_pCombo = nullptr;
    ShowWindow(false);
}

bool CComboUnionWnd::RemoveItemAt(int iIndex) {
    if (!m_pList || !m_pList->RemoveAt(iIndex)) return false;
    if (m_pCombo && m_pList->GetCount() == 0) CloseDropDown();
    if (m_pCombo) Place();
    return true;
}

void CComboUnionWnd::ChooseItem(CControlUI* pItem) {
    CComboUnionUI* combo = m_pCombo;
    CloseDropDown();
    combo->Choose(ItemText(pItem), pItem->GetUserData());
}

// The keyboard stays with the combo while its list is open: arrows move the selection in the
// list, Enter or Space chooses it.
bool CComboUnionWnd::OnComboKey(UINT vk) {
    const int count = m_pList->GetCount();
    const int current = m_pList->GetCurSel();
    int next = current;
    switch (vk) {
        case VK_UP: next = current < 0 ? count - 1 : std::max(current - 1, 0); break;
        case VK_DOWN: next = std::min(current + 1, count - 1); break;
        case VK_HOME: next = 0; break;
        case VK_END: next = count - 1; break;
        case VK_RETURN:
        case VK_SPACE:
            if (current >= 0) ChooseItem(m_pList->GetItemAt(current));
            return true;
        default: return false;
    }
    if (next >= 0 && next != current) {
        m_pList->SelectItem(next, false, false);
        LeaveClicksToRow(next);
        m_pList->EnsureVisible(next);
    }
    return true;
}

void CComboUnionWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMCLICK && m_pCombo && msg.pSender &&
        msg.pSender->GetParent() && msg.pSender->GetInterface("ListItem")) {
        ChooseItem(msg.pSender);
        return;
    }
    if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender == m_pList) {
        LeaveClicksToRow(m_pList->GetCurSel());
        return;
    }
    if (msg.sType == DUI_MSGTYPE_CLICK && m_pCombo && msg.pSender && IsItemButton(msg.pSender)) {
        m_pCombo->GetManager()->SendNotify(msg);
        return;
    }
    CDialogWnd::Notify(msg);
}

bool CComboUnionWnd::IsItemButton(CControlUI* pControl) const {
    if (!pControl->GetInterface("Button")) return false;
    for (CControlUI* parent = pControl->GetParent(); parent; parent = parent->GetParent())
        if (parent->GetInterface("ListItem")) return m_pList->GetItemIndex(parent) >= 0;
    return false;
}

void CComboUnionWnd::WatchCombo(bool bWatch) {
    CPaintManagerUI* manager = m_pCombo ? m_pCombo->GetManager() : nullptr;
    if (!manager) return;
    if (bWatch)
        manager->AddMessageFilter(this);
    else
        manager->RemoveMessageFilter(this);
}

// Escape in the combo's window closes the list before the window sees it (a dialog would close).
LRESULT CComboUnionWnd::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& bHandled) {
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE && m_pCombo) {
        CloseDropDown();
        bHandled = true;
        return 0;
    }
    if (uMsg == WM_MOVE && m_pCombo) Place();
    if (uMsg == WM_ACTIVATE) {
        m_bComboActive = wParam != 0;
        if (!m_bComboActive) PostMessage(kCheckFocus);
    }
    return 0;
}

// The drop-down is made once and kept: closing only hides it.
LRESULT CComboUnionWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_KEYDOWN:
            if (wParam != VK_ESCAPE) break;
            CloseDropDown();
            return 0;
        case WM_ACTIVATE:
            m_bActive = wParam != 0;
            if (!m_bActive) PostMessage(kCheckFocus);
            break;
        case kCheckFocus:
            if (!m_bActive && !m_bComboActive) CloseDropDown();
            return 0;
        default:
            break;
    }
    return CDialogWnd::HandleMessage(uMsg, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// The combo

CComboUnionUI::CComboUnionUI() {
    m_rcTextPadding = RECT{10, 0, kArrowWidth, 0};
    m_uTextStyle = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
}

CComboUnionUI::~CComboUnionUI() {
    SetDropDown(nullptr);
}

LPCTSTR CComboUnionUI::GetClass() const {
    return "ComboUnion";
}

void* CComboUnionUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ComboUnion") == 0) return this;
    return CButtonUI::GetInterface(pstrName);
}

void CComboUnionUI::SetDropDown(CComboUnionWnd* pDropDown) {
    if (m_pDropDown) {
        CloseDropDown();
        m_pDropDown->m_bound.erase(this);
    }
    m_pDropDown = pDropDown;
    if (m_pDropDown) m_pDropDown->m_bound.insert(this);
}

void CComboUnionUI::CloseDropDown() {
    if (IsDropped()) m_pDropDown->CloseDropDown();
}

void CComboUnionUI::Clear() {
    Choose("", "");
}

void CComboUnionUI::Choose(LPCTSTR pstrText, LPCTSTR pstrUserData) {
    SetText(pstrText);
    SetUserData(pstrUserData);
    Invalidate();
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_VALUECHANGED);
}

void CComboUnionUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CButtonUI::SetPos(rc, bNeedInvalidate);
    if (IsDropped()) m_pDropDown->Place();
}

void CComboUnionUI::SetVisible(bool bVisible) {
    CButtonUI::SetVisible(bVisible);
    if (!IsVisible()) CloseDropDown();
}

void CComboUnionUI::SetEnabled(bool bEnable) {
    CButtonUI::SetEnabled(bEnable);
    if (!IsEnabled()) CloseDropDown();
}

void CComboUnionUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (!IsEnabled()) return;
            if (IsDropped())
                CloseDropDown();
            else if (m_pDropDown)
                m_pDropDown->Open(this);
            return;
        case UIEVENT_KILLFOCUS:
            if (IsEnabled()) CloseDropDown();
            break;
        case UIEVENT_KEYDOWN:
            if (OnKeyDown(event.chKey)) return;
            break;
        default:
            break;
    }
    CButtonUI::DoEvent(event);
}

// Closed, the keys that open a combo box open the list; open, the list takes them.
bool CComboUnionUI::OnKeyDown(UINT vk) {
    if (!IsEnabled() || !m_pDropDown) return false;
    if (IsDropped()) return m_pDropDown->OnComboKey(vk);
    const bool opens = vk == VK_DOWN || vk == VK_UP || vk == VK_F1 + 3 || vk == VK_SPACE ||
                       vk == VK_RETURN;
    if (opens) m_pDropDown->Open(this);
    return opens;
}

void CComboUnionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (std::strcmp(pstrName, "arrowcolor") == 0)
        m_dwArrowColor = ParseColor(pstrValue);
    else
        CButtonUI::SetAttribute(pstrName, pstrValue);
}

void CComboUnionUI::PaintStatusImage(CRenderContext& ctx) {
    CButtonUI::PaintStatusImage(ctx);
    RECT arrow{m_rcItem.right - kArrowWidth, m_rcItem.top, m_rcItem.right - 8, m_rcItem.bottom};
    int middle = (arrow.top + arrow.bottom) / 2;
    arrow.top = middle - 3;
    arrow.bottom = middle + 3;
    CRenderEngine::DrawGlyph(ctx, arrow, IsDropped() ? CRenderEngine::GLYPH_ARROW_UP
                                                     : CRenderEngine::GLYPH_ARROW_DOWN,
                             IsEnabled() ? m_dwArrowColor : 0xFFC0C8D0, 2);
}

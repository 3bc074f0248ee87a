#include "uilib/menu_ui.h"

#include <algorithm>
#include <cstring>

#include "uilib/dialog_builder.h"
#include "uilib/render_engine.h"

LPCTSTR CMenuElementUI::GetClass() const {
    return "MenuElementUI";
}

void* CMenuElementUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "MenuElement") == 0 ? this
                                                     : CListLabelElementUI::GetInterface(pstrName);
}

int CMenuElementUI::GetNaturalWidth() {
    if (GetFixedWidth() > 0 || !m_pOwner) return GetFixedWidth();
    const TListInfoUI* info = m_pOwner->GetListInfo();
    return CRenderEngine::GetHtmlTextSize(m_pManager, m_sText, info->nFont).cx +
           info->rcTextPadding.left + info->rcTextPadding.right + 24;
}

void CMenuElementUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_MOUSEENTER && IsEnabled() && m_pOwner)
        m_pOwner->SelectItem(m_iIndex, false, false);
    CListLabelElementUI::DoEvent(event);
}

CMenuUI::CMenuUI() {
    GetHeader()->SetVisible(false);
    TListInfoUI* info = GetListInfo();
    info->bShowHtml = true;
    info->dwLineColor = 0;
    // One highlight: the current row, which the mouse and the arrow keys move alike.
    info->dwHotBkColor = 0;
    info->dwSelectedBkColor = 0xFFE4F0FC;
    info->bFocusRing = false;
    info->rcTextPadding = RECT{8, 0, 16, 0};
    SetBkColor(0xFFFFFFFF);
    SetBorderColor(0xFFC8D6E5);
    SetBorderSize(1);
    SetInset(RECT{1, 4, 1, 4});
    GetList()->EnableScrollBar(false, false);
}

LPCTSTR CMenuUI::GetClass() const {
    return "MenuUI";
}

void* CMenuUI::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "Menu") == 0 ? this : CListUI::GetInterface(pstrName);
}

void CMenuUI::ItemPressed(int, UINT, bool) {}

UINT CMenuUI::GetControlFlags() const {
    return CListUI::GetControlFlags() | UIFLAG_WANTRETURN;
}

void CMenuUI::DoEvent(TEventUI& event) {
    bool choose = event.Type == UIEVENT_KEYDOWN &&
                  (event.chKey == VK_RETURN || event.chKey == VK_SPACE);
    if (!choose) return CListUI::DoEvent(event);
    CControlUI* item = GetCurSel() >= 0 ? GetItemAt(GetCurSel()) : nullptr;
    if (item && item->IsEnabled() && m_pManager)
        m_pManager->SendNotify(item, DUI_MSGTYPE_ITEMCLICK, static_cast<WPARAM>(GetCurSel()));
}

CMenuWnd::CMenuWnd() = default;

CMenuWnd::~CMenuWnd() = default;

bool CMenuWnd::Init(HWND hWndOwner, LPCTSTR pstrLayout, INotifyUI* pNotifier,
                    IDialogBuilderCallback* pCallback) {
    if (!Create(hWndOwner, nullptr, UI_WNDSTYLE_POPUP,
                UI_WNDSTYLE_EX_DROPDOWN | UI_WNDSTYLE_EX_TOOLWINDOW))
        return false;
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(pstrLayout, pCallback, &m_pm);
    m_pMenu = root ? static_cast<CMenuUI*>(root->GetInterface("Menu")) : nullptr;
    if (!m_pMenu) {
        delete root;
        DestroyWindow();
        return false;
    }
    m_pm.AttachDialog(m_pMenu);
    // The menu hides itself before the command reaches the program.
    m_pm.AddNotifier(this);
    if (pNotifier) m_pm.AddNotifier(pNotifier);
    return true;
}

CMenuElementUI* CMenuWnd::FindItem(LPCTSTR pstrName) const {
    CControlUI* control = m_pm.FindSubControlByName(m_pMenu, pstrName);
    return control ? static_cast<CMenuElementUI*>(control->GetInterface("MenuElement")) : nullptr;
}

bool CMenuWnd::EnableItem(LPCTSTR pstrName, bool bEnable) {
    CMenuElementUI* item = FindItem(pstrName);
    if (!item) return false;
    item->SetEnabled(bEnable);
    return true;
}

void CMenuWnd::Popup(POINT ptScreen) {
    if (!m_pMenu) return;
    int width = m_pMenu->GetFixedWidth();
    int height = m_pMenu->GetInset().top + m_pMenu->GetInset().bottom;
    for (int i = 0; i < m_pMenu->GetCount(); ++i) {
        CControlUI* item = m_pMenu->GetItemAt(i);
        if (!item->IsVisible()) continue;
        // An item set apart by its padding keeps its whole height below the gap.
        const RECT padding = item->GetPadding();
        height += item->EstimateSize(SIZE{}).cy + padding.top + padding.bottom;
        auto* element = static_cast<CMenuElementUI*>(item->GetInterface("MenuElement"));
        if (element && m_pMenu->GetFixedWidth() == 0)
            width = std::max(width, element->GetNaturalWidth() + 2);
    }
    RECT work = GetWorkArea();
    RECT rc{ptScreen.x, ptScreen.y, ptScreen.x + width, ptScreen.y + height};
    if (rc.right > work.right) rc = RECT{rc.left - width, rc.top, rc.left, rc.bottom};
    if (rc.bottom > work.bottom) rc = RECT{rc.left, rc.top - height, rc.right, rc.top};
    MoveWindow(rc);
    // Opened with no current row; the keyboard goes to the menu.
    m_pMenu->SelectItem(-1, false, false);
    ShowWindow(true, true);
    m_pm.SetFocus(m_pMenu);
}

void CMenuWnd::Hide() {
    ShowWindow(false);
}

// Built once and reused: closing only hides it.
void CMenuWnd::Close(UINT) {
    Hide();
}

void CMenuWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMCLICK) Hide();
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_KEYDOWN && wParam == VK_ESCAPE) {
        Hide();
        return 0;
    }
    LRESULT result = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

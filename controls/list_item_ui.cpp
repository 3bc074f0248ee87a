#include "controls/list_item_ui.h"

#include <cstring>

#include "uilib/paint_manager_ui.h"

namespace {

bool IsButton(CControlUI* pControl) {
    return pControl->GetInterface("Button") != nullptr;
}

CLabelUI* PlainLabel(CControlUI* pControl) {
    if (IsButton(pControl)) return nullptr;
    return static_cast<CLabelUI*>(pControl->GetInterface("Label"));
}

CControlUI* FindByName(CControlUI* pControl, void* pData) {
    return pControl->GetName() == static_cast<const char*>(pData) ? pControl : nullptr;
}


}  // namespace

// ---------------------------------------------------------------------------------------------
// Rows of column cells

LPCTSTR CListTextContainerElementUI::GetClass() const {
    return "ListTextContainerElementUI";
}

void* CListTextContainerElementUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ListTextContainerElement") == 0) return this;
    return CListContainerElementUI::GetInterface(pstrName);
}

bool CListTextContainerElementUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CListContainerElementUI::AddAt(pControl, iIndex)) return false;
    ApplyLabelLook(pControl, true);
    if (!IsButton(pControl)) pControl->SetMouseEnabled(false);
    return true;
}

void CListTextContainerElementUI::SetOwner(CControlUI* pOwner) {
    CListContainerElementUI::SetOwner(pOwner);
    ApplyListLook();
}

void CListTextContainerElementUI::SetSelected(bool bSelected) {
    CListContainerElementUI::SetSelected(bSelected);
    for (CControlUI* child : m_items)
        if (child->IsVisible() && !IsButton(child)) child->SetMouseEnabled(bSelected);
    ApplyListLook();
}

void CListTextContainerElementUI::SetEnabled(bool bEnable) {
    CListContainerElementUI::SetEnabled(bEnable);
    ApplyListLook();
}

void CListTextContainerElementUI::DoEvent(TEventUI& event) {
    CListContainerElementUI::DoEvent(event);
    if (event.Type == UIEVENT_MOUSEENTER || event.Type == UIEVENT_MOUSELEAVE) ApplyListLook();
}

// Children go into the list's columns; children beyond the last column are left alone.
void CListTextContainerElementUI::SetPos(RECT rc, bool bNeedInvalidate) {
    const TListInfoUI* info = m_pOwner ? m_pOwner->GetListInfo() : nullptr;
    if (!info || info->nColumns == 0) {
        CListContainerElementUI::SetPos(rc, bNeedInvalidate);
        return;
    }
    CControlUI::SetPos(rc, bNeedInvalidate);
    std::size_t column = 0;
    for (CControlUI* child : m_items) {
        if (column >= info->rcColumn.size()) break;
        if (!child->IsVisible() || child->IsFloat()) continue;
        const RECT& cell = info->rcColumn[column++];
        child->SetPos(RECT{cell.left + m_rcInset.left, rc.top + m_rcInset.top,
                           cell.right - m_rcInset.right, rc.bottom - m_rcInset.bottom},
                      false);
    }
}

CDuiString CListTextContainerElementUI::GetText(int iIndex) const {
    CControlUI* child = GetItemAt(iIndex);
    return child ? child->GetText() : CDuiString();
}

DWORD CListTextContainerElementUI::StateTextColor() const {
    const TListInfoUI* info = m_pOwner->GetListInfo();
    if (!IsEnabled()) return info->dwDisabledTextColor;
    if (IsSelected() && info->dwSelectedTextColor) return info->dwSelectedTextColor;
    if (IsHot() && info->dwHotTextColor) return info->dwHotTextColor;
    return info->dwTextColor;
}

void CListTextContainerElementUI::ApplyLabelLook(CControlUI* pChild, bool bStyleAndFont) {
    CLabelUI* label = m_pOwner ? PlainLabel(pChild) : nullptr;
    if (!label) return;
    if (bStyleAndFont) {
        const TListInfoUI* info = m_pOwner->GetListInfo();
        label->SetTextStyle(info->uTextStyle);
        label->SetFont(info->nFont);
    }
    DWORD color = StateTextColor();
    if (label->GetTextColor() != color) label->SetTextColor(color);
}

void CListTextContainerElementUI::ApplyListLook() {
    for (CControlUI* child : m_items) ApplyLabelLook(child, true);
}

CControlUI* CListTextContainerElementUI::FindChild(LPCTSTR pstrName) {
    for (CControlUI* child : m_items)
        if (CControlUI* found = child->FindControl(FindByName, const_cast<char*>(pstrName), 0))
            return found;
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Value rows

LPCTSTR CDataListItemUI::GetClass() const {
    return "DataListItem";
}

void* CDataListItemUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "DataListItem") == 0) return this;
    return CListTextContainerElementUI::GetInterface(pstrName);
}

bool CDataListItemUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CListTextContainerElementUI::AddAt(pControl, iIndex)) return false;
    ShowDeleteButton();
    return true;
}

void CDataListItemUI::SetSelected(bool bSelected) {
    CListTextContainerElementUI::SetSelected(bSelected);
    ShowDeleteButton();
}

void CDataListItemUI::DoEvent(TEventUI& event) {
    CListTextContainerElementUI::DoEvent(event);
    if (event.Type == UIEVENT_MOUSEENTER || event.Type == UIEVENT_MOUSELEAVE) ShowDeleteButton();
}

void CDataListItemUI::ShowDeleteButton() {
    if (CControlUI* button = GetItemAt(1)) button->SetVisible(IsHot() || IsSelected());
}

// ---------------------------------------------------------------------------------------------
// Add rows and data-type rows

LPCTSTR CAddListItemUI::GetClass() const {
    return "AddListItem";
}

void* CAddListItemUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "AddListItem") == 0) return this;
    return CListTextContainerElementUI::GetInterface(pstrName);
}

LPCTSTR CDbConfigListItemUI::GetClass() const {
    return "DbConfigListItem";
}

void* CDbConfigListItemUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "DbConfigListItem") == 0) return this;
    return CListTextContainerElementUI::GetInterface(pstrName);
}

// ---------------------------------------------------------------------------------------------
// Import rows

LPCTSTR CImportListItemUI::GetClass() const {
    return "ImportListItem";
}

void* CImportListItemUI::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "ImportListItem") == 0) return this;
    return CListTextContainerElementUI::GetInterface(pstrName);
}

COptionUI* CImportListItemUI::ImportOption() {
    CControlUI* option = FindChild("opt_import_item");
    return option ? static_cast<COptionUI*>(option->GetInterface("Option")) : nullptr;
}

bool CImportListItemUI::IsImportChecked() {
    COptionUI* option = ImportOption();
    return option && option->IsSelected();
}

void CImportListItemUI::SetImportChecked(bool bChecked) {
    if (COptionUI* option = ImportOption()) option->Selected(bChecked, false);
}

void CImportListItemUI::SetImportEnabled(bool bEnabled) {
    if (COptionUI* option = ImportOption()) option->SetEnabled(bEnabled);
}

void CImportListItemUI::ShowTip(LPCTSTR pstrTipName, LPCTSTR pstrTip) {
    CControlUI* tip = FindChild(pstrTipName);
    if (!tip) return;
    if (pstrTip) tip->SetToolTip(pstrTip);
    tip->SetVisible(pstrTip != nullptr);
}

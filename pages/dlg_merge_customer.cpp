#include "pages/dlg_merge_customer.h"

#include "app/find_control.h"
#include "uilib/combo_ui.h"

merge_selection_t CollectMergeSelection(const std::vector<row_info_t>& rows) {
    merge_selection_t selection;
    for (const row_info_t& row : rows) {
        const int32_t id = row.customer.CustomerID;
        const auto name = row.customer.values.find("Name");
        selection.names.emplace(id, name == row.customer.values.end() ? tstring() : name->second);
        const auto plate = row.vehicle.values.find("PlateID");
        const tstring plateId = plate == row.vehicle.values.end() ? tstring() : plate->second;
        selection.plates[id].insert(plateId);
        if (!plateId.empty()) selection.no_vehicle = false;
    }
    return selection;
}

bool MergeMovesVehicles(const plates_by_customer_t& plates, int32_t target) {
    for (const auto& [customer, customerPlates] : plates) {
        if (customer == target) continue;
        for (const tstring& plate : customerPlates)
            if (!plate.empty()) return true;
    }
    return false;
}

HWND CDlgMergeCustomer::CreateFromSkin(HWND hwndParent) {
    return Create(hwndParent, "更改车辆所属客户", "mergecustomer.xml");
}

void CDlgMergeCustomer::InitWindow() {
    m_pCombo = FindControlAs<CComboUI>(m_pm, "cmb_select_customer", "Combo");
}

void CDlgMergeCustomer::Fill(const std::map<int32_t, tstring>& names) {
    if (!m_pCombo) return;
    for (const auto& [id, name] : names) {
        auto* item = new CListLabelElementUI;
        item->SetText(name.c_str());
        item->SetTag(static_cast<UINT_PTR>(id));
        m_pCombo->Add(item);
    }
    m_pCombo->SelectItem(0);
}

void CDlgMergeCustomer::Notify(TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_ITEMSELECT && msg.pSender == m_pCombo) {
        const CControlUI* item = m_pCombo->GetItemAt(m_pCombo->GetCurSel());
        if (item) m_chosenCustomer = static_cast<int>(item->GetTag());
    } else if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == "ok") {
        m_nResult = 0;
        Close(IDOK);
    } else if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender->GetName() == "cancel") {
        m_nResult = 1;
        Close(IDCANCEL);
    } else {
        CDialogWnd::Notify(msg);
    }
}

#include "pages/dlg_merge_customer.h"

#include "app/find_control.h"
#include "uilib/combo_ui.h"

namespace {

tstring ValueOf(const value_map_t& values, const char* key) {
    const auto found = values.find(key);
    return found == values.end() ? tstring() : found->second;
}

// The operator tells customers apart by code, name and phone ("C0001  张伟  13800000000").
tstring CustomerLabel(const customer_info_t& customer) {
    tstring label;
    for (const char* key : {"Code", "Name", "Phone"}) {
        const tstring value = ValueOf(customer.values, key);
        if (value.empty()) continue;
        label += (label.empty() ? "" : "  ") + value;
    }
    return label;
}

// Labels that are empty or still read alike carry the customer's id.
void TellLabelsApart(std::map<int32_t, tstring>& labels) {
    std::map<tstring, int> uses;
    for (const auto& [id, label] : labels) ++uses[label];
    for (auto& [id, label] : labels) {
        if (!label.empty() && uses[label] == 1) continue;
        label += "（" + std::to_string(id) + "）";
    }
}

}  // namespace

merge_selection_t CollectMergeSelection(const std::vector<row_info_t>& rows) {
    merge_selection_t selection;
    for (const row_info_t& row : rows) {
        const int32_t id = row.customer.CustomerID;
        selection.names.emplace(id, CustomerLabel(row.customer));
        const tstring plateId = ValueOf(row.vehicle.values, "PlateID");
        selection.plates[id].insert(plateId);
        if (!plateId.empty()) selection.no_vehicle = false;
    }
    TellLabelsApart(selection.names);
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
    // The keyboard starts at the choice, not at "ok": the arrows pick the customer and Enter
    // still confirms.
    m_pCombo->SetFocus();
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

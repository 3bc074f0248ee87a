#pragma once
// Changing the owner of vehicles: what the selected rows of the customer list hold, and the
// modal dialog in which the operator picks the customer who gets every selected vehicle.
#include <map>
#include <vector>

#include "store/records.h"
#include "uilib/dialog_wnd.h"

class CComboUI;

// The selected rows gathered by customer, customers ascending by CustomerID.
struct merge_selection_t {
    // CustomerID -> code, name and phone as the dialog lists them (a customer's first row
    // fixes them); a text that is empty or shared by two customers is followed by the id.
    std::map<int32_t, tstring> names;
    plates_by_customer_t plates;       // a row without a vehicle adds an empty plate
    bool no_vehicle = true;            // no row had a plate
};

merge_selection_t CollectMergeSelection(const std::vector<row_info_t>& rows);
// True when some customer other than the target has a vehicle to give.
bool MergeMovesVehicles(const plates_by_customer_t& plates, int32_t target);

// Lists the customers in "cmb_select_customer" (text the label, tag the CustomerID) with the
// first one chosen and the keyboard on the choice. Result 0 after "ok", 1 when cancelled in any
// way.
class CDlgMergeCustomer : public CDialogWnd, public INotifyUI {
public:
    // Creates the window, hidden, from "mergecustomer.xml" over the parent.
    HWND CreateFromSkin(HWND hwndParent);
    void Fill(const std::map<int32_t, tstring>& names);
    int GetChosenCustomer() const { return m_chosenCustomer; }
    int GetResult() const { return m_nResult; }

    void Notify(TNotifyUI& msg) override;

protected:
    void InitWindow() override;

private:
    CComboUI* m_pCombo = nullptr;
    int m_chosenCustomer = -1;
    int m_nResult = 1;
};

#pragma once
// The customer edit page: one customer and its vehicles, with editor rows built from the
// editable data types, a plate selector for the vehicle shown, and the writes of both.
#include <vector>

#include "app/main_tab_page_ui.h"
#include "tasks/task_keys.h"

class CButtonUI;
class CComboUI;
class CContainerUI;

class CPageEdit : public CMainTabPageUI {
public:
    // Builds "pageedit.xml".
    explicit CPageEdit(CPaintManagerUI* pManager);

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Finds the controls, registers the task handlers; only "btn_new_customer" starts enabled.
    void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                  db_task_caller* pCaller) override;
    void Notify(TNotifyUI& msg) override;

    // For tests: the customer shown (-1: none or not saved yet) and its vehicles in selector order.
    int32_t GetCurrentCustomer() const { return m_currentCustomer; }
    const vehicle_list_t& GetVehicles() const { return m_vehicles; }

private:
    void FindControls();
    void RegisterHandlers();

    // Task completions.
    void OnCustomerLoaded(TaskContext ctx);
    void OnVehiclesLoaded(TaskContext ctx);
    void OnCustomerInserted(TaskContext ctx);
    void OnCustomerUpdated(TaskContext ctx);
    void OnVehicleInserted(TaskContext ctx);
    void OnVehicleUpdated(TaskContext ctx);
    void OnCustomerDeleted(TaskContext ctx);
    void OnVehicleDeleted(TaskContext ctx);

    // Operator actions.
    void NewCustomer();
    void NewVehicle();
    void SaveCustomer();
    void SaveVehicle();
    void DeleteCustomer();
    void DeleteVehicle();
    void ShowSelectedVehicle();
    void PlateEdited(const CDuiString& text);

    // The editors.
    void BuildEditorRows(CContainerUI* area, int32_t category, const value_map_t& values);
    CControlUI* CreateEditor(const data_type_info_t& type, const tstring& value) const;
    // Writes the area's editor texts into values by Type; false (nothing to save) when an
    // integer field holds something that is not an integer.
    bool ReadEditors(CContainerUI* area, int32_t category, value_map_t& values) const;
    int32_t ChosenValueId(const data_type_info_t& type, CControlUI& editor) const;
    // The data types that get an editor row in the area of the category, in row order.
    std::vector<const data_type_info_t*> EditableTypes(int32_t category) const;

    // The plate selector and the vehicle area.
    void CreatePlateSelector();
    void AddPlateItem(const tstring& plate);
    void EmptyVehicleArea();
    // Empties it and, for a customer shown, says that there is no vehicle.
    void ClearVehicleArea();
    // Removes the vehicle and its selector item; selects the first one left, or clears the area.
    void RemoveVehicle(int index);
    vehicle_info_t* SelectedVehicle();
    vehicle_info_t* SavedVehicle(const vehicle_info_t& saved);
    void ClearCustomer();

    // Save and delete of the customer and new vehicle; save and delete of the vehicle.
    void EnableButtons(bool bCustomer, bool bVehicle);
    // The keyboard to the first editor of the area.
    void FocusEditor(CContainerUI* area);
    void ShowMessage(LPCTSTR pstrText) const;
    bool Contains(const CControlUI* control) const;
    bool Confirm(LPCTSTR pstrText);
    void TellListToReload();

    CContainerUI* m_pCustomerArea = nullptr;
    CContainerUI* m_pVehicleArea = nullptr;
    CContainerUI* m_pPlateIds = nullptr;
    CComboUI* m_pPlateSelector = nullptr;
    CButtonUI* m_pNewCustomer = nullptr;
    CButtonUI* m_pSaveCustomer = nullptr;
    CButtonUI* m_pDeleteCustomer = nullptr;
    CButtonUI* m_pNewVehicle = nullptr;
    CButtonUI* m_pSaveVehicle = nullptr;
    CButtonUI* m_pDeleteVehicle = nullptr;

    int32_t m_currentCustomer = -1;
    // Numbers the placeholder plates of new vehicles; never reused while the customer is shown.
    int m_newVehicleCounter = 0;
    vehicle_list_t m_vehicles;
    // One write at a time: a second click on a save or delete before the first is answered
    // would store a new customer twice or report a failure after the success.
    bool m_writing = false;
};

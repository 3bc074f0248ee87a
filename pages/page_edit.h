#pragma once
// The customer edit page: one customer and its vehicles, with editor rows built from the
// editable data types, a plate selector for the vehicle shown, and the writes of both.
#include <functional>
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
    // Edits that differ from what is stored (or, for a new customer, from the empty form).
    bool HasUnsavedChanges() const override;
    // Asks "当前修改尚未保存，是否保存？": 保存 saves and then runs afterSave, 不保存 puts the
    // stored values back, 取消 stays.
    bool AskToLeave(std::function<void()> afterSave) override;
    // Ctrl+S saves the card that has the keyboard: the vehicle's, else the customer's.
    bool OnShortcut(UINT vk) override;

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
    // A refused write: said, with the keyboard in the field at fault.
    void RefuseCustomerWrite(const ret_t& result);
    void RefuseVehicleWrite(const ret_t& result);

    // Operator actions.
    void OpenCustomer(int32_t id, const tstring& plate);
    void NewCustomer();
    void NewVehicle();
    // True when the save was sent; false when refused (said, and the keyboard in the field).
    bool SaveCustomer();
    bool SaveVehicle();
    void DeleteCustomer();
    void DeleteVehicle();
    void ShowSelectedVehicle();
    void PlateEdited(const CDuiString& text);

    // Unsaved edits: each editor keeps the state it was built or last saved with.
    enum class Scope { kVehicle, kAll };
    bool HasChanges(Scope scope) const;
    bool AskBeforeDropping(Scope scope, std::function<void()> proceed);
    // Runs the action now, or once the edits it would drop are saved, or not when called off.
    void AfterAsking(Scope scope, std::function<void()> action);
    void SaveChangesThen(Scope scope, std::function<void()> proceed);
    void DiscardChanges(Scope scope);
    void OnPlateChosen(int chosen, int shown);
    // A save is on its way: the area's editors count as saved unless it fails.
    void BeginWrite(CContainerUI* area);
    void EndWrite(bool bSaved);

    // The editors.
    void BuildEditorRows(CContainerUI* area, int32_t category, const value_map_t& values);
    CControlUI* CreateEditor(const data_type_info_t& type, const tstring& value) const;
    // Writes the area's editor texts into values by Type; false (nothing to save, said, and the
    // keyboard in the field) when a field holds what cannot be stored.
    bool ReadEditors(CContainerUI* area, int32_t category, value_map_t& values) const;
    // A validity that ends before it starts is refused like a bad field.
    bool CheckValidity(const value_map_t& values) const;
    CControlUI* EditorOf(CContainerUI* area, int32_t category, const tstring& dataType) const;
    void Refuse(CControlUI* field, LPCTSTR pstrText) const;
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
    // What a write in flight marked as saved, put back should it fail.
    std::vector<CControlUI*> m_writtenEditors;
    std::vector<CDuiString> m_marksBeforeWrite;
    // What the operator asked to do once the save he chose in the question has succeeded.
    std::function<void()> m_afterSave;
    // The plate of the list row the customer was opened from: that vehicle is shown first.
    tstring m_plateToShow;
};

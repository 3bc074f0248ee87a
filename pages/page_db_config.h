#pragma once
// The data configuration page: every data type with the tick that shows it in the customer
// list, and the lookup values of the selected lookup type, added, renamed and deleted in place.
#include <functional>

#include "app/main_tab_page_ui.h"
#include "tasks/task_keys.h"
#include "uilib/dialog_builder.h"

class CAddListItemUI;
class CDataListItemUI;
class CListUI;
class COptionUI;

// Keys: Space ticks the current data type's "列表显示"; on a value, Enter or F2 renames it and
// Delete deletes it; Enter on the add row adds one.
class CPageDbConfig : public CMainTabPageUI, private IMessageFilterUI {
public:
    // Builds "pagedbconfig.xml".
    explicit CPageDbConfig(CPaintManagerUI* pManager);
    ~CPageDbConfig() override;

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Finds both lists and registers the task handlers; the type list fills when the lookup
    // values have been loaded ("GetCommonDataMap").
    void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                  db_task_caller* pCaller) override;
    void Notify(TNotifyUI& msg) override;

    // The display name of a data type's Type ("字符串", "限定值", ...); empty for an unknown one.
    static CDuiString TypeName(int32_t type);

private:
    void RegisterHandlers();
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // Whether the keyboard is on the list or one of its rows.
    bool HasFocus(CListUI* list) const;
    bool OnTypeListKey(UINT vk);
    bool OnValueListKey(UINT vk);

    // Task completions.
    void OnCommonDataMap(TaskContext ctx);
    void OnCommonDataInserted(TaskContext ctx);
    void OnCommonDataUpdated(TaskContext ctx);
    void OnCommonDataDeleted(TaskContext ctx);
    // The delete goes on when no record holds the value or the operator agrees to clear them.
    void OnValueUsesCounted(TaskContext ctx);
    // A refused tick goes back to the stored one.
    void OnDataTypeUpdated(TaskContext ctx);

    // Operator actions.
    void FillTypeList();
    void ShowValuesOfSelectedType();
    void AddValueRow();
    void OnValueEdited(CControlUI* label, bool bChanged);
    static tstring TypedValue(CControlUI* label);
    bool IsTakenByAnother(const CDataListItemUI* row, const tstring& text) const;
    void InsertValue(CDataListItemUI* row, const tstring& text);
    // The value of the row holding the control (its delete button, or the row).
    void DeleteValue(CControlUI* control);
    void ShowColumnInList(COptionUI* option);

    CControlUI* BuildRow(LPCTSTR pstrTemplate);
    void ShowStoredTick(CControlUI* row, const data_type_info_t& info);
    CControlUI* TypeRowOf(const tstring& dataType) const;
    CDataListItemUI* NewValueRow(const tstring& dataType, int32_t valueId, const tstring& value);
    // The value row holding the control, or null (the add row and other lists are not values).
    CDataListItemUI* ValueRowOf(CControlUI* control) const;
    CDataListItemUI* ValueRowAt(int index) const;
    CDataListItemUI* FindValueRow(const std::function<bool(const CDataListItemUI&)>& matches) const;
    // The row stored under the ValueID, or the new row whose insert asked for it.
    CDataListItemUI* StoredRow(const tstring& dataType, int32_t valueId) const;
    CDataListItemUI* PendingRow(const tstring& dataType, int32_t valueId) const;
    // Rows of the value list before the add row (all rows when there is none).
    int ValueRowCount() const;
    tstring SelectedDataType() const;
    int32_t NextValueId(const tstring& dataType) const;
    void RequestStarted();
    void ShowMessage(LPCTSTR pstrText);
    bool Confirm(const tstring& question);
    tstring UsedValueQuestion(const tstring& dataType, const tstring& value, int32_t uses) const;

    CListUI* m_pTypeList = nullptr;
    CListUI* m_pValueList = nullptr;
    CDialogBuilder m_templates;
    CPaintManagerUI* m_pFilteredManager = nullptr;
};

#include "pages/page_db_config.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "app/dialog_builder_callback_ex.h"
#include "controls/list_item_ui.h"
#include "pages/find_sub_control.h"
#include "tasks/db_task_caller.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr const char* kLayout = "pagedbconfig.xml";

// The row's cells: data type, its name, its kind.
enum TypeRowCell { kCellDataType, kCellName, kCellTypeName };

}  // namespace

CPageDbConfig::CPageDbConfig(CPaintManagerUI* pManager) : CMainTabPageUI(kLayout, pManager) {
    m_templates.Load(kLayout);
}

CPageDbConfig::~CPageDbConfig() {
    if (m_pFilteredManager) m_pFilteredManager->RemoveMessageFilter(this);
}

LPCTSTR CPageDbConfig::GetClass() const {
    return "PageDbConfigUI";
}

void* CPageDbConfig::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "PageDbConfig") == 0 ? this
                                                      : CMainTabPageUI::GetInterface(pstrName);
}

CDuiString CPageDbConfig::TypeName(int32_t type) {
    static const char* const names[] = {"字符串", "限定值", "整数", "日期",
                                        "时间",   "时间戳", "布尔", "时间段"};
    const bool known = type >= 0 && type < static_cast<int32_t>(std::size(names));
    return known ? names[type] : "";
}

void CPageDbConfig::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                             db_task_caller* pCaller) {
    CMainTabPageUI::InitPage(pMainWnd, pBuilderCallback, pCaller);
    m_pValueList = FindSubControlAs<CListUI>(this, "list_edit_value", "List");
    m_pTypeList = FindSubControlAs<CListUI>(this, "db_config_list", "List");
    RegisterHandlers();
    if (m_pManager && !m_pFilteredManager) {
        m_pFilteredManager = m_pManager;
        m_pManager->AddMessageFilter(this);
    }
}

void CPageDbConfig::RegisterHandlers() {
    using namespace task_names;
    RegisterTaskHandler(kGetCommonDataMap, [this](TaskContext ctx) { OnCommonDataMap(ctx); });
    RegisterTaskHandler(kInsertCommonData, [this](TaskContext ctx) { OnCommonDataInserted(ctx); });
    RegisterTaskHandler(kUpdateCommonData, [this](TaskContext ctx) { OnCommonDataUpdated(ctx); });
    RegisterTaskHandler(kDeleteCommonData, [this](TaskContext ctx) { OnCommonDataDeleted(ctx); });
    RegisterTaskHandler(kCountCommonDataUses, [this](TaskContext ctx) { OnValueUsesCounted(ctx); });
    RegisterTaskHandler(kUpdateDataTypeInfo, [this](TaskContext ctx) { OnDataTypeUpdated(ctx); });
}

void CPageDbConfig::Notify(TNotifyUI& msg) {
    if (!m_pTypeList || !m_pValueList || !msg.pSender) return;
    const CDuiString& name = msg.pSender->GetName();
    if (msg.sType == "itemselect" && msg.pSender == m_pTypeList) {
        ShowValuesOfSelectedType();
    } else if (msg.sType == "click" && name == "btn_add_list_item" &&
               m_pValueList->GetItemIndex(msg.pSender->GetParent()) >= 0) {
        AddValueRow();
    } else if (msg.sType == "editclosed") {
        OnValueEdited(msg.pSender, msg.wParam != 0);
    } else if (msg.sType == "click" && name == "delete_data_list_item") {
        DeleteValue(msg.pSender);
    } else if (msg.sType == "option_click" && name == "opt_db_show" &&
               m_pTypeList->GetItemIndex(msg.pSender->GetParent()) >= 0) {
        ShowColumnInList(static_cast<COptionUI*>(msg.pSender->GetInterface("Option")));
    }
}

bool CPageDbConfig::HasFocus(CListUI* list) const {
    CControlUI* focus = m_pManager ? m_pManager->GetFocus() : nullptr;
    if (!focus || !list) return false;
    auto* row = static_cast<IListItemUI*>(focus->GetInterface("ListItem"));
    return focus == list || (row && row->GetOwner() == static_cast<IListOwnerUI*>(list));
}

LRESULT CPageDbConfig::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    const bool plain = (static_cast<UINT>(lParam) & (MK_CONTROL | MK_SHIFT)) == 0;
    if (uMsg != WM_KEYDOWN || !plain || !IsVisible()) return 0;
    const UINT vk = static_cast<UINT>(wParam);
    if (HasFocus(m_pTypeList))
        bHandled = OnTypeListKey(vk);
    else if (HasFocus(m_pValueList))
        bHandled = OnValueListKey(vk);
    return 0;
}

bool CPageDbConfig::OnTypeListKey(UINT vk) {
    CControlUI* row = m_pTypeList->GetItemAt(m_pTypeList->GetCurSel());
    auto* show = row ? FindSubControlAs<COptionUI>(row, "opt_db_show", "Option") : nullptr;
    if (vk != VK_SPACE || !show || !m_pTypeList->IsEnabled()) return false;
    show->Activate();
    return true;
}

bool CPageDbConfig::OnValueListKey(UINT vk) {
    const int current = m_pValueList->GetCurSel();
    if (current < 0) return false;
    if (current >= ValueRowCount()) {
        if (vk != VK_RETURN) return false;
        AddValueRow();
        return true;
    }
    CDataListItemUI* row = ValueRowAt(current);
    if (vk == VK_RETURN || vk == VK_F1 + 1) {
        row->GetItemAt(0)->SetFocus();
        return true;
    }
    if (vk != VK_DELETE) return false;
    DeleteValue(row);
    return true;
}

// --- The type list ---------------------------------------------------------------------------

CControlUI* CPageDbConfig::BuildRow(LPCTSTR pstrTemplate) {
    return m_templates.CreateSet(pstrTemplate, m_pBuilderCallback, m_pManager);
}

void CPageDbConfig::OnCommonDataMap(TaskContext ctx) {
    if (ctx.Get(task_keys::ret).ok) FillTypeList();
}

void CPageDbConfig::FillTypeList() {
    // Cleared first: a second load (after a reconnect) would otherwise list every type twice.
    m_pTypeList->RemoveAll();
    m_pValueList->RemoveAll();
    for (const data_type_info_t* info : m_pDictionary->all_columns()) {
        auto* row = static_cast<CDbConfigListItemUI*>(BuildRow("db_config_list_item"));
        if (!row) return;
        row->SetUserData(info->DataType.c_str());
        m_pTypeList->Add(row);
        row->GetItemAt(kCellDataType)->SetText(info->DataType.c_str());
        row->GetItemAt(kCellName)->SetText(info->DataTypeName.c_str());
        row->GetItemAt(kCellTypeName)->SetText(TypeName(info->Type));
        ShowStoredTick(row, *info);
    }
}

void CPageDbConfig::ShowStoredTick(CControlUI* row, const data_type_info_t& info) {
    auto* show = FindSubControlAs<COptionUI>(row, "opt_db_show", "Option");
    if (show) show->Selected(info.ShowList != 0, false);
}

CControlUI* CPageDbConfig::TypeRowOf(const tstring& dataType) const {
    for (int i = 0; i < m_pTypeList->GetCount(); ++i) {
        CControlUI* row = m_pTypeList->GetItemAt(i);
        if (row->GetUserData() == dataType.c_str()) return row;
    }
    return nullptr;
}

tstring CPageDbConfig::SelectedDataType() const {
    const CControlUI* row = m_pTypeList->GetItemAt(m_pTypeList->GetCurSel());
    return row ? row->GetUserData().str() : tstring();
}

void CPageDbConfig::ShowColumnInList(COptionUI* option) {
    const data_type_info_t* info = m_pDictionary->find(option->GetParent()->GetUserData().str());
    if (!info) return;
    data_type_info_t changed = *info;
    changed.ShowList = option->IsSelected() ? 1 : 0;
    m_pCaller->RequestUpdateDataTypeInfo(changed);
}

// The click has already moved the tick; a refused write must not leave it showing a change the
// database does not hold. The dictionary changes only on success, so it holds the stored value.
void CPageDbConfig::OnDataTypeUpdated(TaskContext ctx) {
    if (ctx.Get(task_keys::ret).ok) return;
    const tstring& dataType = ctx.Get(task_keys::data_type).DataType;
    const data_type_info_t* info = m_pDictionary->find(dataType);
    CControlUI* row = TypeRowOf(dataType);
    if (info && row) ShowStoredTick(row, *info);
    ShowMessage("设置失败");
}

// --- The value list --------------------------------------------------------------------------

void CPageDbConfig::ShowValuesOfSelectedType() {
    m_pValueList->RemoveAll();
    const tstring dataType = SelectedDataType();
    const data_type_info_t* info = m_pDictionary->find(dataType);
    if (!info || info->Type != kTypeLookup) return;
    const auto values = m_pDictionary->data_map().find(dataType);
    if (values != m_pDictionary->data_map().end()) {
        for (const common_value_t& value : values->second)
            m_pValueList->Add(NewValueRow(dataType, value.first, value.second));
    }
    if (CControlUI* addRow = BuildRow("add_list_item")) m_pValueList->Add(addRow);
}

CDataListItemUI* CPageDbConfig::NewValueRow(const tstring& dataType, int32_t valueId,
                                            const tstring& value) {
    auto* row = static_cast<CDataListItemUI*>(BuildRow("data_list_item"));
    row->SetKey(dataType.c_str());
    row->SetValue(value.c_str());
    row->SetValueID(valueId);
    row->GetItemAt(0)->SetText(value.c_str());
    return row;
}

int CPageDbConfig::ValueRowCount() const {
    const int count = m_pValueList->GetCount();
    const bool hasAddRow =
        count > 0 && m_pValueList->GetItemAt(count - 1)->GetInterface("AddListItem");
    return hasAddRow ? count - 1 : count;
}

CDataListItemUI* CPageDbConfig::ValueRowAt(int index) const {
    return static_cast<CDataListItemUI*>(
        m_pValueList->GetItemAt(index)->GetInterface("DataListItem"));
}

CDataListItemUI* CPageDbConfig::FindValueRow(
    const std::function<bool(const CDataListItemUI&)>& matches) const {
    for (int i = 0; i < ValueRowCount(); ++i) {
        CDataListItemUI* row = ValueRowAt(i);
        if (matches(*row)) return row;
    }
    return nullptr;
}

CDataListItemUI* CPageDbConfig::StoredRow(const tstring& dataType, int32_t valueId) const {
    return FindValueRow([&](const CDataListItemUI& row) {
        return row.GetValueID() == valueId && row.GetKey() == dataType.c_str();
    });
}

CDataListItemUI* CPageDbConfig::PendingRow(const tstring& dataType, int32_t valueId) const {
    return FindValueRow([&](const CDataListItemUI& row) {
        return row.GetValueID() == -1 && row.GetTag() == static_cast<UINT_PTR>(valueId) &&
               row.GetKey() == dataType.c_str();
    });
}

CDataListItemUI* CPageDbConfig::ValueRowOf(CControlUI* control) const {
    for (; control; control = control->GetParent()) {
        const int index = m_pValueList->GetItemIndex(control);
        if (index >= 0) return index < ValueRowCount() ? ValueRowAt(index) : nullptr;
    }
    return nullptr;
}

void CPageDbConfig::AddValueRow() {
    const int addIndex = ValueRowCount();
    CDataListItemUI* row = NewValueRow(tstring(), -1, tstring());
    m_pValueList->AddAt(row, addIndex);
    m_pValueList->SelectItem(addIndex);
    m_pManager->UpdateLayout();
    m_pValueList->EnsureVisible(addIndex + 1);
    row->GetItemAt(0)->SetFocus();
}

// Free of every ValueID of the type, stored or being inserted: the highest plus one.
int32_t CPageDbConfig::NextValueId(const tstring& dataType) const {
    int32_t highest = 0;
    const auto values = m_pDictionary->data_map().find(dataType);
    if (values != m_pDictionary->data_map().end()) {
        for (const common_value_t& value : values->second) highest = std::max(highest, value.first);
    }
    for (int i = 0; i < ValueRowCount(); ++i) {
        const CDataListItemUI* row = ValueRowAt(i);
        highest = std::max({highest, row->GetValueID(), static_cast<int32_t>(row->GetTag())});
    }
    return highest + 1;
}

// Blanks around a typed value are dropped: they would make two values look alike.
tstring CPageDbConfig::TypedValue(CControlUI* label) {
    const tstring text = label->GetText().str();
    const size_t first = text.find_first_not_of(" \t");
    if (first == tstring::npos) return tstring();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Two values of a type that read the same could not be told apart where values are chosen by
// their text (the edit page, the import matching).
bool CPageDbConfig::IsTakenByAnother(const CDataListItemUI* row, const tstring& text) const {
    return FindValueRow([&](const CDataListItemUI& other) {
               return &other != row && other.GetValue() == text.c_str();
           }) != nullptr;
}

void CPageDbConfig::OnValueEdited(CControlUI* label, bool bChanged) {
    CDataListItemUI* row = ValueRowOf(label);
    if (!row) return;
    const int32_t insertInFlight = static_cast<int32_t>(row->GetTag());
    const bool isNew = row->GetValueID() == -1 && insertInFlight == 0;
    if (!isNew && !bChanged) return;
    const tstring text = TypedValue(label);
    const bool taken = !text.empty() && IsTakenByAnother(row, text);
    if (taken) ShowMessage(("取值“" + text + "”已存在，请输入其他取值。").c_str());
    if (text.empty() || taken) {
        if (isNew)
            m_pValueList->Remove(row);
        else
            label->SetText(row->GetValue());
        return;
    }
    label->SetText(text.c_str());
    if (text == row->GetValue().str()) return;
    if (isNew) return InsertValue(row, text);
    RequestStarted();
    // Requests run in order, so a rename of a value still being inserted finds it stored.
    m_pCaller->RequestUpdateCommonData(row->GetKey().str(), text,
                                       insertInFlight != 0 ? insertInFlight : row->GetValueID());
}

void CPageDbConfig::InsertValue(CDataListItemUI* row, const tstring& text) {
    const tstring dataType = SelectedDataType();
    const int32_t valueId = NextValueId(dataType);
    row->SetKey(dataType.c_str());
    row->SetValue(text.c_str());
    // The id in flight, so that a second new row does not take it too.
    row->SetTag(static_cast<UINT_PTR>(valueId));
    RequestStarted();
    m_pCaller->RequestInsertCommonData(dataType, text, valueId);
}

// The records that hold the value are counted first: deleting it takes it from them too, which
// the operator must agree to.
void CPageDbConfig::DeleteValue(CControlUI* control) {
    CDataListItemUI* row = ValueRowOf(control);
    if (!row || row->GetValueID() == -1) return;
    RequestStarted();
    m_pCaller->RequestCountCommonDataUses(row->GetKey().str(), row->GetValueID());
}

void CPageDbConfig::OnValueUsesCounted(TaskContext ctx) {
    m_pTypeList->SetEnabled(true);
    const tstring& dataType = ctx.Get(task_keys::key);
    CDataListItemUI* row = StoredRow(dataType, ctx.Get(task_keys::id));
    if (!row) return;
    if (!ctx.Get(task_keys::ret).ok) return ShowMessage("删除失败");
    const int32_t uses = ctx.Get(task_keys::count);
    if (uses > 0 && !Confirm(UsedValueQuestion(dataType, row->GetValue().str(), uses))) return;
    RequestStarted();
    m_pCaller->RequestDeleteCommonData(dataType, row->GetValue().str(), row->GetValueID());
}

tstring CPageDbConfig::UsedValueQuestion(const tstring& dataType, const tstring& value,
                                         int32_t uses) const {
    const data_type_info_t* info = m_pDictionary->find(dataType);
    const tstring column = info ? info->DataTypeName : dataType;
    return "取值“" + value + "”正被" + std::to_string(uses) + "条记录使用，删除后这些记录的“" +
           column + "”将被清空。确定要删除吗？";
}

// The selected type must not change under a request: the type list waits for its completion.
void CPageDbConfig::RequestStarted() {
    m_pTypeList->SetEnabled(false);
}

// Every message of the page reports a write that did not happen.
void CPageDbConfig::ShowMessage(LPCTSTR pstrText) {
    UIMessageBox(m_pManager->GetPaintWindow(), pstrText, nullptr, MB_ICONWARNING);
}

bool CPageDbConfig::Confirm(const tstring& question) {
    return UIMessageBox2(m_pManager->GetPaintWindow(), question.c_str()) == 0;
}

// --- Completions of the value requests -------------------------------------------------------

// Rows are matched by ValueID, not by text: two values of a type may read the same, and only the
// one the request named was written.
void CPageDbConfig::OnCommonDataInserted(TaskContext ctx) {
    m_pTypeList->SetEnabled(true);
    const tstring& dataType = ctx.Get(task_keys::key);
    const int32_t valueId = ctx.Get(task_keys::id);
    const bool ok = ctx.Get(task_keys::ret).ok;
    if (dataType != SelectedDataType()) return;
    CDataListItemUI* row = PendingRow(dataType, valueId);
    if (row && ok) {
        // Stored now: a later edit of the row updates it instead of inserting it again.
        row->SetValueID(valueId);
        row->SetTag(0);
    } else if (row) {
        m_pValueList->Remove(row);
        ShowMessage("添加失败");
    } else if (ok) {
        const tstring& value = ctx.Get(task_keys::value);
        m_pValueList->AddAt(NewValueRow(dataType, valueId, value), ValueRowCount());
    }
}

void CPageDbConfig::OnCommonDataUpdated(TaskContext ctx) {
    m_pTypeList->SetEnabled(true);
    CDataListItemUI* row = StoredRow(ctx.Get(task_keys::key), ctx.Get(task_keys::id));
    if (!row) return;
    if (ctx.Get(task_keys::ret).ok) {
        row->SetValue(ctx.Get(task_keys::value).c_str());
    } else {
        ShowMessage("设置失败");
    }
    row->GetItemAt(0)->SetText(row->GetValue());
}

void CPageDbConfig::OnCommonDataDeleted(TaskContext ctx) {
    m_pTypeList->SetEnabled(true);
    CDataListItemUI* row = StoredRow(ctx.Get(task_keys::key), ctx.Get(task_keys::id));
    if (!row) return;
    if (ctx.Get(task_keys::ret).ok) {
        m_pValueList->Remove(row);
    } else {
        ShowMessage("删除失败");
    }
}

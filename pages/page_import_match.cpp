// The matching step of the import wizard: each chosen column to a data type, and each text of a
// lookup column to one of the type's common values.
#include <algorithm>

#include "app/dialog_builder_callback_ex.h"
#include "controls/list_item_ui.h"
#include "pages/find_sub_control.h"
#include "pages/page_import.h"
#include "store/data_type_dictionary.h"
#include "tasks/db_task_caller.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace {

// Children of a type-match or value-match row.
enum MatchRowCell { kCellText, kCellSelector, kCellStatus };

const char* const kStatusMarks[] = {"import_match_ignore_tip", "import_match_error_tip",
                                    "import_match_success_tip", "import_match_unknown"};

CListLabelElementUI* NewDropDownItem(const tstring& text, const tstring& userData) {
    auto* item = new CListLabelElementUI;
    item->SetText(text.c_str());
    item->SetUserData(userData.c_str());
    return item;
}

// Shows a choice without announcing it: the page fills its own selectors.
void ShowChoice(CComboUnionUI* combo, const tstring& text, const tstring& userData) {
    combo->SetText(text.c_str());
    combo->SetUserData(userData.c_str());
}

}  // namespace

const data_type_info_t* CPageImport::LookupType(const tstring& dataType) const {
    const data_type_info_t* info = m_pDictionary->find(dataType);
    return info && info->Type == kTypeLookup ? info : nullptr;
}

void CPageImport::EnsureDropDowns() {
    if (m_dropDownsMade) return;
    HWND owner = m_pManager->GetPaintWindow();
    m_dropDownsMade = m_typeDropDown.Init(owner, "combouniondbtypematch.xml", "db_type_list") &&
                      m_valueDropDown.Init(owner, "combouniondbdatamatch.xml", "db_data_list");
}

void CPageImport::FillTypeDropDown() {
    CListUI* list = m_typeDropDown.GetList();
    if (!list) return;
    list->RemoveAll();
    for (const data_type_info_t* info : m_pDictionary->all_columns())
        if (info->ReadOnly == 0) list->Add(NewDropDownItem(info->DataTypeName, info->DataType));
}

void CPageImport::FillValueDropDown(const tstring& dataType) {
    CListUI* list = m_valueDropDown.GetList();
    if (!list) return;
    list->RemoveAll();
    const auto values = m_pDictionary->data_map().find(dataType);
    if (values == m_pDictionary->data_map().end()) return;
    for (const common_value_t& value : values->second) AddCommonValueItem(dataType, value);
}

// A common value in the drop-down, with the delete button that shows while the mouse is over it.
void CPageImport::AddCommonValueItem(const tstring& dataType, const common_value_t& value) {
    CControlUI* control = m_templates.CreateSet("import_data_list_item", m_pBuilderCallback,
                                                &m_valueDropDown.GetPaintManager());
    auto* item = control ? static_cast<CDataListItemUI*>(control->GetInterface("DataListItem")) : nullptr;
    if (!item) {
        delete control;
        return;
    }
    item->SetKey(dataType.c_str());
    item->SetValue(value.second.c_str());
    item->SetValueID(value.first);
    item->SetUserData(std::to_string(value.first).c_str());
    m_valueDropDown.GetList()->Add(item);
    item->GetItemAt(kCellText)->SetText(value.second.c_str());
}

CComboUnionUI* CPageImport::SelectorOf(CControlUI* row) {
    auto* container = static_cast<CContainerUI*>(row->GetInterface("Container"));
    CControlUI* cell = container ? container->GetItemAt(kCellSelector) : nullptr;
    return cell ? static_cast<CComboUnionUI*>(cell->GetInterface("ComboUnion")) : nullptr;
}

void CPageImport::SetRowStatus(CControlUI* row, MatchStatus status) {
    for (int mark = kMatchIgnore; mark <= kMatchUnknown; ++mark)
        if (CControlUI* control = row->GetManager()->FindSubControlByName(row, kStatusMarks[mark]))
            control->SetVisible(mark == status);
}

CControlUI* CPageImport::NewTypeRow(const tstring& column) {
    auto* row = static_cast<CContainerUI*>(
        m_templates.CreateSet("match_type_list_item", m_pBuilderCallback, m_pManager));
    row->SetUserData(column.c_str());
    m_pTypeList->Add(row);
    row->GetItemAt(kCellText)->SetText(column.c_str());
    CComboUnionUI* selector = SelectorOf(row);
    selector->SetDropDown(&m_typeDropDown);
    for (const auto& [dataType, mapped] : m_book->TypeMatching()) {
        const data_type_info_t* info = m_pDictionary->find(dataType);
        if (mapped == column && info) ShowChoice(selector, info->DataTypeName, dataType);
    }
    return row;
}

void CPageImport::PrepareMatchStep() {
    EnsureDropDowns();
    FillTypeDropDown();
    m_book->LoadTypeMatching();
    m_book->LoadValueMatching();
    m_pTypeList->RemoveAll();
    m_pValueList->RemoveAll();
    m_selectedType.clear();
    m_selectedColumn.clear();
    m_pShowValues->SetVisible(false);
    m_pValueContainer->SetVisible(false);
    // Chosen columns in the workbook's order.
    for (const tstring& column : m_book->HeaderNames()) {
        if (!m_book->ChosenColumns().count(column)) continue;
        CControlUI* row = NewTypeRow(column);
        m_pManager->SendNotify(SelectorOf(row), "value_changed", 0, 0, false);
    }
}

void CPageImport::OnTypeRowSelected() {
    CControlUI* row = m_pTypeList->GetItemAt(m_pTypeList->GetCurSel());
    if (!row) return;
    m_selectedType = SelectorOf(row)->GetUserData().str();
    m_selectedColumn = row->GetUserData().str();
    m_pValueList->RemoveAll();
    const bool bLookup = LookupType(m_selectedType) != nullptr;
    m_pShowValues->SetVisible(bLookup);
    if (!bLookup) {
        m_pValueContainer->SetVisible(false);
        SetRowStatus(row, kMatchIgnore);
        return;
    }
    ShowValueMatching();
}

void CPageImport::ShowValueMatching() {
    m_pValueList->RemoveAll();
    const bool bShown = m_pShowValues->IsSelected() && LookupType(m_selectedType);
    m_pValueContainer->SetVisible(bShown);
    if (!bShown) return;
    FillValueDropDown(m_selectedType);
    const ExcelImportBook::column_set_t values = m_book->DistinctValues(m_selectedColumn);
    m_distinctValues.assign(values.begin(), values.end());
    m_valueRowsShown = 0;
    m_valuesMatched = 0;
    m_allValuesShown = false;
    ShowMoreValues();
}

int CPageImport::ValueRowCount() const {
    const int count = m_pValueList->GetCount();
    const bool bMoreRow = count > 0 &&
        m_pManager->FindSubControlByName(m_pValueList->GetItemAt(count - 1), "import_match_data_show_more");
    return bMoreRow ? count - 1 : count;
}

void CPageImport::ShowMoreValues() {
    if (ValueRowCount() != m_pValueList->GetCount())
        m_pValueList->RemoveAt(m_pValueList->GetCount() - 1);
    const auto matchesOfType = m_book->ValueMatching().find(m_selectedType);
    const int end = std::min<int>(m_valueRowsShown + kValueRowsPerShow,
                                  static_cast<int>(m_distinctValues.size()));
    for (; m_valueRowsShown < end; ++m_valueRowsShown) {
        const tstring& text = m_distinctValues[m_valueRowsShown];
        auto* row = static_cast<CContainerUI*>(
            m_templates.CreateSet("match_data_list_item", m_pBuilderCallback, m_pManager));
        row->SetUserData(text.c_str());
        m_pValueList->Add(row);
        row->GetItemAt(kCellText)->SetText(text.c_str());
        CComboUnionUI* selector = SelectorOf(row);
        selector->SetDropDown(&m_valueDropDown);
        if (matchesOfType == m_book->ValueMatching().end()) continue;
        const auto match = matchesOfType->second.find(text);
        if (match == matchesOfType->second.end()) continue;
        ShowChoice(selector, match->second, "");
        ++m_valuesMatched;
    }
    m_allValuesShown = m_valueRowsShown >= static_cast<int>(m_distinctValues.size());
    if (!m_allValuesShown)
        m_pValueList->Add(m_templates.CreateSet("import_match_data_show_more", m_pBuilderCallback, m_pManager));
    UpdateSelectedRowStatus();
}

void CPageImport::UpdateSelectedRowStatus() {
    CControlUI* row = m_pTypeList->GetItemAt(m_pTypeList->GetCurSel());
    if (!row || !LookupType(m_selectedType)) return;
    if (!m_allValuesShown)
        SetRowStatus(row, kMatchUnknown);
    else
        SetRowStatus(row, m_valuesMatched == m_valueRowsShown ? kMatchSuccess : kMatchError);
}

void CPageImport::OnValueChanged(CComboUnionUI* combo) {
    CControlUI* row = combo->GetParent();
    if (!row) return;
    if (m_pTypeList->GetItemIndex(row) >= 0) OnTypeSelectorChanged(combo);
    else if (m_pValueList->GetItemIndex(row) >= 0) OnValueSelectorChanged(combo);
}

void CPageImport::OnTypeSelectorChanged(CComboUnionUI* combo) {
    CControlUI* row = combo->GetParent();
    if (m_pTypeList->GetItemIndex(row) == m_pTypeList->GetCurSel()) {
        OnTypeRowSelected();
        return;
    }
    SetRowStatus(row, LookupType(combo->GetUserData().str()) ? kMatchUnknown : kMatchIgnore);
}

void CPageImport::OnValueSelectorChanged(CComboUnionUI* combo) {
    const tstring cellText = combo->GetParent()->GetUserData().str();
    const auto matches = m_book->ValueMatching().find(m_selectedType);
    if (matches != m_book->ValueMatching().end() && matches->second.count(cellText)) {
        m_book->RemoveValueMatch(m_selectedType, cellText);
        --m_valuesMatched;
    }
    const tstring chosen = combo->GetText().str();
    if (!chosen.empty() && m_book->SetValueMatch(m_selectedType, chosen, cellText)) ++m_valuesMatched;
    UpdateSelectedRowStatus();
}

void CPageImport::MatchTypesByName() {
    bool bAny = false;
    bool bUnmatched = false;
    for (int i = 0; i < m_pTypeList->GetCount(); ++i) {
        CControlUI* row = m_pTypeList->GetItemAt(i);
        CComboUnionUI* selector = SelectorOf(row);
        if (!selector->GetText().IsEmpty()) continue;
        bUnmatched = true;
        for (const data_type_info_t* info : m_pDictionary->all_columns()) {
            if (info->ReadOnly != 0 || info->DataTypeName != row->GetUserData().str()) continue;
            ShowChoice(selector, info->DataTypeName, info->DataType);
            m_book->TypeMatching()[info->DataType] = row->GetUserData().str();
            SetRowStatus(row, LookupType(info->DataType) ? kMatchUnknown : kMatchIgnore);
            bAny = true;
            break;
        }
    }
    if (!bUnmatched) ShowMessage("所有字段都已匹配！");
    else if (!bAny) ShowMessage("没有发现相同项目！");
}

void CPageImport::MatchValuesByText() {
    bool bUnmatched = false;
    for (int i = 0; i < ValueRowCount(); ++i)
        bUnmatched = bUnmatched || SelectorOf(m_pValueList->GetItemAt(i))->GetText().IsEmpty();
    if (!bUnmatched) ShowMessage("所有取值都已匹配！");
    else if (!MatchEmptyValueRowsByText()) ShowMessage("没有发现相同项目！");
}

bool CPageImport::MatchEmptyValueRowsByText() {
    const auto values = m_pDictionary->data_map().find(m_selectedType);
    bool bAny = false;
    for (int i = 0; i < ValueRowCount() && values != m_pDictionary->data_map().end(); ++i) {
        CControlUI* row = m_pValueList->GetItemAt(i);
        CComboUnionUI* selector = SelectorOf(row);
        if (!selector->GetText().IsEmpty()) continue;
        const tstring cellText = row->GetUserData().str();
        const auto same = std::find_if(values->second.begin(), values->second.end(),
                                       [&](const common_value_t& v) { return v.second == cellText; });
        if (same == values->second.end() || !m_book->SetValueMatch(m_selectedType, cellText, cellText))
            continue;
        ShowChoice(selector, cellText, std::to_string(same->first));
        ++m_valuesMatched;
        bAny = true;
    }
    UpdateSelectedRowStatus();
    return bAny;
}

void CPageImport::AddCellValueAsCommonValue() {
    CControlUI* row = m_pValueList->GetItemAt(m_pValueList->GetCurSel());
    if (!row || !LookupType(m_selectedType)) {
        ShowMessage("请选择一项excel值");
        return;
    }
    if (m_pValueList->GetCurSel() >= ValueRowCount()) return;
    const tstring cellText = row->GetUserData().str();
    int32_t highest = -1;
    const auto values = m_pDictionary->data_map().find(m_selectedType);
    if (values != m_pDictionary->data_map().end()) {
        for (const common_value_t& value : values->second) {
            if (value.second == cellText) {
                ShowMessage("该值已存在！");
                return;
            }
            highest = std::max(highest, value.first);
        }
    }
    m_pCaller->RequestInsertCommonData(m_selectedType, cellText, highest + 1);
}

void CPageImport::DeleteCommonValue(CControlUI* button) {
    CControlUI* parent = button->GetParent();
    auto* item = parent ? static_cast<CDataListItemUI*>(parent->GetInterface("DataListItem")) : nullptr;
    CListUI* list = m_valueDropDown.GetList();
    if (!item || !list || list->GetItemIndex(item) < 0) return;
    // Deleting a common value also empties it in every record that holds it.
    const tstring dataType = item->GetKey().str();
    const data_type_info_t* info = m_pDictionary->find(dataType);
    const tstring question = "删除取值“" + item->GetValue().str() + "”后，使用它的记录的“" +
                             (info ? info->DataTypeName : dataType) + "”将被清空。确定要删除吗？";
    if (UIMessageBox2(m_pManager->GetPaintWindow(), question.c_str()) != 0) return;
    m_pCaller->RequestDeleteCommonData(dataType, item->GetValue().str(), item->GetValueID());
}

bool CPageImport::OnMatchStepFor(const TaskContext& ctx) const {
    return m_step == kStepMatch && ctx.Get(task_keys::ret).ok &&
           ctx.Get(task_keys::key) == m_selectedType;
}

void CPageImport::OnCommonDataInserted(TaskContext ctx) {
    if (!OnMatchStepFor(ctx) || !m_valueDropDown.GetList()) return;
    AddCommonValueItem(m_selectedType, {ctx.Get(task_keys::id), ctx.Get(task_keys::value)});
    // A cell value just added as a common value is what its row means: it is matched at once.
    MatchEmptyValueRowsByText();
}

void CPageImport::OnCommonDataDeleted(TaskContext ctx) {
    CListUI* list = m_valueDropDown.GetList();
    if (!OnMatchStepFor(ctx) || !list) return;
    const tstring id = std::to_string(ctx.Get(task_keys::id));
    for (int i = list->GetCount() - 1; i >= 0; --i)
        if (list->GetItemAt(i)->GetUserData().str() == id) m_valueDropDown.RemoveItemAt(i);
    const tstring deleted = ctx.Get(task_keys::value);
    for (int i = 0; i < ValueRowCount(); ++i) {
        CComboUnionUI* selector = SelectorOf(m_pValueList->GetItemAt(i));
        if (selector->GetText().str() == deleted) selector->Clear();
    }
    RematchCells(deleted, tstring());
}

void CPageImport::OnCommonDataUpdated(TaskContext ctx) {
    CListUI* list = m_valueDropDown.GetList();
    if (!OnMatchStepFor(ctx) || !list) return;
    const tstring id = std::to_string(ctx.Get(task_keys::id));
    const tstring newText = ctx.Get(task_keys::value);
    for (int i = 0; i < list->GetCount(); ++i) {
        auto* item = static_cast<CDataListItemUI*>(list->GetItemAt(i)->GetInterface("DataListItem"));
        if (!item || item->GetUserData().str() != id) continue;
        const tstring oldText = item->GetValue().str();
        item->SetValue(newText.c_str());
        item->GetItemAt(kCellText)->SetText(newText.c_str());
        for (int r = 0; r < ValueRowCount(); ++r) {
            CComboUnionUI* selector = SelectorOf(m_pValueList->GetItemAt(r));
            if (selector->GetText().str() == oldText) selector->Choose(newText.c_str(), id.c_str());
        }
        RematchCells(oldText, newText);
    }
}

// Cell texts not listed yet follow a renamed common value, or lose the match to a deleted one,
// so the rows shown later and the preview do not offer a value that is gone.
void CPageImport::RematchCells(const tstring& oldValue, const tstring& newValue) {
    const auto matches = m_book->ValueMatching().find(m_selectedType);
    if (matches == m_book->ValueMatching().end()) return;
    std::vector<tstring> cells;
    for (const auto& [cell, value] : matches->second)
        if (value == oldValue) cells.push_back(cell);
    for (const tstring& cell : cells) {
        m_book->RemoveValueMatch(m_selectedType, cell);
        if (!newValue.empty()) m_book->SetValueMatch(m_selectedType, newValue, cell);
    }
}

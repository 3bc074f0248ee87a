#include "pages/page_edit.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/main_wnd.h"
#include "controls/calendar_ui.h"
#include "controls/data_list_text_element_ui.h"
#include "controls/time_period_ui.h"
#include "netsqlite/text_codec.h"
#include "pages/find_sub_control.h"
#include "tasks/db_task_caller.h"
#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"
#include "uilib/style_manager_ui.h"

namespace {

constexpr int kPlateSelectorWidth = 150;
constexpr const char* kPlateKey = "PlateID";
constexpr const char* kPlateSelectorName = "pe_cmb_plateID";
constexpr const char* kCodeKey = "Code";
constexpr const char* kValidFromKey = "ValidFrom";
constexpr const char* kValidUntilKey = "ValidUntil";
// What a text column holds. The edits take more, so that a longer text is refused with a word
// instead of being cut while it is typed or pasted.
constexpr size_t kTextColumnChars = 255;
constexpr UINT kTypedTextChars = 4096;
constexpr const char* kNotSaved = "数据还没有保存，确定要删除吗?";
constexpr const char* kSaved = "保存成功！";
constexpr const char* kSaveFailed = "保存失败！";
constexpr const char* kUnchanged = "没有改动！";
constexpr const char* kPlateExistsText = "车牌号码已存在！";
constexpr const char* kDeleted = "删除成功！";
constexpr const char* kDeleteFailed = "删除失败！";

tstring ValueOf(const value_map_t& values, const tstring& key) {
    const auto found = values.find(key);
    return found == values.end() ? tstring() : found->second;
}

// The plate the vehicle is stored under: the one it was loaded with, whatever has been typed
// into its plate edit since.
tstring StoredPlateOf(const vehicle_info_t& vehicle) {
    return vehicle.stored_plate.empty() ? ValueOf(vehicle.values, kPlateKey) : vehicle.stored_plate;
}

// Leading digits count, like the decimal reading of a stored value; a missing value is -1.
long StoredInteger(const tstring& text) {
    return text.empty() ? -1 : std::strtol(text.c_str(), nullptr, 10);
}

// The whole text read as a 32-bit integer; false when it is anything else.
bool ReadWholeInteger(const tstring& text, long& number) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && number >= INT32_MIN && number <= INT32_MAX;
}

CDuiString IntegerRequired(const data_type_info_t& type) {
    CDuiString message;
    message.Format("%s 必须是一个整数值！", type.DataTypeName.c_str());
    return message;
}

CDuiString TooLong(const data_type_info_t& type) {
    CDuiString message;
    message.Format("%s 不能超过 %d 个字符！", type.DataTypeName.c_str(),
                   static_cast<int>(kTextColumnChars));
    return message;
}

size_t CharacterCount(const tstring& text) {
    const std::string utf8 = GbkToUtf8(text);
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The dates compare as text, over the part both have: a validity until a day ends with it.
bool EndsBeforeItStarts(const tstring& from, const tstring& until) {
    if (from.empty() || until.empty()) return false;
    const size_t common = std::min(from.size(), until.size());
    return from.compare(0, common, until, 0, common) > 0;
}

std::vector<CControlUI*> EditorsOf(CContainerUI* area) {
    std::vector<CControlUI*> editors;
    for (int i = 0; area && i < area->GetCount(); ++i)
        editors.push_back(static_cast<CContainerUI*>(area->GetItemAt(i)->GetInterface("Container"))
                              ->GetItemAt(1));
    return editors;
}

// What the operator sees in an editor. Each editor keeps, as its user data, the state it was
// built or last saved with: an edit is a difference from it.
CDuiString EditorState(CControlUI& editor) {
    if (auto* combo = static_cast<CComboUI*>(editor.GetInterface("Combo")))
        return CDuiString(std::to_string(combo->GetCurSel()).c_str());
    if (auto* option = static_cast<COptionUI*>(editor.GetInterface("Option")))
        return option->IsSelected() ? "1" : "0";
    return editor.GetText();
}

void RestoreSavedState(CControlUI& editor) {
    const CDuiString& saved = editor.GetUserData();
    if (auto* combo = static_cast<CComboUI*>(editor.GetInterface("Combo")))
        combo->SelectItem(std::atoi(saved), false, false);
    else if (auto* option = static_cast<COptionUI*>(editor.GetInterface("Option")))
        option->Selected(saved == "1", false);
    else
        editor.SetText(saved);
}

void MarkSaved(CControlUI& editor) {
    editor.SetUserData(EditorState(editor));
}

bool AreaEdited(CContainerUI* area) {
    for (CControlUI* editor : EditorsOf(area))
        if (EditorState(*editor) != editor->GetUserData()) return true;
    return false;
}

// The plate of the list row a customer is opened from; none when opened otherwise.
tstring PlateOfRow(CControlUI* sender) {
    auto* row =
        sender ? static_cast<CDataListTextElementUI*>(sender->GetInterface("DataListTextElement"))
               : nullptr;
    return row ? row->GetExtraText().str() : tstring();
}

// A control made by the page looks like one of a layout: its element's defaults, then its class.
template <class TControl>
TControl* Styled(TControl* control, LPCTSTR pstrElement, LPCTSTR pstrClass) {
    control->ApplyAttributeList(CStyleManagerUI::Instance()->GetDefaultAttributeList(pstrElement));
    control->ApplyClass(pstrClass);
    return control;
}

}  // namespace

CPageEdit::CPageEdit(CPaintManagerUI* pManager) : CMainTabPageUI("pageedit.xml", pManager) {}

LPCTSTR CPageEdit::GetClass() const {
    return "PageEditUI";
}

void* CPageEdit::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "PageEdit") == 0 ? this : CMainTabPageUI::GetInterface(pstrName);
}

void CPageEdit::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                         db_task_caller* pCaller) {
    CMainTabPageUI::InitPage(pMainWnd, pBuilderCallback, pCaller);
    FindControls();
    RegisterHandlers();
    EnableButtons(false, false);
}

bool CPageEdit::OnShortcut(UINT vk) {
    if (vk != 'S' || !m_pVehicleArea) return false;
    const CControlUI* vehicleCard = m_pVehicleArea->GetParent();
    CControlUI* up = m_pManager ? m_pManager->GetFocus() : nullptr;
    while (up && up != vehicleCard) up = up->GetParent();
    CButtonUI* save = up ? m_pSaveVehicle : m_pSaveCustomer;
    if (save && save->IsEnabled()) save->Activate();
    return true;
}

void CPageEdit::FindControls() {
    m_pNewCustomer = FindSubControlAs<CButtonUI>(this, "btn_new_customer", "Button");
    m_pCustomerArea = FindSubControlAs<CContainerUI>(this, "container_customer_attr", "Container");
    m_pVehicleArea = FindSubControlAs<CContainerUI>(this, "container_vehicle_attr", "Container");
    m_pPlateIds = FindSubControlAs<CContainerUI>(this, "pe_plate_ids", "Container");
    m_pSaveCustomer = FindSubControlAs<CButtonUI>(this, "btn_save_customer", "Button");
    m_pDeleteCustomer = FindSubControlAs<CButtonUI>(this, "btn_delete_customer", "Button");
    m_pNewVehicle = FindSubControlAs<CButtonUI>(this, "btn_new_vehicle", "Button");
    m_pSaveVehicle = FindSubControlAs<CButtonUI>(this, "btn_save_vehicle", "Button");
    m_pDeleteVehicle = FindSubControlAs<CButtonUI>(this, "btn_delete_vehicle", "Button");
}

void CPageEdit::RegisterHandlers() {
    using namespace task_names;
    const auto on = [this](const char* name, void (CPageEdit::*handler)(TaskContext)) {
        RegisterTaskHandler(name, [this, handler](TaskContext ctx) { (this->*handler)(ctx); });
    };
    on(kLoadCustomerByID, &CPageEdit::OnCustomerLoaded);
    on(kLoadCustomerVehicles, &CPageEdit::OnVehiclesLoaded);
    on(kInsertCustomer, &CPageEdit::OnCustomerInserted);
    on(kUpdateCustomer, &CPageEdit::OnCustomerUpdated);
    on(kInsertVehicle, &CPageEdit::OnVehicleInserted);
    on(kUpdateVehicle, &CPageEdit::OnVehicleUpdated);
    on(kDeleteCustomerAndVehicles, &CPageEdit::OnCustomerDeleted);
    on(kDeleteVehicle, &CPageEdit::OnVehicleDeleted);
}

void CPageEdit::Notify(TNotifyUI& msg) {
    if (!m_pCustomerArea || !m_pVehicleArea || !m_pPlateIds) return;
    if (msg.sType == "edit_customer") {
        const auto id = static_cast<int32_t>(msg.wParam);
        const tstring plate = PlateOfRow(msg.pSender);
        AfterAsking(Scope::kAll, [this, id, plate] { OpenCustomer(id, plate); });
        return;
    }
    if (!msg.pSender) return;
    if (msg.sType == "itemselect" && msg.pSender == m_pPlateSelector) {
        OnPlateChosen(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
    } else if (msg.sType == "textchanged" && msg.pSender->GetName() == "pe_edit_plateid" &&
               Contains(msg.pSender)) {
        PlateEdited(msg.pSender->GetText());
    } else if (msg.sType == "click" && Contains(msg.pSender)) {
        const CDuiString& name = msg.pSender->GetName();
        if (name == "btn_new_customer")
            AfterAsking(Scope::kAll, [this] { NewCustomer(); });
        else if (name == "btn_save_customer")
            SaveCustomer();
        else if (name == "btn_new_vehicle")
            AfterAsking(Scope::kVehicle, [this] { NewVehicle(); });
        else if (name == "btn_save_vehicle")
            SaveVehicle();
        else if (name == "btn_delete_customer")
            DeleteCustomer();
        else if (name == "btn_delete_vehicle")
            DeleteVehicle();
    }
}

// --- Unsaved edits ---------------------------------------------------------------------------

bool CPageEdit::HasUnsavedChanges() const {
    return HasChanges(Scope::kAll);
}

bool CPageEdit::AskToLeave(std::function<void()> afterSave) {
    return AskBeforeDropping(Scope::kAll, std::move(afterSave));
}

bool CPageEdit::HasChanges(Scope scope) const {
    return AreaEdited(m_pVehicleArea) || (scope == Scope::kAll && AreaEdited(m_pCustomerArea));
}

bool CPageEdit::AskBeforeDropping(Scope scope, std::function<void()> proceed) {
    if (!HasChanges(scope)) return true;
    switch (UIAskToSave(m_pManager->GetPaintWindow(), "当前修改尚未保存，是否保存？")) {
        case SaveAnswer::kDiscard:
            DiscardChanges(scope);
            return true;
        case SaveAnswer::kSave:
            SaveChangesThen(scope, std::move(proceed));
            return false;
        default:
            return false;
    }
}

void CPageEdit::AfterAsking(Scope scope, std::function<void()> action) {
    if (AskBeforeDropping(scope, action)) action();
}

// The customer first: a new customer must be stored before its vehicle.
void CPageEdit::SaveChangesThen(Scope scope, std::function<void()> proceed) {
    m_afterSave = nullptr;
    const auto next = [this, scope, proceed] { SaveChangesThen(scope, proceed); };
    if (scope == Scope::kAll && AreaEdited(m_pCustomerArea)) {
        if (SaveCustomer()) m_afterSave = next;
    } else if (AreaEdited(m_pVehicleArea)) {
        if (SaveVehicle()) m_afterSave = next;
    } else {
        proceed();
    }
}

void CPageEdit::DiscardChanges(Scope scope) {
    if (scope == Scope::kAll)
        for (CControlUI* editor : EditorsOf(m_pCustomerArea)) RestoreSavedState(*editor);
    for (CControlUI* editor : EditorsOf(m_pVehicleArea)) RestoreSavedState(*editor);
    // A typed plate has gone into the selector and the vehicle as well.
    if (CControlUI* plate = m_pManager->FindSubControlByName(m_pVehicleArea, "pe_edit_plateid"))
        PlateEdited(plate->GetText());
}

void CPageEdit::OnPlateChosen(int chosen, int shown) {
    // The rows still show the vehicle chosen before; they stay until its edits are settled.
    if (shown >= 0 && HasChanges(Scope::kVehicle)) {
        m_pPlateSelector->SelectItem(shown, false, false);
        AfterAsking(Scope::kVehicle, [this, chosen] {
            if (m_pPlateSelector && chosen < m_pPlateSelector->GetCount())
                m_pPlateSelector->SelectItem(chosen);
        });
        return;
    }
    ShowSelectedVehicle();
}

void CPageEdit::BeginWrite(CContainerUI* area) {
    m_writing = true;
    m_writtenEditors = EditorsOf(area);
    m_marksBeforeWrite.clear();
    for (CControlUI* editor : m_writtenEditors) {
        m_marksBeforeWrite.push_back(editor->GetUserData());
        MarkSaved(*editor);
    }
}

void CPageEdit::EndWrite(bool bSaved) {
    m_writing = false;
    // Editors rebuilt meanwhile are other ones, whatever their addresses were.
    const bool sameEditors = m_writtenEditors == EditorsOf(m_pCustomerArea) ||
                             m_writtenEditors == EditorsOf(m_pVehicleArea);
    if (!bSaved && sameEditors) {
        for (size_t i = 0; i < m_writtenEditors.size(); ++i)
            m_writtenEditors[i]->SetUserData(m_marksBeforeWrite[i]);
    }
    m_writtenEditors.clear();
    std::function<void()> next;
    next.swap(m_afterSave);
    if (bSaved && next) next();
}

// --- Editors ---------------------------------------------------------------------------------

std::vector<const data_type_info_t*> CPageEdit::EditableTypes(int32_t category) const {
    std::vector<const data_type_info_t*> types;
    for (const data_type_info_t* type : m_pDictionary->all_columns())
        if (type->ReadOnly == 0 && type->DataTypeCategory == category) types.push_back(type);
    return types;
}

void CPageEdit::BuildEditorRows(CContainerUI* area, int32_t category, const value_map_t& values) {
    for (const data_type_info_t* type : EditableTypes(category)) {
        auto* row = Styled(new CHorizontalLayoutUI, "HorizontalLayout", "edit_element");
        auto* label = Styled(new CLabelUI, "Label", "label_edit");
        label->SetText((type->DataTypeName + "：").c_str());
        area->Add(row);
        row->Add(label);
        CControlUI* editor = CreateEditor(*type, ValueOf(values, type->DataType));
        row->Add(editor);
        MarkSaved(*editor);
    }
}

CControlUI* CPageEdit::CreateEditor(const data_type_info_t& type, const tstring& value) const {
    switch (type.Type) {
        case kTypeLookup: {
            auto* combo = Styled(new CComboUI, "Combo", "combo_default");
            const auto values = m_pDictionary->data_map().find(type.DataType);
            if (values == m_pDictionary->data_map().end()) return combo;
            for (const common_value_t& common : values->second) {
                auto* item = new CListLabelElementUI;
                item->SetText(common.second.c_str());
                // Saved by id, so a value renamed on the configuration page meanwhile is kept.
                item->SetTag(static_cast<UINT_PTR>(static_cast<uint32_t>(common.first)));
                combo->Add(item);
                if (common.first == StoredInteger(value))
                    combo->SelectItem(combo->GetCount() - 1, false, false);
            }
            return combo;
        }
        case kTypeDate:
        case kTypeDateTime: {
            auto* calendar =
                Styled(new CCalendarUI, "Calendar",
                       type.Type == kTypeDate ? "calender_dateonly" : "calender_default");
            calendar->SetText(value.c_str());
            return calendar;
        }
        case kTypeYesNo: {
            auto* option = Styled(new COptionUI, "Option", "option_check_defualt");
            option->Selected(StoredInteger(value) == 1, false);
            return option;
        }
        case kTypePeriod: {
            auto* period = Styled(new CTimePeriodUI, "TimePeriod", "edit_default");
            period->SetText(value.c_str());
            return period;
        }
        default: {
            auto* edit = Styled(new CEditUI, "Edit", "edit_default");
            edit->SetMaxChar(kTypedTextChars);
            edit->SetText(value.c_str());
            if (type.DataType == kPlateKey) edit->SetName("pe_edit_plateid");
            return edit;
        }
    }
}

bool CPageEdit::ReadEditors(CContainerUI* area, int32_t category, value_map_t& values) const {
    const std::vector<const data_type_info_t*> types = EditableTypes(category);
    for (size_t i = 0; i < types.size() && static_cast<int>(i) < area->GetCount(); ++i) {
        const data_type_info_t& type = *types[i];
        const CContainerUI* row = static_cast<CContainerUI*>(area->GetItemAt(static_cast<int>(i)));
        CControlUI* editor = row->GetItemAt(1);
        const tstring text = editor->GetText().str();
        switch (type.Type) {
            case kTypeText:
            case kTypeTimestamp:
                if (CharacterCount(text) > kTextColumnChars) {
                    Refuse(editor, TooLong(type));
                    return false;
                }
                values[type.DataType] = text;
                break;
            case kTypeDate:
            case kTypeDateTime:
            case kTypePeriod:
                values[type.DataType] = text;
                break;
            case kTypeLookup:
                values[type.DataType] = std::to_string(ChosenValueId(type, *editor));
                break;
            case kTypeInteger: {
                // Empty is no value (-1); anything but a whole integer stops the save, so a
                // typing slip never overwrites the stored number.
                long number = -1;
                if (!text.empty() && !ReadWholeInteger(text, number)) {
                    Refuse(editor, IntegerRequired(type));
                    return false;
                }
                if (!text.empty() && number == -1) ShowMessage(IntegerRequired(type));
                values[type.DataType] = std::to_string(number);
                break;
            }
            case kTypeYesNo:
                values[type.DataType] =
                    static_cast<COptionUI*>(editor->GetInterface("Option"))->IsSelected() ? "1"
                                                                                          : "0";
                break;
            default:
                break;
        }
    }
    return true;
}

bool CPageEdit::CheckValidity(const value_map_t& values) const {
    const auto from = m_pDictionary->data_info().find(kValidFromKey);
    const auto until = m_pDictionary->data_info().find(kValidUntilKey);
    if (from == m_pDictionary->data_info().end() || until == m_pDictionary->data_info().end())
        return true;
    if (!EndsBeforeItStarts(ValueOf(values, kValidFromKey), ValueOf(values, kValidUntilKey)))
        return true;
    CDuiString message;
    message.Format("%s不能晚于%s！", from->second.DataTypeName.c_str(),
                   until->second.DataTypeName.c_str());
    Refuse(EditorOf(m_pVehicleArea, kCategoryVehicle, kValidUntilKey), message);
    return false;
}

CControlUI* CPageEdit::EditorOf(CContainerUI* area, int32_t category,
                                const tstring& dataType) const {
    const std::vector<const data_type_info_t*> types = EditableTypes(category);
    const std::vector<CControlUI*> editors = EditorsOf(area);
    for (size_t i = 0; i < types.size() && i < editors.size(); ++i)
        if (types[i]->DataType == dataType) return editors[i];
    return nullptr;
}

void CPageEdit::Refuse(CControlUI* field, LPCTSTR pstrText) const {
    ShowMessage(pstrText);
    if (field) field->SetFocus();
}

// The id of the value chosen, or -1 for none; a value deleted since the editor was built is none,
// so its freed id is never written back.
int32_t CPageEdit::ChosenValueId(const data_type_info_t& type, CControlUI& editor) const {
    auto* combo = static_cast<CComboUI*>(editor.GetInterface("Combo"));
    const int chosen = combo ? combo->GetCurSel() : -1;
    if (chosen < 0) return -1;
    const auto id = static_cast<int32_t>(static_cast<uint32_t>(combo->GetItemAt(chosen)->GetTag()));
    const auto common = m_pDictionary->data_map().find(type.DataType);
    if (common == m_pDictionary->data_map().end()) return -1;
    for (const common_value_t& candidate : common->second)
        if (candidate.first == id) return id;
    return -1;
}

// --- Loading ---------------------------------------------------------------------------------

void CPageEdit::OpenCustomer(int32_t id, const tstring& plate) {
    m_plateToShow = plate;
    m_pCaller->RequestLoadCustomerByID(id);
}

void CPageEdit::OnCustomerLoaded(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) {
        ShowMessage("加载数据失败！");
        return;
    }
    const customer_info_t& customer = ctx.Get(task_keys::row);
    m_newVehicleCounter = 0;
    m_pCustomerArea->RemoveAll();
    if (m_pMainWnd) m_pMainWnd->SelectNavOption(2);
    m_currentCustomer = customer.CustomerID;
    BuildEditorRows(m_pCustomerArea, kCategoryCustomer, customer.values);
    // Until its vehicles arrive nothing of the previous customer's may be saved for this one.
    EmptyVehicleArea();
    EnableButtons(false, false);
    // Opened from the list, whose grid is hidden now: the keyboard comes to the first field.
    if (!Contains(m_pManager->GetFocus())) FocusEditor(m_pCustomerArea);
    m_pCaller->RequestLoadCustomerVehicles(m_currentCustomer);
}

void CPageEdit::OnVehiclesLoaded(TaskContext ctx) {
    m_pPlateIds->RemoveAll();
    m_pPlateSelector = nullptr;
    const vehicle_list_t& vehicles = ctx.Get(task_keys::vehicles);
    if (!ctx.Get(task_keys::ret).ok || vehicles.empty()) {
        ClearVehicleArea();
        EnableButtons(true, false);
        return;
    }
    m_vehicles = vehicles;
    CreatePlateSelector();
    int shown = 0;
    for (const vehicle_info_t& vehicle : m_vehicles) {
        if (ValueOf(vehicle.values, kPlateKey) == m_plateToShow)
            shown = m_pPlateSelector->GetCount();
        AddPlateItem(ValueOf(vehicle.values, kPlateKey));
    }
    m_pPlateSelector->SelectItem(shown);
    EnableButtons(true, true);
}

void CPageEdit::CreatePlateSelector() {
    m_pPlateIds->RemoveAll();
    m_pPlateSelector = Styled(new CComboUI, "Combo", "combo_default");
    m_pPlateSelector->SetName(kPlateSelectorName);
    m_pPlateSelector->SetFixedWidth(kPlateSelectorWidth);
    m_pPlateIds->Add(m_pPlateSelector);
}

void CPageEdit::AddPlateItem(const tstring& plate) {
    auto* item = new CListLabelElementUI;
    item->SetText(plate.c_str());
    m_pPlateSelector->Add(item);
}

void CPageEdit::EmptyVehicleArea() {
    m_vehicles.clear();
    m_pVehicleArea->RemoveAll();
    m_pPlateIds->RemoveAll();
    m_pPlateSelector = nullptr;
}

void CPageEdit::ClearVehicleArea() {
    EmptyVehicleArea();
    if (m_currentCustomer == -1) return;
    auto* label = Styled(new CLabelUI, "Label", "label_edit");
    label->SetText("该用户没有对应车辆");
    m_pPlateIds->Add(label);
}

vehicle_info_t* CPageEdit::SelectedVehicle() {
    const int index = m_pPlateSelector ? m_pPlateSelector->GetCurSel() : -1;
    return index >= 0 && index < static_cast<int>(m_vehicles.size()) ? &m_vehicles[index] : nullptr;
}

// The operator may have chosen another vehicle, or another customer, while the write was on its
// way: the saved one is found by what identified it when it was sent.
vehicle_info_t* CPageEdit::SavedVehicle(const vehicle_info_t& saved) {
    if (saved.CustomerID != m_currentCustomer) return nullptr;
    for (vehicle_info_t& vehicle : m_vehicles) {
        if (vehicle.pending == saved.pending && StoredPlateOf(vehicle) == StoredPlateOf(saved))
            return &vehicle;
    }
    return nullptr;
}

void CPageEdit::ShowSelectedVehicle() {
    m_pVehicleArea->RemoveAll();
    // The vehicle at the selected index: two vehicles given the same plate text still show
    // one set of editors, the one the saves read.
    if (const vehicle_info_t* vehicle = SelectedVehicle())
        BuildEditorRows(m_pVehicleArea, kCategoryVehicle, vehicle->values);
}

void CPageEdit::PlateEdited(const CDuiString& text) {
    vehicle_info_t* vehicle = SelectedVehicle();
    if (!vehicle) return;
    CControlUI* item = m_pPlateSelector->GetItemAt(m_pPlateSelector->GetCurSel());
    // The plate the row is stored under, kept from before the first change.
    if (!vehicle->pending && vehicle->stored_plate.empty())
        vehicle->stored_plate = item->GetText().str();
    item->SetText(text);
    m_pPlateSelector->Invalidate();
    vehicle->values[kPlateKey] = text.str();
}

// --- New customer and vehicle ----------------------------------------------------------------

void CPageEdit::NewCustomer() {
    m_newVehicleCounter = 0;
    m_currentCustomer = -1;
    m_pCustomerArea->RemoveAll();
    ClearVehicleArea();
    BuildEditorRows(m_pCustomerArea, kCategoryCustomer, value_map_t());
    EnableButtons(true, false);
    FocusEditor(m_pCustomerArea);
}

void CPageEdit::NewVehicle() {
    if (!m_pPlateSelector) CreatePlateSelector();
    CDuiString plate;
    plate.Format("新车 %d", ++m_newVehicleCounter);
    AddPlateItem(plate.str());
    vehicle_info_t vehicle;
    vehicle.pending = true;
    vehicle.values[kPlateKey] = plate.str();
    m_vehicles.push_back(vehicle);
    m_pPlateSelector->SelectItem(m_pPlateSelector->GetCount() - 1);
    EnableButtons(true, true);
    // The plate is what the operator types first, over the placeholder.
    if (CControlUI* plate = m_pManager->FindSubControlByName(m_pVehicleArea, "pe_edit_plateid"))
        plate->SetFocus();
}

// --- Saves -----------------------------------------------------------------------------------

bool CPageEdit::SaveCustomer() {
    if (m_writing) return false;
    if (m_pCustomerArea->GetCount() == 0) {
        ShowMessage("请在客户列表里选择一项数据，或者新建一个客户再点击保存！");
        return false;
    }
    customer_info_t info;
    info.CustomerID = m_currentCustomer;
    if (!ReadEditors(m_pCustomerArea, kCategoryCustomer, info.values)) return false;
    BeginWrite(m_pCustomerArea);
    if (m_currentCustomer == -1)
        m_pCaller->RequestInsertCustomer(info);
    else
        m_pCaller->RequestUpdateCustomer(info);
    return true;
}

bool CPageEdit::SaveVehicle() {
    if (m_writing) return false;
    if (m_currentCustomer == -1) {
        Refuse(EditorsOf(m_pCustomerArea).empty() ? nullptr : EditorsOf(m_pCustomerArea).front(),
               "请先保存客户信息！");
        return false;
    }
    if (m_pVehicleArea->GetCount() == 0) {
        ShowMessage("请在客户列表里选择一项数据，或者新建一个客户和车辆数据再点击保存！");
        return false;
    }
    const vehicle_info_t* selected = SelectedVehicle();
    if (!selected) {
        ShowMessage("没有车辆需要保存！");
        return false;
    }
    vehicle_info_t info = *selected;
    info.CustomerID = m_currentCustomer;
    if (!ReadEditors(m_pVehicleArea, kCategoryVehicle, info.values)) return false;
    if (ValueOf(info.values, kPlateKey).empty()) {
        Refuse(EditorOf(m_pVehicleArea, kCategoryVehicle, kPlateKey), "请输入车牌号码！");
        return false;
    }
    if (!CheckValidity(info.values)) return false;
    BeginWrite(m_pVehicleArea);
    if (info.pending)
        m_pCaller->RequestInsertVehicle(info);
    else
        m_pCaller->RequestUpdateVehicle(info);
    return true;
}

void CPageEdit::RefuseCustomerWrite(const ret_t& result) {
    if (result.code == kCodeExists)
        Refuse(EditorOf(m_pCustomerArea, kCategoryCustomer, kCodeKey), "客户编号已存在");
    else
        ShowMessage(kSaveFailed);
    EndWrite(false);
}

void CPageEdit::RefuseVehicleWrite(const ret_t& result) {
    if (result.code == kPlateExists)
        Refuse(EditorOf(m_pVehicleArea, kCategoryVehicle, kPlateKey), kPlateExistsText);
    else
        ShowMessage(kSaveFailed);
    EndWrite(false);
}

void CPageEdit::OnCustomerInserted(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) {
        RefuseCustomerWrite(ctx.Get(task_keys::ret));
        return;
    }
    m_currentCustomer = ctx.Get(task_keys::customer_info).CustomerID;
    ShowMessage(kSaved);
    TellListToReload();
    EndWrite(true);
}

// "Unchanged" is stored as shown: what was asked to be saved is saved.
void CPageEdit::OnCustomerUpdated(TaskContext ctx) {
    const ret_t& result = ctx.Get(task_keys::ret);
    if (!result.ok && result.code != kCustomerUnchanged) {
        RefuseCustomerWrite(result);
        return;
    }
    ShowMessage(result.ok ? kSaved : kUnchanged);
    if (result.ok) TellListToReload();
    EndWrite(true);
}

void CPageEdit::OnVehicleInserted(TaskContext ctx) {
    const ret_t& result = ctx.Get(task_keys::ret);
    if (!result.ok) {
        RefuseVehicleWrite(result);
        return;
    }
    if (vehicle_info_t* vehicle = SavedVehicle(ctx.Get(task_keys::vehicle_info))) {
        *vehicle = ctx.Get(task_keys::vehicle_info);
        vehicle->pending = false;
        vehicle->stored_plate.clear();
    }
    ShowMessage(kSaved);
    TellListToReload();
    EndWrite(true);
}

void CPageEdit::OnVehicleUpdated(TaskContext ctx) {
    const ret_t& result = ctx.Get(task_keys::ret);
    if (!result.ok && result.code != kVehicleUnchanged) {
        RefuseVehicleWrite(result);
        return;
    }
    if (result.ok) {
        if (vehicle_info_t* vehicle = SavedVehicle(ctx.Get(task_keys::vehicle_info))) {
            *vehicle = ctx.Get(task_keys::vehicle_info);
            vehicle->stored_plate.clear();
        }
    }
    ShowMessage(result.ok ? kSaved : kUnchanged);
    if (result.ok) TellListToReload();
    EndWrite(true);
}

// --- Deletes ---------------------------------------------------------------------------------

void CPageEdit::ClearCustomer() {
    m_currentCustomer = -1;
    m_pCustomerArea->RemoveAll();
    ClearVehicleArea();
    EnableButtons(false, false);
}

void CPageEdit::DeleteCustomer() {
    if (m_writing) return;
    if (m_currentCustomer == -1) {
        if (Confirm(kNotSaved)) ClearCustomer();
        return;
    }
    if (!Confirm("删除用户也将删除其车辆，确定要删除吗？")) return;
    m_writing = true;
    m_pCaller->RequestDeleteCustomerAndVehicles(m_currentCustomer);
}

void CPageEdit::OnCustomerDeleted(TaskContext ctx) {
    m_writing = false;
    if (!ctx.Get(task_keys::ret).ok) {
        ShowMessage(kDeleteFailed);
        return;
    }
    ShowMessage(kDeleted);
    if (ctx.Get(task_keys::id) == m_currentCustomer) ClearCustomer();
    TellListToReload();
}

void CPageEdit::DeleteVehicle() {
    if (m_writing) return;
    const vehicle_info_t* vehicle = SelectedVehicle();
    if (!vehicle) {
        ShowMessage("没有需要删除的数据！");
        return;
    }
    if (vehicle->pending) {
        if (Confirm(kNotSaved)) RemoveVehicle(m_pPlateSelector->GetCurSel());
        return;
    }
    // A plate typed but not saved names another vehicle, or none.
    const tstring plate = StoredPlateOf(*vehicle);
    if (!Confirm("确定要删除吗?\n客户资料会保留，即使这是其最后一辆车。")) return;
    m_writing = true;
    m_pCaller->RequestDeleteVehicle(plate);
}

void CPageEdit::OnVehicleDeleted(TaskContext ctx) {
    m_writing = false;
    if (!ctx.Get(task_keys::ret).ok) {
        ShowMessage(kDeleteFailed);
        return;
    }
    ShowMessage(kDeleted);
    const tstring& plate = ctx.Get(task_keys::PlateID);
    for (size_t i = 0; i < m_vehicles.size(); ++i) {
        if (m_vehicles[i].pending || StoredPlateOf(m_vehicles[i]) != plate) continue;
        RemoveVehicle(static_cast<int>(i));
        break;
    }
    TellListToReload();
}

void CPageEdit::RemoveVehicle(int index) {
    if (!m_pPlateSelector || index < 0 || index >= static_cast<int>(m_vehicles.size())) return;
    m_vehicles.erase(m_vehicles.begin() + index);
    m_pPlateSelector->RemoveAt(index);
    if (m_vehicles.empty()) {
        ClearVehicleArea();
        EnableButtons(true, false);
    } else {
        // Through "nothing chosen", so that item 0 is shown even when it was chosen already.
        m_pPlateSelector->SelectItem(-1, false, false);
        m_pPlateSelector->SelectItem(0);
    }
}

// --- Buttons and messages --------------------------------------------------------------------

void CPageEdit::EnableButtons(bool bCustomer, bool bVehicle) {
    const CControlUI* focus = m_pManager->GetFocus();
    for (CButtonUI* button : {m_pSaveCustomer, m_pDeleteCustomer, m_pNewVehicle})
        if (button) button->SetEnabled(bCustomer);
    for (CButtonUI* button : {m_pSaveVehicle, m_pDeleteVehicle})
        if (button) button->SetEnabled(bVehicle);
    // A button disabled under the keyboard would leave it nowhere: the one that starts anew
    // takes it.
    CButtonUI* next = bCustomer ? m_pNewVehicle : m_pNewCustomer;
    if (focus && !m_pManager->GetFocus() && next) next->SetFocus();
}

void CPageEdit::FocusEditor(CContainerUI* area) {
    if (area->GetCount() == 0) return;
    static_cast<CContainerUI*>(area->GetItemAt(0)->GetInterface("Container"))
        ->GetItemAt(1)
        ->SetFocus();
}

bool CPageEdit::Contains(const CControlUI* control) const {
    for (; control; control = control->GetParent())
        if (control == this) return true;
    return false;
}

// The answers that report a success (or that nothing needed saving) inform; every other one
// says what failed or was refused.
void CPageEdit::ShowMessage(LPCTSTR pstrText) const {
    const CDuiString text(pstrText);
    const bool fine = text == kSaved || text == kDeleted || text == kUnchanged;
    UIMessageBox(m_pManager->GetPaintWindow(), pstrText, nullptr,
                 fine ? MB_ICONINFORMATION : MB_ICONWARNING);
}

bool CPageEdit::Confirm(LPCTSTR pstrText) {
    return UIMessageBox2(m_pManager->GetPaintWindow(), pstrText) == 0;
}

void CPageEdit::TellListToReload() {
    m_pManager->SendNotify(this, "need_refresh_list");
}

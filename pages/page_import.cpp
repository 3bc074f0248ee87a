#include "pages/page_import.h"

#include <algorithm>
#include <cstring>

#include "settings/config.h"
#include "controls/message_box_ui4.h"
#include "controls/taskbar_notifier.h"
#include "controls/choose_workbook_file.h"
#include "pages/find_sub_control.h"
#include "pages/step_focus.h"
#include "tasks/db_task_caller.h"
#include "uilib/layout_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"
#include "uilib/window_wnd.h"

namespace {

constexpr const char* kLayout = "pageimport.xml";
constexpr size_t kTooltipLimit = 100;

int32_t IntSetting(const char* section, const char* key) {
    CConfig* config = CConfig::Instance();
    return config ? config->GetIntValue(section, key) : kConfigIntAbsent;
}

void SetIntSetting(const char* section, const char* key, int32_t value) {
    if (CConfig* config = CConfig::Instance()) config->SetIntValue(section, key, value);
}

tstring TextSetting(const char* section, const char* key) {
    CConfig* config = CConfig::Instance();
    return config ? config->GetValue(section, key) : tstring();
}

COptionUI* OptionAt(CContainerUI* list, int index) {
    return static_cast<COptionUI*>(list->GetItemAt(index)->GetInterface("Option"));
}

// The bytes of the GB18030 character that starts at text[i]: one, a pair, or four when the
// second byte is a digit.
size_t CharacterBytes(const tstring& text, size_t i) {
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0; };
    if (byte(i) < 0x81) return 1;
    return byte(i + 1) >= '0' && byte(i + 1) <= '9' ? 4 : 2;
}

// "缺少的字段：a,b,c", cut to its first 100 characters and "..." when longer; a character is
// never split.
tstring MissingColumnsTip(const std::vector<tstring>& missing) {
    tstring tip = "缺少的字段：";
    for (size_t i = 0; i < missing.size(); ++i) tip += (i ? "," : "") + missing[i];
    size_t end = 0;
    for (size_t characters = 0; end < tip.size() && characters < kTooltipLimit; ++characters)
        end += CharacterBytes(tip, end);
    return end < tip.size() ? tip.substr(0, end) + "..." : tip;
}

}  // namespace

CPageImport::CPageImport(CPaintManagerUI* pManager)
    : CMainTabPageUI(kLayout, pManager), m_book(std::make_unique<ExcelImportBook>()) {
    m_templates.Load(kLayout);
}

LPCTSTR CPageImport::GetClass() const {
    return "PageImportUI";
}

void* CPageImport::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "PageImport") == 0 ? this : CMainTabPageUI::GetInterface(pstrName);
}

void CPageImport::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                           db_task_caller* pCaller) {
    CMainTabPageUI::InitPage(pMainWnd, pBuilderCallback, pCaller);
    ResetWorkbook();
    FindControls();
    RegisterHandlers();
    FillPageSizes();
    if (!m_pSteps) return;
    m_pSteps->SelectItem(kStepFile);
    m_pPrevButton->SetVisible(false);
    m_pNextButton->SetVisible(m_pSteps->GetCount() > 1);
    PrepareFileStep();
}

void CPageImport::FindControls() {
    m_pSteps = FindSubControlAs<CTabLayoutUI>(this, "import_step_container", "TabLayout");
    m_pShowSteps = FindSubControlAs<COptionUI>(this, "opt_show_import_steps", "Option");
    m_pFileEdit = FindSubControlAs<CControlUI>(this, "edit_excel_file", "Edit");
    m_pPrevButton = FindSubControlAs<CControlUI>(this, "btn_excel_pre", "Button");
    m_pNextButton = FindSubControlAs<CControlUI>(this, "btn_excel_next", "Button");
    m_pColumnOptions = FindSubControlAs<CContainerUI>(this, "import_select_excel_types", "Container");
    m_pColumnsAll = FindSubControlAs<COptionUI>(this, "opt_excel_types_select_all", "Option");
    m_pSheetOptions = FindSubControlAs<CContainerUI>(this, "import_select_sheets", "Container");
    m_pSheetsAll = FindSubControlAs<COptionUI>(this, "opt_excel_sheets_select_all", "Option");
    m_pTypeList = FindSubControlAs<CListUI>(this, "import_list_excel_db_match_type", "List");
    m_pValueList = FindSubControlAs<CListUI>(this, "import_list_excel_db_match_value", "List");
    m_pValueContainer = FindSubControlAs<CControlUI>(
        this, "import_list_excel_db_match_value_container", "Container");
    m_pShowValues = FindSubControlAs<COptionUI>(this, "import_option_show_list", "Option");
    m_pGrid = FindSubControlAs<CListUI>(this, "import_list", "List");
    m_pProgress = FindSubControlAs<CProgressUI>(this, "progressbar", "Progress");
    m_pStartButton = FindSubControlAs<CControlUI>(this, "btn_start_import", "Button");
    m_pStopButton = FindSubControlAs<CControlUI>(this, "btn_stop_import", "Button");
    m_pTickPage = FindSubControlAs<COptionUI>(this, "opt_list_select_all", "Option");
    m_pTickAllPages = FindSubControlAs<COptionUI>(this, "opt_list_select_all_page", "Option");
    m_pFailedOnly = FindSubControlAs<COptionUI>(this, "import_opt_failed_only", "Option");
    m_pNextFailure = FindSubControlAs<CControlUI>(this, "import_btn_next_failure", "Button");
    m_pPageSizeCombo = FindSubControlAs<CComboUI>(this, "import_combo_page_size", "Combo");
    m_pStatusLine = FindSubControlAs<CControlUI>(this, "import_status_line", "Label");
    m_pRecordCount = FindSubControlAs<CControlUI>(this, "import_record_count", "Label");
    m_pCurrentPage = FindSubControlAs<CControlUI>(this, "import_cur_page", "Label");
    m_pPagePrevious = FindSubControlAs<CControlUI>(this, "import_btn_page_pre", "Button");
    m_pPageNext = FindSubControlAs<CControlUI>(this, "import_btn_page_next", "Button");
    m_pGotoPage = FindSubControlAs<CControlUI>(this, "import_btn_goto_page", "Button");
}

void CPageImport::RegisterHandlers() {
    using namespace task_names;
    RegisterTaskHandler(kInsertCommonData, [this](TaskContext ctx) { OnCommonDataInserted(ctx); });
    RegisterTaskHandler(kDeleteCommonData, [this](TaskContext ctx) { OnCommonDataDeleted(ctx); });
    RegisterTaskHandler(kUpdateCommonData, [this](TaskContext ctx) { OnCommonDataUpdated(ctx); });
    // Rows are only sent in batches; a single-row import completes with nothing to show.
    RegisterTaskHandler(kImportRow, [](TaskContext) {});
    RegisterTaskHandler(kImportRows, [this](TaskContext ctx) { OnRowsImported(ctx); });
}

void CPageImport::Notify(TNotifyUI& msg) {
    if (!m_pSteps || !msg.pSender) return;
    CControlUI* sender = msg.pSender;
    const CDuiString& name = sender->GetName();
    if (msg.sType == "click") {
        if (name == "btn_excel_next") GoNext();
        else if (name == "btn_excel_pre") GoPrevious();
        else if (name == "btn_excel_file") ChooseFile();
        else if (name == "import_match_data_show_more") ShowMoreValues();
        else if (name == "import_dm_add_btn") AddCellValueAsCommonValue();
        else if (name == "import_dm_auto_btn") MatchValuesByText();
        else if (name == "import_dm_auto_type_btn") MatchTypesByName();
        else if (name == "delete_import_data_list_item") DeleteCommonValue(sender);
        else if (name == "btn_start_import") OnStartClicked();
        else if (name == "btn_stop_import") OnStopClicked();
        else if (name == "import_btn_next_failure" && PagingFree()) GoToNextFailure();
        else if (name == "import_btn_page_pre" && m_pageIndex > 0) ShowPreviewPage(m_pageIndex - 1);
        else if (name == "import_btn_page_next" && m_pageIndex + 1 < m_pageCount)
            ShowPreviewPage(m_pageIndex + 1);
        else if (name == "import_btn_goto_page") GotoTypedPage();
    } else if (msg.sType == "return") {
        if (name == "import_edit_goto_page" && PagingFree()) GotoTypedPage();
        else if (name == "edit_excel_file" && m_step == kStepFile) GoNext();
    } else if (msg.sType == "option_click") {
        auto* option = static_cast<COptionUI*>(sender->GetInterface("Option"));
        if (sender == m_pColumnsAll) SelectAll(m_pColumnOptions, option->IsSelected());
        else if (sender == m_pSheetsAll) SelectAll(m_pSheetOptions, option->IsSelected());
        else if (sender == m_pShowValues) ShowValueMatching();
        else if (sender == m_pTickPage) TickPage(option->IsSelected());
        else if (sender == m_pTickAllPages) TickAllPages(option->IsSelected());
        else if (name == "opt_import_item") SyncPageTick();
        else if (sender == m_pFailedOnly) {
            FillView(option->IsSelected());
            ShowPreviewPage(0);
        }
    } else if (msg.sType == "itemselect") {
        if (sender == m_pTypeList) OnTypeRowSelected();
        else if (sender == static_cast<CControlUI*>(m_pPageSizeCombo)) OnPageSizeChosen(static_cast<int>(msg.wParam));
    } else if (msg.sType == "value_changed") {
        if (auto* combo = static_cast<CComboUnionUI*>(sender->GetInterface("ComboUnion")))
            OnValueChanged(combo);
    } else if (msg.sType == "delete_combo_union_value") {
        if (auto* combo = static_cast<CComboUnionUI*>(sender->GetInterface("ComboUnion")))
            combo->Clear();
    }
}

// --- Steps -----------------------------------------------------------------------------------

void CPageImport::GoNext() {
    CControlUI* focus = m_pManager->GetFocus();
    bool bValidationFailed = false;
    while (m_step < kStepCount - 1) {
        if (m_ready[m_step] && !ValidateStep(m_step)) {
            bValidationFailed = true;
            break;
        }
        const int next = m_step + 1;
        m_step = next;
        m_ready[next] = PrepareStep(next);
        if (m_ready[next] && !m_autoStep) break;
    }
    if (bValidationFailed && m_autoStep && m_step != kStepFile) {
        // The operator sees neither the step nor its message: back to the start, and a hint.
        m_step = kStepFile;
        ResetWorkbook();
        PrepareFileStep();
        ShowNotice("导入过程出现问题，详细情况请选中\"显示导入高级设置\"查看");
    }
    ShowStep(m_step);
    KeepStepButtonFocus(focus, m_pPrevButton, m_pNextButton, m_pStartButton);
}

void CPageImport::GoPrevious() {
    CControlUI* focus = m_pManager->GetFocus();
    while (m_step > kStepFile) {
        if (m_runState != kIdle) return;
        --m_step;
        if (m_step == kStepFile) {
            ResetWorkbook();
            PrepareFileStep();
        }
        if (m_ready[m_step] && !m_autoStep) break;
    }
    ShowStep(m_step);
    KeepStepButtonFocus(focus, m_pPrevButton, m_pNextButton, m_pStartButton);
}

void CPageImport::ShowStep(int step) {
    const bool bShown = !m_autoStep || step == kStepFile || step == kStepCount - 1;
    if (bShown) m_pSteps->SelectItem(step);
    m_pPrevButton->SetVisible(step != kStepFile);
    m_pNextButton->SetVisible(step != kStepCount - 1);
}

bool CPageImport::PrepareStep(int step) {
    CWaitCursor wait;
    switch (step) {
        case kStepFile: PrepareFileStep(); return true;
        case kStepColumns: PrepareColumnStep(); return true;
        case kStepSheets: return PrepareSheetStep();
        case kStepMatch: PrepareMatchStep(); return true;
        case kStepPreview: LoadRows(); ShowPreviewPage(0); return true;
        default: return false;
    }
}

bool CPageImport::ValidateStep(int step) {
    CWaitCursor wait;
    switch (step) {
        case kStepFile: return ValidateFileStep();
        case kStepColumns: return ValidateColumnStep();
        case kStepSheets: return ValidateSheetStep();
        case kStepMatch: return ValidateMatchStep();
        default: return true;
    }
}

void CPageImport::PrepareFileStep() {
    // Only a stored 0 asks for the steps to be shown.
    m_autoStep = IntSetting("Import", "AutoStep") != 0;
    if (m_pShowSteps) m_pShowSteps->Selected(!m_autoStep, false);
    if (m_pFileEdit) m_pFileEdit->SetText(TextSetting("Import", "FilePath").c_str());
    for (int i = 1; i < kStepCount; ++i) m_ready[i] = false;
}

bool CPageImport::ValidateFileStep() {
    if (!m_book->ExcelAvailable()) {
        ShowMessage("不能初始化excel,请先安装excel！");
        return false;
    }
    const tstring path = m_pFileEdit->GetText().str();
    if (path.empty()) {
        ShowMessage("请选择文件！");
        return false;
    }
    const ret_t opened = m_book->OpenForImport(path);
    if (!opened.ok) {
        ShowMessage(ExcelImportBook::OpenFailureMessage(opened.code));
        return false;
    }
    m_book->ScanSheets();
    m_book->LoadColumnChoice();
    if (m_book->HeaderNames().empty()) {
        ShowMessage("excel表没有字段！");
        return false;
    }
    m_autoStep = !m_pShowSteps->IsSelected();
    SetIntSetting("Import", "AutoStep", m_autoStep ? 1 : 0);
    return true;
}

COptionUI* CPageImport::AddOption(CContainerUI* list, const tstring& text) {
    auto* option = new COptionUI;
    list->Add(option);
    option->SetAttribute("class", "import_excel_type_option");
    option->SetText(text.c_str());
    return option;
}

void CPageImport::SelectAll(CContainerUI* list, bool bSelected) {
    for (int i = 0; i < list->GetCount(); ++i) {
        COptionUI* option = OptionAt(list, i);
        if (option->IsEnabled()) option->Selected(bSelected, false);
    }
}

void CPageImport::PrepareColumnStep() {
    m_pColumnOptions->RemoveAll();
    bool bAll = true;
    for (const tstring& name : m_book->HeaderNames()) {
        const auto chosen = m_book->HeaderChoice().find(name);
        const bool bSelected = chosen != m_book->HeaderChoice().end() && chosen->second;
        AddOption(m_pColumnOptions, name)->Selected(bSelected, false);
        bAll = bAll && bSelected;
    }
    m_pColumnsAll->Selected(bAll, false);
}

bool CPageImport::ValidateColumnStep() {
    m_book->ClearChosenColumns();
    for (int i = 0; i < m_pColumnOptions->GetCount(); ++i) {
        COptionUI* option = OptionAt(m_pColumnOptions, i);
        if (option->IsSelected()) m_book->AddChosenColumn(option->GetText().str());
    }
    const size_t chosen = m_book->ChosenColumns().size();
    if (chosen == 0) {
        ShowMessage("请至少选择一项字段来导入！");
        return false;
    }
    if (chosen <= 2 &&
        !ConfirmUnlessSilenced("选择的比较少，建议选择更多字段，确定要继续吗？", "ExcelColunmTooFew"))
        return false;
    m_book->SaveColumnChoice();
    return true;
}

bool CPageImport::ConfirmUnlessSilenced(LPCTSTR pstrQuestion, const char* settingKey) {
    if (IntSetting("Operation", settingKey) == 0) return true;
    bool bAskAgain = true;
    if (UIMessageBox4(m_pManager->GetPaintWindow(), pstrQuestion, bAskAgain) != 0) return false;
    SetIntSetting("Operation", settingKey, bAskAgain ? 1 : 0);
    return true;
}

std::vector<tstring> CPageImport::MissingColumns(int sheet) const {
    std::vector<tstring> missing;
    const auto present = m_book->SheetColumns().find(sheet);
    for (const tstring& column : m_book->ChosenColumns())
        if (present == m_book->SheetColumns().end() || !present->second.count(column))
            missing.push_back(column);
    return missing;
}

bool CPageImport::PrepareSheetStep() {
    m_pSheetOptions->RemoveAll();
    if (!m_book->MatchSheetsToColumns().ok) return false;
    std::vector<int> lacking(m_book->SheetsWithoutColumns().begin(), m_book->SheetsWithoutColumns().end());
    for (const auto& entry : m_book->SheetColumns()) {
        const int sheet = entry.first;
        if (!MissingColumns(sheet).empty()) {
            lacking.push_back(sheet);
            continue;
        }
        COptionUI* option = AddOption(m_pSheetOptions, m_book->SheetNames()[sheet]);
        option->Selected(true, false);
        option->SetTag(static_cast<UINT_PTR>(sheet));
    }
    std::sort(lacking.begin(), lacking.end());
    for (int sheet : lacking) {
        COptionUI* option = AddOption(m_pSheetOptions, m_book->SheetNames()[sheet]);
        option->SetTag(static_cast<UINT_PTR>(sheet));
        option->SetEnabled(false);
        option->SetToolTip(MissingColumnsTip(MissingColumns(sheet)).c_str());
    }
    m_pSheetsAll->Selected(lacking.empty(), false);
    return true;
}

bool CPageImport::ValidateSheetStep() {
    std::set<int> sheets;
    for (int i = 0; i < m_pSheetOptions->GetCount(); ++i) {
        COptionUI* option = OptionAt(m_pSheetOptions, i);
        if (option->IsSelected() && option->IsEnabled()) sheets.insert(static_cast<int>(option->GetTag()));
    }
    if (sheets.empty()) {
        ShowMessage("请至少选择一个表格来导入！");
        return false;
    }
    m_book->SetChosenSheets(sheets);
    return true;
}

bool CPageImport::ValidateMatchStep() {
    auto& matching = m_book->TypeMatching();
    matching.clear();
    for (int i = 0; i < m_pTypeList->GetCount(); ++i) {
        CControlUI* row = m_pTypeList->GetItemAt(i);
        const tstring dataType = SelectorOf(row)->GetUserData().str();
        if (!dataType.empty()) matching[dataType] = row->GetUserData().str();
    }
    if (!matching.count("PlateID")) {
        ShowMessage("请添加车牌号码!");
        return false;
    }
    if (!matching.count("Code") &&
        !ConfirmUnlessSilenced("你没有添加客户代码，默认将使用车牌号码作为客户代码，要继续吗?",
                               "NoCustomerCodeTooFew"))
        return false;
    m_book->SaveTypeMatching();
    m_book->SaveValueMatching();
    return true;
}

void CPageImport::ChooseFile() {
    const std::vector<UIFileFilter> filters = {
        {"excel文件 *.xls,*.xlsx,*.xlsm,*.ods;", "*.xls;*.xlsx;*.xlsm;*.ods"},
        {"所有文件 *.*", "*.*"}};
    const tstring path = ChooseWorkbookFile(m_pManager->GetPaintWindow(), filters,
                                            m_pFileEdit->GetText().str(), false);
    if (!path.empty()) m_pFileEdit->SetText(path.c_str());
}

void CPageImport::ResetWorkbook() {
    m_run.reset();
    m_book = std::make_unique<ExcelImportBook>();
    m_book->SetDictionary(m_pDictionary);
    m_run = std::make_unique<ImportRun>(*m_book, *m_pDictionary);
}

void CPageImport::ShowMessage(LPCTSTR pstrText) {
    UIMessageBox(m_pManager->GetPaintWindow(), pstrText);
}

void CPageImport::ShowNotice(LPCTSTR pstrText) {
    m_sLastNotice = pstrText;
    m_hNotice = TextTaskbarNotifier::ShowMessage(m_hNotice, pstrText, m_pManager->GetPaintWindow());
}

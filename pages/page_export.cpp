#include "pages/page_export.h"

#include <algorithm>
#include <cstring>

#include "settings/config.h"
#include "controls/choose_workbook_file.h"
#include "pages/find_sub_control.h"
#include "pages/page_list.h"
#include "pages/step_focus.h"
#include "store/data_type_dictionary.h"
#include "tasks/db_task_caller.h"
#include "uilib/button_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/file_dialog.h"
#include "uilib/label_ui.h"
#include "uilib/layout_ui.h"
#include "uilib/message_box.h"

namespace {

const char* const kSettingsSection = "Export";
const char* const kSettingsPath = "FilePath";
const char* const kNoRows = "没有可以导出的数据！";

// Writes of this client that add, remove or move rows of the list.
const char* const kRowWrites[] = {
    task_names::kDeleteRows,     task_names::kDeleteAllRows,  task_names::kMergeRows,
    task_names::kUpdateCustomer, task_names::kUpdateVehicle,  task_names::kInsertCustomer,
    task_names::kInsertVehicle,  task_names::kDeleteVehicle,  task_names::kDeleteCustomerAndVehicles,
    task_names::kImportRow,      task_names::kImportRows};

tstring LastExportPath() {
    CConfig* config = CConfig::Instance();
    return config ? config->GetValue(kSettingsSection, kSettingsPath) : tstring();
}

void RememberExportPath(const tstring& path) {
    if (CConfig* config = CConfig::Instance()) config->SetValue(kSettingsSection, kSettingsPath, path);
}

void ShowControl(CControlUI* control, bool bShow) {
    if (control) control->SetVisible(bShow);
}

void EnableControl(CControlUI* control, bool bEnable) {
    if (control) control->SetEnabled(bEnable);
}

}  // namespace

CPageExport::CPageExport(CPaintManagerUI* pManager) : CMainTabPageUI("pageexport.xml", pManager) {}

LPCTSTR CPageExport::GetClass() const {
    return "PageExportUI";
}

void* CPageExport::GetInterface(LPCTSTR pstrName) {
    if (std::strcmp(pstrName, "PageExport") == 0) return this;
    return CMainTabPageUI::GetInterface(pstrName);
}

void CPageExport::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                           db_task_caller* pCaller) {
    CMainTabPageUI::InitPage(pMainWnd, pBuilderCallback, pCaller);
    FindControls();
    if (m_pPageList) m_pPageList->SetPageLoadedHook([this] { WriteLoadedPage(); });
    // Registered after the list page, so this runs once the list has shown the page.
    RegisterTaskHandler(task_names::kLoadDbRange, [this](TaskContext ctx) { OnPageLoaded(ctx); });
    RegisterTaskHandler(task_names::kGetRowCount, [this](TaskContext ctx) { OnRowCount(ctx); });
    for (const char* write : kRowWrites)
        RegisterTaskHandler(write, [this](TaskContext ctx) { OnRowsWritten(ctx); });
    ShowStep(0);
    if (m_pFileEdit) m_pFileEdit->SetText(LastExportPath().c_str());
    if (m_pDoneMsg) m_pDoneMsg->SetText("");
    ShowControl(m_pOpenFile, false);
}

void CPageExport::FindControls() {
    CControlUI* list = m_pManager->FindControl("pagelist");
    m_pPageList = list ? static_cast<CPageList*>(list->GetInterface("PageList")) : nullptr;
    m_pImportOption = m_pManager->FindControl("sub_option_import");
    m_pFileEdit = FindSubControlAs<CEditUI>(this, "edit_export_excel_file", "Edit");
    m_pBrowse = FindSubControlAs<CButtonUI>(this, "btn_export_excel_file", "Button");
    m_pSteps = FindSubControlAs<CTabLayoutUI>(this, "export_step_container", "TabLayout");
    m_pPre = FindSubControlAs<CButtonUI>(this, "export_btn_excel_pre", "Button");
    m_pNext = FindSubControlAs<CButtonUI>(this, "export_btn_excel_next", "Button");
    m_pSelectedRows = FindSubControlAs<COptionUI>(this, "opt_export_cur_select", "Option");
    m_pCurrentPage = FindSubControlAs<COptionUI>(this, "opt_export_cur_page", "Option");
    m_pWholeList = FindSubControlAs<COptionUI>(this, "opt_export_all", "Option");
    m_pAllColumns = FindSubControlAs<COptionUI>(this, "opt_export_all_columns", "Option");
    m_pProgress = FindSubControlAs<CProgressUI>(this, "export_progressbar", "Progress");
    m_pStart = FindSubControlAs<CButtonUI>(this, "btn_start_export", "Button");
    m_pDoneMsg = FindSubControlAs<CLabelUI>(this, "export_done_msg", "Label");
    m_pOpenFile = FindSubControlAs<CButtonUI>(this, "export_open_file", "Button");
}

void CPageExport::Notify(TNotifyUI& msg) {
    // Enter in the file field goes on, as it does on the import page, and leaves the focus on a
    // control the next step shows.
    if (msg.sType == "return" && msg.pSender == m_pFileEdit && m_pSteps && m_pNext) {
        ShowStep(1);
        m_pNext->SetFocus();
        return;
    }
    if (msg.sType != "click") return;
    if (msg.pSender == m_pBrowse)
        ChooseTargetFile();
    else if (msg.pSender == m_pNext && m_pSteps)
        ShowStep(std::min(m_pSteps->GetCurSel() + 1, m_pSteps->GetCount() - 1));
    else if (msg.pSender == m_pPre && m_pSteps)
        ShowStep(std::max(m_pSteps->GetCurSel() - 1, 0));
    else if (msg.pSender == m_pStart)
        StartExport();
    else if (msg.pSender == m_pOpenFile)
        UIShellOpen(LastExportPath().c_str());
}

// The steps need no preparation and no check: the buttons only move between them.
void CPageExport::ShowStep(int step) {
    if (!m_pSteps) return;
    CControlUI* focus = m_pManager->GetFocus();
    m_pSteps->SelectItem(step);
    ShowControl(m_pPre, step != 0);
    ShowControl(m_pNext, step + 1 < m_pSteps->GetCount());
    KeepStepButtonFocus(focus, m_pPre, m_pNext, m_pStart);
}


void CPageExport::ChooseTargetFile() {
    const tstring start = m_pFileEdit ? m_pFileEdit->GetText().str() : tstring();
    const tstring chosen = ChooseWorkbookFile(m_pManager->GetPaintWindow(),
                                              {{"excel文件 *.xls", "*.xls"}}, start, true);
    if (chosen.empty() || !m_pFileEdit) return;
    m_pFileEdit->SetText(ExportRun::WithXlsSuffix(chosen).c_str());
}

// --- Starting ----------------------------------------------------------------------------------

void CPageExport::StartExport() {
    HWND owner = m_pManager->GetPaintWindow();
    // The result of an earlier export must not stand beside a refusal of this one.
    if (m_pDoneMsg) m_pDoneMsg->SetText("");
    ShowControl(m_pOpenFile, false);
    if (!m_run.ExcelAvailable()) {
        UIMessageBox(owner, "不能初始化excel,请先安装excel！");
        return;
    }
    const tstring path = m_pFileEdit ? m_pFileEdit->GetText().str() : tstring();
    if (path.empty()) {
        UIMessageBox(owner, "请选择要保存的文件！");
        return;
    }
    // Found now rather than after every row has been read.
    if (const char* refusal = ExportRun::TargetRefusal(path)) {
        UIMessageBox(owner, refusal);
        return;
    }
    if (!m_pPageList) return;
    const bool bWholeList = !(m_pSelectedRows && m_pSelectedRows->IsSelected()) &&
                            !(m_pCurrentPage && m_pCurrentPage->IsSelected());
    m_bAllColumns = m_pAllColumns && m_pAllColumns->IsSelected();
    // The rows the list shows were read without its hidden columns.
    if (m_bAllColumns && !bWholeList) {
        UIMessageBox(owner, "导出全部列时只能导出整个客户列表，请返回上一步选择“整个客户列表”！");
        return;
    }
    std::vector<row_info_t> rows;
    if (!bWholeList && !CollectRows(rows)) return;
    if (bWholeList && m_pPageList->GetTotal() == 0) {
        UIMessageBox(owner, kNoRows);
        return;
    }
    if (!ConfirmTarget(path)) return;
    RememberExportPath(path);
    m_target = path;
    // Without a workbook every row would be lost and only the save would say so: stop here.
    if (!m_run.Begin(*m_pDictionary, m_bAllColumns).ok) {
        UIMessageBox(owner, "创建excel表格失败！");
        return;
    }
    SetExporting(true);
    if (bWholeList) {
        StartListWalk();
        return;
    }
    const bool written = m_run.WriteHeader().ok && m_run.WriteRows(rows);
    Finish(written ? Outcome::kDone : Outcome::kWriteFailed);
}

// The selected rows or the shown page; false, said to the operator, when there are none.
bool CPageExport::CollectRows(std::vector<row_info_t>& rows) {
    const bool bSelected = m_pSelectedRows && m_pSelectedRows->IsSelected();
    if (bSelected) {
        m_pPageList->CollectSelectedRows(rows);
    } else {
        rows = m_pPageList->GetRows();
    }
    if (!rows.empty()) return true;
    UIMessageBox(m_pManager->GetPaintWindow(),
                 bSelected ? "客户列表中没有选中的项目，您可以去客户列表选择，或者返回上一步，选择其他导出选项！"
                           : kNoRows);
    return false;
}

bool CPageExport::ConfirmTarget(const tstring& path) {
    return !ExportRun::TargetExists(path) ||
           UIMessageBox2(m_pManager->GetPaintWindow(), "文件已存在，确定要覆盖吗？") == 0;
}

void CPageExport::StartListWalk() {
    m_total = m_pPageList->GetTotal();
    if (m_pProgress) m_pProgress->SetValue(0);
    ShowControl(m_pProgress, true);
    if (!m_run.WriteHeader().ok) {
        Finish(Outcome::kWriteFailed);
        return;
    }
    m_bWalking = true;
    m_restorePage = m_pPageList->GetPageIndex();
    m_pPageList->SetBusy(true, m_bAllColumns ? ListColumns::All : ListColumns::Shown);
    AskForPage(0);
}

bool CPageExport::AskForPage(int page) {
    m_wantedPage = page;
    return m_pPageList->GotoPage(page);
}

// --- Walking the list --------------------------------------------------------------------------

void CPageExport::WriteLoadedPage() {
    if (!m_bWalking) return;
    // The operator went to another page of the list, or a recount there left fewer pages: the
    // walk asks again for its own page, and has read everything when the list no longer has it.
    if (m_pPageList->GetPageIndex() != m_wantedPage) {
        if (!AskForPage(m_wantedPage)) Finish(Outcome::kDone);
        return;
    }
    const std::vector<row_info_t>& rows = m_pPageList->GetRows();
    // A failed load and a page emptied by deletions elsewhere look alike here; OnPageLoaded,
    // which runs next, tells them apart.
    if (rows.empty()) {
        m_bEmptyPageSeen = true;
        return;
    }
    if (!m_run.RowsHoldColumns(rows)) {
        Finish(Outcome::kColumnsHidden);
        return;
    }
    // The list may have shrunk or grown since it was counted: its last page ends the walk too.
    const bool lastPage = m_wantedPage + 1 >= m_pPageList->GetPageCount();
    const bool allRead = m_run.Exported() + static_cast<int>(rows.size()) >= m_total;
    // The next page is read while this one is written: asking leaves the list's rows as they are
    // until that page comes.
    const bool asked = !lastPage && !allRead && AskForPage(m_wantedPage + 1);
    if (!m_run.WriteRows(rows)) {
        Finish(Outcome::kWriteFailed);
        return;
    }
    ShowProgress();
    if (!asked) Finish(Outcome::kDone);
}

void CPageExport::OnPageLoaded(TaskContext ctx) {
    if (!m_bWalking || !m_bEmptyPageSeen) return;
    m_bEmptyPageSeen = false;
    if (ctx.Get(task_keys::ret).code == kDbConnectionLost) {
        Finish(Outcome::kConnectionLost);
        return;
    }
    // A page without rows and a query that failed both read as {false, 0}.
    m_bRecounting = true;
    m_pPageList->ReloadList();
}

// Runs after the list page has taken the count.
void CPageExport::OnRowCount(TaskContext ctx) {
    if (!m_bRecounting) return;
    m_bRecounting = false;
    const ret_t ret = ctx.Get(task_keys::ret);
    const long long rowsBeforeThePage =
        static_cast<long long>(m_wantedPage) * m_pPageList->GetPageSize();
    const bool pageStillThere = ret.ok && ctx.Get(task_keys::count) > rowsBeforeThePage;
    if (ret.code == kDbConnectionLost) {
        Finish(Outcome::kConnectionLost);
        return;
    }
    if (!ret.ok || pageStillThere) {
        Finish(Outcome::kLoadFailed);
        return;
    }
    // Emptied since it was counted: say so, as an empty list at the start does.
    if (m_run.Exported() == 0) UIMessageBox(m_pManager->GetPaintWindow(), kNoRows);
    Finish(Outcome::kDone);
}

// The walk was counted over the list as it stood: a write that adds, removes or moves rows ends it
// rather than export a mix of before and after. Tasks complete in order, so this comes before any
// page read after the write.
void CPageExport::OnRowsWritten(TaskContext ctx) {
    if (m_bWalking && ctx.Get(task_keys::ret).ok) Finish(Outcome::kListChanged);
}

void CPageExport::ShowProgress() {
    if (!m_pProgress) return;
    const long long percent = static_cast<long long>(m_run.Exported()) * 100 / m_total;
    m_pProgress->SetValue(static_cast<int>(std::min(percent, 100LL)));
}

// --- Finishing ---------------------------------------------------------------------------------

void CPageExport::Finish(Outcome outcome) {
    if (m_bWalking) EndListWalk();
    HWND owner = m_pManager->GetPaintWindow();
    if (outcome == Outcome::kConnectionLost)
        UIMessageBox(owner, "与数据库的连接已断开，导出已停止，文件没有保存！");
    else if (outcome == Outcome::kLoadFailed)
        UIMessageBox(owner, "读取客户列表失败，导出已停止，文件没有保存！");
    else if (outcome == Outcome::kListChanged)
        UIMessageBox(owner, "导出时客户列表被修改，导出已停止，文件没有保存，请重新导出！");
    else if (outcome == Outcome::kColumnsHidden)
        UIMessageBox(owner, "导出时客户列表隐藏了要导出的列，导出已停止，文件没有保存，请重新导出！");
    else if (outcome == Outcome::kWriteFailed)
        UIMessageBox(owner, "写入excel表格失败，导出已停止，文件没有保存！请确认磁盘空间足够、"
                            "列表显示的列不超过256列，然后重新导出。");
    else if (m_run.Exported() > 0)
        SaveWorkbook();
    ShowControl(m_pProgress, false);
    SetExporting(false);
}

void CPageExport::EndListWalk() {
    m_bWalking = false;
    m_bEmptyPageSeen = false;
    m_bRecounting = false;
    m_pPageList->SetBusy(false);
    // The list keeps the page count of its last count, so the remembered page still exists.
    m_pPageList->GotoPage(m_restorePage);
}

void CPageExport::SaveWorkbook() {
    if (!m_run.Save(m_target).ok) {
        UIMessageBox(m_pManager->GetPaintWindow(),
                     "保存文件失败，请确认磁盘有足够的空间、文件夹可以写入，然后重新导出！");
        return;
    }
    CDuiString done;
    done.Format("导出已完成，共导出%d行", m_run.Exported());
    if (m_pDoneMsg) m_pDoneMsg->SetText(done);
    ShowControl(m_pOpenFile, true);
}

void CPageExport::SetExporting(bool bExporting) {
    EnableControl(m_pStart, !bExporting);
    EnableControl(m_pImportOption, !bExporting);
}

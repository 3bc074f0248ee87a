#pragma once
// The export page: writes the rows selected in the customer list, the list's current page, or
// the whole list (walked page by page through the list page) to a new .xls workbook.
#include <vector>

#include "app/main_tab_page_ui.h"
#include "store/records.h"
#include "tasks/task_keys.h"
#include "transfer/export_run.h"

class CButtonUI;
class CEditUI;
class CLabelUI;
class COptionUI;
class CPageList;
class CProgressUI;
class CTabLayoutUI;

class CPageExport : public CMainTabPageUI {
public:
    // Builds "pageexport.xml".
    explicit CPageExport(CPaintManagerUI* pManager);

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Finds the controls, installs the page-loaded hook on the list page, shows the first step.
    void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                  db_task_caller* pCaller) override;
    void Notify(TNotifyUI& msg) override;

    // For tests: whether a walk of the whole list is running, and rows written by the last export.
    bool IsWalkingList() const { return m_bWalking; }
    int GetExported() const { return m_run.Exported(); }
    // For tests: a sheet full after fewer rows than an .xls sheet holds.
    void SetRowsPerSheet(int rows) { m_run.SetRowsPerSheet(rows); }

private:
    // How an export ends: written and saved, or stopped with nothing replacing the target.
    enum class Outcome {
        kDone,
        kConnectionLost,
        kLoadFailed,
        kListChanged,
        kColumnsHidden,
        kWriteFailed
    };

    void FindControls();
    void ShowStep(int step);
    void ChooseTargetFile();

    void StartExport();
    bool ConfirmTarget(const tstring& path);
    bool CollectRows(std::vector<row_info_t>& rows);
    void StartListWalk();
    // Asks the list for the page the walk writes next; false when the list has no such page.
    bool AskForPage(int page);
    // The list page's hook: writes the page just loaded and asks for the next one.
    void WriteLoadedPage();
    void OnPageLoaded(TaskContext ctx);
    void OnRowCount(TaskContext ctx);
    void OnRowsWritten(TaskContext ctx);
    void ShowProgress();
    void Finish(Outcome outcome);
    void EndListWalk();
    void SaveWorkbook();
    void SetExporting(bool bExporting);

    ExportRun m_run;
    CPageList* m_pPageList = nullptr;
    CEditUI* m_pFileEdit = nullptr;
    CButtonUI* m_pBrowse = nullptr;
    CTabLayoutUI* m_pSteps = nullptr;
    CButtonUI* m_pPre = nullptr;
    CButtonUI* m_pNext = nullptr;
    COptionUI* m_pSelectedRows = nullptr;
    COptionUI* m_pCurrentPage = nullptr;
    COptionUI* m_pWholeList = nullptr;
    COptionUI* m_pAllColumns = nullptr;
    CProgressUI* m_pProgress = nullptr;
    CButtonUI* m_pStart = nullptr;
    CLabelUI* m_pDoneMsg = nullptr;
    CButtonUI* m_pOpenFile = nullptr;
    CControlUI* m_pImportOption = nullptr;

    int m_total = 0;
    int m_restorePage = 0;
    // The list page the walk asked for last; the operator may show another one meanwhile.
    int m_wantedPage = 0;
    // Where the workbook is saved: the path the operator confirmed at the start.
    tstring m_target;
    // Every data type is written, hidden ones too, not only the list's shown columns.
    bool m_bAllColumns = false;
    bool m_bWalking = false;
    // The list's page-loaded hook saw an empty page; the load's result decides how the walk ends.
    bool m_bEmptyPageSeen = false;
    // An empty page came back without a lost connection: a count of the list tells a list that
    // shrank meanwhile from a page that could not be read.
    bool m_bRecounting = false;
};

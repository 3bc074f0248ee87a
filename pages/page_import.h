#pragma once
// The import page: a five-step wizard (workbook, columns, sheets, matching of columns to data
// types and of lookup texts to common values, preview) whose last step sends the ticked rows to
// the service in batches and marks each row with its result.
#include <memory>
#include <vector>

#include "app/main_tab_page_ui.h"
#include "controls/combo_union_ui.h"
#include "excel/excel_import_book.h"
#include "store/records.h"
#include "tasks/task_keys.h"
#include "transfer/import_run.h"
#include "uilib/dialog_builder.h"

class CComboUI;
class CContainerUI;
class CImportListItemUI;
class CListUI;
class COptionUI;
class CProgressUI;
class CTabLayoutUI;

class CPageImport : public CMainTabPageUI {
public:
    enum Step { kStepFile, kStepColumns, kStepSheets, kStepMatch, kStepPreview, kStepCount };
    enum RunState { kIdle, kRunning, kPauseRequested, kPaused, kStopRequested };
    // Status marks of a type-match row.
    enum MatchStatus { kMatchIgnore, kMatchError, kMatchSuccess, kMatchUnknown };
    static constexpr int kValueRowsPerShow = 20;

    // Builds "pageimport.xml".
    explicit CPageImport(CPaintManagerUI* pManager);

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                  db_task_caller* pCaller) override;
    void Notify(TNotifyUI& msg) override;
    // A run waiting for a batch lost with the connection finishes with what came back.
    void OnReconnectFinished(bool reconnected) override;

    int GetStep() const { return m_step; }
    int GetRunState() const { return m_runState; }
    int GetPageIndex() const { return m_pageIndex; }
    int GetPageCount() const { return m_pageCount; }
    int GetTotalRows() const { return m_totalRows; }
    int GetProcessed() const { return m_run ? m_run->Processed() : 0; }
    int GetSucceeded() const { return m_run ? m_run->Succeeded() : 0; }
    ExcelImportBook& Workbook() { return *m_book; }
    // The text of the last notification the page showed.
    const CDuiString& LastNotice() const { return m_sLastNotice; }
    HWND NoticeWindow() const { return m_hNotice; }
    CComboUnionWnd& TypeDropDown() { return m_typeDropDown; }
    CComboUnionWnd& ValueDropDown() { return m_valueDropDown; }

private:
    // Wizard (page_import.cpp).
    void RegisterHandlers();
    void FindControls();
    void GoNext();
    void GoPrevious();
    void ShowStep(int step);
    bool PrepareStep(int step);
    bool ValidateStep(int step);
    void PrepareFileStep();
    void PrepareColumnStep();
    bool PrepareSheetStep();
    // The chosen columns the sheet lacks, in name order.
    std::vector<tstring> MissingColumns(int sheet) const;
    void PrepareMatchStep();
    bool ValidateFileStep();
    bool ValidateColumnStep();
    bool ValidateSheetStep();
    bool ValidateMatchStep();
    // The question box with its do-not-ask-again tick kept in Operation/settingKey.
    bool ConfirmUnlessSilenced(LPCTSTR pstrQuestion, const char* settingKey);
    void ChooseFile();
    // A new, closed workbook holder with the dictionary.
    void ResetWorkbook();
    COptionUI* AddOption(CContainerUI* list, const tstring& text);
    static void SelectAll(CContainerUI* list, bool bSelected);
    void ShowMessage(LPCTSTR pstrText);
    void ShowNotice(LPCTSTR pstrText);

    // Type and value matching (page_import_match.cpp).
    void EnsureDropDowns();
    void FillTypeDropDown();
    void FillValueDropDown(const tstring& dataType);
    void AddCommonValueItem(const tstring& dataType, const common_value_t& value);
    CControlUI* NewTypeRow(const tstring& column);
    static CComboUnionUI* SelectorOf(CControlUI* row);
    static void SetRowStatus(CControlUI* row, MatchStatus status);
    void OnTypeRowSelected();
    void ShowValueMatching();
    void ShowMoreValues();
    void OnValueChanged(CComboUnionUI* combo);
    void OnValueSelectorChanged(CComboUnionUI* combo);
    void OnTypeSelectorChanged(CComboUnionUI* combo);
    void UpdateSelectedRowStatus();
    void MatchTypesByName();
    void MatchValuesByText();
    // Maps every listed cell value without a match to the common value of equal text; true when
    // any was matched.
    bool MatchEmptyValueRowsByText();
    void AddCellValueAsCommonValue();
    void DeleteCommonValue(CControlUI* button);
    void RematchCells(const tstring& oldValue, const tstring& newValue);
    void OnCommonDataInserted(TaskContext ctx);
    void OnCommonDataDeleted(TaskContext ctx);
    void OnCommonDataUpdated(TaskContext ctx);
    bool OnMatchStepFor(const TaskContext& ctx) const;
    const data_type_info_t* LookupType(const tstring& dataType) const;
    int ValueRowCount() const;

    // Preview and run (page_import_run.cpp).
    void FillPageSizes();
    void LoadRows();
    void FillView(bool bFailedOnly);
    void GoToNextFailure();
    void SetStatusLine(LPCTSTR pstrText);
    void ShowPreviewPage(int pageIndex);
    void RebuildGridHeader();
    CImportListItemUI* NewGridItem(int row);
    CControlUI* NewCell(const data_type_info_t& type, const tstring& text);
    CImportListItemUI* GridItem(int index) const;
    // The row's texts as the operator leaves them in the grid, for m_gridTypes.
    std::vector<tstring> ItemTexts(CImportListItemUI* item) const;
    // No batch is out, so the shown page may change.
    bool PagingFree() const { return m_runState == kIdle || m_runState == kPaused; }
    void UpdatePagingControls();
    void GotoTypedPage();
    void OnPageSizeChosen(int item);
    void TickPage(bool bTicked);
    // "全选本页" shows whether every row of the page is ticked.
    void SyncPageTick();
    void TickAllPages(bool bAllPages);
    void SetRunState(RunState state);
    void OnStartClicked();
    void OnStopClicked();
    void StartRun();
    void TakeBatch();
    void OnRowsImported(TaskContext ctx);
    // The mark of the done row shown by the item; a failure's tip names the cell that refused it.
    void ShowResult(CImportListItemUI* item, int row);
    void FinishRun(bool bFailed);
    bool AllPages() const;

    std::unique_ptr<ExcelImportBook> m_book;
    // The rows of m_book and their results; made with the workbook holder.
    std::unique_ptr<ImportRun> m_run;
    CDialogBuilder m_templates;
    CComboUnionWnd m_typeDropDown;
    CComboUnionWnd m_valueDropDown;
    bool m_dropDownsMade = false;

    int m_step = kStepFile;
    bool m_ready[kStepCount] = {true, false, false, false, false};
    bool m_autoStep = false;
    tstring m_selectedType;
    tstring m_selectedColumn;
    int m_valueRowsShown = 0;
    bool m_allValuesShown = false;
    int m_valuesMatched = 0;
    std::vector<tstring> m_distinctValues;

    // The mapped data types as the grid's cells were made for them: a data type list read again
    // meanwhile must not move a cell's value into another column.
    std::vector<data_type_info_t> m_gridTypes;
    // The rows the preview pages through, by their index in the run's rows.
    std::vector<int> m_view;
    // The position in m_view of the failure last stepped to.
    int m_failureShown = -1;
    // A run has finished on the rows loaded: starting again asks first.
    bool m_runFinished = false;
    int m_totalRows = 0;
    int m_pageSize = 100;
    int m_pageIndex = 0;
    int m_pageCount = 0;
    RunState m_runState = kIdle;
    int m_currentItem = 0;
    int m_rowCounter = 0;
    int m_toProcess = 0;
    std::vector<int> m_batchItems;
    HWND m_hNotice = nullptr;
    CDuiString m_sLastNotice;

    CTabLayoutUI* m_pSteps = nullptr;
    COptionUI* m_pShowSteps = nullptr;
    CControlUI* m_pFileEdit = nullptr;
    CControlUI* m_pPrevButton = nullptr;
    CControlUI* m_pNextButton = nullptr;
    CContainerUI* m_pColumnOptions = nullptr;
    COptionUI* m_pColumnsAll = nullptr;
    CContainerUI* m_pSheetOptions = nullptr;
    COptionUI* m_pSheetsAll = nullptr;
    CListUI* m_pTypeList = nullptr;
    CListUI* m_pValueList = nullptr;
    CControlUI* m_pValueContainer = nullptr;
    COptionUI* m_pShowValues = nullptr;
    CListUI* m_pGrid = nullptr;
    CProgressUI* m_pProgress = nullptr;
    CControlUI* m_pStartButton = nullptr;
    CControlUI* m_pStopButton = nullptr;
    COptionUI* m_pTickPage = nullptr;
    COptionUI* m_pTickAllPages = nullptr;
    COptionUI* m_pFailedOnly = nullptr;
    CControlUI* m_pNextFailure = nullptr;
    CComboUI* m_pPageSizeCombo = nullptr;
    // Found once: looking them up walks every cell of the grid, and they change after each batch.
    CControlUI* m_pStatusLine = nullptr;
    CControlUI* m_pRecordCount = nullptr;
    CControlUI* m_pCurrentPage = nullptr;
    CControlUI* m_pPagePrevious = nullptr;
    CControlUI* m_pPageNext = nullptr;
    CControlUI* m_pGotoPage = nullptr;
};

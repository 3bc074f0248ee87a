#pragma once
// The customer list page: the whitelist as a paged, searchable, sortable grid of customer and
// vehicle rows, with a context menu to edit, delete and merge, and the paging services the
// export page uses to walk the whole list.
#include <functional>
#include <memory>
#include <vector>

#include "app/main_tab_page_ui.h"
#include "store/records.h"
#include "tasks/task_keys.h"

class CButtonUI;
class CComboUI;
class CDataListTextElementUI;
class CDlgDeleteAll;
class CDlgMergeCustomer;
class CEditUI;
class CLabelUI;
class CListUI;
class CMenuWnd;

class CPageList : public CMainTabPageUI, public IMessageFilterUI {
public:
    // Rows per page the operator can choose, in the order the combo lists them.
    static const std::vector<int>& PageSizes();

    // Builds "pagelist.xml".
    explicit CPageList(CPaintManagerUI* pManager);
    ~CPageList() override;

    LPCTSTR GetClass() const override;
    void* GetInterface(LPCTSTR pstrName) override;

    // Finds the controls, fills the page sizes and registers the task handlers. Loads nothing:
    // the first load follows the lookup values ("GetCommonDataMap").
    void InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                  db_task_caller* pCaller) override;
    void Notify(TNotifyUI& msg) override;
    // Loads failed while the connection was gone left the grid empty: the rows come back with it.
    void OnReconnectFinished(bool reconnected) override;
    // Delete on the grid deletes the selected rows; Ctrl+F goes to the search box.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // A page read while the list was hidden is shown when the list is.
    void SetVisible(bool bVisible = true) override;

    // --- Services of the export page ----------------------------------------------------------
    // Shows the zero-based page and queues its load. Refused (false, nothing changes) unless
    // 0 <= index < page count, or index 0 while there are no pages.
    bool GotoPage(int index);
    // Record and page labels and the paging buttons; clamps the page index into the pages.
    void UpdatePageInfo();
    // Queues the load of the current page with the current search, sort and page size.
    void LoadCurrentPage();
    // Appends the rows of the selected grid items, in list order.
    void CollectSelectedRows(std::vector<row_info_t>& rows) const;
    // While busy the page walk belongs to the caller: refresh, go-to, page size, search and
    // sorting are off, the paging buttons too, the page-loaded hook runs after every load, and
    // pages are read with `columns`.
    void SetBusy(bool bBusy, ListColumns columns = ListColumns::Shown);
    void SetPageLoadedHook(std::function<void()> hook);
    int GetTotal() const { return m_total; }
    int GetPageSize() const { return m_pageSize; }
    int GetPageIndex() const { return m_pageIndex; }
    int GetPageCount() const { return m_pageCount; }
    // The rows of the page shown; grid item i shows rows[i].
    const std::vector<row_info_t>& GetRows() const { return m_rows; }
    // The text the grid shows for a row in a column (the export writes the same cells).
    CDuiString CellText(const row_info_t& row, const data_type_info_t& column) const;

    // Counts again with the current search, then loads the current page.
    void ReloadList();

    // For tests: the context menu once built, and the merge and delete-all dialogs while open.
    CMenuWnd* GetContextMenu() const { return m_pMenu.get(); }
    CDlgMergeCustomer* GetMergeDialog() const { return m_pMergeDialog; }
    CDlgDeleteAll* GetDeleteAllDialog() const { return m_pDeleteAllDialog; }

private:
    void FindControls();
    void FillPageSizes();
    void RegisterHandlers();

    // Task completions.
    void OnRowCount(TaskContext ctx);
    void OnPageLoaded(TaskContext ctx);
    void OnCommonDataMap(TaskContext ctx);
    void OnDataTypeUpdated(TaskContext ctx);
    void OnRowsDeleted(TaskContext ctx);
    void OnRowsMerged(TaskContext ctx);
    // A failed read of the data types or lookup values leaves refresh on to ask again.
    void OnDictionaryRead(TaskContext ctx);
    void OnCommonValueChanged(TaskContext ctx);

    // Operator actions.
    CDuiString SearchText() const;
    // One constraint per shown column, each with the whole search text.
    void BuildConstraints();
    void OnSearchChanged();
    void OnPageSizeChosen(int item);
    void OnGotoClicked();
    void StepPage(int delta);
    // How to read page `to` when page `from` is shown: from the rows at their border when the
    // pages are neighbours, from the end for the last page, else by its number.
    page_step_t StepBetween(int from, int to) const;
    void LoadPage(const page_step_t& step);
    void OnSort(const TNotifyUI& msg);
    void ShowContextMenu(POINT ptClient);
    void OnMenuCommand(const CDuiString& command);
    void EditCurrentRow();
    void DeleteSelectedRows();
    void DeleteAllRows();
    void MergeSelectedRows();
    void RefreshClicked();

    void RebuildHeader();
    void NameSearchedColumns();
    // The header's arrows show the order the rows are in.
    void ShowSortOrder();
    void FillGrid(const row_list_t& rows);
    // One grid item per row.
    void BuildGrid();
    void FillCells(CDataListTextElementUI& item, const row_info_t& row) const;
    // Widens the columns to their texts; they share the rest of the list's width.
    void FitColumns();
    int TextWidth(const CDuiString& text, int font, UINT style) const;
    std::vector<int> SelectedItems() const;
    bool IsOurRow(CControlUI* control) const;
    bool HasListFocus() const;
    void EnableControl(CControlUI* control, bool bEnable);
    void EnablePaging(bool bPrevious, bool bNext);

    CListUI* m_pList = nullptr;
    CLabelUI* m_pRecordCount = nullptr;
    CLabelUI* m_pCurPage = nullptr;
    CButtonUI* m_pPagePre = nullptr;
    CButtonUI* m_pPageNext = nullptr;
    CButtonUI* m_pPageFirst = nullptr;
    CButtonUI* m_pPageLast = nullptr;
    CButtonUI* m_pRefresh = nullptr;
    CEditUI* m_pSearch = nullptr;
    CComboUI* m_pPageSizeCombo = nullptr;
    CEditUI* m_pGotoEdit = nullptr;
    CButtonUI* m_pGotoButton = nullptr;
    std::unique_ptr<CMenuWnd> m_pMenu;

    int m_total = 0;
    int m_pageSize = 20;
    int m_pageIndex = 0;
    int m_pageCount = 0;
    constraint_list_t m_constraints;
    sort_type_t m_sortType{0, ""};
    std::vector<row_info_t> m_rows;
    // The page and order the rows were read for.
    int m_rowsPage = -1;
    sort_type_t m_rowsSort{0, ""};
    bool m_bBusy = false;
    // The rows are not in the grid yet.
    bool m_bGridPending = false;
    ListColumns m_columnsRead = ListColumns::Shown;
    bool m_bHeaderBuilt = false;
    std::function<void()> m_pageLoadedHook;

    // Typing queues at most one count at a time: a newer text waits for the one in flight and
    // replaces any text typed meanwhile, and a count for an older text is dropped.
    int m_countsInFlight = 0;
    bool m_bReloadWaiting = false;
    CPaintManagerUI* m_pFilteredManager = nullptr;
    CDlgMergeCustomer* m_pMergeDialog = nullptr;
    CDlgDeleteAll* m_pDeleteAllDialog = nullptr;
};

#include "pages/page_list.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "controls/data_list_text_element_ui.h"
#include "pages/dlg_delete_all.h"
#include "pages/dlg_merge_customer.h"
#include "pages/find_sub_control.h"
#include "tasks/db_task_caller.h"
#include "transfer/export_run.h"
#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/edit_ui.h"
#include "uilib/list_ui.h"
#include "uilib/menu_ui.h"
#include "uilib/message_box.h"
#include "uilib/render_engine.h"

namespace {

constexpr int kDefaultSortWidth = 40;
constexpr int kWideColumnWidth = 150;
constexpr int kColumnWidth = 100;
// A column widens to its longest text on the page, but not past this.
constexpr int kFittedColumnLimit = 360;
// Room for the sort arrow beside a header's name.
constexpr int kSortArrowRoom = 18;

const char* const kSelectRow = "请选择一行数据！";

CDuiString Formatted(const char* format, int a) {
    CDuiString text;
    text.Format(format, a);
    return text;
}

bool SameConstraints(const constraint_list_t& a, const constraint_list_t& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].column != b[i].column || a[i].text != b[i].text) return false;
    return true;
}

const tstring* FindValue(const value_map_t& values, const tstring& key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : &found->second;
}

tstring PlateOf(const row_info_t& row) {
    const tstring* plate = FindValue(row.vehicle.values, "PlateID");
    return plate ? *plate : tstring();
}

// "张伟（C0001）": how the delete question names a customer.
tstring CustomerName(const customer_info_t& customer) {
    const tstring* name = FindValue(customer.values, "Name");
    const tstring* code = FindValue(customer.values, "Code");
    tstring text = name ? *name : tstring();
    if (code && !code->empty()) text += "（" + *code + "）";
    return text;
}

// A customer goes with its last vehicle: the question says so, naming him for a single row.
CDuiString DeleteQuestion(const std::vector<row_info_t>& rows) {
    tstring text = rows.size() == 1 ? "确定要删除这行吗？" : "确定要删除这些行吗？";
    if (rows.size() > 1)
        text += "\n删除客户的最后一辆车时，该客户也将一并删除。";
    else if (PlateOf(rows.front()).empty())
        text += "\n客户“" + CustomerName(rows.front().customer) + "”没有车辆，将被删除。";
    else
        text += "\n若这是客户“" + CustomerName(rows.front().customer) +
                "”的最后一辆车，该客户也将一并删除。";
    return CDuiString(text.c_str());
}

}  // namespace

const std::vector<int>& CPageList::PageSizes() {
    static const std::vector<int> sizes{20, 35, 50, 100, 150, 200, 500};
    return sizes;
}

CPageList::CPageList(CPaintManagerUI* pManager) : CMainTabPageUI("pagelist.xml", pManager) {}

CPageList::~CPageList() {
    if (m_pFilteredManager) m_pFilteredManager->RemoveMessageFilter(this);
}

LPCTSTR CPageList::GetClass() const {
    return "PageListUI";
}

void* CPageList::GetInterface(LPCTSTR pstrName) {
    return std::strcmp(pstrName, "PageList") == 0 ? this : CMainTabPageUI::GetInterface(pstrName);
}

void CPageList::InitPage(CMainWnd* pMainWnd, CDialogBuilderCallbackEx* pBuilderCallback,
                         db_task_caller* pCaller) {
    CMainTabPageUI::InitPage(pMainWnd, pBuilderCallback, pCaller);
    FindControls();
    EnableControl(m_pRefresh, false);
    FillPageSizes();
    UpdatePageInfo();
    RegisterHandlers();
    if (m_pManager && !m_pFilteredManager) {
        m_pFilteredManager = m_pManager;
        m_pManager->AddMessageFilter(this);
    }
    // The operator's usual first move after logging in is a search.
    if (m_pSearch) m_pSearch->SetFocus();
}

void CPageList::OnReconnectFinished(bool reconnected) {
    // An export walking the pages reloads them itself; without a header the data types'
    // second reading brings the rows.
    if (reconnected && m_bHeaderBuilt && !m_bBusy) ReloadList();
}

void CPageList::FindControls() {
    m_pList = FindSubControlAs<CListUI>(this, "customer_list", "List");
    m_pRecordCount = FindSubControlAs<CLabelUI>(this, "pl_record_count", "Label");
    m_pCurPage = FindSubControlAs<CLabelUI>(this, "cur_page", "Label");
    m_pPagePre = FindSubControlAs<CButtonUI>(this, "btn_page_pre", "Button");
    m_pPageNext = FindSubControlAs<CButtonUI>(this, "btn_page_next", "Button");
    m_pPageFirst = FindSubControlAs<CButtonUI>(this, "btn_page_first", "Button");
    m_pPageLast = FindSubControlAs<CButtonUI>(this, "btn_page_last", "Button");
    m_pRefresh = FindSubControlAs<CButtonUI>(this, "btn_refresh_page", "Button");
    m_pSearch = FindSubControlAs<CEditUI>(this, "pl_edit_search", "Edit");
    m_pPageSizeCombo = FindSubControlAs<CComboUI>(this, "pl_combo_page_size", "Combo");
    m_pGotoEdit = FindSubControlAs<CEditUI>(this, "pl_edit_goto_page", "Edit");
    m_pGotoButton = FindSubControlAs<CButtonUI>(this, "pl_btn_goto_page", "Button");
}

void CPageList::FillPageSizes() {
    if (!m_pPageSizeCombo) return;
    for (int size : PageSizes()) {
        auto* item = new CListLabelElementUI;
        item->SetText(Formatted("%d", size));
        m_pPageSizeCombo->Add(item);
    }
}

void CPageList::RegisterHandlers() {
    using namespace task_names;
    RegisterTaskHandler(kOpenDb, [](TaskContext) {});
    RegisterTaskHandler(kLoadDbRange, [this](TaskContext ctx) { OnPageLoaded(ctx); });
    RegisterTaskHandler(kGetRowCount, [this](TaskContext ctx) { OnRowCount(ctx); });
    RegisterTaskHandler(kGetCommonDataMap, [this](TaskContext ctx) { OnCommonDataMap(ctx); });
    RegisterTaskHandler(kDeleteRows, [this](TaskContext ctx) { OnRowsDeleted(ctx); });
    RegisterTaskHandler(kUpdateDataTypeInfo, [this](TaskContext ctx) { OnDataTypeUpdated(ctx); });
    RegisterTaskHandler(kMergeRows, [this](TaskContext ctx) { OnRowsMerged(ctx); });
    RegisterTaskHandler(kDeleteAllRows, [this](TaskContext ctx) { OnRowsDeleted(ctx); });
    // Without the data types there is no header to load rows into; refresh asks for them again.
    RegisterTaskHandler(kGetDataTypeInfo, [this](TaskContext ctx) { OnDictionaryRead(ctx); });
    for (const char* change : {kUpdateCommonData, kInsertCommonData, kDeleteCommonData})
        RegisterTaskHandler(change, [this](TaskContext ctx) { OnCommonValueChanged(ctx); });
}

// --- Paging ----------------------------------------------------------------------------------

void CPageList::ReloadList() {
    ++m_countsInFlight;
    m_pCaller->RequestGetRowCount(m_constraints);
}

void CPageList::LoadCurrentPage() {
    LoadPage(page_step_t());
}

void CPageList::LoadPage(const page_step_t& step) {
    m_pCaller->RequestLoadDbRange(m_pageIndex, m_pageSize, m_constraints, m_sortType, step,
                                  m_columnsRead);
}

// Reading by number skips every row before the page, which takes long deep in a long list.
page_step_t CPageList::StepBetween(int from, int to) const {
    const bool rowsShown = !m_rows.empty() && m_rowsPage == from && m_rowsSort == m_sortType;
    if (rowsShown && to == from + 1) return {1, m_rows.back().list_key, 0};
    if (rowsShown && to == from - 1) return {-1, m_rows.front().list_key, 0};
    if (to > 0 && to == m_pageCount - 1) return {-1, "", m_total - to * m_pageSize};
    return page_step_t();
}

bool CPageList::GotoPage(int index) {
    const bool accepted = index >= 0 && (index < m_pageCount || (index == 0 && m_pageCount == 0));
    if (!accepted) return false;
    const int shown = m_pageIndex;
    m_pageIndex = index;
    UpdatePageInfo();
    LoadPage(StepBetween(shown, m_pageIndex));
    return true;
}

void CPageList::UpdatePageInfo() {
    // A search that finds nothing says so rather than leaving a blank grid with a page number.
    const bool nothingFound = m_pageCount == 0 && !m_constraints.empty();
    if (m_pRecordCount)
        m_pRecordCount->SetText(nothingFound ? CDuiString("没有找到匹配的记录")
                                             : Formatted("共%d条记录", m_total));
    if (nothingFound && m_pCurPage) m_pCurPage->SetText("第0/0页");
    if (m_pageCount == 0) {
        EnablePaging(false, false);
        return;
    }
    if (m_pageIndex < 0) m_pageIndex = 0;
    if (m_pageIndex + 1 > m_pageCount) m_pageIndex = m_pageCount - 1;
    if (m_pCurPage) {
        CDuiString text;
        text.Format("第%d/%d页", m_pageIndex + 1, m_pageCount);
        m_pCurPage->SetText(text);
    }
    const bool single = m_pageCount == 1 || m_bBusy;
    EnablePaging(!single && m_pageIndex > 0, !single && m_pageIndex < m_pageCount - 1);
}

void CPageList::EnablePaging(bool bPrevious, bool bNext) {
    // Enabling comes first, so a button that loses the keyboard can hand it to the other side.
    const std::pair<CControlUI*, bool> buttons[] = {{m_pPagePre, bPrevious},
                                                    {m_pPageFirst, bPrevious},
                                                    {m_pPageNext, bNext},
                                                    {m_pPageLast, bNext}};
    for (const auto& [button, enable] : buttons)
        if (enable) EnableControl(button, true);
    for (const auto& [button, enable] : buttons)
        if (!enable) EnableControl(button, false);
}

void CPageList::StepPage(int delta) {
    const int shown = m_pageIndex;
    m_pageIndex += delta;
    UpdatePageInfo();
    LoadPage(StepBetween(shown, m_pageIndex));
}

void CPageList::OnGotoClicked() {
    // Leading digits give the number; clamped so that no text overflows.
    const long typed = m_pGotoEdit ? std::strtol(m_pGotoEdit->GetText(), nullptr, 10) : 0;
    const int index = static_cast<int>(std::max(-1L, std::min(typed, 1L << 30)) - 1);
    if (!GotoPage(index)) UIMessageBox(m_pManager->GetPaintWindow(), "请输入正确的页码！");
}

void CPageList::OnPageSizeChosen(int item) {
    if (item < 0 || item >= static_cast<int>(PageSizes().size())) return;
    m_pageSize = PageSizes()[item];
    ReloadList();
}

CDuiString CPageList::SearchText() const {
    return m_pSearch ? m_pSearch->GetText() : CDuiString();
}

void CPageList::BuildConstraints() {
    m_constraints = ListSearch(*m_pDictionary, SearchText().str());
}

void CPageList::OnSearchChanged() {
    m_pageIndex = 0;
    BuildConstraints();
    // The count in flight answers an older text: this one follows it, replacing any text typed
    // in between.
    if (m_countsInFlight > 0)
        m_bReloadWaiting = true;
    else
        ReloadList();
}

void CPageList::OnSort(const TNotifyUI& msg) {
    m_sortType = sort_type_t(static_cast<int32_t>(msg.wParam), msg.pSender->GetUserData().str());
    LoadCurrentPage();
}

void CPageList::SetBusy(bool bBusy, ListColumns columns) {
    m_bBusy = bBusy;
    m_columnsRead = bBusy ? columns : ListColumns::Shown;
    if (bBusy) EnableControl(m_pRefresh, false);
    EnableControl(m_pGotoButton, !bBusy);
    EnableControl(m_pPageSizeCombo, !bBusy);
    // A new search or sort would change the rows under a walk that is half done.
    EnableControl(m_pSearch, !bBusy);
    UpdatePageInfo();
}

void CPageList::SetPageLoadedHook(std::function<void()> hook) {
    m_pageLoadedHook = std::move(hook);
}

void CPageList::RefreshClicked() {
    EnableControl(m_pRefresh, false);
    // The header comes with the lookup values, which reload the list once they are read.
    if (m_bHeaderBuilt)
        ReloadList();
    else
        m_pCaller->RequestGetDataTypeInfo();
}

// --- Completions -----------------------------------------------------------------------------

void CPageList::OnRowCount(TaskContext ctx) {
    if (m_countsInFlight > 0) --m_countsInFlight;
    if (m_bReloadWaiting) {
        if (m_countsInFlight == 0) {
            m_bReloadWaiting = false;
            ReloadList();
        }
        return;
    }
    if (!SameConstraints(ctx.Get(task_keys::constraints), m_constraints)) return;
    if (m_pList) m_pList->RemoveAll();
    m_rows.clear();
    if (!ctx.Get(task_keys::ret).ok) {
        // No page load follows: the operator may try again.
        if (!m_bBusy) EnableControl(m_pRefresh, true);
        return;
    }
    m_total = ctx.Get(task_keys::count);
    m_pageCount = static_cast<int>(std::ceil(static_cast<double>(m_total) / m_pageSize));
    UpdatePageInfo();
    if (m_total > 0)
        LoadCurrentPage();
    else if (!m_bBusy)
        EnableControl(m_pRefresh, true);
}

void CPageList::OnPageLoaded(TaskContext ctx) {
    // A page asked for before the search, sort, page or page size changed is not shown.
    if (ctx.Get(task_keys::page_num) != m_pageIndex ||
        ctx.Get(task_keys::page_size) != m_pageSize ||
        ctx.Get(task_keys::sortType) != m_sortType ||
        !SameConstraints(ctx.Get(task_keys::constraints), m_constraints))
        return;
    if (ctx.Get(task_keys::ret).ok)
        FillGrid(ctx.Get(task_keys::rows));
    else
        FillGrid(row_list_t());
    m_rowsPage = m_pageIndex;
    m_rowsSort = m_sortType;
    if (!m_bBusy)
        EnableControl(m_pRefresh, true);
    else if (m_pageLoadedHook)
        m_pageLoadedHook();
}

void CPageList::OnCommonDataMap(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) {
        OnDictionaryRead(ctx);
        return;
    }
    RebuildHeader();
    if (!m_pPageSizeCombo) return;
    // Choosing the entry shown already sends nothing; the reload happens all the same.
    if (m_pPageSizeCombo->GetCurSel() == 0)
        OnPageSizeChosen(0);
    else
        m_pPageSizeCombo->SelectItem(0);
}

void CPageList::OnDataTypeUpdated(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) return;
    RebuildHeader();
    if (SearchText().IsEmpty()) {
        LoadCurrentPage();
        return;
    }
    // The search looks in the shown columns, which may just have changed.
    BuildConstraints();
    ReloadList();
}

void CPageList::OnDictionaryRead(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok && !m_bBusy) EnableControl(m_pRefresh, true);
}

void CPageList::OnCommonValueChanged(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok || !m_pList) return;
    // Lookup cells show the value's text: a renamed, added or removed value shows at once.
    for (int i = 0; i < m_pList->GetCount() && i < static_cast<int>(m_rows.size()); ++i) {
        auto* item = static_cast<CDataListTextElementUI*>(
            m_pList->GetItemAt(i)->GetInterface("DataListTextElement"));
        if (item) FillCells(*item, m_rows[i]);
    }
    FitColumns();
}

void CPageList::OnRowsDeleted(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) {
        UIMessageBox(m_pManager->GetPaintWindow(), "删除失败！");
        return;
    }
    UIMessageBox(m_pManager->GetPaintWindow(), "删除成功！", nullptr, MB_ICONINFORMATION);
    ReloadList();
}

void CPageList::OnRowsMerged(TaskContext ctx) {
    if (!ctx.Get(task_keys::ret).ok) {
        UIMessageBox(m_pManager->GetPaintWindow(), "修改失败！");
        return;
    }
    UIMessageBox(m_pManager->GetPaintWindow(), "修改成功！", nullptr, MB_ICONINFORMATION);
    ReloadList();
}

// --- Grid ------------------------------------------------------------------------------------

void CPageList::RebuildHeader() {
    if (!m_pList) return;
    CListHeaderUI* header = m_pList->GetHeader();
    header->RemoveAll();
    auto addItem = [&](LPCTSTR classes) {
        auto* item = new CListHeaderItemUI;
        m_pList->Add(item);
        item->SetAttribute("class", classes);
        return item;
    };
    CListHeaderItemUI* defaultOrder =
        addItem("list_header_item_default list_header_item_sort_default");
    defaultOrder->SetFixedWidth(kDefaultSortWidth);
    defaultOrder->SetToolTip("恢复默认排序");
    bool sortColumnShown = false;
    for (const data_type_info_t* column : m_pDictionary->shown_columns()) {
        sortColumnShown = sortColumnShown || column->DataType == m_sortType.second;
        CListHeaderItemUI* item = addItem("list_header_item_default_sortable");
        item->SetText(column->DataTypeName.c_str());
        item->SetUserData(column->DataType.c_str());
    }
    // The columns share the list's width; the last, empty item takes none of it.
    addItem("list_header_item_no_sep")->SetMaxWidth(0);
    FitColumns();
    m_bHeaderBuilt = true;
    NameSearchedColumns();
    // Rows sorted by a column no longer shown would be in an order no one can see.
    if (!sortColumnShown) m_sortType = sort_type_t(0, "");
    ShowSortOrder();
}

// The search box names what a search looks in: the shown columns.
void CPageList::NameSearchedColumns() {
    if (!m_pSearch) return;
    tstring tip;
    for (const data_type_info_t* column : m_pDictionary->shown_columns())
        tip += (tip.empty() ? "搜索" : "、") + column->DataTypeName;
    m_pSearch->SetTipValue(tip.empty() ? "" : (tip + "…").c_str());
}

void CPageList::ShowSortOrder() {
    CListHeaderUI* header = m_pList->GetHeader();
    for (int i = 0; i < header->GetCount(); ++i) {
        auto* item =
            static_cast<CListHeaderItemUI*>(header->GetItemAt(i)->GetInterface("ListHeaderItem"));
        if (!item || !item->IsSortable()) continue;
        const bool sorted = item->GetUserData() == m_sortType.second.c_str();
        item->SetSortOrder(sorted ? m_sortType.first : 0);
    }
}

void CPageList::FillGrid(const row_list_t& rows) {
    if (!m_pList) return;
    m_pList->RemoveAll();
    m_rows = rows;
    // The pages an export walks behind another page are built into the grid only if the list is
    // shown meanwhile: building them took a third of the export's time.
    m_bGridPending = m_bBusy && !IsVisible();
    if (!m_bGridPending) BuildGrid();
}

void CPageList::SetVisible(bool bVisible) {
    CMainTabPageUI::SetVisible(bVisible);
    if (IsVisible() && m_bGridPending) {
        m_bGridPending = false;
        BuildGrid();
    }
}

void CPageList::BuildGrid() {
    for (const row_info_t& row : m_rows) {
        auto* item = new CDataListTextElementUI;
        m_pList->Add(item);
        item->SetTag(static_cast<UINT_PTR>(row.customer.CustomerID));
        item->SetExtraText(PlateOf(row).c_str());
        FillCells(*item, row);
    }
    // Measuring every text of every page took most of an export's time; the walk ends by
    // showing the operator's page again, which fits them.
    if (!m_bBusy) FitColumns();
}

// Each data column is at least its type's width, and as wide as its header and the longest text
// of the page need (up to a limit); the list shares what is left among them.
void CPageList::FitColumns() {
    CListHeaderUI* header = m_pList->GetHeader();
    const TListInfoUI* info = m_pList->GetListInfo();
    int c = 0;
    for (const data_type_info_t* type : m_pDictionary->shown_columns()) {
        if (++c >= header->GetCount() - 1) break;
        auto* item = static_cast<CListHeaderItemUI*>(header->GetItemAt(c));
        const bool wide = type->Type == kTypeDateTime || type->Type == kTypeTimestamp;
        const RECT pad = item->GetTextPadding();
        int width = std::max(wide ? kWideColumnWidth : kColumnWidth,
                             TextWidth(item->GetText(), item->GetFont(), DT_SINGLELINE) + pad.left +
                                 pad.right + kSortArrowRoom);
        for (int row = 0; row < m_pList->GetCount(); ++row) {
            auto* cells = static_cast<CListTextElementUI*>(
                m_pList->GetItemAt(row)->GetInterface("ListTextElement"));
            if (cells)
                width =
                    std::max(width, TextWidth(cells->GetText(c), info->nFont, info->uTextStyle) +
                                        info->rcTextPadding.left + info->rcTextPadding.right);
        }
        item->SetMinWidth(std::min(width, kFittedColumnLimit));
    }
    header->NeedUpdate();
}

int CPageList::TextWidth(const CDuiString& text, int font, UINT style) const {
    return text.IsEmpty() ? 0 : CRenderEngine::GetTextSize(m_pManager, text, font, style).cx;
}

void CPageList::FillCells(CDataListTextElementUI& item, const row_info_t& row) const {
    int column = 1;
    for (const data_type_info_t* type : m_pDictionary->shown_columns())
        item.SetText(column++, CellText(row, *type));
}

CDuiString CPageList::CellText(const row_info_t& row, const data_type_info_t& column) const {
    return ListCellText(*m_pDictionary, row, column).c_str();
}

std::vector<int> CPageList::SelectedItems() const {
    return m_pList ? m_pList->GetSelectedItems() : std::vector<int>();
}

void CPageList::CollectSelectedRows(std::vector<row_info_t>& rows) const {
    for (int item : SelectedItems())
        if (item >= 0 && item < static_cast<int>(m_rows.size())) rows.push_back(m_rows[item]);
}

// --- Context menu and its commands -----------------------------------------------------------

void CPageList::ShowContextMenu(POINT ptClient) {
    const std::vector<int> selected = SelectedItems();
    if (selected.empty()) return;
    if (!m_pMenu) {
        auto menu = std::make_unique<CMenuWnd>();
        if (!menu->Init(m_pManager->GetPaintWindow(), "pagelistmenu.xml", this)) return;
        m_pMenu = std::move(menu);
    }
    m_pMenu->EnableItem("menu_merge_customer", selected.size() > 1);
    m_pManager->ClientToScreen(ptClient);
    m_pMenu->Popup(ptClient);
}

void CPageList::OnMenuCommand(const CDuiString& command) {
    if (command == "menu_edit_customer")
        EditCurrentRow();
    else if (command == "menu_delete_customer")
        DeleteSelectedRows();
    else if (command == "menu_delete_all")
        DeleteAllRows();
    else if (command == "menu_merge_customer")
        MergeSelectedRows();
}

void CPageList::EditCurrentRow() {
    const int current = m_pList ? m_pList->GetCurSel() : -1;
    if (current < 0 || current >= static_cast<int>(m_rows.size())) {
        UIMessageBox(m_pManager->GetPaintWindow(), kSelectRow);
        return;
    }
    m_pManager->SendNotify(m_pList->GetItemAt(current), "edit_customer",
                           static_cast<WPARAM>(m_rows[current].customer.CustomerID));
}

void CPageList::DeleteSelectedRows() {
    std::vector<row_info_t> rows;
    CollectSelectedRows(rows);
    if (rows.empty()) {
        UIMessageBox(m_pManager->GetPaintWindow(), kSelectRow);
        return;
    }
    if (UIMessageBox2(m_pManager->GetPaintWindow(), DeleteQuestion(rows)) != 0) return;
    row_key_list_t keys;
    for (const row_info_t& row : rows) keys.emplace_back(row.customer.CustomerID, PlateOf(row));
    m_pCaller->RequestDeleteRows(keys);
}

void CPageList::DeleteAllRows() {
    CDlgDeleteAll dialog(m_total);
    if (!dialog.CreateFromSkin(m_pManager->GetPaintWindow())) return;
    dialog.CenterWindow();
    m_pDeleteAllDialog = &dialog;
    dialog.ShowModal();
    m_pDeleteAllDialog = nullptr;
    if (dialog.GetResult() == 0) m_pCaller->RequestDeleteAllRows();
}

void CPageList::MergeSelectedRows() {
    std::vector<row_info_t> rows;
    CollectSelectedRows(rows);
    if (rows.size() < 2) return;
    const merge_selection_t selection = CollectMergeSelection(rows);
    const HWND owner = m_pManager->GetPaintWindow();
    if (selection.no_vehicle) {
        UIMessageBox(owner, "所选行没有车辆信息！");
        return;
    }
    if (selection.names.size() < 2) {
        UIMessageBox(owner, "所选行只有一个客户！");
        return;
    }
    CDlgMergeCustomer dialog;
    if (!dialog.CreateFromSkin(owner)) return;
    dialog.Fill(selection.names);
    dialog.CenterWindow();
    m_pMergeDialog = &dialog;
    dialog.ShowModal();
    m_pMergeDialog = nullptr;
    if (dialog.GetResult() != 0) return;
    if (MergeMovesVehicles(selection.plates, dialog.GetChosenCustomer()))
        m_pCaller->RequestMergeRows(selection.plates, dialog.GetChosenCustomer());
    else
        UIMessageBox(owner, "没有操作需要执行！");
}

// --- Notifications and keys ------------------------------------------------------------------

bool CPageList::IsOurRow(CControlUI* control) const {
    if (!control || !m_pList) return false;
    auto* row = static_cast<IListItemUI*>(control->GetInterface("ListItem"));
    return row && row->GetOwner() == static_cast<IListOwnerUI*>(m_pList);
}

void CPageList::Notify(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (msg.sType == "need_refresh_list") {
        RefreshClicked();
    } else if (!sender) {
        return;
    } else if (msg.sType == DUI_MSGTYPE_CLICK) {
        if (sender == m_pPagePre) StepPage(-1);
        else if (sender == m_pPageNext) StepPage(1);
        else if (sender == m_pPageFirst) GotoPage(0);
        else if (sender == m_pPageLast) GotoPage(m_pageCount - 1);
        else if (sender == m_pRefresh) RefreshClicked();
        else if (sender == m_pGotoButton) OnGotoClicked();
    } else if (msg.sType == DUI_MSGTYPE_RETURN && sender == m_pGotoEdit) {
        OnGotoClicked();
    } else if (msg.sType == DUI_MSGTYPE_TEXTCHANGED && sender == m_pSearch) {
        OnSearchChanged();
    } else if (msg.sType == DUI_MSGTYPE_ITEMSELECT && sender == m_pPageSizeCombo) {
        OnPageSizeChosen(static_cast<int>(msg.wParam));
    } else if (msg.sType == DUI_MSGTYPE_SORTLIST) {
        auto* item = static_cast<CListHeaderItemUI*>(sender->GetInterface("ListHeaderItem"));
        if (!item || !m_pList || item->GetOwnerList() != m_pList) return;
        // While busy the order stays, and so do the arrows the click has just moved.
        if (m_bBusy)
            ShowSortOrder();
        else
            OnSort(msg);
    } else if (msg.sType == DUI_MSGTYPE_MENU && sender == m_pList) {
        ShowContextMenu(msg.ptMouse);
    } else if (msg.sType == DUI_MSGTYPE_ITEMCLICK && m_pMenu &&
               sender->GetManager() == &m_pMenu->GetPaintManager()) {
        OnMenuCommand(sender->GetName());
    } else if (msg.sType == DUI_MSGTYPE_ITEMACTIVATE && IsOurRow(sender)) {
        EditCurrentRow();
    }
}

bool CPageList::HasListFocus() const {
    CControlUI* focus = m_pManager ? m_pManager->GetFocus() : nullptr;
    return focus && (focus == m_pList || IsOurRow(focus));
}

LRESULT CPageList::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    if (uMsg != WM_KEYDOWN || !IsVisible()) return 0;
    const bool ctrl = (static_cast<UINT>(lParam) & MK_CONTROL) != 0;
    if (ctrl && wParam == 'F' && m_pSearch) {
        m_pSearch->SetFocus();
        bHandled = true;
    } else if (!ctrl && wParam == VK_DELETE && HasListFocus()) {
        DeleteSelectedRows();
        bHandled = true;
    } else if (!ctrl && wParam == VK_RETURN && HasListFocus()) {
        // Enter on the grid edits the current row, as a double click does.
        EditCurrentRow();
        bHandled = true;
    }
    return 0;
}

// A control disabled while it has the keyboard would leave it nowhere: it goes to the other
// paging button when that one still works, else to the grid.
void CPageList::EnableControl(CControlUI* control, bool bEnable) {
    if (!control) return;
    const bool hadKeyboard = !bEnable && control->IsFocused();
    control->SetEnabled(bEnable);
    if (!hadKeyboard) return;
    const bool backwards = control == m_pPagePre || control == m_pPageFirst;
    const bool forwards = control == m_pPageNext || control == m_pPageLast;
    CControlUI* other = backwards ? m_pPageNext : forwards ? m_pPagePre : nullptr;
    if (other && other->IsEnabled())
        other->SetFocus();
    else if (m_pList)
        m_pList->SetFocus();
}

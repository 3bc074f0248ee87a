// The last step of the import wizard: the preview grid of the workbook rows, and the run that
// sends the ticked rows in batches and marks each with its result.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/dialog_builder_callback_ex.h"
#include "controls/list_item_ui.h"
#include "controls/taskbar_notifier.h"
#include "pages/find_sub_control.h"
#include "pages/page_import.h"
#include "store/data_type_dictionary.h"
#include "tasks/db_task_caller.h"
#include "uilib/button_ui.h"
#include "uilib/combo_ui.h"
#include "uilib/list_ui.h"
#include "uilib/message_box.h"

namespace {

constexpr int kPageSizes[] = {100, 200, 300, 400, 500};
// The tick and one result mark: eight columns of the default data types fit the default window.
constexpr int kTickColumnWidth = 64;

CDuiString Formatted(const char* format, int a) {
    CDuiString text;
    text.Format(format, a);
    return text;
}

// The control class and style of a cell that shows and returns its value as text.
std::pair<LPCTSTR, LPCTSTR> TextCellKind(int32_t type) {
    switch (type) {
        case kTypeDate: return {"Calendar", "calender_dateonly_inlist"};
        case kTypeDateTime: return {"Calendar", "calender_inlist"};
        case kTypePeriod: return {"TimePeriod", "timeperiod_inlist"};
        default: return {"EditAbleLabel", nullptr};
    }
}

void EnableControl(CControlUI* control, bool bEnabled) {
    if (control) control->SetEnabled(bEnabled);
}

}  // namespace

void CPageImport::FillPageSizes() {
    if (!m_pPageSizeCombo) return;
    for (int size : kPageSizes) {
        auto* item = new CListLabelElementUI;
        item->SetText(Formatted("%d", size));
        m_pPageSizeCombo->Add(item);
    }
    m_pPageSizeCombo->SelectItem(0, false, false);
}

bool CPageImport::AllPages() const {
    return m_pTickAllPages && m_pTickAllPages->IsSelected();
}

void CPageImport::LoadRows() {
    m_run->LoadRows();
    // Without the steps the operator never saw the values to match: a text that reads as a
    // common value stands for it, where it would otherwise import empty.
    if (m_autoStep) m_run->MatchValuesByText();
    m_runFinished = false;
    SetStatusLine("");
    if (m_pFailedOnly) m_pFailedOnly->Selected(false, false);
    FillView(false);
}

// The rows shown are chosen when the option changes: a run over them keeps them in view.
void CPageImport::FillView(bool bFailedOnly) {
    m_view.clear();
    for (int row = 0; row < m_run->RowCount(); ++row)
        if (!bFailedOnly || m_run->Failed(row)) m_view.push_back(row);
    m_totalRows = static_cast<int>(m_view.size());
    m_failureShown = -1;
    m_pageIndex = 0;
}

void CPageImport::GoToNextFailure() {
    const int shown = static_cast<int>(m_view.size());
    for (int step = 1; step <= shown; ++step) {
        const int position = (m_failureShown + step) % shown;
        if (!m_run->Failed(m_view[position])) continue;
        m_failureShown = position;
        if (position / m_pageSize != m_pageIndex) ShowPreviewPage(position / m_pageSize);
        m_pGrid->SelectItem(position % m_pageSize);
        m_pGrid->EnsureVisible(position % m_pageSize);
        return;
    }
    ShowMessage("没有导入失败的行！");
}

void CPageImport::SetStatusLine(LPCTSTR pstrText) {
    if (m_pStatusLine) m_pStatusLine->SetText(pstrText);
}

void CPageImport::RebuildGridHeader() {
    CListHeaderUI* header = m_pGrid->GetHeader();
    header->RemoveAll();
    auto addItem = [&](LPCTSTR classes, int width) {
        auto* item = new CListHeaderItemUI;
        m_pGrid->Add(item);
        item->SetAttribute("class", classes);
        if (width > 0) item->SetFixedWidth(width);
        return item;
    };
    addItem("list_header_item_default", kTickColumnWidth);
    for (const data_type_info_t& info : m_gridTypes) {
        const bool bWide = info.Type == kTypeDateTime || info.Type == kTypeTimestamp;
        addItem("list_header_item_default", bWide ? 150 : 100)->SetText(info.DataTypeName.c_str());
    }
    addItem("list_header_item_no_sep", 0);
}

CControlUI* CPageImport::NewCell(const data_type_info_t& type, const tstring& text) {
    if (type.Type == kTypeYesNo) {
        CControlUI* option = m_templates.CreateSet("import_list_option", m_pBuilderCallback, m_pManager);
        if (auto* check = static_cast<COptionUI*>(option->GetInterface("Option")))
            check->Selected(ImportRun::IsYes(text), false);
        return option;
    }
    if (type.Type != kTypeLookup) {
        const auto [controlClass, styleClass] = TextCellKind(type.Type);
        CControlUI* cell = m_pBuilderCallback->CreateControl(controlClass, m_pManager);
        if (styleClass) cell->SetAttribute("class", styleClass);
        cell->SetText(text.c_str());
        return cell;
    }
    auto* combo = new CComboUI;
    combo->SetAttribute("class", "list_combo");
    const tstring shown = m_run->MatchedValue(type, text);
    const auto values = m_pDictionary->data_map().find(type.DataType);
    if (values == m_pDictionary->data_map().end()) return combo;
    for (const common_value_t& value : values->second) {
        auto* item = new CListLabelElementUI;
        item->SetText(value.second.c_str());
        combo->Add(item);
        if (value.second == shown) combo->SelectItem(combo->GetCount() - 1, false, false);
    }
    return combo;
}

CImportListItemUI* CPageImport::NewGridItem(int row) {
    CControlUI* control = m_templates.CreateSet("import_list_item", m_pBuilderCallback, m_pManager);
    auto* item = control ? static_cast<CImportListItemUI*>(control->GetInterface("ImportListItem")) : nullptr;
    if (!item) return nullptr;
    m_pGrid->Add(item);
    for (const data_type_info_t& type : m_gridTypes) item->Add(NewCell(type, m_run->CellText(row, type)));
    return item;
}

CImportListItemUI* CPageImport::GridItem(int index) const {
    CControlUI* control = m_pGrid->GetItemAt(index);
    return control ? static_cast<CImportListItemUI*>(control->GetInterface("ImportListItem")) : nullptr;
}

void CPageImport::ShowPreviewPage(int pageIndex) {
    m_pGrid->RemoveAll();
    m_gridTypes = m_run->MappedTypes();
    RebuildGridHeader();
    m_pageCount = (m_totalRows + m_pageSize - 1) / m_pageSize;
    m_pageIndex = std::max(0, std::min(pageIndex, m_pageCount - 1));
    const int first = m_pageIndex * m_pageSize;
    const int end = std::min(first + m_pageSize, m_totalRows);
    for (int position = first; position < end; ++position) {
        const int row = m_view[position];
        CImportListItemUI* item = NewGridItem(row);
        if (!item) {
            ShowMessage("内存不足！");
            break;
        }
        if (m_run->State(row).done) ShowResult(item, row);
        if (AllPages()) {
            item->SetImportChecked(true);
            item->SetImportEnabled(false);
        }
    }
    SyncPageTick();
    UpdatePagingControls();
}

void CPageImport::UpdatePagingControls() {
    if (m_pRecordCount) m_pRecordCount->SetText(Formatted("共%d条记录", m_totalRows));
    if (m_pCurrentPage) {
        CDuiString text;
        text.Format("第%d/%d页", m_pageCount ? m_pageIndex + 1 : 0, m_pageCount);
        m_pCurrentPage->SetText(text);
    }
    // As on the list page: no step past either end, and nothing while a batch is out: its
    // results are marked on the page it was taken from.
    const bool bFree = PagingFree();
    EnableControl(m_pPagePrevious, bFree && m_pageIndex > 0);
    EnableControl(m_pPageNext, bFree && m_pageIndex + 1 < m_pageCount);
    EnableControl(m_pGotoPage, bFree);
    EnableControl(m_pPageSizeCombo, bFree);
    EnableControl(m_pFailedOnly, m_runState == kIdle);
    EnableControl(m_pNextFailure, bFree);
}

void CPageImport::GotoTypedPage() {
    CControlUI* edit = FindSubControlAs<CControlUI>(this, "import_edit_goto_page", "Edit");
    const long page = edit ? std::strtol(edit->GetText().GetData(), nullptr, 10) - 1 : -1;
    if (page < 0 || page >= m_pageCount) {
        ShowMessage("请输入正确的页码！");
        return;
    }
    ShowPreviewPage(static_cast<int>(page));
}

void CPageImport::OnPageSizeChosen(int item) {
    if (item < 0 || item >= static_cast<int>(std::size(kPageSizes))) return;
    m_pageSize = kPageSizes[item];
    if (m_step == kStepPreview) ShowPreviewPage(0);
}

void CPageImport::TickPage(bool bTicked) {
    for (int i = 0; i < m_pGrid->GetCount(); ++i)
        if (CImportListItemUI* item = GridItem(i)) item->SetImportChecked(bTicked);
}

void CPageImport::SyncPageTick() {
    if (AllPages()) return;
    bool bAll = m_pGrid->GetCount() > 0;
    for (int i = 0; i < m_pGrid->GetCount() && bAll; ++i)
        if (CImportListItemUI* item = GridItem(i)) bAll = item->IsImportChecked();
    m_pTickPage->Selected(bAll, false);
}

void CPageImport::TickAllPages(bool bAllPages) {
    if (bAllPages) m_pTickPage->Selected(true, false);
    m_pTickPage->SetEnabled(!bAllPages);
    for (int i = 0; i < m_pGrid->GetCount(); ++i) {
        CImportListItemUI* item = GridItem(i);
        if (!item) continue;
        if (bAllPages) item->SetImportChecked(true);
        item->SetImportEnabled(!bAllPages);
    }
}

// --- The run ---------------------------------------------------------------------------------

void CPageImport::SetRunState(RunState state) {
    m_runState = state;
    CControlUI* exportOption = m_pMainWnd ? FindSubControlAs<CControlUI>(m_pManager->GetRoot(), "sub_option_export", "Option") : nullptr;
    switch (state) {
        case kIdle:
            m_pStartButton->SetEnabled(true);
            m_pStartButton->SetText("开始导入");
            m_pStopButton->SetVisible(false);
            EnableControl(exportOption, true);
            m_pTickAllPages->SetEnabled(true);
            m_pTickPage->SetEnabled(!AllPages());
            break;
        case kRunning:
            m_pStartButton->SetEnabled(AllPages());
            m_pStartButton->SetText("暂停导入");
            if (AllPages()) {
                m_pStopButton->SetVisible(true);
                m_pStopButton->SetEnabled(true);
            }
            EnableControl(exportOption, false);
            m_pTickAllPages->SetEnabled(false);
            m_pTickPage->SetEnabled(false);
            break;
        case kPauseRequested:
            m_pStartButton->SetEnabled(false);
            return;
        case kPaused:
            m_pStartButton->SetEnabled(true);
            m_pStartButton->SetText("继续导入");
            break;
        case kStopRequested:
            m_pStartButton->SetEnabled(false);
            m_pStopButton->SetEnabled(false);
            break;
    }
    UpdatePagingControls();
}

void CPageImport::OnStartClicked() {
    switch (m_runState) {
        case kIdle:
            // A second start over the same rows would replace every result with "no change".
            if (m_runFinished &&
                UIMessageBox2(m_pManager->GetPaintWindow(),
                              "这些数据已经导入过，确定要再次导入吗？") != 0)
                return;
            StartRun();
            break;
        case kRunning: SetRunState(kPauseRequested); break;
        case kPaused:
            SetRunState(kRunning);
            TakeBatch();
            break;
        default: break;
    }
}

void CPageImport::OnStopClicked() {
    if (m_runState == kRunning) SetRunState(kStopRequested);
    else if (m_runState == kPaused) FinishRun(false);
}

void CPageImport::StartRun() {
    m_currentItem = 0;
    m_rowCounter = 0;
    m_run->Begin();
    m_toProcess = 0;
    for (int i = 0; i < m_pGrid->GetCount(); ++i) {
        CImportListItemUI* item = GridItem(i);
        if (!item) continue;
        for (const char* mark : {"import_success_tip", "import_error_tip", "import_nochange_tip"})
            item->ShowTip(mark, nullptr);
        if (item->IsImportChecked()) ++m_toProcess;
    }
    if (AllPages()) m_toProcess = m_totalRows;
    if (m_toProcess == 0) {
        ShowMessage("请至少选择一项数据来导入！");
        return;
    }
    SetStatusLine("");
    SetRunState(kRunning);
    m_pProgress->SetValue(0);
    m_pProgress->SetVisible(true);
    TakeBatch();
}

// A ticked box as 1, a lookup by the value chosen.
std::vector<tstring> CPageImport::ItemTexts(CImportListItemUI* item) const {
    std::vector<tstring> texts;
    int cell = 1;
    for (const data_type_info_t& type : m_gridTypes) {
        CControlUI* control = item->GetItemAt(cell++);
        if (type.Type == kTypeYesNo) {
            auto* option = static_cast<COptionUI*>(control->GetInterface("Option"));
            texts.push_back(option && option->IsSelected() ? "1" : "0");
        } else {
            texts.push_back(control->GetText().str());
        }
    }
    return texts;
}

void CPageImport::TakeBatch() {
    if (AllPages()) {
        const int page = m_rowCounter / m_pageSize;
        if (page != m_pageIndex) {
            if (page >= m_pageCount) {
                FinishRun(false);
                return;
            }
            ShowPreviewPage(page);
        }
        // The page size may have changed while the run was paused.
        m_currentItem = m_rowCounter % m_pageSize;
    }
    m_batchItems.clear();
    row_list_t batch;
    const int count = m_pGrid->GetCount();
    const bool bLooked = m_currentItem < count;
    for (; m_currentItem < count; ++m_currentItem, ++m_rowCounter) {
        CImportListItemUI* item = GridItem(m_currentItem);
        if (!item || !item->IsImportChecked()) continue;
        const std::vector<tstring> texts = ItemTexts(item);
        const int row = m_view[m_pageIndex * m_pageSize + m_currentItem];
        if (m_run->RefuseLossyRow(row, m_gridTypes, texts)) {
            ShowResult(item, row);
            continue;
        }
        batch.push_back(m_run->ToRow(m_gridTypes, texts));
        m_batchItems.push_back(m_currentItem);
    }
    if (bLooked) {
        m_pCaller->RequestImportRows(batch, insert_result_list_t());
        return;
    }
    if (AllPages() && m_pageIndex + 1 < m_pageCount) {
        ShowPreviewPage(m_pageIndex + 1);
        m_currentItem = 0;
        TakeBatch();
        return;
    }
    FinishRun(false);
}

void CPageImport::OnRowsImported(TaskContext ctx) {
    if (m_runState == kIdle) return;
    if (!ctx.Get(task_keys::ret).ok) {
        // The rows of a failed batch are in an unknown state: nothing is marked, and the run
        // ends with what came back so far.
        FinishRun(true);
        return;
    }
    const insert_result_list_t& results = ctx.Get(task_keys::results);
    const size_t marked = std::min(results.size(), m_batchItems.size());
    int lastSucceeded = -1;
    for (size_t k = 0; k < marked; ++k) {
        const int index = m_batchItems[k];
        const int row = m_view[m_pageIndex * m_pageSize + index];
        m_run->Record(row, results[k]);
        if (CImportListItemUI* item = GridItem(index)) ShowResult(item, row);
        if (results[k].ok) lastSucceeded = index;
    }
    // The grid shows the last row that went in; scrolling row by row would lay out the whole
    // page once per row.
    if (lastSucceeded >= 0) m_pGrid->EnsureVisible(lastSucceeded);
    m_pProgress->SetValue(m_toProcess ? m_run->Processed() * 100 / m_toProcess : 0);
    m_batchItems.clear();
    if (m_runState == kPauseRequested) SetRunState(kPaused);
    else if (m_runState == kRunning) TakeBatch();
    else if (m_runState == kStopRequested) FinishRun(false);
}

void CPageImport::ShowResult(CImportListItemUI* item, int row) {
    const insert_result_t& result = m_run->State(row).result;
    const char* text = ImportRun::ResultText(result);
    if (!text) return;
    if (!m_run->Failed(row)) {
        item->ShowTip(result.ok ? "import_success_tip" : "import_nochange_tip", text);
        return;
    }
    item->ShowTip("import_error_tip", m_run->Reason(row).c_str());
}

void CPageImport::FinishRun(bool bFailed) {
    SetRunState(kIdle);
    SetStatusLine(m_run->Summary(bFailed).c_str());
    // A run broken off by the connection is meant to be started again.
    m_runFinished = !bFailed;
    m_pProgress->SetVisible(false);
    m_pProgress->SetValue(0);
    m_pManager->SendNotify(this, "need_refresh_list", 0, 0, false);
    m_toProcess = 0;
    m_batchItems.clear();
}

void CPageImport::OnReconnectFinished(bool) {
    // The batch sent before the connection went has no answer coming.
    if (m_runState != kIdle && !m_batchItems.empty()) FinishRun(true);
}

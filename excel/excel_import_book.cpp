#include "excel/excel_import_book.h"

#include <algorithm>

#include "excel/excel_dates.h"
#include "excel/holder_support.h"

using excel_detail::Guarded;

namespace {

// Sheets longer than this have their trailing near-empty rows cut off.
constexpr int kTrimRowsAbove = 100;
// So many rows in a row without two filled cells end the data.
constexpr int kSparseRowsEndingData = 11;

tstring TrimSpaces(const tstring& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == tstring::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int FailureOf(WorkbookFault fault) {
    switch (fault) {
        case WorkbookFault::NotFound: return ExcelImportBook::kNotFound;
        case WorkbookFault::NotAWorkbook: return ExcelImportBook::kNotAWorkbook;
        case WorkbookFault::Damaged: return ExcelImportBook::kDamaged;
        case WorkbookFault::TooLarge: return ExcelImportBook::kTooLarge;
        default: return ExcelImportBook::kUnreadable;
    }
}

}  // namespace

ret_t ExcelImportBook::OpenForImport(const tstring& path) {
    m_distinct_values.clear();
    m_open = false;
    if (!Guarded(false, [&] { return m_file.Open(path); })) return {false, FailureOf(m_file.OpenFault())};
    m_open = true;
    const int sheets = SheetCount();
    for (int i = 0; i < sheets; ++i) {
        if (SelectSheet(i) && UsedRowCount() > 1) {
            excel_detail::WriteSetting("Import", "FilePath", path);
            return {true, 0};
        }
    }
    return {false, kNoData};
}

const char* ExcelImportBook::OpenFailureMessage(int code) {
    switch (code) {
        case kNoData: return "excel表没有数据！";
        case kNotFound: return "找不到文件！";
        case kNotAWorkbook: return "该文件不是Excel工作簿！";
        case kDamaged: return "文件已损坏，无法读取";
        case kTooLarge: return "工作簿过大，无法读取";
        default: return "读取文件失败！";
    }
}

void ExcelImportBook::ScanSheets() {
    m_sheet_names.clear();
    m_effective_rows.clear();
    m_used_columns.clear();
    const int sheets = SheetCount();
    for (int i = 0; i < sheets; ++i) {
        SelectSheet(i);
        m_sheet_names.push_back(SheetName(i));
        const int rows = RowEnd();
        const int columns = ColumnEnd();
        m_effective_rows.push_back(rows > kTrimRowsAbove ? ScanEffectiveRows(rows, columns) : rows);
        m_used_columns.push_back(columns);
    }
}

// Only the sparse rows after the last filled one are cut, and only 11 or more of them: a run of
// rows that lack a second cell (vehicles listed by plate alone) inside the data keeps the rows
// after it. Walking up from the bottom reads no more than that tail.
int ExcelImportBook::ScanEffectiveRows(int rows, int columns) {
    int last_filled = rows - 1;
    while (last_filled >= 0 && !RowFilled(last_filled, columns)) --last_filled;
    const int sparse_tail = rows - 1 - last_filled;
    return sparse_tail >= kSparseRowsEndingData ? last_filled + 1 : rows;
}

// Two cells with text fill a row; in a sheet of one column, its one cell does.
bool ExcelImportBook::RowFilled(int row, int columns) {
    const int needed = std::min(columns, 2);
    int filled = 0;
    for (int column = 0; column < columns && filled < needed; ++column)
        if (!GetTrimmedText(row, column).empty()) ++filled;
    return needed > 0 && filled >= needed;
}

int ExcelImportBook::SheetCount() {
    return Guarded(0, [&] { return m_file.SheetCount(); });
}

bool ExcelImportBook::LoadSheet(int index) {
    return Guarded(false, [&] { return m_file.LoadSheet(index); });
}

int ExcelImportBook::UsedRowCount() {
    return Guarded(0, [&] { return m_file.UsedRowCount(); });
}

int ExcelImportBook::UsedColumnCount() {
    return Guarded(0, [&] { return m_file.UsedColumnCount(); });
}

int ExcelImportBook::RowEnd() {
    return Guarded(0, [&] { return m_file.UsedRowEnd(); });
}

int ExcelImportBook::ColumnEnd() {
    return Guarded(0, [&] { return m_file.UsedColumnEnd(); });
}

tstring ExcelImportBook::SheetName(int index) {
    return Guarded(tstring(), [&] { return m_file.SheetName(index); });
}

tstring ExcelImportBook::GetCellText(int row, int column) {
    return Guarded(tstring(), [&] { return m_file.GetCellText(row, column); });
}

tstring ExcelImportBook::GetTrimmedText(int row, int column) {
    return TrimSpaces(GetCellText(row, column));
}

tstring ExcelImportBook::GetYesNoText(int row, int column) {
    const CellValue value = Guarded(CellValue(), [&] { return m_file.GetCellValue(row, column); });
    if (value.kind == CellValue::Kind::Boolean) return value.number != 0 ? "1" : "0";
    return GetTrimmedText(row, column);
}

tstring ExcelImportBook::GetDateTimeText(int row, int column) {
    return CellTimeText(row, column, "%Y-%m-%d %H:%M:%S");
}

tstring ExcelImportBook::GetDateText(int row, int column) {
    return CellTimeText(row, column, "%Y-%m-%d");
}

tstring ExcelImportBook::CellTimeText(int row, int column, const char* format) {
    return Guarded(tstring(), [&] {
        std::time_t time = 0;
        return m_file.GetCellTime(row, column, time) ? FormatLocalTime(time, format) : tstring();
    });
}

bool ExcelImportBook::SelectSheet(int index) {
    m_current_sheet = index;
    return LoadSheet(index);
}

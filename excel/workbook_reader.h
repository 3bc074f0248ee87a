#pragma once

#include <string>

#include "excel/workbook_data.h"

// Reads a whole workbook into memory, choosing the reader by the file's content: .xls (BIFF in a
// compound document) through FreeXL, .xlsx, .xlsm and .ods through liborcus. The path is UTF-8.
// Throws WorkbookError when the file cannot be read; the file is only ever read.
// Every cell of a merged range reads as its first cell, as the sheet shows it: a customer's code
// merged over the rows of the customer's vehicles belongs to each of those rows.
WorkbookData ReadWorkbookFile(const std::string& path);

namespace detail {
struct MergedRange {
    int first_row, first_column, last_row, last_column;
};
// Copies the first cell's value over the rest of the range, within the sheet's used cells;
// a range of more than a hundred thousand cells is left as it is.
void FillMergedRange(SheetData& sheet, const MergedRange& range);

WorkbookData ReadXlsWorkbook(const std::string& path, const std::string& bytes);
WorkbookData ReadZippedWorkbook(const std::string& bytes);
}  // namespace detail

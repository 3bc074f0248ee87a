#pragma once

#include <string>

#include "excel/workbook_data.h"

class ZipPackage;

// Reads a whole workbook into memory, choosing the reader by the file's content: .xls (BIFF in a
// compound document), .xlsx, .xlsm and .ods (zip packages of XML). The path is
// UTF-8. Throws WorkbookError, saying why, when the file cannot be read; the file is only ever
// read. A merged range's first cell fills the range down its own column: a customer's code
// merged over the rows of the customer's vehicles belongs to each of those rows, while a value
// merged across columns belongs to its first column only.
WorkbookData ReadWorkbookFile(const std::string& path);

namespace detail {
struct MergedRange {
    int first_row, first_column, last_row, last_column;
};
// Copies the first cell's value down the range's first column, within the sheet's used rows.
void FillMergedRange(SheetData& sheet, const MergedRange& range);

WorkbookData ReadXlsWorkbook(const std::string& bytes);
WorkbookData ReadZippedWorkbook(const std::string& bytes);
WorkbookData ReadXlsxPackage(const ZipPackage& package);
WorkbookData ReadOdsPackage(const ZipPackage& package);
}  // namespace detail

#pragma once

#include <string>

#include "excel/workbook_data.h"

// Reads a whole workbook into memory, choosing the reader by the file's content: .xls (BIFF in a
// compound document) through FreeXL, .xlsx, .xlsm and .ods through liborcus. The path is UTF-8.
// Throws WorkbookError when the file cannot be read; the file is only ever read.
WorkbookData ReadWorkbookFile(const std::string& path);

namespace detail {
WorkbookData ReadXlsWorkbook(const std::string& path, const std::string& bytes);
WorkbookData ReadZippedWorkbook(const std::string& bytes);
}  // namespace detail

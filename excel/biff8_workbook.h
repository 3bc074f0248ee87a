#pragma once

#include <string>

#include "excel/workbook_data.h"

// The largest sheet BIFF8 can describe.
constexpr int kBiff8MaxRows = 65536;
constexpr int kBiff8MaxColumns = 256;

// The "Workbook" stream of an .xls file (BIFF8) holding the text and number cells of the book;
// other cells are left out. Throws WorkbookError for a cell beyond kBiff8MaxRows/Columns.
std::string BuildBiff8WorkbookStream(const WorkbookData& book);

// A whole .xls file: the stream above in its compound document.
std::string BuildXlsFile(const WorkbookData& book);

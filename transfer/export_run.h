#pragma once
// The export, without windows: the columns it writes, a row's cells as the customer list shows
// them, and the .xls workbook it fills and saves. The export page feeds it the pages the
// customer list loads; ledgerdesk-cli reads the list from the store (ExportList).
#include <functional>
#include <vector>

#include "excel/excel_export_book.h"
#include "store/data_type_dictionary.h"
#include "store/db_connection.h"
#include "store/records.h"

// A cell as the customer list shows it: yes/no as "是" or "否", a lookup as its value's text,
// vehicle columns empty for a customer without vehicles.
tstring ListCellText(const DataTypeDictionary& dictionary, const row_info_t& row,
                     const data_type_info_t& column);

// Why ExportList kept nothing, besides kDbConnectionLost and a failed count (code 0).
enum ExportFailure : int32_t {
    kExportNothing = 1,      // the list (or the search) holds no row
    kExportReadFailed = 2,   // a page could not be read
    kExportListChanged = 3,  // rows were added or removed during the walk
    kExportWriteFailed = 4,
    kExportSaveFailed = 5,
};

// The customer list's search for a text: a row matches when any shown column holds it. No text,
// no constraint.
std::vector<search_constraint_t> ListSearch(const DataTypeDictionary& dictionary,
                                            const tstring& text);

class ExportRun {
public:
    // Why the workbook could not be saved at `path`, found before any row is read; null when
    // it can.
    static const char* TargetRefusal(const tstring& path);
    static bool TargetExists(const tstring& path);
    // The save dialog's exact, case-sensitive rule: anything but a last part "xls" after a dot
    // gets ".xls" appended.
    static tstring WithXlsSuffix(const tstring& path);

    // Workbooks are written by the program itself, so this is always true.
    bool ExcelAvailable() const { return m_book.ExcelAvailable(); }
    // A new workbook for the list's shown columns, or for every data type (hidden ones too), as
    // `dictionary` has them now, whatever became of the export before. The dictionary must
    // outlive the export.
    ret_t Begin(const DataTypeDictionary& dictionary, bool allColumns);
    ret_t WriteHeader();
    // False when the rows lack a column written: a column hidden during an export of the shown
    // columns is no longer read by the list's query, and its cells would come back empty.
    bool RowsHoldColumns(const std::vector<row_info_t>& rows) const;
    bool WriteRows(const std::vector<row_info_t>& rows);
    int Exported() const { return m_exported; }
    // Saves through a temporary file, so a failed save never replaces an existing file.
    ret_t Save(const tstring& path) { return m_book.SaveAs(path); }
    // For tests: a sheet full after fewer rows than an .xls sheet holds.
    void SetRowsPerSheet(int rows) { m_book.SetRowsPerSheet(rows); }

private:
    ExcelExportBook m_book;
    const DataTypeDictionary* m_dictionary = nullptr;
    // Copies, so a dictionary reload during an export cannot leave them dangling.
    std::vector<data_type_info_t> m_columns;
    int m_exported = 0;
};

// Writes the rows the search finds (the whole list without one), read page by page in the list's
// order with every column, and saves the workbook at `path`; `progress` hears the rows written
// after each page. Not ok, with nothing saved (ExportFailure says why), when the list is empty, a
// page could not be read, the list changed its length meanwhile, or the workbook could not be
// written or saved.
ret_t ExportList(DbConnection& db, const std::vector<search_constraint_t>& search,
                 bool allColumns, const tstring& path, ExportRun& run,
                 const std::function<void(int done, int total)>& progress);

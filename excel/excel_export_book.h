#pragma once

#include <vector>

#include "excel/vellum_excel_file.h"
#include "netsqlite/types.h"

// The export page's workbook: a new workbook filled row by row and saved as .xls. No operation
// throws; each returns {ok, 0}.
class ExcelExportBook {
public:
    using row_t = std::vector<tstring>;

    // Workbooks are written by the program itself, so this is always true.
    bool ExcelAvailable() const { return m_available; }

    ret_t CreateWorkbook();
    ret_t SaveAs(const tstring& path);
    // Fails when rows were written since the last ResetNextRow.
    ret_t WriteHeader(const row_t& titles);
    // Every cell is tried; false when any cell could not be written (a row beyond what an .xls
    // sheet holds), so an export never loses rows without saying so.
    ret_t WriteRows(const std::vector<row_t>& rows);

    int NextRow() const { return m_next_row; }
    void ResetNextRow() { m_next_row = 0; }

private:
    bool WriteRow(int row, const row_t& cells);

    bool m_available = true;
    VellumExcelFile m_file;
    int m_next_row = 0;
};

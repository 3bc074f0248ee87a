#pragma once

#include <memory>
#include <vector>

#include "excel/biff8_workbook.h"
#include "netsqlite/types.h"

// The export page's workbook: a new workbook filled row by row and saved as .xls. Rows go to
// temporary files as they are written, so an export of any length holds little more than the
// rows at hand. No operation throws; each returns {ok, 0}.
class ExcelExportBook {
public:
    using row_t = std::vector<tstring>;
    // How a column's cells are written: as text, or a text that reads as a date as a date cell
    // (with its time for DateTime), which sorts and filters as a date.
    enum class ColumnKind { Text, Date, DateTime };

    // Workbooks are written by the program itself, so this is always true.
    bool ExcelAvailable() const { return m_available; }

    // Every column is text until SetColumnKinds says otherwise.
    ret_t CreateWorkbook();
    void SetColumnKinds(std::vector<ColumnKind> kinds) { m_kinds = std::move(kinds); }
    ret_t SaveAs(const tstring& path);
    // Fails when rows were written since the last ResetNextRow, and on a row already written.
    ret_t WriteHeader(const row_t& titles);
    // Rows follow the last one written; a full sheet goes on in a new sheet of the workbook that
    // starts with the header again, so every row is kept. False when any cell could not be
    // written (a column beyond what an .xls sheet holds, a text longer than a cell holds), so
    // an export never loses cells without saying so.
    ret_t WriteRows(const std::vector<row_t>& rows);

    // The row of the current sheet written next.
    int NextRow() const { return m_next_row; }
    void ResetNextRow() { m_next_row = 0; }
    // Rows a sheet takes, its header included (at least two): the most an .xls sheet holds, or
    // fewer in tests.
    void SetRowsPerSheet(int rows) { m_rows_per_sheet = rows; }

private:
    bool WriteRow(int row, const row_t& cells, bool header);
    void WriteCell(int row, int column, const tstring& text, bool header);
    bool StartNextSheet();
    Biff8BookWriter& Writer();

    bool m_available = true;
    std::unique_ptr<Biff8BookWriter> m_writer;
    int m_rows_per_sheet = kBiff8MaxRows;
    int m_next_row = 0;
    row_t m_header;
    std::vector<ColumnKind> m_kinds;
};

#include "excel/excel_export_book.h"

#include <string>

#include "excel/excel_dates.h"
#include "excel/holder_support.h"

using excel_detail::Guarded;

ret_t ExcelExportBook::CreateWorkbook() {
    m_header.clear();
    m_kinds.clear();
    return {Guarded(false,
                    [&] {
                        m_writer = std::make_unique<Biff8BookWriter>();
                        m_writer->AddSheet("Sheet1");
                        return true;
                    }),
            0};
}

// A saved workbook is closed; one that could not be saved stays open.
ret_t ExcelExportBook::SaveAs(const tstring& path) {
    return {Guarded(false,
                    [&] {
                        Writer().SaveAs(path);
                        m_writer.reset();
                        return true;
                    }),
            0};
}

ret_t ExcelExportBook::WriteHeader(const row_t& titles) {
    if (m_next_row != 0) return {false, 0};
    m_header = titles;
    const bool written = WriteRow(0, titles, true);
    m_next_row = 1;
    return {written, 0};
}

ret_t ExcelExportBook::WriteRows(const std::vector<row_t>& rows) {
    bool written = true;
    for (const row_t& row : rows) {
        if (m_next_row >= m_rows_per_sheet && !StartNextSheet()) return {false, 0};
        written = WriteRow(m_next_row++, row, false) && written;
    }
    return {written, 0};
}

// A new sheet is named as Excel names it: "Sheet" and its number.
bool ExcelExportBook::StartNextSheet() {
    const bool added = Guarded(false, [&] {
        Writer().AddSheet("Sheet" + std::to_string(Writer().SheetCount() + 1));
        return true;
    });
    if (!added) return false;
    m_next_row = 0;
    if (m_header.empty()) return true;
    const bool written = WriteRow(0, m_header, true);
    m_next_row = 1;
    return written;
}

bool ExcelExportBook::WriteRow(int row, const row_t& cells, bool header) {
    bool written = true;
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        written = Guarded(false,
                          [&] {
                              WriteCell(row, column, cells[column], header);
                              return true;
                          }) &&
                  written;
    }
    return written;
}

// A date column's text that does not read as a date stays text, so no value is lost.
void ExcelExportBook::WriteCell(int row, int column, const tstring& text, bool header) {
    const ColumnKind kind = !header && column < static_cast<int>(m_kinds.size())
                                ? m_kinds[column]
                                : ColumnKind::Text;
    double serial = 0;
    if (kind != ColumnKind::Text && SerialFromDateText(text, serial)) {
        Writer().SetDate(row, column, serial, kind == ColumnKind::DateTime);
        return;
    }
    Writer().SetText(row, column, text);
}

Biff8BookWriter& ExcelExportBook::Writer() {
    if (!m_writer) throw WorkbookError("no workbook open");
    return *m_writer;
}

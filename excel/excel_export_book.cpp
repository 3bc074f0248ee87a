#include "excel/excel_export_book.h"

#include "excel/holder_support.h"

using excel_detail::Guarded;

ret_t ExcelExportBook::CreateWorkbook() {
    m_header.clear();
    return {Guarded(false, [&] { return m_file.CreateNew(); }), 0};
}

ret_t ExcelExportBook::SaveAs(const tstring& path) {
    return {Guarded(false,
                    [&] {
                        m_file.SaveAs(path);
                        return true;
                    }),
            0};
}

ret_t ExcelExportBook::WriteHeader(const row_t& titles) {
    if (m_next_row != 0) return {false, 0};
    m_header = titles;
    const bool written = WriteRow(0, titles);
    m_next_row = 1;
    return {written, 0};
}

ret_t ExcelExportBook::WriteRows(const std::vector<row_t>& rows) {
    bool written = true;
    for (const row_t& row : rows) {
        if (m_next_row >= m_rows_per_sheet && !StartNextSheet()) return {false, 0};
        written = WriteRow(m_next_row++, row) && written;
    }
    return {written, 0};
}

bool ExcelExportBook::StartNextSheet() {
    const bool added = Guarded(false, [&] {
        m_file.AddSheet();
        return true;
    });
    if (!added) return false;
    m_next_row = 0;
    if (m_header.empty()) return true;
    const bool written = WriteRow(0, m_header);
    m_next_row = 1;
    return written;
}

bool ExcelExportBook::WriteRow(int row, const row_t& cells) {
    bool written = true;
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        written = Guarded(false,
                          [&] {
                              m_file.SetCellText(row, column, cells[column]);
                              return true;
                          }) &&
                  written;
    }
    return written;
}

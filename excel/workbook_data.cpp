#include "excel/workbook_data.h"

#include <algorithm>

namespace {

// Where the cell of `column` is or would go in its row.
template <class Cells>
auto FindColumn(Cells& cells, int column) {
    return std::lower_bound(cells.begin(), cells.end(), column,
                            [](const auto& cell, int wanted) { return cell.first < wanted; });
}

}  // namespace

const CellValue& SheetData::cell(int row, int column) const {
    static const CellValue empty;
    auto row_it = m_rows.find(row);
    if (row_it == m_rows.end()) return empty;
    auto cell_it = FindColumn(row_it->second, column);
    return cell_it == row_it->second.end() || cell_it->first != column ? empty : cell_it->second;
}

void SheetData::set_cell(int row, int column, CellValue value) {
    if (row < 0 || column < 0) throw WorkbookError("cell address out of range");
    const bool empty = value.kind == CellValue::Kind::Empty;
    auto row_it = m_rows.find(row);
    if (row_it == m_rows.end()) {
        if (empty) return;
        row_it = m_rows.emplace(row, row_cells_t()).first;
    }
    row_cells_t& cells = row_it->second;
    auto cell_it = FindColumn(cells, column);
    const bool present = cell_it != cells.end() && cell_it->first == column;
    if (empty) {
        if (present) cells.erase(cell_it);
        return;
    }
    if (present)
        cell_it->second = std::move(value);
    else
        cells.emplace(cell_it, column, std::move(value));
    m_first_column = m_first_column < 0 ? column : std::min(m_first_column, column);
    m_last_column = std::max(m_last_column, column);
}

int SheetData::first_used_row() const { return m_rows.empty() ? 0 : m_rows.begin()->first; }

int SheetData::last_used_row() const { return m_rows.empty() ? 0 : m_rows.rbegin()->first; }

int SheetData::first_used_column() const {
    return std::max(m_first_column, 0);
}

int SheetData::last_used_column() const {
    return std::max(m_last_column, 0);
}

int SheetData::used_row_count() const {
    return last_used_row() - first_used_row() + 1;
}

int SheetData::used_column_count() const {
    return last_used_column() - first_used_column() + 1;
}

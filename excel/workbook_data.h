#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "netsqlite/types.h"

// A cell as Excel's Value2 gives it: numbers and dates as doubles, text as text, booleans (number
// 1 or 0) and everything else (errors) as neither. Text is GBK like all narrow text of the program.
struct CellValue {
    enum class Kind { Empty, Number, Text, Boolean, Other };

    Kind kind = Kind::Empty;
    double number = 0;
    tstring text;

    static CellValue Number(double value) { return {Kind::Number, value, {}}; }
    static CellValue Text(tstring value) { return {Kind::Text, 0, std::move(value)}; }
    static CellValue Boolean(bool value) { return {Kind::Boolean, value ? 1.0 : 0.0, {}}; }
    static CellValue Other() { return {Kind::Other, 0, {}}; }
};

// One worksheet held in memory: its cells by 0-based row and column. A row keeps its cells in a
// vector ordered by column, which costs far less memory than a tree for the rows of an export.
class SheetData {
public:
    using row_cells_t = std::vector<std::pair<int, CellValue>>;

    explicit SheetData(tstring name) : m_name(std::move(name)) {}

    const tstring& name() const { return m_name; }
    const CellValue& cell(int row, int column) const;
    // Empty values are not stored, so they never widen the used range.
    void set_cell(int row, int column, CellValue value);

    // The used range as Excel reports it: from the first to the last row and column that held a
    // value; an empty sheet reports the single cell A1. Clearing a cell does not narrow it, as
    // Excel's does not narrow before the workbook is saved.
    int used_row_count() const;
    int used_column_count() const;
    int first_used_row() const;
    int last_used_row() const;
    int first_used_column() const;
    int last_used_column() const;

    const std::map<int, row_cells_t>& rows() const { return m_rows; }

private:
    tstring m_name;
    std::map<int, row_cells_t> m_rows;
    int m_first_column = -1;
    int m_last_column = -1;
};

using WorkbookData = std::vector<SheetData>;

// Why a workbook could not be read, as the operator is told.
enum class WorkbookFault { Other, NotFound, NotAWorkbook, Damaged, TooLarge };

// What every workbook operation throws; the holders turn it into their neutral results.
class WorkbookError : public std::runtime_error {
public:
    explicit WorkbookError(const std::string& what) : WorkbookError(WorkbookFault::Other, what) {}
    WorkbookError(WorkbookFault fault, const std::string& what)
        : std::runtime_error(what), m_fault(fault) {}
    WorkbookFault fault() const { return m_fault; }

private:
    WorkbookFault m_fault;
};

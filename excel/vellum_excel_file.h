#pragma once

#include <ctime>
#include <optional>

#include "excel/workbook_data.h"

// One workbook held in memory, with the operations the pages need: rows and columns are 0-based,
// cells read as Excel's Value2 gives them. Workbooks are read whole by the file-format libraries
// and written as .xls; the source file of an opened workbook is never written.
// Operations on a missing workbook or sheet throw WorkbookError; the holders catch it.
class VellumExcelFile {
public:
    VellumExcelFile() = default;
    virtual ~VellumExcelFile();
    VellumExcelFile(const VellumExcelFile&) = delete;
    VellumExcelFile& operator=(const VellumExcelFile&) = delete;

    // Paths are GBK like every text of the program. False when the file is not a readable
    // workbook; OpenFault then says why.
    bool Open(const tstring& path);
    WorkbookFault OpenFault() const { return m_open_fault; }
    // A new workbook with one empty sheet "Sheet1", selected.
    bool CreateNew();
    // Appends an empty sheet named as Excel names it ("Sheet" and its number) and selects it.
    void AddSheet();
    void Close();
    // Writes the workbook as .xls and closes it. The file is written beside the target and
    // renamed over it, so a failed save leaves an existing file as it was.
    void SaveAs(const tstring& path);

    int SheetCount() const;
    tstring SheetName(int index) const;
    bool LoadSheet(int index);
    int UsedRowCount() const;
    int UsedColumnCount() const;
    // One past the last used row and column: the used range widened to start at row and column 0.
    int UsedRowEnd() const;
    int UsedColumnEnd() const;

    CellValue GetCellValue(int row, int column) const;
    // Whole numbers without decimals, others to 15 digits; dates as their serial day number (with
    // the time of day as its fraction), text as it is, anything else "".
    tstring GetCellText(int row, int column) const;
    // False for an empty cell and for a value that is no date or lies outside the years the
    // program handles; dates before 1900 give 0.
    bool GetCellTime(int row, int column, std::time_t& time) const;
    void SetCellText(int row, int column, const tstring& text);
    // There is no application process to end: this closes the workbook.
    void Quit();

private:
    WorkbookData& Book();
    const WorkbookData& Book() const;
    const SheetData& Sheet() const;

    tstring m_path;
    std::optional<WorkbookData> m_book;
    WorkbookFault m_open_fault = WorkbookFault::Other;
    int m_sheet = -1;
};

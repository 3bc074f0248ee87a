#include "excel/vellum_excel_file.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "excel/biff8_workbook.h"
#include "excel/excel_dates.h"
#include "excel/workbook_reader.h"
#include "netsqlite/text_codec.h"

VellumExcelFile::~VellumExcelFile() {
    Close();
}

bool VellumExcelFile::Open(const tstring& path) {
    Close();
    try {
        m_book = ReadWorkbookFile(GbkToUtf8(path));
    } catch (const WorkbookError& error) {
        m_open_fault = error.fault();
        return false;
    }
    m_path = path;
    return true;
}

bool VellumExcelFile::CreateNew() {
    Close();
    m_book = WorkbookData{SheetData("Sheet1")};
    m_sheet = 0;
    return true;
}

void VellumExcelFile::AddSheet() {
    WorkbookData& book = Book();
    book.emplace_back("Sheet" + std::to_string(book.size() + 1));
    m_sheet = static_cast<int>(book.size()) - 1;
}

void VellumExcelFile::Close() {
    m_path.clear();
    m_book.reset();
    m_sheet = -1;
}

void VellumExcelFile::SaveAs(const tstring& path) {
    SaveXlsFile(Book(), path);
    Close();
}

int VellumExcelFile::SheetCount() const {
    return static_cast<int>(Book().size());
}

tstring VellumExcelFile::SheetName(int index) const {
    if (index < 0 || index >= SheetCount()) throw WorkbookError("no such sheet");
    return Book()[index].name();
}

bool VellumExcelFile::LoadSheet(int index) {
    m_sheet = -1;
    if (index < 0 || index >= SheetCount()) return false;
    m_sheet = index;
    return true;
}

int VellumExcelFile::UsedRowCount() const {
    return Sheet().used_row_count();
}

int VellumExcelFile::UsedColumnCount() const {
    return Sheet().used_column_count();
}

int VellumExcelFile::UsedRowEnd() const {
    return Sheet().last_used_row() + 1;
}

int VellumExcelFile::UsedColumnEnd() const {
    return Sheet().last_used_column() + 1;
}

namespace {

// Whole numbers without decimals, so long phone numbers and codes read as typed; other numbers
// keep their decimals to the 15 digits a spreadsheet shows, where rounding them lost data.
tstring NumberText(double number) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, std::nearbyint(number) == number ? "%0.0f" : "%.15g",
                  number);
    return buffer;
}

}  // namespace

CellValue VellumExcelFile::GetCellValue(int row, int column) const {
    if (row < 0 || column < 0) throw WorkbookError("cell address out of range");
    return Sheet().cell(row, column);
}

tstring VellumExcelFile::GetCellText(int row, int column) const {
    const CellValue value = GetCellValue(row, column);
    switch (value.kind) {
        case CellValue::Kind::Number:
            return NumberText(value.number);
        case CellValue::Kind::Text:
            return value.text;
        default:
            return {};
    }
}

bool VellumExcelFile::GetCellTime(int row, int column, std::time_t& time) const {
    const CellValue value = GetCellValue(row, column);
    double serial = 0;
    switch (value.kind) {
        case CellValue::Kind::Number:
            serial = value.number;
            break;
        case CellValue::Kind::Text:
            if (!SerialFromDateText(value.text, serial)) return false;
            break;
        default:
            return false;
    }
    return TimeFromSerial(serial, time);
}

void VellumExcelFile::SetCellText(int row, int column, const tstring& text) {
    Sheet();
    // Workbooks are saved as .xls, which holds no more than this.
    if (row < 0 || column < 0 || row >= kBiff8MaxRows || column >= kBiff8MaxColumns)
        throw WorkbookError("cell beyond the size of an .xls sheet");
    Book()[m_sheet].set_cell(row, column, text.empty() ? CellValue() : CellValue::Text(text));
}

void VellumExcelFile::Quit() {
    Close();
}

WorkbookData& VellumExcelFile::Book() {
    if (!m_book) throw WorkbookError("no workbook open");
    return *m_book;
}

const WorkbookData& VellumExcelFile::Book() const {
    if (!m_book) throw WorkbookError("no workbook open");
    return *m_book;
}

const SheetData& VellumExcelFile::Sheet() const {
    if (m_sheet < 0) throw WorkbookError("no sheet selected");
    return Book()[m_sheet];
}

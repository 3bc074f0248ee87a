// .xls through FreeXL.
#include <freexl.h>

#include <memory>

#include "excel/excel_dates.h"
#include "excel/workbook_reader.h"
#include "netsqlite/text_codec.h"

namespace {

struct FreeXlCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using FreeXlHandle = std::unique_ptr<const void, FreeXlCloser>;

void Check(int status, const char* what) {
    if (status != FREEXL_OK) throw WorkbookError(std::string("xls: ") + what);
}

// FreeXL hands dates, date-times and times over as text; turning them back into serial numbers
// makes an .xls read as the same workbook saved as .xlsx does.
CellValue ToCellValue(const FreeXL_CellValue& value) {
    switch (value.type) {
        case FREEXL_CELL_INT:
            return CellValue::Number(value.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return CellValue::Number(value.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            return CellValue::Text(Utf8ToGbk(value.value.text_value));
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME: {
            double serial = 0;
            if (SerialFromDateText(value.value.text_value, serial)) return CellValue::Number(serial);
            return CellValue::Text(Utf8ToGbk(value.value.text_value));
        }
        default:
            return {};
    }
}

SheetData ReadSheet(const void* handle, unsigned short index) {
    const char* name = nullptr;
    Check(freexl_get_worksheet_name(handle, index, &name), "sheet name");
    Check(freexl_select_active_worksheet(handle, index), "select sheet");
    unsigned int rows = 0;
    unsigned short columns = 0;
    Check(freexl_worksheet_dimensions(handle, &rows, &columns), "dimensions");
    SheetData sheet(Utf8ToGbk(name ? name : ""));
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value{};
            Check(freexl_get_cell_value(handle, row, column, &value), "cell");
            sheet.set_cell(static_cast<int>(row), column, ToCellValue(value));
        }
    }
    return sheet;
}

}  // namespace

WorkbookData detail::ReadXlsWorkbook(const std::string& path) {
    const void* raw = nullptr;
    const int status = freexl_open(path.c_str(), &raw);
    FreeXlHandle handle(raw);
    Check(status, "open");
    unsigned int sheet_count = 0;
    Check(freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheet_count), "sheet count");
    WorkbookData book;
    for (unsigned int i = 0; i < sheet_count; ++i)
        book.push_back(ReadSheet(raw, static_cast<unsigned short>(i)));
    return book;
}

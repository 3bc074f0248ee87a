// .xls through FreeXL.
#include <freexl.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "excel/compound_file.h"
#include "excel/excel_dates.h"
#include "excel/little_endian.h"
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
            if (SerialFromDateText(value.value.text_value, serial))
                return CellValue::Number(serial);
            return CellValue::Text(Utf8ToGbk(value.value.text_value));
        }
        default:
            return {};
    }
}

// What FreeXL leaves out, read from the workbook stream itself, by sheet in BOUNDSHEET order:
// booleans and error values, which FreeXL reads as the numbers they are stored as (BOOLERR
// records and formulas whose cached result is a boolean or an error), and merged ranges.
struct SheetExtras {
    std::map<std::pair<int, int>, CellValue> values;
    std::vector<detail::MergedRange> merged;
};

// The boolean or error a record holds, or nothing for any other record.
std::optional<CellValue> BooleanOrError(uint16_t type, const std::string& stream,
                                        std::size_t data, std::size_t length) {
    constexpr uint16_t kBoolErr = 0x0205, kFormula = 0x0006;
    // BOOLERR: the value, then 0 for a boolean or 1 for an error.
    if (type == kBoolErr && length >= 8)
        return stream[data + 7] == 0 ? CellValue::Boolean(stream[data + 6] != 0) : CellValue::Other();
    // A formula's 8-byte result is no number when its last two bytes are 0xFFFF; its first
    // byte then says 1 boolean (its value in the third byte), 2 error.
    if (type != kFormula || length < 14 || LoadLe16(stream, data + 12) != 0xFFFF)
        return std::nullopt;
    if (stream[data + 6] == 1) return CellValue::Boolean(stream[data + 8] != 0);
    if (stream[data + 6] == 2) return CellValue::Other();
    return std::nullopt;
}

// MERGEDCELLS: a count, then per range its first and last row and first and last column.
void AddMergedRanges(const std::string& stream, std::size_t data, std::size_t length,
                     std::vector<detail::MergedRange>& merged) {
    const std::size_t count = length >= 2 ? LoadLe16(stream, data) : 0;
    for (std::size_t i = 0; i < count && 2 + (i + 1) * 8 <= length; ++i) {
        const std::size_t at = data + 2 + i * 8;
        merged.push_back({LoadLe16(stream, at), LoadLe16(stream, at + 4), LoadLe16(stream, at + 2),
                          LoadLe16(stream, at + 6)});
    }
}

std::map<std::size_t, SheetExtras> ReadSheetExtras(const std::string& stream) {
    constexpr uint16_t kBof = 0x0809, kBoundSheet = 0x0085, kMergedCells = 0x00E5;
    std::vector<uint32_t> sheet_offsets;
    std::map<std::size_t, SheetExtras> extras;
    std::size_t sheet = SIZE_MAX;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const uint16_t type = LoadLe16(stream, at);
        const std::size_t length = LoadLe16(stream, at + 2);
        const std::size_t data = at + 4;
        if (data + length > stream.size()) break;
        if (type == kBoundSheet && length >= 4) sheet_offsets.push_back(LoadLe32(stream, data));
        if (type == kBof) {
            auto found = std::find(sheet_offsets.begin(), sheet_offsets.end(), at);
            sheet = found == sheet_offsets.end() ? SIZE_MAX : found - sheet_offsets.begin();
        }
        if (sheet != SIZE_MAX) {
            if (std::optional<CellValue> value = BooleanOrError(type, stream, data, length))
                extras[sheet].values[{LoadLe16(stream, data), LoadLe16(stream, data + 2)}] = *value;
            if (type == kMergedCells) AddMergedRanges(stream, data, length, extras[sheet].merged);
        }
        at = data + length;
    }
    return extras;
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

WorkbookData detail::ReadXlsWorkbook(const std::string& path, const std::string& bytes) {
    const void* raw = nullptr;
    const int status = freexl_open(path.c_str(), &raw);
    FreeXlHandle handle(raw);
    Check(status, "open");
    unsigned int sheet_count = 0;
    Check(freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &sheet_count), "sheet count");
    WorkbookData book;
    for (unsigned int i = 0; i < sheet_count; ++i)
        book.push_back(ReadSheet(raw, static_cast<unsigned short>(i)));
    std::string stream;
    try {
        stream = ReadCompoundStream(bytes, u"Workbook");
    } catch (const WorkbookError&) {
        // What FreeXL could read is still the workbook; only booleans then read as numbers.
    }
    for (const auto& [sheet, extras] : ReadSheetExtras(stream)) {
        if (sheet >= book.size()) continue;
        for (const auto& [address, value] : extras.values)
            book[sheet].set_cell(address.first, address.second, value);
        for (const detail::MergedRange& merge : extras.merged)
            detail::FillMergedRange(book[sheet], merge);
    }
    return book;
}

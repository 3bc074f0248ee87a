#include "excel/workbook_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

const std::string kCompoundFileMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZipMagic("PK\x03\x04", 4);

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw WorkbookError("cannot open " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

constexpr long long kMaxMergedCells = 100000;

}  // namespace

void detail::FillMergedRange(SheetData& sheet, const MergedRange& range) {
    const CellValue first = sheet.cell(range.first_row, range.first_column);
    if (first.kind == CellValue::Kind::Empty) return;
    const int last_row = std::min(range.last_row, sheet.last_used_row());
    const int last_column = std::min(range.last_column, sheet.last_used_column());
    if (last_row < range.first_row || last_column < range.first_column) return;
    const long long cells = (static_cast<long long>(last_row) - range.first_row + 1) *
                            (static_cast<long long>(last_column) - range.first_column + 1);
    if (cells > kMaxMergedCells) return;
    for (int row = range.first_row; row <= last_row; ++row)
        for (int column = range.first_column; column <= last_column; ++column)
            if (row != range.first_row || column != range.first_column)
                sheet.set_cell(row, column, first);
}

WorkbookData ReadWorkbookFile(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    if (bytes.compare(0, kCompoundFileMagic.size(), kCompoundFileMagic) == 0)
        return detail::ReadXlsWorkbook(path, bytes);
    if (bytes.compare(0, kZipMagic.size(), kZipMagic) == 0)
        return detail::ReadZippedWorkbook(bytes);
    throw WorkbookError("not a workbook: " + path);
}

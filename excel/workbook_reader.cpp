#include "excel/workbook_reader.h"

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

}  // namespace

WorkbookData ReadWorkbookFile(const std::string& path) {
    const std::string bytes = ReadWholeFile(path);
    if (bytes.compare(0, kCompoundFileMagic.size(), kCompoundFileMagic) == 0)
        return detail::ReadXlsWorkbook(path, bytes);
    if (bytes.compare(0, kZipMagic.size(), kZipMagic) == 0)
        return detail::ReadZippedWorkbook(bytes);
    throw WorkbookError("not a workbook: " + path);
}

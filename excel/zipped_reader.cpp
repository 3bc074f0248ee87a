// .xlsx, .xlsm and .ods: zip packages of XML parts, told apart by the .ods "mimetype" entry.
#include "excel/workbook_reader.h"
#include "excel/zip_xml.h"

WorkbookData detail::ReadZippedWorkbook(const std::string& bytes) {
    const ZipPackage package(bytes);
    const std::string mimetype = package.ReadSmall("mimetype");
    if (mimetype.empty()) return ReadXlsxPackage(package);
    if (mimetype == "application/vnd.oasis.opendocument.spreadsheet") return ReadOdsPackage(package);
    throw WorkbookError(WorkbookFault::NotAWorkbook, "an OpenDocument file of another kind");
}

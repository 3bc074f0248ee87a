#pragma once
// Real workbook files for the tests: .xlsx made with libxlsxwriter, and LibreOffice headless as
// the independent reader and writer of .xls, .xlsx, .xlsm and .ods.

#include <string>
#include <variant>
#include <vector>

#include "tests/support/scratch_dir.h"

struct XlsxDate {
    int year, month, day, hour, minute, second;
};
struct XlsxBool {
    bool value;
};
using XlsxCell = std::variant<std::monostate, std::string, double, XlsxDate, XlsxBool>;
using XlsxRow = std::vector<XlsxCell>;

// Cells merged into one, shown with the text of the first: rows and columns of the sheet.
struct XlsxMerge {
    int first_row, first_column, last_row, last_column;
};

struct XlsxSheet {
    std::string name;
    std::vector<XlsxRow> rows;
    int first_row = 0;
    int first_column = 0;
    std::vector<XlsxMerge> merges = {};
};

// Writes the sheets (UTF-8 text) to path; fails the calling test when libxlsxwriter fails.
void MakeXlsx(const std::string& path, const std::vector<XlsxSheet>& sheets);

// A sheet of text rows, first row the header.
XlsxSheet TextSheet(const std::string& name, const std::vector<std::vector<std::string>>& rows);

// Runs a Python script that writes a workbook with openpyxl (python3-openpyxl); `script` ends with
// `wb.save(path)` where `path` is set to the file. False when Python or openpyxl fails.
bool MakeWithOpenpyxl(const std::string& path, const std::string& script);

// LibreOffice headless with a profile folder of its own, so parallel tests do not collide.
class Office {
public:
    static bool Available();
    explicit Office(const ScratchDir& scratch) : m_scratch(scratch) {}
    // Converts every file in one start of LibreOffice into out_dir; `filter` is what
    // --convert-to takes ("csv:...", "xls:MS Excel 97", ...). False on failure or time-out.
    bool Convert(const std::vector<std::string>& files, const std::string& filter,
                 const std::string& out_dir, const std::string& in_filter = "") const;

private:
    const ScratchDir& m_scratch;
};

// The CSV filter LibreOffice writes with: comma, double quote, UTF-8.
inline const char* kCsvUtf8Filter = "csv:Text - txt - csv (StarCalc):44,34,76";
// The same for every sheet, each into a file of its own: "<name>-<sheet name>.csv".
inline const char* kCsvUtf8EverySheetFilter =
    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";

// LibreOffice's CSV of a sheet whose texts hold no comma, quote or line break.
std::vector<std::vector<std::string>> ReadCsv(const std::string& path);

// Runs workbook-tool with the arguments; returns its exit code and fills out with its output.
int RunWorkbookTool(const std::string& arguments, std::string& out);

std::vector<std::vector<std::string>> ParseTsv(const std::string& text);

// workbook-tool: shows how the import reads a workbook, and writes one as the export does.
//   workbook-tool dump FILE                 every sheet's counts, then its rows as the import reads
//                                           them, booleans as a yes/no column reads them (1, 0)
//   workbook-tool dates FILE SHEET COLUMN   the date-time text of each cell of a 0-based column
//   workbook-tool write OUT.xls [KINDS] < rows.tsv
//                                           UTF-8 tab-separated rows, the first line the header;
//                                           KINDS a letter a column: t text, d date, s date-time
// Text is UTF-8 on the terminal and GBK inside, as everywhere in the program.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
#include "excel/split_text.h"
#include "netsqlite/text_codec.h"

namespace {

int Usage() {
    std::cerr << "usage: workbook-tool dump FILE\n"
                 "       workbook-tool dates FILE SHEET COLUMN\n"
                 "       workbook-tool write OUT.xls [KINDS] < rows.tsv\n";
    return 2;
}

bool OpenBook(ExcelImportBook& book, const std::string& path) {
    const ret_t opened = book.OpenForImport(Utf8ToGbk(path));
    if (!opened.ok && opened.code != ExcelImportBook::kNoData) {
        std::cerr << "cannot read " << path << ": "
                  << GbkToUtf8(ExcelImportBook::OpenFailureMessage(opened.code)) << "\n";
        return false;
    }
    if (!opened.ok) std::cout << "no sheet holds more than one used row: the import refuses it\n";
    book.ScanSheets();
    return true;
}

int Dump(const std::string& path) {
    ExcelImportBook book;
    if (!OpenBook(book, path)) return 1;
    for (int sheet = 0; sheet < static_cast<int>(book.SheetNames().size()); ++sheet) {
        const int rows = book.EffectiveRowCounts()[sheet];
        const int columns = book.UsedColumnCounts()[sheet];
        book.LoadSheet(sheet);
        std::cout << "sheet " << sheet << ": " << GbkToUtf8(book.SheetNames()[sheet])
                  << "\tused rows " << book.UsedRowCount() << "\tused columns " << columns
                  << "\teffective rows " << rows << "\n";
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column)
                std::cout << (column ? "\t" : "") << GbkToUtf8(book.GetYesNoText(row, column));
            std::cout << "\n";
        }
    }
    return 0;
}

int Dates(const std::string& path, int sheet, int column) {
    ExcelImportBook book;
    if (!OpenBook(book, path)) return 1;
    if (!book.LoadSheet(sheet)) {
        std::cerr << "no sheet " << sheet << "\n";
        return 1;
    }
    const int rows = book.UsedRowCount();
    for (int row = 0; row < rows; ++row)
        std::cout << row << "\t" << book.GetDateTimeText(row, column) << "\n";
    return 0;
}

std::vector<ExcelExportBook::ColumnKind> Kinds(const std::string& letters) {
    using Kind = ExcelExportBook::ColumnKind;
    std::vector<Kind> kinds;
    for (char letter : letters)
        kinds.push_back(letter == 'd' ? Kind::Date : letter == 's' ? Kind::DateTime : Kind::Text);
    return kinds;
}

int Write(const std::string& path, const std::string& kinds) {
    ExcelExportBook book;
    bool written = book.CreateWorkbook().ok;
    book.SetColumnKinds(Kinds(kinds));
    std::string line;
    for (bool header = true; std::getline(std::cin, line); header = false) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const ExcelExportBook::row_t cells = SplitText(Utf8ToGbk(line), '\t');
        written = (header ? book.WriteHeader(cells) : book.WriteRows({cells})).ok && written;
    }
    if (!written) std::cerr << "some cells do not fit an .xls sheet\n";
    if (!book.SaveAs(Utf8ToGbk(path)).ok) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
    }
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "dump" && argc == 3) return Dump(argv[2]);
    if (command == "dates" && argc == 5)
        return Dates(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (command == "write" && (argc == 3 || argc == 4))
        return Write(argv[2], argc == 4 ? argv[3] : "");
    return Usage();
}

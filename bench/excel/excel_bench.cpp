// Workbooks of 10,000 rows x 10 columns (plates, names, numbers, a date and a date-time column)
// read as the import reads them (.xlsx and .xls) and written to .xls as the export writes them,
// by workbook-tool, next to LibreOffice headless doing the same conversions: a peer, not a
// floor. Both sides are timed alike, as a program started and run to its end, interleaved,
// with the median and spread of the ratio project / peer. Then our .xls read against our .xlsx
// read in-process, and python3-xlrd's time for that .xls.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_timing.h"
#include "excel/excel_import_book.h"
#include "netsqlite/text_codec.h"
#include "tests/excel/workbook_fixtures.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 10;
constexpr int kRepeats = 5;
constexpr int kDateColumn = 4;
constexpr int kDateTimeColumn = 9;
constexpr char kKinds[] = "ttttdtttts";  // workbook-tool's letters for the columns

XlsxDate DateOf(int row) {
    return {2026, 1 + row % 12, 1 + row % 28, row % 24, row % 60, (row * 7) % 60};
}

std::string DateText(const XlsxDate& d, bool time) {
    char text[32];
    if (time)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                      d.hour, d.minute, d.second);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string CellText(int row, int column) {
    if (row == 0) return u8"字段" + std::to_string(column);
    if (column == kDateColumn || column == kDateTimeColumn)
        return DateText(DateOf(row), column == kDateTimeColumn);
    switch (column % 3) {
        case 0:
            return u8"京A" + std::to_string(10000 + row);
        case 1:
            return u8"客户" + std::to_string(row * kColumns + column);
        default:
            return std::to_string(row * 7 % 1000);
    }
}

XlsxCell Cell(int row, int column) {
    if (row > 0 && (column == kDateColumn || column == kDateTimeColumn)) {
        XlsxDate date = DateOf(row);
        if (column == kDateColumn) date.hour = date.minute = date.second = 0;
        return date;
    }
    return CellText(row, column);
}

std::string MakeSourceXlsx(const ScratchDir& scratch) {
    XlsxSheet sheet{"data", {}};
    for (int r = 0; r < kRows; ++r) {
        XlsxRow row;
        for (int c = 0; c < kColumns; ++c) row.push_back(Cell(r, c));
        sheet.rows.push_back(row);
    }
    MakeXlsx(scratch.file("source.xlsx"), {sheet});
    return scratch.file("source.xlsx");
}

std::string MakeText(const ScratchDir& scratch, const char* name, char separator) {
    std::string text;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            text += CellText(r, c) + (c + 1 < kColumns ? separator : '\n');
    WriteBytes(scratch.file(name), text);
    return scratch.file(name);
}

// A program run as LibreOffice is run: through the shell, under the same time limit.
void RunTool(const std::string& arguments) {
    const std::string command = std::string("timeout -k 5 120 ") + LEDGERDESK_WORKBOOK_TOOL + " " +
                                arguments + " >/dev/null 2>&1";
    benchtiming::Require(std::system(command.c_str()) == 0, arguments.c_str());
}

double MsOf(const std::function<void()>& work) {
    return benchtiming::MillisOf(work);
}

void ComparePrograms(const char* name, double goal_ms, const std::function<void()>& project,
                     const std::function<void()>& peer) {
    const double median = benchtiming::CompareInterleaved(
        name, kRepeats, [&] { return MsOf(project); }, [&] { return MsOf(peer); }, "peer");
    std::printf("%s: goal < %.0f ms %s\n", name, goal_ms, median < goal_ms ? "met" : "NOT met");
}

// Open, scan and read every cell text, as the import does.
void ReadAsImport(const std::string& path) {
    ExcelImportBook book;
    benchtiming::Require(book.OpenForImport(Utf8ToGbk(path)).ok, "open");
    book.ScanSheets();
    std::size_t bytes = 0;
    book.LoadSheet(0);
    for (int r = 0; r < book.EffectiveRowCounts()[0]; ++r)
        for (int c = 0; c < book.UsedColumnCounts()[0]; ++c)
            bytes += book.GetTrimmedText(r, c).size();
    benchtiming::Require(bytes > 0, "cells read");
}

// python3-xlrd opening the same .xls and reading every cell, timed inside Python so that its
// start-up is left out.
void PrintXlrdTime(const std::string& xls) {
    const std::string command =
        "/usr/bin/python3 -c 'import sys, time, xlrd\n"
        "times = []\n"
        "for _ in range(5):\n"
        "    start = time.perf_counter()\n"
        "    book = xlrd.open_workbook(sys.argv[1])\n"
        "    sheet = book.sheet_by_index(0)\n"
        "    cells = [sheet.cell_value(r, c) for r in range(sheet.nrows) for c in range(sheet.ncols)]\n"
        "    times.append((time.perf_counter() - start) * 1000)\n"
        "print(\"xlrd read of the same .xls: %.0f ms (median of 5)\" % sorted(times)[2])' " + xls;
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0) std::printf("xlrd read: python3-xlrd is not installed\n");
}

}  // namespace

int main() {
    if (!Office::Available()) {
        std::fprintf(stderr, "soffice is not installed (libreoffice-calc-nogui)\n");
        return 1;
    }
    ScratchDir scratch;
    const Office office(scratch);
    const std::string xlsx = MakeSourceXlsx(scratch);
    const std::string csv = MakeText(scratch, "rows.csv", ',');
    const std::string tsv = MakeText(scratch, "rows.tsv", '\t');
    // The first start of LibreOffice builds its profile; that is not what is measured. The .xls
    // to read is LibreOffice's own, dates as date cells.
    benchtiming::Require(office.Convert({xlsx}, "xls:MS Excel 97", scratch.file("xls")), "xls");
    const std::string xls = scratch.file("xls/source.xls");

    ComparePrograms(
        "excel_bench xlsx 10000x10 read as the import reads it (peer: LibreOffice to csv)", 1000,
        [&] { RunTool("dump " + xlsx); },
        [&] { office.Convert({xlsx}, kCsvUtf8Filter, scratch.file("csv")); });
    ComparePrograms(
        "excel_bench xls 10000x10 read as the import reads it (peer: LibreOffice to csv)", 1000,
        [&] { RunTool("dump " + xls); },
        [&] { office.Convert({xls}, kCsvUtf8Filter, scratch.file("csv")); });
    ComparePrograms(
        "excel_bench xls 10000x10 written as the export writes it (peer: LibreOffice csv to xls)",
        300,
        [&] { RunTool("write " + scratch.file("project.xls") + " " + kKinds + " < " + tsv); },
        [&] { office.Convert({csv}, "xls:MS Excel 97", scratch.file("out")); });
    benchtiming::CompareInterleaved(
        "excel_bench xls read 10k rows in-process (floor: our own .xlsx read of the same rows)",
        kRepeats, [&] { return MsOf([&] { ReadAsImport(xls); }); },
        [&] { return MsOf([&] { ReadAsImport(xlsx); }); });
    PrintXlrdTime(xls);
    return 0;
}

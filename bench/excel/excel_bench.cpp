// Reading a 10,000 x 10 .xlsx as the import does, and writing 10,000 x 10 to .xls as the export
// does, next to LibreOffice headless doing the same conversion of the same rows (start-up
// included, as an operator would pay it). Runs interleaved; prints the median and spread of the
// ratio floor / project, so above 1 means the project is faster. Then the .xls read against the
// .xlsx read of the same rows, and python3-xlrd's time for that .xls.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_timing.h"
#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
#include "netsqlite/text_codec.h"
#include "tests/excel/workbook_fixtures.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 10;
constexpr int kRepeats = 3;

template <typename Work>
double ElapsedMs(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

std::string CellText(int row, int column) {
    if (row == 0) return u8"字段" + std::to_string(column);
    switch (column % 3) {
        case 0:
            return u8"京A" + std::to_string(10000 + row);
        case 1:
            return u8"客户" + std::to_string(row * kColumns + column);
        default:
            return std::to_string(row * 7 % 1000);
    }
}

std::string MakeSourceXlsx(const ScratchDir& scratch) {
    XlsxSheet sheet{"data", {}};
    for (int r = 0; r < kRows; ++r) {
        XlsxRow row;
        for (int c = 0; c < kColumns; ++c) row.push_back(CellText(r, c));
        sheet.rows.push_back(row);
    }
    MakeXlsx(scratch.file("source.xlsx"), {sheet});
    return scratch.file("source.xlsx");
}

std::string MakeSourceCsv(const ScratchDir& scratch) {
    std::string csv;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) csv += CellText(r, c) + (c + 1 < kColumns ? "," : "\n");
    WriteBytes(scratch.file("source.csv"), csv);
    return scratch.file("source.csv");
}

// Open, scan and read every cell text, as workbook-tool dump does.
std::size_t ReadAsImport(const std::string& path) {
    ExcelImportBook book;
    if (!book.OpenForImport(Utf8ToGbk(path)).ok) std::exit(1);
    book.ScanSheets();
    std::size_t bytes = 0;
    book.LoadSheet(0);
    for (int r = 0; r < book.EffectiveRowCounts()[0]; ++r)
        for (int c = 0; c < book.UsedColumnCounts()[0]; ++c)
            bytes += book.GetTrimmedText(r, c).size();
    return bytes;
}

void WriteAsExport(const std::string& path) {
    ExcelExportBook book;
    book.CreateWorkbook();
    std::vector<ExcelExportBook::row_t> rows;
    for (int r = 0; r < kRows; ++r) {
        ExcelExportBook::row_t row;
        for (int c = 0; c < kColumns; ++c) row.push_back(Utf8ToGbk(CellText(r, c)));
        rows.push_back(row);
    }
    book.WriteHeader(rows.front());
    rows.erase(rows.begin());
    book.WriteRows(rows);
    if (!book.SaveAs(Utf8ToGbk(path)).ok) std::exit(1);
}

using benchtiming::Median;

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
    if (std::system(command.c_str()) != 0) std::printf("xlrd read: python3-xlrd is not installed\n");
}

template <typename Project, typename Floor>
void Compare(const char* name, double goal_ms, Project&& project, Floor&& floor) {
    std::vector<double> project_ms, floor_ms, ratios;
    for (int i = 0; i < kRepeats; ++i) {
        project_ms.push_back(ElapsedMs(project));
        floor_ms.push_back(ElapsedMs(floor));
        ratios.push_back(floor_ms.back() / project_ms.back());
    }
    std::printf(
        "%s: project %.0f ms, floor %.0f ms, ratio %.1f (spread %.1f-%.1f); goal < %.0f ms\n", name,
        Median(project_ms), Median(floor_ms), Median(ratios),
        *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), goal_ms);
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
    const std::string csv = MakeSourceCsv(scratch);
    // The first start of LibreOffice builds its profile; that is not what is measured.
    office.Convert({csv}, kCsvUtf8Filter, scratch.file("warm"));

    Compare(
        "xlsx 10000x10 read as the import does (floor: LibreOffice headless to csv)", 1000,
        [&] { ReadAsImport(xlsx); },
        [&] { office.Convert({xlsx}, kCsvUtf8Filter, scratch.file("csv")); });
    Compare(
        "xls 10000x10 written as the export does (floor: LibreOffice headless csv to xls)", 300,
        [&] { WriteAsExport(scratch.file("project.xls")); },
        [&] { office.Convert({csv}, "xls:MS Excel 97", scratch.file("xls")); });
    // The .xls the export wrote holds the same rows as the .xlsx: our own .xlsx read is the floor.
    benchtiming::CompareInterleaved(
        "xls read 10k rows", 5,
        [&] { return benchtiming::MillisOf([&] { ReadAsImport(scratch.file("project.xls")); }); },
        [&] { return benchtiming::MillisOf([&] { ReadAsImport(xlsx); }); });
    PrintXlrdTime(scratch.file("project.xls"));
    return 0;
}

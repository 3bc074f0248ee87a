// The export holder: header and rows, full sheets going on in new ones, the .xls column limit,
// cells kept as last written, and saving without harming existing files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>

#include "excel/biff8_workbook.h"
#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
#include "excel/vellum_excel_file.h"
#include "tests/support/scratch_dir.h"

namespace {

TEST(ExportBookTest, WritesTheHeaderOnlyOnceUntilTheRowsAreReset) {
    ExcelExportBook book;
    ASSERT_TRUE(book.CreateWorkbook().ok);
    EXPECT_EQ(book.WriteHeader({"a", "b"}), ret_t(true, 0));
    EXPECT_EQ(book.WriteHeader({"c"}), ret_t(false, 0));
    EXPECT_EQ(book.WriteRows({{"1", "2"}, {"3"}}), ret_t(true, 0));
    EXPECT_EQ(book.NextRow(), 3);
    book.ResetNextRow();
    // Written rows are already on their way to the file: they are not written again.
    EXPECT_EQ(book.WriteHeader({"again"}), ret_t(false, 0));
    book.ResetNextRow();
    ASSERT_TRUE(book.CreateWorkbook().ok);
    EXPECT_EQ(book.WriteHeader({"again"}), ret_t(true, 0));
}

TEST(ExportBookTest, SaysSoWhenColumnsDoNotFitAnXlsSheet) {
    ExcelExportBook book;
    ASSERT_TRUE(book.CreateWorkbook().ok);
    EXPECT_EQ(book.WriteHeader(ExcelExportBook::row_t(kBiff8MaxColumns + 1, "t")), ret_t(false, 0));
    EXPECT_EQ(book.WriteRows({ExcelExportBook::row_t(kBiff8MaxColumns + 1, "w")}), ret_t(false, 0));
}

struct RefusedCell {
    const char* why;
    int row;
    int column;
};

void PrintTo(const RefusedCell& c, std::ostream* out) { *out << c.why; }

class RefusedCells : public ::testing::TestWithParam<RefusedCell> {};

// Cells go to the file as they come, so each must follow the last one of its sheet.
TEST_P(RefusedCells, AreRefusedAndLeaveTheBookAsItWas) {
    ScratchDir scratch;
    Biff8BookWriter writer;
    writer.AddSheet("Sheet1");
    writer.SetText(2, 1, "b");
    writer.SetNumber(2, 3, 4.5);
    EXPECT_THROW(writer.SetText(GetParam().row, GetParam().column, "x"), WorkbookError);
    EXPECT_THROW(writer.SetNumber(GetParam().row, GetParam().column, 1), WorkbookError);
    writer.SetText(3, 0, "next");
    writer.SaveAs(scratch.file("refused.xls"));

    VellumExcelFile file;
    ASSERT_TRUE(file.Open(scratch.file("refused.xls")));
    ASSERT_TRUE(file.LoadSheet(0));
    EXPECT_EQ(file.UsedRowCount(), 2);
    EXPECT_EQ(file.UsedColumnCount(), 4);
    EXPECT_EQ(file.GetCellText(2, 1), "b");
    EXPECT_EQ(file.GetCellValue(2, 3).number, 4.5);
    EXPECT_EQ(file.GetCellText(3, 0), "next");
}

INSTANTIATE_TEST_SUITE_P(Order, RefusedCells,
                         ::testing::Values(RefusedCell{"an earlier row", 1, 5},
                                           RefusedCell{"the last cell again", 2, 3},
                                           RefusedCell{"left of the last cell", 2, 2},
                                           RefusedCell{"beyond the last row", kBiff8MaxRows, 0},
                                           RefusedCell{"beyond the last column", 4, kBiff8MaxColumns},
                                           RefusedCell{"a negative column", 4, -1}));

TEST(ExportBookTest, AWriterWithoutASheetRefusesCells) {
    Biff8BookWriter writer;
    EXPECT_THROW(writer.SetText(0, 0, "x"), WorkbookError);
}

using Rows = std::vector<ExcelExportBook::row_t>;

// Every sheet of the file as our own reader sees it: its name, then its rows.
std::vector<std::pair<tstring, Rows>> ReadSheets(const std::string& path) {
    ExcelImportBook book;
    EXPECT_TRUE(book.OpenForImport(path).ok);
    std::vector<std::pair<tstring, Rows>> sheets;
    for (int sheet = 0; sheet < book.SheetCount(); ++sheet) {
        book.LoadSheet(sheet);
        Rows rows(book.UsedRowCount());
        for (int r = 0; r < book.UsedRowCount(); ++r)
            for (int c = 0; c < book.UsedColumnCount(); ++c) rows[r].push_back(book.GetCellText(r, c));
        sheets.emplace_back(book.SheetName(sheet), rows);
    }
    return sheets;
}

struct SheetCase {
    int rows_per_sheet;
    int rows;
    std::vector<int> sheet_rows;  // header included
};

void PrintTo(const SheetCase& c, std::ostream* out) {
    *out << c.rows << " rows, sheets of " << c.rows_per_sheet;
}

class FullSheets : public ::testing::TestWithParam<SheetCase> {};

TEST_P(FullSheets, GoOnInANewSheetThatStartsWithTheHeaderAgain) {
    const SheetCase& sheet_case = GetParam();
    ScratchDir scratch;
    ExcelExportBook book;
    book.SetRowsPerSheet(sheet_case.rows_per_sheet);
    ASSERT_TRUE(book.CreateWorkbook().ok);
    const ExcelExportBook::row_t header{"n", "name"};
    ASSERT_TRUE(book.WriteHeader(header).ok);
    Rows written;
    for (int i = 1; i <= sheet_case.rows; ++i) written.push_back({std::to_string(i), "v" + std::to_string(i)});
    // In batches of three, so sheets fill inside a batch and at its end.
    for (std::size_t first = 0; first < written.size(); first += 3) {
        const std::size_t last = std::min(first + 3, written.size());
        ASSERT_TRUE(book.WriteRows(Rows(written.begin() + first, written.begin() + last)).ok);
    }
    ASSERT_TRUE(book.SaveAs(scratch.file("sheets.xls")).ok);

    Rows read;
    std::vector<int> sheet_rows;
    int number = 0;
    for (const auto& [name, rows] : ReadSheets(scratch.file("sheets.xls"))) {
        EXPECT_EQ(name, "Sheet" + std::to_string(++number));
        EXPECT_EQ(rows.front(), header) << name;
        sheet_rows.push_back(static_cast<int>(rows.size()));
        read.insert(read.end(), rows.begin() + 1, rows.end());
    }
    EXPECT_EQ(sheet_rows, sheet_case.sheet_rows);
    EXPECT_EQ(read, written) << "every row once, in order";
}

INSTANTIATE_TEST_SUITE_P(Limits, FullSheets,
                         ::testing::Values(SheetCase{3, 2, {3}},  // exactly full: no empty sheet
                                           SheetCase{3, 3, {3, 2}},
                                           SheetCase{4, 10, {4, 4, 4, 2}},
                                           SheetCase{2, 3, {2, 2, 2}},
                                           // cells of many chunks of the temporary file
                                           SheetCase{5000, 12000, {5000, 5000, 2003}}));

TEST(ExportBookTest, CellsWrittenInAnyOrderAndOverwrittenAreSavedAsLastWritten) {
    ScratchDir scratch;
    VellumExcelFile file;
    ASSERT_TRUE(file.CreateNew());
    file.SetCellText(0, 3, "d");
    file.SetCellText(0, 1, "b");
    file.SetCellText(0, 2, "c");
    file.SetCellText(0, 1, "B");
    file.SetCellText(0, 2, "");
    file.SetCellText(1, 0, "");
    EXPECT_EQ(file.UsedColumnCount(), 3) << "columns 1 to 3: clearing does not narrow";
    EXPECT_EQ(file.UsedRowCount(), 1);
    file.SaveAs(scratch.file("order.xls"));

    ASSERT_TRUE(file.Open(scratch.file("order.xls")));
    ASSERT_TRUE(file.LoadSheet(0));
    std::vector<tstring> row;
    for (int column = 0; column < 5; ++column) row.push_back(file.GetCellText(0, column));
    EXPECT_EQ(row, (std::vector<tstring>{"", "B", "", "d", ""}));
}

TEST(ExportBookTest, SavingReplacesTheTargetOrLeavesItAsItWas) {
    ScratchDir scratch;
    const std::string target = scratch.file("out.xls");
    WriteBytes(target, "old");
    ::umask(022);
    ExcelExportBook book;
    ASSERT_TRUE(book.CreateWorkbook().ok);
    ASSERT_TRUE(book.WriteHeader({"new"}).ok);
    ASSERT_TRUE(book.SaveAs(target).ok);
    EXPECT_NE(ReadBytes(target), "old");
    // Not the private mode of a temporary file.
    EXPECT_NE(std::filesystem::status(target).permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::none);
    // Saving closes the workbook: nothing more is written to it.
    EXPECT_FALSE(book.WriteRows({{"late"}}).ok);
    EXPECT_FALSE(book.SaveAs(target).ok);

    // A target that cannot be replaced stays, and no temporary file is left behind.
    std::filesystem::create_directory(scratch.file("busy.xls"));
    WriteBytes(scratch.file("busy.xls/keep"), "kept");
    ASSERT_TRUE(book.CreateWorkbook().ok);
    EXPECT_FALSE(book.SaveAs(scratch.file("busy.xls")).ok);
    EXPECT_EQ(ReadBytes(scratch.file("busy.xls/keep")), "kept");
    EXPECT_FALSE(book.SaveAs(scratch.file("missing/out.xls")).ok);
    EXPECT_EQ(scratch.fileCount(), 2u);
}

}  // namespace

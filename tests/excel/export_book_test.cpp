// The export holder: header and rows, the .xls limits, and saving without harming existing files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "excel/biff8_workbook.h"
#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
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
    EXPECT_EQ(book.WriteHeader({"again"}), ret_t(true, 0));
}

TEST(ExportBookTest, SaysSoWhenRowsDoNotFitAnXlsSheet) {
    ScratchDir scratch;
    ExcelExportBook book;
    ASSERT_TRUE(book.CreateWorkbook().ok);
    ASSERT_TRUE(book.WriteHeader({"n"}).ok);
    std::vector<ExcelExportBook::row_t> rows(kBiff8MaxRows, ExcelExportBook::row_t{"x"});
    EXPECT_EQ(book.WriteRows(rows), ret_t(false, 0));
    ASSERT_TRUE(book.SaveAs(scratch.file("full.xls")).ok);
    ExcelImportBook check;
    ASSERT_TRUE(check.OpenForImport(scratch.file("full.xls")).ok);
    EXPECT_EQ(check.UsedRowCount(), kBiff8MaxRows);
    EXPECT_EQ(check.GetCellText(kBiff8MaxRows - 1, 0), "x");

    ASSERT_TRUE(book.CreateWorkbook().ok);
    book.ResetNextRow();
    EXPECT_EQ(book.WriteRows({ExcelExportBook::row_t(kBiff8MaxColumns + 1, "w")}), ret_t(false, 0));
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

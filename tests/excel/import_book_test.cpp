// The import holder over real .xlsx and .xls files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

#include <sys/resource.h>
#include <zip.h>

#include "settings/config.h"
#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
#include "excel/workbook_reader.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/support/case_printing.h"

namespace {

class ImportBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        m_config = std::make_unique<CConfig>(m_scratch.file("wlsetting.ini"));
    }

    std::string Xlsx(const std::string& name, const std::vector<XlsxSheet>& sheets) {
        const std::string path = m_scratch.file(name);
        MakeXlsx(path, sheets);
        return path;
    }

    ScratchDir m_scratch;
    std::unique_ptr<CConfig> m_config;
    ExcelImportBook m_book;
};

XlsxSheet MixedCells() {
    XlsxSheet sheet{"data", {}};
    sheet.rows = {
        {std::string(u8"车牌"), std::string("amount"), std::string("when"), std::string("flag")},
        {std::string(u8"京A12345"), 12.6, XlsxDate{2024, 3, 15, 10, 20, 30}, XlsxBool{true}},
        {std::string("  padded  "), 0.0, std::string("2024-03-16"), XlsxBool{false}},
    };
    return sheet;
}

TEST_F(ImportBookTest, ReadsCellsAsValue2GivesThem) {
    ASSERT_EQ(m_book.OpenForImport(Xlsx("mixed.xlsx", {MixedCells()})), ret_t(true, 0));
    EXPECT_EQ(m_book.GetCellText(0, 0), "车牌");
    EXPECT_EQ(m_book.GetCellText(1, 1), "12.6");
    EXPECT_EQ(m_book.GetCellText(1, 2), "45366.4309027778");  // a date reads as its serial day, the time its fraction
    EXPECT_EQ(m_book.GetCellText(1, 3), "");       // booleans are "other"
    EXPECT_EQ(m_book.GetYesNoText(1, 3), "1");     // but a yes/no column reads them
    EXPECT_EQ(m_book.GetYesNoText(2, 3), "0");
    EXPECT_EQ(m_book.GetYesNoText(2, 0), "padded");
    EXPECT_EQ(m_book.GetCellText(2, 0), "  padded  ");
    EXPECT_EQ(m_book.GetTrimmedText(2, 0), "padded");
    EXPECT_EQ(m_book.GetCellText(9, 9), "");
}

struct DateCase : testcases::NamedCase {
    int row, column;
    const char* date_time;
    const char* date;
};

class ImportBookDates : public ImportBookTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(ImportBookDates, ReadsTheCellAsADate) {
    ASSERT_TRUE(m_book.OpenForImport(Xlsx("mixed.xlsx", {MixedCells()})).ok);
    EXPECT_EQ(m_book.GetDateTimeText(GetParam().row, GetParam().column), GetParam().date_time);
    EXPECT_EQ(m_book.GetDateText(GetParam().row, GetParam().column), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, ImportBookDates,
    ::testing::Values(DateCase{{"DateCell"}, 1, 2, "2024-03-15 10:20:30", "2024-03-15"},
                      DateCase{{"DateText"}, 2, 2, "2024-03-16 00:00:00", "2024-03-16"},
                      DateCase{{"ZeroIsTheStartOf1970"}, 2, 1, "1970-01-01 00:00:00", "1970-01-01"},
                      DateCase{{"Before1970"}, 1, 1, "", ""}, DateCase{{"Boolean"}, 1, 3, "", ""},
                      DateCase{{"PlainText"}, 0, 0, "", ""}, DateCase{{"Empty"}, 5, 5, "", ""}),
    testcases::kCaseName);

TEST_F(ImportBookTest, SelectsTheFirstSheetWithMoreThanOneRowAndRemembersThePath) {
    const std::string path =
        Xlsx("second.xlsx", {XlsxSheet{"empty", {}}, TextSheet("one row", {{"a", "b"}}),
                             TextSheet("data", {{"a", "b"}, {"1", "2"}})});
    EXPECT_EQ(m_book.OpenForImport(path), ret_t(true, 0));
    EXPECT_EQ(m_book.CurrentSheet(), 2);
    EXPECT_EQ(m_config->GetValue("Import", "FilePath"), path);
}

// Each way a file can fail to give data is told apart, and the path is remembered only for a
// workbook that opened.
struct RefusedCase : testcases::NamedCase {
    std::function<std::string(const std::string& path)> make;
    int code;
};

class ImportBookRefuses : public ImportBookTest, public ::testing::WithParamInterface<RefusedCase> {};

std::string Written(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes);
    return path;
}

TEST_P(ImportBookRefuses, SaysWhyTheFileGivesNoData) {
    EXPECT_EQ(m_book.OpenForImport(GetParam().make(m_scratch.file("book.xlsx"))), ret_t(false, GetParam().code));
    EXPECT_EQ(m_config->GetValue("Import", "FilePath"), "");
    EXPECT_EQ(m_book.GetCellText(1, 0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImportBookRefuses,
    ::testing::Values(
        RefusedCase{{"Missing"}, [](const std::string& p) { return p + ".gone"; },
                    ExcelImportBook::kNotFound},
        RefusedCase{{"Folder"}, [](const std::string& p) {
                        std::filesystem::create_directory(p);
                        return p;
                    }, ExcelImportBook::kNotAWorkbook},
        RefusedCase{{"ZeroBytes"}, [](const std::string& p) { return Written(p, ""); },
                    ExcelImportBook::kNotAWorkbook},
        RefusedCase{{"TextFile"}, [](const std::string& p) { return Written(p, "name,plate\n"); },
                    ExcelImportBook::kNotAWorkbook},
        RefusedCase{{"NoZip"}, [](const std::string& p) { return Written(p, "PK\x03\x04 no zip"); },
                    ExcelImportBook::kDamaged},
        RefusedCase{{"Truncated"}, [](const std::string& p) {
                        MakeXlsx(p, {MixedCells()});
                        return Written(p, ReadBytes(p).substr(0, 2000));
                    }, ExcelImportBook::kDamaged},
        RefusedCase{{"HeaderOnly"}, [](const std::string& p) {
                        MakeXlsx(p, {XlsxSheet{"empty", {}}, TextSheet("header", {{"a", "b"}})});
                        return p;
                    },
                    ExcelImportBook::kNoData},
        RefusedCase{{"EmptyWorkbook"}, [](const std::string& p) {
                        MakeXlsx(p, {XlsxSheet{"empty", {}}});
                        return p;
                    }, ExcelImportBook::kNoData}),
    testcases::kCaseName);

// A zip whose directory claims 3.5 GB for the sheet, in the field at `field` of its entry: the
// packed size (offset 20) or the unpacked size (24).
class ImportBookZipClaims : public ImportBookTest, public ::testing::WithParamInterface<int> {};

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_P(ImportBookZipClaims, ASizeNoEntryCanHaveIsRefusedBeforeAnythingIsAllocatedForIt) {
    const std::string path = Xlsx("claims.xlsx", {MixedCells()});
    std::string bytes = ReadBytes(path);
    // The directory comes after the local headers; its entry's name follows 46 bytes of fields.
    std::size_t at = bytes.rfind("xl/worksheets/sheet1.xml");
    ASSERT_TRUE(at != std::string::npos && at >= 46);
    at -= 46;
    ASSERT_EQ(bytes.compare(at, 4, "PK\x01\x02"), 0);
    bytes.replace(at + GetParam(), 4, "\x00\x00\x00\xD0", 4);
    WriteBytes(path, bytes);
    const long before = PeakKilobytes();
    EXPECT_EQ(m_book.OpenForImport(path), ret_t(false, ExcelImportBook::kDamaged));
    EXPECT_LT(PeakKilobytes() - before, 256 * 1024) << "kilobytes taken by a 5 KB file";
}

INSTANTIATE_TEST_SUITE_P(Fields, ImportBookZipClaims, ::testing::Values(20, 24));

// A merged range fills down its first column within the used rows, so a small file cannot make
// the reader fill millions of cells, and a value merged across columns stays in its own.
TEST(MergedRangeTest, FillsDownItsFirstColumnWithinTheUsedRows) {
    SheetData sheet("s");
    sheet.set_cell(0, 0, CellValue::Text("x"));
    sheet.set_cell(999, 200, CellValue::Text("far"));
    detail::FillMergedRange(sheet, {0, 0, 1048575, 16383});
    EXPECT_EQ(sheet.cell(999, 0).text, "x");
    EXPECT_EQ(sheet.cell(0, 1).kind, CellValue::Kind::Empty);
    EXPECT_EQ(sheet.last_used_row(), 999) << "nothing beyond the used rows";
}

// A sheet whose column sizes are damaged (a column without its first) and whose cells carry no
// type: the cells read without the sizes.
TEST_F(ImportBookTest, ASheetWithDamagedColumnSizesReadsWithoutThem) {
    const std::string path = Xlsx("damaged.xlsx", {TextSheet("s", {{"a"}, {"b"}})});
    const std::string sheet =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">") +
        "<cols><col max=\"1\" width=\"5\"/></cols>"
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row></sheetData></worksheet>";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), 0, &error);
    ASSERT_NE(archive, nullptr);
    zip_source_t* source = zip_source_buffer(archive, sheet.data(), sheet.size(), 0);
    ASSERT_GE(zip_file_add(archive, "xl/worksheets/sheet1.xml", source, ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(archive), 0);
    ASSERT_EQ(m_book.OpenForImport(path), ret_t(true, 0));
    EXPECT_EQ(m_book.GetCellText(1, 0), "2");
}

// An .ods of a few hundred bytes whose one valued cell is repeated over every row and column
// of the sheet: refused as too large, without the reader filling billions of cells.
TEST_F(ImportBookTest, AWorkbookThatExpandsBeyondTheLimitsIsTooLarge) {
    const std::string content =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
        "<office:body><office:spreadsheet><table:table table:name=\"s\">"
        "<table:table-row table:number-rows-repeated=\"1048576\"><table:table-cell "
        "table:number-columns-repeated=\"16384\" office:value-type=\"string\"><text:p>a</text:p>"
        "</table:table-cell></table:table-row></table:table></office:spreadsheet></office:body>"
        "</office:document-content>";
    const std::string mimetype = "application/vnd.oasis.opendocument.spreadsheet";
    const std::string path = m_scratch.file("vast.ods");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, bytes] : {std::pair{"mimetype", &mimetype}, std::pair{"content.xml", &content}})
        ASSERT_GE(zip_file_add(archive, name, zip_source_buffer(archive, bytes->data(), bytes->size(), 0),
                               ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(archive), 0);
    EXPECT_EQ(m_book.OpenForImport(path), ret_t(false, ExcelImportBook::kTooLarge));
}

TEST_F(ImportBookTest, OpeningNeverWritesTheSource) {
    const std::string path = Xlsx("source.xlsx", {MixedCells()});
    const std::string before = ReadBytes(path);
    const auto time_before = std::filesystem::last_write_time(path);
    {
        ExcelImportBook book;
        ASSERT_TRUE(book.OpenForImport(path).ok);
        book.ScanSheets();
    }
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::filesystem::last_write_time(path), time_before);
    EXPECT_EQ(m_scratch.fileCount(), 2u);  // the workbook and the settings file
}

TEST_F(ImportBookTest, CountsAUsedRangeThatStartsInsideTheSheetAsExcelDoes) {
    XlsxSheet sheet = TextSheet("offset", {{"a", "b"}, {"1", "2"}, {"3", "4"}});
    sheet.first_row = 2;
    sheet.first_column = 3;
    ASSERT_TRUE(m_book.OpenForImport(Xlsx("offset.xlsx", {sheet})).ok);
    m_book.ScanSheets();
    EXPECT_EQ(m_book.UsedRowCount(), 3);
    EXPECT_EQ(m_book.UsedColumnCount(), 2);
    EXPECT_EQ(m_book.GetCellText(2, 3), "a");
    // The import reads such a sheet from row and column 0 to its last used ones.
    EXPECT_EQ(m_book.EffectiveRowCounts(), std::vector<int>{5});
    EXPECT_EQ(m_book.UsedColumnCounts(), std::vector<int>{5});
}

TEST_F(ImportBookTest, ATableRightOfColumnAKeepsItsLastColumn) {
    XlsxSheet sheet = TextSheet("from B", {{"PlateID", "Name", "Phone"}, {"P1", "A", "1"}, {"P2", "B", "2"}});
    sheet.first_column = 1;
    ASSERT_TRUE(m_book.OpenForImport(Xlsx("fromb.xlsx", {sheet})).ok);
    m_book.ScanSheets();
    m_book.LoadColumnChoice();
    EXPECT_EQ(m_book.HeaderNames(), (std::vector<tstring>{"PlateID", "Name", "Phone"}));
    m_book.AddChosenColumn("Phone");
    m_book.SetChosenSheets({0});
    EXPECT_EQ(m_book.DistinctValues("Phone"), (ExcelImportBook::column_set_t{"1", "2"}));
}

std::vector<std::vector<std::string>> RowsWithTail(int filled, int total) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < total; ++r) {
        if (r < filled)
            rows.push_back({"r" + std::to_string(r), "v"});
        else
            rows.push_back({r + 1 == total ? "last" : "", r % 7 ? "" : "lone"});
    }
    return rows;
}

// Rows 0 to filled - 1 filled, then `gap` rows with a plate alone, then filled rows to `total`.
std::vector<std::vector<std::string>> RowsWithGap(int filled, int gap, int total) {
    std::vector<std::vector<std::string>> rows = RowsWithTail(total, total);
    for (int r = filled; r < filled + gap; ++r) rows[r][1] = "";
    return rows;
}

std::vector<std::vector<std::string>> OneColumn(int total) {
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < total; ++r) rows.push_back({"P" + std::to_string(r)});
    return rows;
}

TEST_F(ImportBookTest, CutsTrailingSparseRowsOnlyFromSheetsOverAHundredRows) {
    ASSERT_TRUE(m_book
                    .OpenForImport(Xlsx("trim.xlsx", {TextSheet("long", RowsWithTail(200, 500)),
                                                      TextSheet("short", RowsWithTail(5, 100)),
                                                      TextSheet("gap", RowsWithTail(300, 310)),
                                                      TextSheet("inner gap", RowsWithGap(50, 30, 400)),
                                                      TextSheet("plates", OneColumn(150))}))
                    .ok);
    m_book.ScanSheets();
    EXPECT_EQ(m_book.SheetNames(),
              (std::vector<tstring>{"long", "short", "gap", "inner gap", "plates"}));
    // Sparse rows inside the data keep the rows after them; a lone column fills its rows.
    EXPECT_EQ(m_book.EffectiveRowCounts(), (std::vector<int>{200, 100, 310, 400, 150}));
    EXPECT_EQ(m_book.UsedColumnCounts(), (std::vector<int>{2, 2, 2, 2, 1}));
}

TEST_F(ImportBookTest, ReadsAnXlsWrittenByTheExportHolder) {
    ExcelExportBook out;
    ASSERT_TRUE(out.CreateWorkbook().ok);
    ASSERT_TRUE(out.WriteHeader({"车牌", "姓名"}).ok);
    ASSERT_TRUE(out.WriteRows({{"京A12345", "张三"}, {"", "  空车牌"}}).ok);
    const std::string path = m_scratch.file("export.xls");
    ASSERT_TRUE(out.SaveAs(path).ok);
    ASSERT_EQ(m_book.OpenForImport(path), ret_t(true, 0));
    m_book.ScanSheets();
    EXPECT_EQ(m_book.SheetNames(), (std::vector<tstring>{"Sheet1"}));
    EXPECT_EQ(m_book.EffectiveRowCounts(), (std::vector<int>{3}));
    EXPECT_EQ(m_book.GetCellText(1, 1), "张三");
    EXPECT_EQ(m_book.GetCellText(2, 0), "");
    EXPECT_EQ(m_book.GetTrimmedText(2, 1), "空车牌");
}

}  // namespace

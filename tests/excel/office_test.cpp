// LibreOffice headless as the independent reader and writer: every .xls we write opens there with
// the same cells, a text too long for a cell is refused, rows beyond a full sheet go on in the
// next sheet, and one workbook saved by it as .xls, .xlsx, .xlsm and .ods reads the same through
// every one of our readers. Each test starts LibreOffice as few times as it can.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>

#include "excel/biff8_workbook.h"
#include "excel/excel_export_book.h"
#include "excel/excel_import_book.h"
#include "netsqlite/text_codec.h"
#include "tests/excel/workbook_fixtures.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;  // UTF-8

#define SKIP_WITHOUT_OFFICE() \
    if (!Office::Available()) GTEST_SKIP() << "soffice (libreoffice-calc-nogui) is not installed"

// Every row of every sheet as the import reads it, converted to UTF-8.
Rows ReadAllRows(const std::string& path) {
    ExcelImportBook book;
    if (book.OpenForImport(Utf8ToGbk(path)).code == 1) return {{"unreadable"}};
    book.ScanSheets();
    Rows rows;
    for (std::size_t sheet = 0; sheet < book.SheetNames().size(); ++sheet) {
        book.LoadSheet(static_cast<int>(sheet));
        for (int r = 0; r < book.EffectiveRowCounts()[sheet]; ++r) {
            std::vector<std::string> cells;
            for (int c = 0; c < book.UsedColumnCounts()[sheet]; ++c)
                cells.push_back(GbkToUtf8(book.GetCellText(r, c)));
            rows.push_back(cells);
        }
    }
    return rows;
}

// Rows padded with empty cells to the widest, as a reader of the used range sees them.
Rows Padded(Rows rows) {
    std::size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.size());
    for (auto& row : rows) row.resize(width);
    return rows;
}

std::string WriteXls(const std::string& path, const Rows& rows) {
    ExcelExportBook book;
    EXPECT_TRUE(book.CreateWorkbook().ok);
    std::vector<ExcelExportBook::row_t> body;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ExcelExportBook::row_t cells;
        for (const std::string& text : rows[r]) cells.push_back(Utf8ToGbk(text));
        body.push_back(cells);
    }
    ExcelExportBook::row_t header;
    for (const std::string& text : rows[0]) header.push_back(Utf8ToGbk(text));
    EXPECT_TRUE(book.WriteHeader(header).ok);
    EXPECT_TRUE(book.WriteRows(body).ok);
    EXPECT_TRUE(book.SaveAs(Utf8ToGbk(path)).ok);
    return path;
}

Rows ChineseRows() {
    return {{u8"车牌号码", u8"姓名", "note"},
            {u8"京A12345", u8"张三", ""},
            {"", u8"李四", u8"空车牌"},
            {"B-99", "", "  spaced  "}};
}

// 4,000 distinct texts overflow the first SST record into CONTINUE records.
Rows ManyDistinctRows() {
    Rows rows{{"a", "b", "c", "d"}};
    for (int r = 0; r < 1000; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < 4; ++c) row.push_back(u8"值" + std::to_string(r * 4 + c));
        rows.push_back(row);
    }
    return rows;
}

// More distinct texts than the writer shares: later texts get an entry for every cell, earlier
// and repeated ones keep sharing theirs, and all of them read back in their cells.
Rows BeyondTheSharedTextsRows() {
    Rows rows{{"n", u8"有效", "late"}};
    for (int r = 0; r < 5000; ++r)
        rows.push_back({u8"值" + std::to_string(r), r % 2 ? u8"是" : u8"否", r < 4500 ? "" : "late"});
    return rows;
}

// One text longer than a record: its characters continue in the next record.
Rows LongTextRows() {
    std::string long_text;
    for (int i = 0; i < 5000; ++i) long_text += u8"长";
    return {{"short", "long"}, {"x", long_text}, {"y", "after"}};
}

TEST(OfficeTest, EveryXlsWeWriteOpensInLibreOfficeWithTheSameCells) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    const std::vector<std::pair<std::string, Rows>> books{
        {"chinese", ChineseRows()}, {"many", ManyDistinctRows()}, {"long", LongTextRows()},
        {"beyond", BeyondTheSharedTextsRows()}};
    std::vector<std::string> files;
    for (const auto& [name, rows] : books)
        files.push_back(WriteXls(scratch.file(name + ".xls"), rows));
    ASSERT_TRUE(Office(scratch).Convert(files, kCsvUtf8Filter, scratch.file("csv")));
    for (const auto& [name, rows] : books) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadCsv(scratch.file("csv/" + name + ".csv")), Padded(rows));
        EXPECT_EQ(ReadAllRows(scratch.file(name + ".xls")), Padded(rows));
    }
}

// A cell holds at most 32,767 characters: a longer text is refused, and the cells after it stay
// readable (past 65,535 the string's length field overflowed and garbled the rest of the book).
TEST(OfficeTest, ATextLongerThanACellHoldsIsRefusedAndTheCellsAfterItStayIntact) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    const std::vector<std::pair<std::size_t, bool>> lengths{
        {32767, true}, {32768, false}, {70000, false}};
    std::vector<std::string> files;
    for (const auto& [characters, kept] : lengths) {
        ExcelExportBook book;
        ASSERT_TRUE(book.CreateWorkbook().ok);
        ASSERT_TRUE(book.WriteHeader({"a", "b"}).ok);
        EXPECT_EQ(book.WriteRows({{tstring(characters, 'x'), "after"}}).ok, kept) << characters;
        ASSERT_TRUE(book.WriteRows({{"next", "row"}}).ok);
        files.push_back(scratch.file("long" + std::to_string(characters) + ".xls"));
        ASSERT_TRUE(book.SaveAs(files.back()).ok);
    }
    ASSERT_TRUE(Office(scratch).Convert(files, kCsvUtf8Filter, scratch.file("csv")));
    for (const auto& [characters, kept] : lengths) {
        const std::string text = kept ? std::string(characters, 'x') : "";
        EXPECT_EQ(ReadCsv(scratch.file("csv/long" + std::to_string(characters) + ".csv")),
                  (Rows{{"a", "b"}, {text, "after"}, {"next", "row"}}))
            << characters;
    }
}

// Every table:table-column of the flat .ods, repeated ones spelled out, as its width in inches.
std::vector<double> ColumnWidths(const std::string& fods) {
    std::map<std::string, double> widths;
    const std::regex style(
        "style:name=\"(co[0-9]+)\"[^>]*>\\s*<style:table-column-properties[^>]*"
        "style:column-width=\"([0-9.]+)in\"");
    for (std::sregex_iterator it(fods.begin(), fods.end(), style), end; it != end; ++it)
        widths[(*it)[1]] = std::stod((*it)[2]);
    std::vector<double> columns;
    const std::regex column("<table:table-column table:style-name=\"(co[0-9]+)\""
                            "(?: table:number-columns-repeated=\"([0-9]+)\")?");
    for (std::sregex_iterator it(fods.begin(), fods.end(), column), end; it != end; ++it)
        columns.insert(columns.end(), (*it)[2].matched ? std::stoi((*it)[2]) : 1, widths[(*it)[1]]);
    return columns;
}

// Dates go out as date cells that LibreOffice sorts and filters as dates, a text that is no date
// stays text, and each column is as wide as its widest cell.
TEST(OfficeTest, DateColumnsAreDateCellsAndColumnsFitTheirCells) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    using Kind = ExcelExportBook::ColumnKind;
    ExcelExportBook book;
    ASSERT_TRUE(book.CreateWorkbook().ok);
    book.SetColumnKinds({Kind::Text, Kind::Date, Kind::DateTime});
    ASSERT_TRUE(book.WriteHeader({"n", Utf8ToGbk(u8"生效日期"), Utf8ToGbk(u8"有效期至")}).ok);
    ASSERT_TRUE(book.WriteRows({{"a", "2026-03-01", "2026-12-31 23:59:59"},
                                {"b", Utf8ToGbk(u8"不是日期"), ""}})
                    .ok);
    const std::string xls = scratch.file("dates.xls");
    ASSERT_TRUE(book.SaveAs(xls).ok);
    ASSERT_TRUE(Office(scratch).Convert({xls}, "fods", scratch.file("out")));
    const std::string fods = ReadBytes(scratch.file("out/dates.fods"));
    EXPECT_NE(fods.find("office:value-type=\"date\" office:date-value=\"2026-03-01\""),
              std::string::npos);
    EXPECT_NE(fods.find("office:date-value=\"2026-12-31T23:59:59\""), std::string::npos);
    EXPECT_NE(fods.find(u8"<text:p>不是日期</text:p>"), std::string::npos);
    const std::vector<double> widths = ColumnWidths(fods);
    ASSERT_GE(widths.size(), 3u);
    EXPECT_LT(widths[0], widths[1]);
    EXPECT_LT(widths[1], widths[2]) << "有效期至 with its time is the widest";
}

TEST(OfficeTest, ASheetFullAtTheXlsLimitGoesOnInASecondSheetThatLibreOfficeReads) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    Rows rows{{"n"}};
    for (int i = 1; i <= kBiff8MaxRows; ++i) rows.push_back({std::to_string(i)});
    WriteXls(scratch.file("full.xls"), rows);
    ASSERT_TRUE(Office(scratch).Convert({scratch.file("full.xls")}, kCsvUtf8EverySheetFilter,
                                        scratch.file("csv")));
    const Rows first = ReadCsv(scratch.file("csv/full-Sheet1.csv"));
    ASSERT_EQ(first.size(), static_cast<std::size_t>(kBiff8MaxRows));
    EXPECT_EQ(first.back(), std::vector<std::string>{std::to_string(kBiff8MaxRows - 1)});
    EXPECT_EQ(ReadCsv(scratch.file("csv/full-Sheet2.csv")),
              (Rows{{"n"}, {std::to_string(kBiff8MaxRows)}}));
}

// One workbook written by openpyxl (absolute part names, inline strings) and saved again by
// LibreOffice as .xlsx, .xls and .ods dumps the same cells from every file: a code and name
// merged down over a customer's vehicles belong to each row, a colour merged across the phone
// column stays out of it, booleans read 1 and 0, and formulas read their cached results.
TEST(OfficeTest, OneWorkbookDumpsAlikeWhateverWroteIt) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    const std::string source = scratch.file("book.xlsx");
    ASSERT_TRUE(MakeWithOpenpyxl(source, u8R"(
wb = openpyxl.Workbook()
ws = wb.active
ws.title = '客户'
for row in [['客户编号', '客户姓名', '车牌号码', '车辆颜色', '联系电话', '有效'],
            ['C1', '张三', '京A12345', '红', '13800000000', True],
            [None, None, '京B22222', '蓝', None, False],
            ['C2', '李四', '沪C3', '白', '139', True]]:
    ws.append(row)
for cells in ['A2:A3', 'B2:B3', 'D3:E3']:
    ws.merge_cells(cells)
wb.create_sheet('公式').append(['=TRUE()', '=1+1', '="x"&"y"', '=1/0', '=1=2'])
wb.save(path)
)"));
    const Office office(scratch);
    for (const char* format : {"xlsx:Calc MS Excel 2007 XML", "xls:MS Excel 97", "ods"})
        ASSERT_TRUE(office.Convert({source}, format, scratch.file("lo"))) << format;
    const std::string customers = std::string(u8"sheet 0: 客户\tused rows 4\tused columns 6\teffective rows 4\n") +
                                  u8"客户编号\t客户姓名\t车牌号码\t车辆颜色\t联系电话\t有效\n" +
                                  u8"C1\t张三\t京A12345\t红\t13800000000\t1\n" +
                                  u8"C1\t张三\t京B22222\t蓝\t\t0\n" +
                                  u8"C2\t李四\t沪C3\t白\t139\t1\n";
    const std::string formulas =
        std::string(u8"sheet 1: 公式\tused rows 1\tused columns 5\teffective rows 1\n") + "1\t2\txy\t\t0\n";
    std::string dump;
    ASSERT_EQ(RunWorkbookTool("dump " + source, dump), 0) << dump;
    EXPECT_EQ(dump.substr(0, customers.size()), customers);
    for (const char* extension : {"xlsx", "xls", "ods"}) {
        ASSERT_EQ(RunWorkbookTool("dump " + scratch.file("lo/book.") + extension, dump), 0) << dump;
        EXPECT_EQ(dump, customers + formulas) << extension;
    }
}

TEST(OfficeTest, OneWorkbookReadsAlikeAsXlsXlsxXlsmAndOds) {
    SKIP_WITHOUT_OFFICE();
    ScratchDir scratch;
    const std::string csv = scratch.file("book.csv");
    WriteBytes(csv, std::string(u8"name,amount,when,flag,err\n") +
                        u8"张三,12.6,2024-03-15,TRUE,=1/0\n" +
                        u8"Bob,0,2024-03-15 10:20:30,FALSE,=NA()\n");
    // Comma, quote, UTF-8, from line 1, detect numbers and dates, evaluate formulas.
    const std::string in_filter = "CSV:44,34,76,1,,0,false,true,false,false,false,-1,true";
    const Office office(scratch);
    const std::vector<std::string> formats{"xls:MS Excel 97", "xlsx:Calc MS Excel 2007 XML",
                                           "xlsm:Calc MS Excel 2007 VBA XML", "ods"};
    for (const std::string& format : formats)
        ASSERT_TRUE(office.Convert({csv}, format, scratch.file("out"), in_filter)) << format;

    const Rows expected{{"name", "amount", "when", "flag", "err"},
                        {u8"张三", "12.6", "45366", "", ""},
                        {"Bob", "0", "45366.4309027778", "", ""}};
    for (const char* extension : {"xls", "xlsx", "xlsm", "ods"}) {
        SCOPED_TRACE(extension);
        const std::string path = scratch.file(std::string("out/book.") + extension);
        EXPECT_EQ(ReadAllRows(path), expected);
        ExcelImportBook book;
        ASSERT_TRUE(book.OpenForImport(Utf8ToGbk(path)).ok);
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        EXPECT_EQ(book.GetDateTimeText(2, 2), "2024-03-15 10:20:30");
        EXPECT_EQ(book.GetDateText(1, 2), "2024-03-15");
        // A yes/no column reads booleans; an error is no answer.
        EXPECT_EQ(book.GetYesNoText(1, 3), "1");
        EXPECT_EQ(book.GetYesNoText(2, 3), "0");
        EXPECT_EQ(book.GetYesNoText(1, 4), "");
        std::string dump;
        EXPECT_EQ(RunWorkbookTool("dump " + path, dump), 0);
        EXPECT_NE(dump.find(u8"张三\t12.6\t45366\t1\t"), std::string::npos) << dump;
    }
}

}  // namespace

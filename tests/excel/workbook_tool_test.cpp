// workbook-tool as operators run it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/excel/workbook_fixtures.h"

namespace {

TEST(WorkbookToolTest, WritesRowsAndDumpsThemAsTheImportReadsThem) {
    ScratchDir scratch;
    WriteBytes(scratch.file("rows.tsv"),
               std::string(u8"车牌\t姓名\n") + u8"京A12345\t 张三 \r\n" + u8"\t李四\n");
    std::string out;
    ASSERT_EQ(
        RunWorkbookTool("write " + scratch.file("out.xls") + " < " + scratch.file("rows.tsv"), out),
        0)
        << out;
    ASSERT_EQ(RunWorkbookTool("dump " + scratch.file("out.xls"), out), 0) << out;
    EXPECT_EQ(ParseTsv(out),
              (std::vector<std::vector<std::string>>{
                  {"sheet 0: Sheet1", "used rows 3", "used columns 2", "effective rows 3"},
                  {u8"车牌", u8"姓名"},
                  {u8"京A12345", u8"张三"},
                  {"", u8"李四"}}));
}

TEST(WorkbookToolTest, PrintsTheDatesOfAColumn) {
    ScratchDir scratch;
    XlsxSheet sheet{"d", {{std::string("when")}, {XlsxDate{2024, 3, 15, 10, 20, 30}}, {0.0}, {}}};
    sheet.rows.push_back({std::string("2024-01-02")});
    MakeXlsx(scratch.file("dates.xlsx"), {sheet});
    std::string out;
    ::setenv("TZ", "UTC", 1);  // the tool prints local time
    ASSERT_EQ(RunWorkbookTool("dates " + scratch.file("dates.xlsx") + " 0 0", out), 0) << out;
    EXPECT_EQ(out,
              "0\t\n1\t2024-03-15 10:20:30\n2\t1970-01-01 00:00:00\n3\t\n4\t2024-01-02 00:00:00\n");
}

TEST(WorkbookToolTest, SaysWhatWentWrong) {
    ScratchDir scratch;
    std::string out;
    EXPECT_EQ(RunWorkbookTool("", out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
    EXPECT_EQ(RunWorkbookTool("dump " + scratch.file("missing.xlsx"), out), 1);
    EXPECT_NE(out.find("cannot read"), std::string::npos);
    EXPECT_EQ(RunWorkbookTool("write " + scratch.file("no/folder.xls") + " < /dev/null", out), 1);
}

}  // namespace

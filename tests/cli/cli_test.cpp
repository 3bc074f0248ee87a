// ledgerdesk-cli against real services: a whitelist exported with every column and imported
// into a fresh database comes back the same, and an import says which rows failed and why.
#include <gtest/gtest.h>

#include <algorithm>

#include "store/data_type_store.h"
#include "store/db_connection.h"
#include "store/row_reader.h"
#include "tests/excel/workbook_fixtures.h"
#include "tests/support/run_command.h"
#include "tests/support/test_service.h"

namespace {

using testsupport::RunCommand;
using testsupport::TestService;

// The command's exit status, its stdout, and its stderr (UTF-8).
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(const ScratchDir& scratch, const std::string& arguments) {
    const std::string errFile = scratch.file("stderr.txt");
    const auto result =
        RunCommand("(" + std::string(LEDGERDESK_CLI) + " " + arguments + " 2>" + errFile + ")");
    return {result.status, result.output, ReadBytes(errFile)};
}

std::string Connection(const TestService& service) {
    return "--server " + service.address() + " --db-user " + service.user() + " --db-password " +
           service.password();
}

// Each vehicle with its customer, and each customer without a vehicle, one line each, by code
// and plate. Empty and NULL read alike, as the client stores an empty text as NULL.
tstring Whitelist(const TestService& service) {
    DbConnection db;
    EXPECT_TRUE(db.open(service.endpoint(), service.user(), service.password(),
                        service.publicKey())
                    .ok);
    tstring lines;
    read_rows(db,
              "SELECT c.Code || '|' || ifnull(c.Name, '') || '|' || ifnull(c.Phone, '') || '|' || "
              "ifnull(c.ParkingSpaces, '') || '|' || ifnull(c.RegisterTime, '') || '|' || "
              "ifnull(v.PlateID, '') || '|' || ifnull(v.Color, '') || '|' || ifnull(v.ValidFrom, '') || '|' || "
              "ifnull(v.ValidUntil, '') || '|' || ifnull(v.Allowed, '') || '|' || "
              "ifnull(v.AccessPeriod, '') AS line "
              "FROM tabcustomerinfo c LEFT JOIN tabvehicleinfo v ON v.CustomerID = c.CustomerID "
              "ORDER BY c.Code, v.PlateID",
              [&](const NetSqliteResultSet& row) {
                  tstring line;
                  read_text(row, "line", line);
                  lines += line + "\n";
                  return true;
              });
    return lines;
}

TEST(CliTest, AnExportOfEveryColumnImportsIntoAFreshDatabaseAsTheSameWhitelist) {
    ScratchDir scratch;
    TestService demo({.demo = true, .encrypted = true});
    // The desk's settings file holds the connection, its server key included.
    WriteBytes(scratch.file("wlsetting.ini"),
               "[Db]\nIp=" + demo.address() + "\nUserName=" + demo.user() + "\nPassword=" +
                   demo.password() + "\nServerKey=" + demo.publicKey() + "\n");
    const std::string workbook = scratch.file(u8"白名单.xls");
    const CliRun exported = RunCli(
        scratch, "export '" + workbook + "' --all-columns --settings " + scratch.file("wlsetting.ini"));
    ASSERT_EQ(exported.status, 0) << exported.out << exported.err;
    EXPECT_EQ(exported.out, u8"导出已完成，共导出52行\n");

    TestService fresh({.encrypted = true});
    const CliRun imported = RunCli(scratch, "import '" + workbook + "' " + Connection(fresh) +
                                                // Z85 keys hold characters the shell reads.
                                                " --server-key '" + fresh.publicKey() + "'");
    // The four demo customers without vehicles come back as customers alone.
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, u8"导入已完成，共处理数据52条,成功导入52条\n") << imported.err;
    EXPECT_EQ(Whitelist(fresh), Whitelist(demo));

    if (!Office::Available()) GTEST_SKIP() << "soffice (libreoffice-calc-nogui) is not installed";
    ASSERT_TRUE(Office(scratch).Convert({workbook}, kCsvUtf8Filter, scratch.file("csv")));
    const auto read = ReadCsv(scratch.file(u8"csv/白名单.csv"));
    ASSERT_EQ(read.size(), 53u);
    EXPECT_EQ(std::vector<std::string>(read[0].begin(), read[0].begin() + 5),
              (std::vector<std::string>{u8"客户编号", u8"客户姓名", u8"联系电话", u8"车位数", u8"登记时间"}));
}

// Row numbers are the sheet's own, a blank row between is neither imported nor counted, a
// colour no common value reads is refused on its row until --add-values adds it, a date that
// reads as none is refused rather than imported empty, so is a vehicle without a plate (rather
// than its customer stored alone), and the settings file stays as it was.
TEST(CliTest, AnImportNamesEachFailedRowAndRefusesUnknownValuesUnlessAskedToAddThem) {
    ScratchDir scratch;
    TestService service;
    const std::string workbook = scratch.file("rows.xlsx");
    MakeXlsx(workbook,
             {TextSheet(u8"名单", {{u8"客户编号", u8"客户姓名", u8"车牌号码", u8"车辆颜色", u8"有效期至"},
                                   {"K1", u8"甲", u8"测A00001", u8"白色", "2026-12-31"},
                                   {"K2", u8"乙", u8"测A00002", u8"紫色", ""},
                                   {"", "", "", "", ""},
                                   {"K3", u8"丙", "", u8"黑色", ""},
                                   {"K4", u8"丁", u8"测A00004", u8"白色", u8"下个月"}})});
    // The desk's settings give the connection and are only read.
    const std::string settings = scratch.file("wlsetting.ini");
    const std::string desk = "[Db]\nIp=" + service.address() + "\nUserName=" + service.user() +
                             "\nPassword=" + service.password() + "\n";
    WriteBytes(settings, desk);
    const std::string command = "import " + workbook + " --settings " + settings;
    const CliRun first = RunCli(scratch, command);
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.out, u8"导入已完成，共处理数据4条,成功导入1条\n");
    EXPECT_NE(first.err.find(u8"名单 第3行：选项值不存在：车辆颜色“紫色”"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find(u8"名单 第5行：车牌号码不能为空：车辆颜色“黑色”"), std::string::npos) << first.err;
    EXPECT_NE(first.err.find(u8"名单 第6行：日期无法识别：有效期至“下个月”"), std::string::npos)
        << first.err;

    const CliRun second = RunCli(scratch, command + " --add-values");
    EXPECT_EQ(second.status, 1) << "the rows without a plate or a date still fail";
    EXPECT_EQ(second.out, u8"导入已完成，共处理数据4条,成功导入1条\n") << second.err;
    EXPECT_EQ(second.err.find(u8"紫色"), std::string::npos) << second.err;
    EXPECT_EQ(ReadBytes(settings), desk) << "the settings file was written";
    EXPECT_EQ(RunCli(scratch, "import " + workbook + " --sheet 2 " + Connection(service)).status, 2)
        << "a sheet the workbook lacks";
}

}  // namespace

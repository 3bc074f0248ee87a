// What a new database holds, and how the service starts and stops.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

// Runs `sql` on the database file directly and returns the first column of every row.
std::vector<std::string> FileColumn(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    std::vector<std::string> values;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return values;
}

class NewDatabase : public testing::Test {
protected:
    std::vector<std::string> Column(const std::string& sql) {
        return FileColumn(m_service.databasePath(), sql);
    }

    testsupport::TestService m_service;
};

TEST_F(NewDatabase, DataTypesCoverEveryKindAcrossBothCategories) {
    EXPECT_EQ(Column("SELECT DISTINCT Type FROM tabdatatypeinfo ORDER BY Type"),
              (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(Column("SELECT DataTypeCategory FROM tabdatatypeinfo "
                     "WHERE DataType IN ('Code', 'Name', 'PlateID') ORDER BY ShowIndex"),
              (std::vector<std::string>{"0", "0", "1"}));
    EXPECT_EQ(Column("SELECT count(DISTINCT ShowIndex) = count(*) FROM tabdatatypeinfo"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Column("SELECT count(DISTINCT DataTypeCategory) FROM tabdatatypeinfo WHERE ShowList"),
              std::vector<std::string>{"2"});
}

TEST_F(NewDatabase, EveryDataTypeIsAColumnOfItsTable) {
    const auto customerColumns = Column("SELECT name FROM pragma_table_info('tabcustomerinfo')");
    const auto vehicleColumns = Column("SELECT name FROM pragma_table_info('tabvehicleinfo')");
    for (const std::string category : {"0", "1"}) {
        const auto& columns = category == "0" ? customerColumns : vehicleColumns;
        for (const std::string& name :
             Column("SELECT DataType FROM tabdatatypeinfo WHERE DataTypeCategory = " + category))
            EXPECT_NE(std::find(columns.begin(), columns.end(), name), columns.end()) << name;
    }
}

TEST_F(NewDatabase, LookupColumnsHaveValuesAndTheOperatorCanLogIn) {
    EXPECT_GE(Column("SELECT Value FROM tabcommondatainfo WHERE DataType IN "
                     "(SELECT DataType FROM tabdatatypeinfo WHERE Type = 1)")
                  .size(),
              3u);
    EXPECT_EQ(Column("SELECT pass FROM userInfo WHERE userName = 'admin'"),
              std::vector<std::string>{"admin123"});
    EXPECT_EQ(Column("SELECT count(*) FROM tabcustomerinfo"), std::vector<std::string>{"0"});
}

TEST_F(NewDatabase, KeysAndTheJoinIndexExist) {
    EXPECT_EQ(Column("PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    EXPECT_EQ(
        Column("SELECT name FROM pragma_index_info("
               "(SELECT name FROM pragma_index_list('tabvehicleinfo') WHERE \"unique\" = 0))"),
        std::vector<std::string>{"CustomerID"});
    EXPECT_EQ(Column("SELECT count(*) FROM pragma_index_list('tabvehicleinfo') WHERE \"unique\""),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Column("SELECT count(*) FROM pragma_index_list('tabcustomerinfo') WHERE \"unique\""),
              std::vector<std::string>{"1"});
    EXPECT_EQ(
        Column("SELECT pk FROM pragma_table_info('tabcustomerinfo') WHERE name = 'CustomerID'"),
        std::vector<std::string>{"1"});
}

TEST_F(NewDatabase, ExistingDatabaseIsNotSeededAgain) {
    RawPeer peer(m_service.endpoint());
    ASSERT_TRUE(peer.Open());
    ASSERT_EQ(peer.Ask("nonquery:DELETE FROM tabcommondatainfo"), "success:");
    m_service.stop();
    m_service.start();
    EXPECT_EQ(Column("SELECT count(*) FROM tabcommondatainfo"), std::vector<std::string>{"0"});
}

TEST(DemoDatabase, HoldsCustomersWithVehicles) {
    testsupport::TestService::Options options;
    options.demo = true;
    testsupport::TestService service(options);
    const auto path = service.databasePath();
    EXPECT_GE(std::stoi(FileColumn(path, "SELECT count(*) FROM tabcustomerinfo")[0]), 20);
    EXPECT_EQ(FileColumn(path,
                         "SELECT count(*) FROM tabvehicleinfo WHERE CustomerID NOT IN "
                         "(SELECT CustomerID FROM tabcustomerinfo)"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(FileColumn(path, "SELECT Name FROM tabcustomerinfo WHERE CustomerID = 1"),
              std::vector<std::string>{u8"张伟"});
    EXPECT_EQ(FileColumn(path,
                         "SELECT count(*) FROM tabvehicleinfo WHERE Color NOT IN "
                         "(SELECT ValueID FROM tabcommondatainfo WHERE DataType = 'Color')"),
              std::vector<std::string>{"0"});
}

class StopSignal : public testing::TestWithParam<int> {};

TEST_P(StopSignal, StopsCleanlyWithTheDataOnDisk) {
    testsupport::TestService service;
    {
        RawPeer peer(service.endpoint());
        ASSERT_TRUE(peer.Open());
        ASSERT_EQ(peer.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('kept')"),
                  "success:");
    }
    const int status = service.stop(GetParam());
    ASSERT_TRUE(WIFEXITED(status)) << service.log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(service.databasePath() + "-wal"));
    EXPECT_EQ(FileColumn(service.databasePath(), "PRAGMA integrity_check"),
              std::vector<std::string>{"ok"});
    EXPECT_EQ(FileColumn(service.databasePath(), "SELECT Code FROM tabcustomerinfo"),
              std::vector<std::string>{"kept"});
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGTERM, SIGINT));

TEST(StopDuringWork, EndlessQueryDoesNotKeepTheServiceFromStopping) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    peer.Send(std::string("query:WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                          "SELECT count(*) FROM c") +
              '\0');
    EXPECT_EQ(peer.Receive(std::chrono::milliseconds(100)), std::nullopt);  // it is busy
    const int status = service.stop();
    ASSERT_TRUE(WIFEXITED(status)) << service.log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(StartUp, RefusesMissingOptionsAndUnusableFiles) {
    const std::string binary = LEDGERDESK_NETSQLITED;
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --address 127.0.0.2 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system((binary + " --bogus 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(std::system(
                  (binary + " --address 127.0.0.2 --database /nonexistent/dir/x.db 2>/dev/null")
                      .c_str())),
              1);
}

}  // namespace

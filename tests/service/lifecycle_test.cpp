// What a new database holds, and how the service stops.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

TEST(NewDatabase, HoldsDataTypesOfEveryKindTheirColumnsLookupsAndTheOperator) {
    testsupport::TestService service;
    const auto column = [&](const std::string& sql) {
        return FileColumn(service.databasePath(), sql);
    };
    EXPECT_EQ(column("SELECT DISTINCT Type FROM tabdatatypeinfo ORDER BY Type"),
              (Values{"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(column("SELECT DataTypeCategory FROM tabdatatypeinfo "
                     "WHERE DataType IN ('Code', 'Name', 'PlateID') ORDER BY ShowIndex"),
              (Values{"0", "0", "1"}));
    // Every data type is a column of its category's table.
    EXPECT_EQ(column("SELECT DataType FROM tabdatatypeinfo WHERE DataType NOT IN ("
                     "SELECT name FROM pragma_table_info(CASE DataTypeCategory WHEN 0 THEN "
                     "'tabcustomerinfo' ELSE 'tabvehicleinfo' END))"),
              Values{});
    EXPECT_GE(column("SELECT Value FROM tabcommondatainfo WHERE DataType IN "
                     "(SELECT DataType FROM tabdatatypeinfo WHERE Type = 1)")
                  .size(),
              3u);
    EXPECT_EQ(column("SELECT pass FROM userInfo WHERE userName = 'admin'"), Values{"admin123"});
    EXPECT_EQ(column("PRAGMA journal_mode"), Values{"wal"});
    EXPECT_EQ(column("SELECT name FROM pragma_index_info((SELECT name FROM "
                     "pragma_index_list('tabvehicleinfo') WHERE \"unique\" = 0))"),
              Values{"CustomerID"});
}

TEST(NewDatabase, DemoHoldsCustomersWithVehiclesAndIsSeededOnlyOnce) {
    testsupport::TestService::Options options;
    options.demo = true;
    testsupport::TestService service(options);
    const auto column = [&](const std::string& sql) {
        return FileColumn(service.databasePath(), sql);
    };
    EXPECT_GE(std::stoi(column("SELECT count(*) FROM tabcustomerinfo")[0]), 20);
    EXPECT_EQ(column("SELECT Name FROM tabcustomerinfo WHERE CustomerID = 1"), Values{u8"张伟"});
    EXPECT_EQ(column("SELECT count(*) FROM tabvehicleinfo WHERE CustomerID NOT IN "
                     "(SELECT CustomerID FROM tabcustomerinfo) OR Color NOT IN "
                     "(SELECT ValueID FROM tabcommondatainfo WHERE DataType = 'Color')"),
              Values{"0"});

    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    ASSERT_EQ(peer.Ask("nonquery:DELETE FROM tabcustomerinfo"), "success:");
    service.stop();
    service.start();
    EXPECT_EQ(column("SELECT count(*) FROM tabcustomerinfo"), Values{"0"});
}

// A database from an older service, with a trigram index kept by triggers and a search text of
// another form: the service drops the index and makes the search text anew when it opens it,
// with the rows stored before, and once only.
TEST(OlderDatabase, GetsTheSearchPartsMadeAnew) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    ASSERT_EQ(peer.Ask(u8"nonquery:INSERT INTO tabcustomerinfo (Code, Name) VALUES ('K1', '张三丰')"),
              "success:");
    service.stop();
    sqlite3* file = nullptr;
    sqlite3_open(service.databasePath().c_str(), &file);
    std::string older;
    for (const char* part : {"customer_insert", "customer_delete", "customer_update",
                             "vehicle_insert", "vehicle_delete", "vehicle_update"})
        older += std::string("DROP TRIGGER list_text_") + part + ";";
    older += "DROP TABLE list_text; CREATE TABLE list_text (cid INTEGER NOT NULL, vid INTEGER NOT "
             "NULL, text TEXT, PRIMARY KEY (cid, vid)) WITHOUT ROWID; CREATE VIRTUAL TABLE "
             "customer_search USING fts5(Code, Name, content='tabcustomerinfo', "
             "content_rowid='CustomerID', tokenize='trigram'); CREATE TRIGGER "
             "customer_search_insert AFTER INSERT ON tabcustomerinfo BEGIN INSERT INTO "
             "customer_search(rowid, Code, Name) VALUES (new.CustomerID, new.Code, new.Name); END;";
    ASSERT_EQ(sqlite3_exec(file, older.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(file);

    for (int opening = 0; opening < 2; ++opening) {
        service.start();
        RawPeer again(service.endpoint());
        ASSERT_TRUE(again.Open());
        ASSERT_EQ(again.Ask(u8"nonquery:INSERT INTO tabcustomerinfo (Name) VALUES ('李四光')"),
                  "success:");
        service.stop();
    }
    const auto column = [&](const std::string& sql) {
        return FileColumn(service.databasePath(), sql);
    };
    // The three customers, 李四光 twice, in the one block of the search text.
    EXPECT_EQ(column(u8"SELECT (instr(text, CAST('张三丰' AS BLOB)) > 0) + (instr(substr(text, "
                     u8"instr(text, CAST('李四光' AS BLOB)) + 1), CAST('李四光' AS BLOB)) > 0) "
                     u8"FROM list_text"),
              Values{"2"});
    EXPECT_EQ(column("SELECT count(*) FROM sqlite_master WHERE name LIKE 'customer_search%'"),
              Values{"0"});
    EXPECT_EQ(column("SELECT count(*) FROM sqlite_master WHERE type = 'trigger'"), Values{"6"});
}

// The search text never lags the tables: a statement reads what the same request wrote before
// it, and rows written while the service was stopped are found once it starts.
TEST(SearchText, FollowsWritesOfTheSameRequestAndThoseMadeAroundTheService) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    const std::string count = "SELECT sum(list_text_rows(text, 'zqx', 2)) AS n FROM list_text";
    EXPECT_EQ(peer.Ask("query:INSERT INTO tabcustomerinfo (Name) VALUES ('zqx'); " + count),
              "success:" + Line({"n"}) + Line({"1"}));
    service.stop();
    sqlite3* file = nullptr;
    sqlite3_open(service.databasePath().c_str(), &file);
    const char* around = "INSERT INTO tabcustomerinfo (CustomerID, Name) VALUES (1000, 'zqx')";
    ASSERT_EQ(sqlite3_exec(file, around, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(file);
    service.start();
    RawPeer again(service.endpoint());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Ask("query:" + count), "success:" + Line({"n"}) + Line({"2"}));
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
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << service.log();
    EXPECT_FALSE(std::filesystem::exists(service.databasePath() + "-wal"));
    EXPECT_EQ(FileColumn(service.databasePath(), "PRAGMA integrity_check"), Values{"ok"});
    EXPECT_EQ(FileColumn(service.databasePath(), "SELECT Code FROM tabcustomerinfo"),
              Values{"kept"});
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string("SIG") + sigabbrev_np(info.param);
                         });

TEST(StopDuringWork, EndlessQueryDoesNotKeepTheServiceFromStopping) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    peer.Send(
        "query:WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT count(*) FROM c" +
        std::string(1, '\0'));
    EXPECT_EQ(peer.Receive(std::chrono::milliseconds(100)), std::nullopt);  // still counting
    const int status = service.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << service.log();
}

}  // namespace

TEST(KeyPair, SecretStaysWithItsOwnerOutOfTheLogAndTheSameAcrossRestarts) {
    testsupport::TestService::Options options;
    options.encrypted = true;
    testsupport::TestService service(options);
    const std::string secretPath = service.databasePath() + ".key";
    struct stat file {};
    ASSERT_EQ(stat(secretPath.c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    std::string secret;
    std::getline(std::ifstream(secretPath), secret);
    ASSERT_EQ(secret.size(), 40u);
    const std::string publicKey = service.publicKey();
    ASSERT_EQ(publicKey.size(), 40u);
    EXPECT_EQ(service.log().find(secret), std::string::npos);

    service.stop();
    service.start();
    // Desks keep the key they were given: a new pair at every start would lock them all out.
    EXPECT_EQ(service.publicKey(), publicKey);
}

// The client against a real netsqlited: open, query, nonquery, error replies, Chinese text and
// payloads far beyond the old fixed buffers.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_exception.h"
#include "tests/support/test_service.h"

namespace {

class ClientWithService : public testing::Test {
protected:
    void SetUp() override {
        m_client.SetReplyWait(50, zmq_client::kPollAttempts);
        ASSERT_EQ(Open(), ret_t(true, 0)) << m_service.log();
    }

    ret_t Open(const tstring& password = "ledger2026") {
        return DbOpen(m_client, m_service.endpoint(), m_service.user(), password);
    }

    // Every value of `column` that `sql` returns, in GBK.
    std::vector<tstring> Column(const tstring& sql, const tstring& column) {
        std::unique_ptr<NetSqliteResultSet> rows;
        EXPECT_EQ(DbQuery(m_client, sql, rows), ret_t(true, 0)) << sql;
        std::vector<tstring> values;
        while (rows && rows->Next()) {
            tstring text;
            EXPECT_TRUE(DbGetText(column, text, *rows));
            values.push_back(text);
        }
        return values;
    }

    // The column's text exactly as stored in the database file.
    std::string StoredText(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(m_service.databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        std::string text;
        if (sqlite3_step(statement) == SQLITE_ROW)
            text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return text;
    }

    testsupport::TestService m_service;
    NetSqliteClient m_client;
};

TEST_F(ClientWithService, WrongPasswordIsRefusedAndClosesTheTransport) {
    EXPECT_EQ(Open("wrong"), ret_t(false, 0));
    EXPECT_FALSE(m_client.IsOpen());
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "select 1", rows), ret_t(false, 0));
    EXPECT_EQ(Open(), ret_t(true, 0));
}

TEST_F(ClientWithService, ReadsSeededRowsByColumnName) {
    std::unique_ptr<NetSqliteResultSet> rows;
    ASSERT_EQ(DbQuery(m_client, "SELECT * FROM tabdatatypeinfo WHERE DataType = 'Color'", rows),
              ret_t(true, 0));
    ASSERT_TRUE(rows->Next());
    tstring name;
    int32_t type = -1;
    int32_t category = -1;
    EXPECT_TRUE(DbGetText("DataTypeName", name, *rows));
    EXPECT_TRUE(DbGetInt("Type", *rows, type));
    EXPECT_TRUE(DbGetInt("DataTypeCategory", *rows, category));
    EXPECT_EQ(name, "车辆颜色");
    EXPECT_EQ(type, 1);
    EXPECT_EQ(category, 1);
    EXPECT_FALSE(rows->Next());
}

TEST_F(ClientWithService, ChineseTextTravelsAsUtf8AndComesBackAsGbk) {
    ASSERT_EQ(
        DbExecute(m_client, "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('C1', '欧阳明')"),
        ret_t(true, 0));
    EXPECT_EQ(StoredText("SELECT Name FROM tabcustomerinfo WHERE Code = 'C1'"), u8"欧阳明");
    EXPECT_EQ(Column("SELECT Name FROM tabcustomerinfo WHERE Name LIKE '%阳%'", "Name"),
              std::vector<tstring>{"欧阳明"});
}

TEST_F(ClientWithService, NullAndEmptyBothReadAsEmptyText) {
    ASSERT_EQ(DbExecute(m_client,
                        "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('C1', NULL);"
                        "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('C2', '')"),
              ret_t(true, 0));
    EXPECT_EQ(Column("SELECT Name FROM tabcustomerinfo ORDER BY Code", "Name"),
              (std::vector<tstring>{"", ""}));
}

TEST_F(ClientWithService, SqlErrorsCarryTheServiceMessage) {
    try {
        m_client.Query("SELECT * FROM nosuch");
        FAIL() << "the query succeeded";
    } catch (const NetSqliteException& e) {
        EXPECT_EQ(e.GetCode(), NET_SQLITE_QUERY_ERROR);
        EXPECT_STREQ(e.GetMessage(), "[6]:NET_SQLITE_QUERY_ERROR, no such table: nosuch");
    }
    try {
        m_client.NonQuery("INSERT INTO tabvehicleinfo (PlateID) VALUES ('A'), ('A')");
        FAIL() << "the duplicate plate was stored";
    } catch (const NetSqliteException& e) {
        EXPECT_EQ(e.GetCode(), NET_SQLITE_NONEQUERY_ERROR);
    }
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "SELEKT 1", rows), ret_t(false, 0));
    EXPECT_EQ(DbExecute(m_client, "DELETE FROM nosuch"), ret_t(false, 0));
    EXPECT_EQ(Column("SELECT count(*) AS n FROM tabvehicleinfo", "n"), std::vector<tstring>{"0"});
}

TEST_F(ClientWithService, LongCellsAndLongStatementsTravelWhole) {
    const tstring longName(3000, 'N');  // far over 1023 Base64 characters
    tstring sql =
        "INSERT INTO tabvehicleinfo (PlateID, AccessPeriod) VALUES ('P0', '" + longName + "')";
    for (int i = 1; i < 2000; ++i) sql += ", ('P" + std::to_string(i) + "', '周一')";
    ASSERT_GT(sql.size(), 20000u);
    ASSERT_EQ(DbExecute(m_client, sql), ret_t(true, 0));
    EXPECT_EQ(
        Column("SELECT AccessPeriod FROM tabvehicleinfo WHERE PlateID = 'P0'", "AccessPeriod"),
        std::vector<tstring>{longName});
    EXPECT_EQ(Column("SELECT PlateID FROM tabvehicleinfo", "PlateID").size(), 2000u);
}

TEST_F(ClientWithService, PausedServiceIsLostUntilReopened) {
    m_service.pause();
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "SELECT 1", rows), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(DbQuery(m_client, "SELECT 1", rows), ret_t(false, kDbConnectionLost));
    m_service.resume();
    ASSERT_EQ(Open(), ret_t(true, 0));
    EXPECT_EQ(Column("SELECT 7 AS n", "n"), std::vector<tstring>{"7"});
}

TEST_F(ClientWithService, RestartedServiceKeepsTheDataAndWantsANewOpen) {
    ASSERT_EQ(DbExecute(m_client, "INSERT INTO tabcustomerinfo (Code) VALUES ('kept')"),
              ret_t(true, 0));
    m_service.stop();
    m_service.start();
    // The socket reconnects by itself, but the new service has not been opened by it.
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "SELECT Code FROM tabcustomerinfo", rows), ret_t(false, 0));
    ASSERT_EQ(Open(), ret_t(true, 0));
    EXPECT_EQ(Column("SELECT Code FROM tabcustomerinfo", "Code"), std::vector<tstring>{"kept"});
}

}  // namespace

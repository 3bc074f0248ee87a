// The client against a real netsqlited: Chinese text, error replies, payloads far beyond the old
// fixed buffers, and a service that stops answering.
#include <gtest/gtest.h>

#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_exception.h"
#include "tests/support/test_service.h"

namespace {

class ClientWithService : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(Open(), ret_t(true, 0)) << m_service.log(); }

    ret_t Open() {
        return DbOpen(m_client, m_service.endpoint(), m_service.user(), m_service.password());
    }

    // Every value of `column` that `sql` returns, in GBK.
    std::vector<tstring> Column(const tstring& sql, const tstring& column) {
        std::unique_ptr<NetSqliteResultSet> rows;
        EXPECT_EQ(DbQuery(m_client, sql, rows), ret_t(true, 0)) << sql;
        std::vector<tstring> values;
        for (tstring text; rows && rows->Next(); values.push_back(text))
            EXPECT_TRUE(DbGetText(column, text, *rows));
        return values;
    }

    testsupport::TestService m_service;
    NetSqliteClient m_client;
};

TEST_F(ClientWithService, ChineseTextIsUtf8OnTheWireAndInTheDatabase) {
    ASSERT_EQ(
        DbExecute(m_client, "INSERT INTO tabcustomerinfo (Code, Name) VALUES ('C1', '欧阳明')"),
        ret_t(true, 0));
    EXPECT_EQ(Column("SELECT Name FROM tabcustomerinfo WHERE Name LIKE '%阳%'", "Name"),
              std::vector<tstring>{"欧阳明"});
    EXPECT_EQ(Column("SELECT hex(Name) AS h FROM tabcustomerinfo", "h"),
              std::vector<tstring>{"E6ACA7E998B3E6988E"});  // UTF-8 of 欧阳明
}

TEST_F(ClientWithService, ColumnsWithChineseNamesAreReadByTheirGbkName) {
    ASSERT_EQ(DbExecute(m_client, "ALTER TABLE tabcustomerinfo ADD COLUMN 备注 TEXT"), ret_t(true, 0));
    ASSERT_EQ(DbExecute(m_client, "INSERT INTO tabcustomerinfo (Code, 备注) VALUES ('C1', '月租')"),
              ret_t(true, 0));
    EXPECT_EQ(Column("SELECT 备注 FROM tabcustomerinfo", "备注"), std::vector<tstring>{"月租"});
    std::unique_ptr<NetSqliteResultSet> rows;
    ASSERT_EQ(DbQuery(m_client, "SELECT 42 AS 数量", rows), ret_t(true, 0));
    int32_t count = 0;
    ASSERT_TRUE(rows->Next());
    EXPECT_TRUE(DbGetInt("数量", *rows, count));
    EXPECT_EQ(count, 42);
}

TEST_F(ClientWithService, RefusedSqlCarriesTheServiceMessageAndChangesNothing) {
    try {
        m_client.Query("SELECT * FROM nosuch");
        FAIL() << "the query succeeded";
    } catch (const NetSqliteException& e) {
        EXPECT_STREQ(e.GetMessage(), "[6]:NET_SQLITE_QUERY_ERROR, no such table: nosuch");
    }
    EXPECT_EQ(DbExecute(m_client, "INSERT INTO tabvehicleinfo (PlateID) VALUES ('A'), ('A')"),
              ret_t(false, 0));
    EXPECT_EQ(Column("SELECT count(*) AS n FROM tabvehicleinfo", "n"), std::vector<tstring>{"0"});
}

// The restarted service has forgotten the open and runs nothing: a lost connection, until the
// client opens again; the write is then done once.
TEST_F(ClientWithService, ARestartedServiceIsALostConnectionUntilOpenedAgain) {
    m_service.stop();
    m_service.start();
    const tstring insert = "INSERT INTO tabcustomerinfo (Code) VALUES ('after')";
    EXPECT_EQ(DbExecute(m_client, insert), ret_t(false, kDbConnectionLost));
    ASSERT_EQ(Open(), ret_t(true, 0));
    EXPECT_EQ(DbExecute(m_client, insert), ret_t(true, 0));
    EXPECT_EQ(Column("SELECT Code FROM tabcustomerinfo", "Code"), std::vector<tstring>{"after"});
}

TEST_F(ClientWithService, LongCellsAndLongStatementsTravelWhole) {
    const tstring longText(3000, 'N');  // far over 1023 Base64 characters
    tstring sql =
        "INSERT INTO tabvehicleinfo (PlateID, AccessPeriod) VALUES ('P0', '" + longText + "')";
    for (int i = 1; i < 2000; ++i) sql += ", ('P" + std::to_string(i) + "', '周一')";
    ASSERT_GT(sql.size(), 20000u);
    ASSERT_EQ(DbExecute(m_client, sql), ret_t(true, 0));
    EXPECT_EQ(
        Column("SELECT AccessPeriod FROM tabvehicleinfo WHERE PlateID = 'P0'", "AccessPeriod"),
        std::vector<tstring>{longText});
    EXPECT_EQ(Column("SELECT PlateID FROM tabvehicleinfo", "PlateID").size(), 2000u);
}

TEST_F(ClientWithService, RequestOverTheServiceLimitIsAnErrorNotALostConnection) {
    m_client.SetReplyWait(50, zmq_client::kPollAttempts);
    const tstring comment = "SELECT 1 -- " + std::string(kMaxRequestBytes, 'x');
    EXPECT_EQ(DbExecute(m_client, comment), ret_t(false, 0));
    try {
        m_client.Query(comment);
        FAIL() << "the query was answered";
    } catch (const NetSqliteException& e) {
        EXPECT_STREQ(e.GetMessage(),
                     "[6]:NET_SQLITE_QUERY_ERROR, the request is larger than the service's limit "
                     "of 16777216 bytes");
    }
    EXPECT_EQ(Column("SELECT 7 AS n", "n"), std::vector<tstring>{"7"});
}

// The client's full wait, as the operator's client has it: the service must give up first, so
// that the write is undone and reported as refused, and the socket is ready for the next task.
TEST_F(ClientWithService, AWriteOutlastingTheClientsWaitIsRefusedInTimeAndUndone) {
    const tstring endless =
        "INSERT INTO tabcustomerinfo (Code) VALUES ('late'); WITH RECURSIVE c(x) AS (SELECT 1 "
        "UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";
    EXPECT_EQ(DbExecute(m_client, endless), ret_t(false, 0));
    EXPECT_EQ(Column("SELECT count(*) AS n FROM tabcustomerinfo WHERE Code = 'late'", "n"),
              std::vector<tstring>{"0"});
}

TEST_F(ClientWithService, PausedServiceIsLostUntilReopened) {
    m_client.SetReplyWait(50, zmq_client::kPollAttempts);
    m_service.pause();
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "SELECT 1", rows), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(DbQuery(m_client, "SELECT 1", rows), ret_t(false, kDbConnectionLost));
    m_service.resume();
    m_client.SetReplyWait(zmq_client::kPollIntervalMs, zmq_client::kPollAttempts);
    ASSERT_EQ(Open(), ret_t(true, 0));
    EXPECT_EQ(Column("SELECT 7 AS n", "n"), std::vector<tstring>{"7"});
}

}  // namespace

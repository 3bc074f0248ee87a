// The transport and the reply handling against a scripted peer: the replies and silences a
// real service never produces.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_exception.h"
#include "tests/netsqlite/fake_peer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kShortPollMs = 20;  // five polls: a 100 ms time-out instead of five seconds

std::string Request(const std::string& text) {
    return text + std::string(1, '\0');
}

class Transport : public testing::Test {
protected:
    void Connect(const FakePeer& peer) {
        m_client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
        m_client.Connect(peer.endpoint().c_str());
    }

    int Send(const std::string& text) {
        int error = 0;
        const std::string bytes = Request(text);
        return m_client.Request(bytes.data(), bytes.size(), m_reply, error) ? 0 : error;
    }

    zmq_client m_client;
    std::vector<char> m_reply;
};

TEST_F(Transport, ReplyBufferEndsWithAddedZero) {
    FakePeer peer(FakePeer::Always("abc"));
    Connect(peer);
    ASSERT_EQ(Send("ping"), 0);
    EXPECT_EQ(m_reply, (std::vector<char>{'a', 'b', 'c', '\0'}));
    EXPECT_EQ(peer.requests(), std::vector<std::string>{Request("ping")});
}

TEST_F(Transport, RequestWhileClosedIsRefused) {
    EXPECT_EQ(Send("ping"), NET_SQLITE_NOT_OPEN);
    m_client.Close();
    m_client.Close();
    EXPECT_EQ(Send("ping"), NET_SQLITE_NOT_OPEN);
}

TEST_F(Transport, SilentPeerTimesOutThenSendIsRefusedAtOnce) {
    FakePeer peer(FakePeer::Never());
    Connect(peer);
    const auto start = Clock::now();
    EXPECT_EQ(Send("first"), NET_SQLITE_TIME_OUT);
    EXPECT_GE(Clock::now() - start, 5 * std::chrono::milliseconds(kShortPollMs) - 5ms);

    const auto second = Clock::now();
    EXPECT_EQ(Send("second"), NET_SQLITE_NOT_SEND);
    EXPECT_LT(Clock::now() - second, std::chrono::milliseconds(kShortPollMs));
}

TEST_F(Transport, NothingListeningTimesOutWithoutBlockingTheSend) {
    std::string endpoint;
    {
        FakePeer gone(FakePeer::Never());
        endpoint = gone.endpoint();
    }
    m_client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
    m_client.Connect(endpoint.c_str());
    EXPECT_EQ(Send("anyone?"), NET_SQLITE_TIME_OUT);
}

TEST_F(Transport, EmptyReplyCountsAsTimeOutButTheSocketStaysUsable) {
    std::atomic<int> replies{0};
    FakePeer peer([&replies](const std::string&) {
        return std::optional<std::string>(replies++ == 0 ? "" : "again");
    });
    Connect(peer);
    EXPECT_EQ(Send("first"), NET_SQLITE_TIME_OUT);
    EXPECT_EQ(Send("second"), 0);
    EXPECT_EQ(std::string(m_reply.data()), "again");
}

TEST_F(Transport, ReconnectingRecoversFromATimeOut) {
    std::atomic<bool> answer{false};
    FakePeer peer([&answer](const std::string&) {
        return answer ? std::optional<std::string>("ok") : std::nullopt;
    });
    Connect(peer);
    EXPECT_EQ(Send("lost"), NET_SQLITE_TIME_OUT);
    answer = true;
    m_client.Close();
    Connect(peer);
    EXPECT_EQ(Send("found"), 0);
}

// How the client reads each kind of reply to a query and a nonquery.
struct ReplyCase {
    const char* name;
    std::string reply;
    int32_t queryCode;     // 0: a result set
    int32_t nonQueryCode;  // 0: done
    std::string detail;
};

class ReplyClassification : public testing::TestWithParam<ReplyCase> {
protected:
    void SetUp() override {
        m_peer = std::make_unique<FakePeer>(FakePeer::Always(GetParam().reply));
        m_client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
        m_client.Connect(m_peer->endpoint().c_str());
    }

    template <typename Call>
    void ExpectCode(Call call, int32_t code) {
        try {
            call();
            EXPECT_EQ(code, 0);
        } catch (const NetSqliteException& e) {
            EXPECT_EQ(e.GetCode(), code);
            const std::string expected = "[" + std::to_string(code) +
                                         "]:" + NetSqliteErrorName(code) + ", " + GetParam().detail;
            EXPECT_EQ(e.GetMessage(), expected);
        }
    }

    std::unique_ptr<FakePeer> m_peer;
    NetSqliteClient m_client;
};

TEST_P(ReplyClassification, Query) {
    ExpectCode([this] { m_client.Query("select 1"); }, GetParam().queryCode);
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(m_client, "select 1", rows), ret_t(GetParam().queryCode == 0, 0));
    EXPECT_EQ(rows != nullptr, GetParam().queryCode == 0);
}

TEST_P(ReplyClassification, NonQuery) {
    ExpectCode([this] { m_client.NonQuery("delete from t"); }, GetParam().nonQueryCode);
    EXPECT_EQ(DbExecute(m_client, "delete from t"), ret_t(GetParam().nonQueryCode == 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyClassification,
    testing::Values(
        ReplyCase{"Error", "error:boom", NET_SQLITE_QUERY_ERROR, NET_SQLITE_NONEQUERY_ERROR,
                  "boom"},
        ReplyCase{"Failed", "failed:no", NET_SQLITE_QUERY_FAILED, NET_SQLITE_NONEQUERY_FAILED,
                  "no"},
        ReplyCase{"Garbage", "garbage", NET_SQLITE_QUERY_ERROR, NET_SQLITE_NONEQUERY_ERROR, ""},
        ReplyCase{"SuccessWithoutColon", "success", NET_SQLITE_QUERY_ERROR,
                  NET_SQLITE_NONEQUERY_ERROR, ""},
        ReplyCase{"SuccessWithoutLines", "success:Y29s", NET_SQLITE_PARSE_QUERY_ERROR, 0, ""},
        ReplyCase{"SuccessWithHeader", "success:Y29s\n", 0, 0, ""},
        ReplyCase{"DetailEndsAtZeroByte", std::string("error:cut\0off", 13), NET_SQLITE_QUERY_ERROR,
                  NET_SQLITE_NONEQUERY_ERROR, "cut"}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

struct OpenCase {
    const char* name;
    std::optional<std::string> reply;  // nothing: the peer never answers
    ret_t result;
};

class OpenReplies : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenReplies, OnlySuccessOpens) {
    const auto reply = GetParam().reply;
    FakePeer peer([reply](const std::string&) { return reply; });
    NetSqliteClient client;
    client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
    EXPECT_EQ(DbOpen(client, peer.endpoint(), "ledger", "pw"), GetParam().result);
    EXPECT_EQ(client.IsOpen(), GetParam().result.ok);
    EXPECT_EQ(peer.requests(), std::vector<std::string>{Request("open:ledger,pw")});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OpenReplies,
    testing::Values(OpenCase{"Success", std::string("success"), {true, 0}},
                    OpenCase{"SuccessColon", std::string("success:"), {true, 0}},
                    OpenCase{"SuccessAnything", std::string("successful"), {true, 0}},
                    OpenCase{"Failed", std::string("failed:wrong password"), {false, 0}},
                    OpenCase{"Garbage", std::string("nope"), {false, 0}},
                    OpenCase{"Silence", std::nullopt, {false, kDbConnectionLost}}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST(ConnectionLayer, EmptyQueryIsNotSentButEmptyNonQueryIs) {
    FakePeer peer(FakePeer::Always("success:"));
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "", rows), ret_t(false, 0));
    EXPECT_EQ(DbExecute(client, ""), ret_t(true, 0));
    EXPECT_EQ(peer.requests(),
              (std::vector<std::string>{Request("open:u,p"), Request("nonquery:")}));
}

TEST(ConnectionLayer, LongRequestsAreSentWhole) {
    FakePeer peer(FakePeer::Always("success:"));
    NetSqliteClient client;
    const std::string password(300, 'p');
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", password), ret_t(true, 0));
    const std::string sql = "insert into t values ('" + std::string(50000, 'v') + "')";
    EXPECT_EQ(DbExecute(client, sql), ret_t(true, 0));
    EXPECT_EQ(peer.requests(), (std::vector<std::string>{Request("open:u," + password),
                                                         Request("nonquery:" + sql)}));
}

TEST(ConnectionLayer, LostServiceIsReportedUntilReopened) {
    std::atomic<bool> answer{true};
    FakePeer peer([&answer](const std::string&) {
        return answer ? std::optional<std::string>("success:Y29s\n") : std::nullopt;
    });
    NetSqliteClient client;
    client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    answer = false;
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "select 1", rows), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(DbExecute(client, "delete from t"), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(peer.requests().size(), 2u);  // the second request never left

    answer = true;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    EXPECT_EQ(DbQuery(client, "select 1", rows), ret_t(true, 0));
    ASSERT_NE(rows, nullptr);
}

TEST(ConnectionLayer, UnopenedClientFailsWithoutConnectionLoss) {
    NetSqliteClient client;
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "select 1", rows), ret_t(false, 0));
    EXPECT_EQ(DbExecute(client, "delete from t"), ret_t(false, 0));
}

}  // namespace

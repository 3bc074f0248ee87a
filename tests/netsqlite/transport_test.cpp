// The transport and the reply handling against a scripted peer: the replies and silences a real
// service never produces.
#include <gtest/gtest.h>
#include <pthread.h>
#include <zmq.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_exception.h"
#include "tests/support/case_printing.h"
#include "tests/support/test_service.h"

namespace {

constexpr int kShortPollMs = 20;  // five polls: a 100 ms time-out instead of five seconds

std::string Zero(const std::string& text) {
    return text + std::string(1, '\0');
}

// Answers each request with what the responder returns; nothing means never answering.
class FakePeer {
public:
    using Responder = std::function<std::optional<std::string>(const std::string&)>;

    explicit FakePeer(Responder responder) : m_responder(std::move(responder)) {
        const int linger = 0;
        zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
        do m_endpoint = "tcp://" + testsupport::NextLoopbackAddress() + ":5566";
        while (zmq_bind(m_socket, m_endpoint.c_str()) != 0);
        m_thread = std::thread([this] {
            while (!m_stop) AnswerOne();
        });
    }
    ~FakePeer() {
        m_stop = true;
        m_thread.join();
        zmq_close(m_socket);
        zmq_ctx_term(m_context);
    }
    const std::string& endpoint() const { return m_endpoint; }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    std::string Frame() {
        zmq_msg_t frame;
        zmq_msg_init(&frame);
        zmq_msg_recv(&frame, m_socket, 0);
        std::string bytes(static_cast<const char*>(zmq_msg_data(&frame)), zmq_msg_size(&frame));
        zmq_msg_close(&frame);
        return bytes;
    }
    void AnswerOne() {
        zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
        if (zmq_poll(&item, 1, 10) <= 0) return;
        const std::string routingId = Frame();
        Frame();  // empty delimiter
        const std::string request = Frame();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
        const auto reply = m_responder(request);
        if (!reply) return;
        zmq_send(m_socket, routingId.data(), routingId.size(), ZMQ_SNDMORE);
        zmq_send(m_socket, "", 0, ZMQ_SNDMORE);
        zmq_send(m_socket, reply->data(), reply->size(), 0);
    }

    Responder m_responder;
    void* m_context = zmq_ctx_new();
    void* m_socket = zmq_socket(m_context, ZMQ_ROUTER);
    std::string m_endpoint;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

FakePeer::Responder Always(const std::string& reply) {
    return [reply](const std::string&) { return std::optional<std::string>(reply); };
}

struct ReplyCase : testcases::NamedCase {
    std::string reply;
    int32_t queryCode;     // 0: a result set
    int32_t nonQueryCode;  // 0: done
    std::string detail;
};

class ReplyClassification : public testing::TestWithParam<ReplyCase> {};

// The code and the exception text each reply gives, and that DbQuery/DbExecute report it as a
// plain failure.
TEST_P(ReplyClassification, QueryAndNonQuery) {
    const ReplyCase& c = GetParam();
    FakePeer peer(Always(c.reply));
    NetSqliteClient client;
    client.Connect(peer.endpoint().c_str());
    for (const bool query : {true, false}) {
        const int32_t code = query ? c.queryCode : c.nonQueryCode;
        try {
            query ? static_cast<void>(client.Query("q")) : static_cast<void>(client.NonQuery("n"));
            EXPECT_EQ(code, 0);
        } catch (const NetSqliteException& e) {
            EXPECT_EQ(e.GetMessage(), "[" + std::to_string(code) + "]:" + NetSqliteErrorName(code) +
                                          ", " + c.detail);
        }
    }
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "q", rows), ret_t(c.queryCode == 0, 0));
    EXPECT_EQ(rows != nullptr, c.queryCode == 0);
    EXPECT_EQ(DbExecute(client, "n"), ret_t(c.nonQueryCode == 0, 0));
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
    testcases::kCaseName);

struct OpenCase : testcases::NamedCase {
    std::optional<std::string> reply;  // nothing: the peer never answers
    ret_t result;
};

class OpenReplies : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenReplies, OnlyAReplyStartingSuccessOpens) {
    const auto reply = GetParam().reply;
    FakePeer peer([reply](const std::string&) { return reply; });
    NetSqliteClient client;
    if (!reply) client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
    const std::string password(300, 'p');  // far beyond the old 128-byte request buffer
    EXPECT_EQ(DbOpen(client, peer.endpoint(), "ledger", password), GetParam().result);
    EXPECT_EQ(client.IsOpen(), GetParam().result.ok);
    EXPECT_EQ(peer.requests(), std::vector<std::string>{Zero("open:ledger," + password)});
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OpenReplies,
    testing::Values(OpenCase{"Success", std::string("success"), {true, 0}},
                    OpenCase{"Successful", std::string("successful"), {true, 0}},
                    OpenCase{"Failed", std::string("failed:x"), {false, 0}},
                    OpenCase{"Garbage", std::string("nope"), {false, 0}},
                    OpenCase{"Silence", std::nullopt, {false, kDbConnectionLost}}),
    testcases::kCaseName);

TEST(ConnectionLayer, EmptyQueryIsNotSentButEmptyNonQueryIs) {
    FakePeer peer(Always("success:"));
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "", rows), ret_t(false, 0));
    EXPECT_EQ(DbExecute(client, ""), ret_t(true, 0));
    EXPECT_EQ(peer.requests(), (std::vector<std::string>{Zero("open:u,p"), Zero("nonquery:")}));
}

TEST(ConnectionLayer, EmptyReplyIsATimeOutThatLeavesTheSocketUsable) {
    std::atomic<int> replies{0};
    FakePeer peer([&replies](const std::string&) {
        return std::optional<std::string>(replies++ == 1 ? "" : "success:Y29s\n");
    });
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "q", rows), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(DbQuery(client, "q", rows), ret_t(true, 0));
}

TEST(ConnectionLayer, SilentServiceIsLostAndNothingMoreIsSentUntilReopened) {
    std::atomic<bool> answer{true};
    FakePeer peer([&answer](const std::string&) {
        return answer ? std::optional<std::string>("success:Y29s\n") : std::nullopt;
    });
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    client.SetReplyWait(kShortPollMs, zmq_client::kPollAttempts);
    answer = false;
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "lost", rows), ret_t(false, kDbConnectionLost));
    EXPECT_EQ(DbExecute(client, "never sent"), ret_t(false, kDbConnectionLost));

    answer = true;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    EXPECT_EQ(DbQuery(client, "found", rows), ret_t(true, 0));
    EXPECT_EQ(peer.requests(), (std::vector<std::string>{Zero("open:u,p"), Zero("query:lost"),
                                                         Zero("open:u,p"), Zero("query:found")}));
}

// A signal the worker thread catches while it waits (a child process ending, say) is no reply
// and no time-out: the answer still arrives and the socket stays in step.
TEST(ConnectionLayer, ASignalDuringTheWaitNeitherLosesTheReplyNorTheSocket) {
    struct sigaction caught = {};
    struct sigaction previous = {};
    caught.sa_handler = [](int) {};
    sigemptyset(&caught.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &caught, &previous), 0);
    const pthread_t waiting = pthread_self();
    FakePeer peer([waiting](const std::string& request) {
        if (request != Zero("open:u,p")) {
            pthread_kill(waiting, SIGUSR1);
            std::this_thread::sleep_for(20ms);
        }
        return std::optional<std::string>("success:Y29s\n");
    });
    NetSqliteClient client;
    ASSERT_EQ(DbOpen(client, peer.endpoint(), "u", "p"), ret_t(true, 0));
    std::unique_ptr<NetSqliteResultSet> rows;
    EXPECT_EQ(DbQuery(client, "interrupted", rows), ret_t(true, 0));
    EXPECT_EQ(DbExecute(client, "next"), ret_t(true, 0));
    sigaction(SIGUSR1, &previous, nullptr);
}

}  // namespace

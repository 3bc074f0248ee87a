// The service's replies to every kind of request, good and bad, over real ZeroMQ.
#include <gtest/gtest.h>

#include <string>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

const std::string kZero(1, '\0');

class Protocol : public testing::Test {
protected:
    static void SetUpTestSuite() { s_service = new testsupport::TestService(); }
    static void TearDownTestSuite() { delete s_service; }

    static testsupport::TestService* s_service;
};

testsupport::TestService* Protocol::s_service = nullptr;

struct ReplyCase {
    const char* name;
    bool opened;          // the peer opens the database first
    std::string request;  // bytes as sent, terminator included where wanted
    std::string reply;
};

class Replies : public Protocol, public testing::WithParamInterface<ReplyCase> {};

TEST_P(Replies, AnswerEveryRequestWithOneReply) {
    RawPeer peer(s_service->endpoint());
    if (GetParam().opened) {
        ASSERT_TRUE(peer.Open());
    }
    peer.Send(GetParam().request);
    EXPECT_EQ(peer.Receive(), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, Replies,
    testing::Values(
        ReplyCase{"Open", false, "open:ledger,ledger2026" + kZero, "success:"},
        ReplyCase{"WrongPassword", false, "open:ledger,nope" + kZero,
                  "failed:wrong user name or password"},
        ReplyCase{"WrongUser", false, "open:admin,ledger2026" + kZero,
                  "failed:wrong user name or password"},
        ReplyCase{"OpenWithoutComma", false, "open:ledger" + kZero,
                  "failed:wrong user name or password"},
        ReplyCase{"QueryBeforeOpen", false, "query:SELECT 1" + kZero,
                  "failed:the database has not been opened"},
        ReplyCase{"NonQueryBeforeOpen", false, "nonquery:DELETE FROM userInfo" + kZero,
                  "failed:the database has not been opened"},
        ReplyCase{"NoTerminator", true, "query:SELECT 1",
                  "failed:the request does not end with a zero byte"},
        ReplyCase{"EmptyMessage", true, "", "failed:the request does not end with a zero byte"},
        ReplyCase{"ZeroInside", true, "query:SELECT 1" + kZero + "x" + kZero,
                  "failed:the request holds a zero byte before its end"},
        ReplyCase{"UnknownVerb", true, "select:1" + kZero, "failed:unknown request"},
        ReplyCase{"VerbIsCaseSensitive", true, "QUERY:SELECT 1" + kZero, "failed:unknown request"},
        ReplyCase{"SqlRejected", true, "query:SELECT * FROM nosuch" + kZero,
                  "error:no such table: nosuch"},
        ReplyCase{"SyntaxError", true, "nonquery:DELET FROM userInfo" + kZero,
                  "error:near \"DELET\": syntax error"},
        ReplyCase{"NonQuery", true, "nonquery:UPDATE userInfo SET pass = pass" + kZero, "success:"},
        ReplyCase{"EmptyNonQuery", true, "nonquery:" + kZero, "success:"},
        ReplyCase{"EmptyQuery", true, "query:" + kZero, "success:\n"},
        ReplyCase{"QueryWithoutColumns", true, "query:UPDATE userInfo SET pass = pass" + kZero,
                  "success:\n"},
        ReplyCase{"ResultFormat", true,
                  "query:SELECT 'a' AS x, NULL AS y, 3 AS z, 1.5 AS w" + kZero,
                  "success:" + Line({"x", "y", "z", "w"}) + Line({"a", "", "3", "1.5"})},
        ReplyCase{"HeaderOnlyForNoRows", true,
                  "query:SELECT Code, Name FROM tabcustomerinfo" + kZero,
                  "success:" + Line({"Code", "Name"})},
        ReplyCase{"LastStatementWithRowsAnswers", true,
                  "query:SELECT 1 AS a; SELECT 2 AS b;" + kZero,
                  "success:" + Line({"b"}) + Line({"2"})},
        ReplyCase{"Utf8Cells", true,
                  "query:SELECT Value FROM tabcommondatainfo WHERE ValueID = 1" + kZero,
                  "success:" + Line({"Value"}) + Line({u8"白色"})},
        ReplyCase{"NoTransactionOutlivesARequest", true, "nonquery:BEGIN" + kZero,
                  "error:cannot start a transaction within a transaction"}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return info.param.name; });

TEST_F(Protocol, FailedRequestChangesNothing) {
    RawPeer peer(s_service->endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('half');"
                       "INSERT INTO nosuch VALUES (1)"),
              "error:no such table: nosuch");
    EXPECT_EQ(peer.Ask("nonquery:INSERT INTO tabvehicleinfo (PlateID) VALUES ('A');"
                       "INSERT INTO tabvehicleinfo (PlateID) VALUES ('A')"),
              "error:UNIQUE constraint failed: tabvehicleinfo.PlateID");
    EXPECT_EQ(peer.Ask("query:SELECT (SELECT count(*) FROM tabcustomerinfo) + "
                       "(SELECT count(*) FROM tabvehicleinfo) AS n"),
              "success:" + Line({"n"}) + Line({"0"}));
}

TEST_F(Protocol, EveryStatementOfAGoodRequestTakesEffect) {
    RawPeer peer(s_service->endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('both1');"
                       "INSERT INTO tabcustomerinfo (Code) VALUES ('both2');"),
              "success:");
    EXPECT_EQ(peer.Ask("query:SELECT count(*) AS n FROM tabcustomerinfo WHERE Code LIKE 'both%'"),
              "success:" + Line({"n"}) + Line({"2"}));
    EXPECT_EQ(peer.Ask("nonquery:DELETE FROM tabcustomerinfo WHERE Code LIKE 'both%'"), "success:");
}

TEST_F(Protocol, OpeningIsPerPeer) {
    RawPeer opened(s_service->endpoint());
    RawPeer stranger(s_service->endpoint());
    ASSERT_TRUE(opened.Open());
    EXPECT_EQ(stranger.Ask("query:SELECT 1 AS n"), "failed:the database has not been opened");
    EXPECT_EQ(opened.Ask("query:SELECT 1 AS n"), "success:" + Line({"n"}) + Line({"1"}));
    EXPECT_EQ(opened.Ask("open:ledger,wrong"), "failed:wrong user name or password");
    EXPECT_EQ(opened.Ask("query:SELECT 1 AS n"), "success:" + Line({"n"}) + Line({"1"}));
}

TEST(ProtocolCredentials, ComeFromTheServiceOptions) {
    testsupport::TestService::Options options;
    options.user = "keeper";
    options.password = "se,cret";
    testsupport::TestService service(options);
    RawPeer peer(service.endpoint());
    EXPECT_EQ(peer.Ask("open:ledger,ledger2026"), "failed:wrong user name or password");
    EXPECT_EQ(peer.Ask("open:keeper,se,cret"), "success:");
}

}  // namespace

// The service's replies to every kind of request, good and bad, and to several clients at once.
#include <gtest/gtest.h>

#include <memory>

#include "netsqlite/net_sqlite_client.h"
#include "tests/service/raw_peer.h"
#include "tests/support/case_printing.h"
#include "tests/support/test_service.h"

namespace {

using namespace std::chrono_literals;

const std::string kZero(1, '\0');

class Protocol : public testing::Test {
protected:
    static void SetUpTestSuite() { s_service = new testsupport::TestService(); }
    static void TearDownTestSuite() { delete s_service; }

    static std::string Endpoint() { return s_service->endpoint(); }
    static void ExpectServed(RawPeer& peer) {
        EXPECT_EQ(peer.Ask("query:SELECT 42 AS n"), "success:" + Line({"n"}) + Line({"42"}));
    }

    static testsupport::TestService* s_service;
};

testsupport::TestService* Protocol::s_service = nullptr;

struct ReplyCase : testcases::NamedCase {
    bool opened;          // the peer opens the database first
    std::string request;  // bytes as sent
    std::string reply;
};

class Replies : public Protocol, public testing::WithParamInterface<ReplyCase> {};

TEST_P(Replies, AnswerEveryRequestWithOneReply) {
    RawPeer peer(Endpoint());
    ASSERT_TRUE(!GetParam().opened || peer.Open());
    peer.Send(GetParam().request);
    EXPECT_EQ(peer.Receive(), GetParam().reply);
}

const std::string kRefusedLogin = "failed:wrong user name or password";
const std::string kNotOpened = "failed:the database has not been opened";
const std::string kNoTerminator = "failed:the request does not end with a zero byte";

INSTANTIATE_TEST_SUITE_P(
    Requests, Replies,
    testing::Values(
        ReplyCase{"Open", false, "open:ledger,ledger2026" + kZero, "success:"},
        ReplyCase{"WrongPassword", false, "open:ledger,nope" + kZero, kRefusedLogin},
        ReplyCase{"WrongUser", false, "open:admin,ledger2026" + kZero, kRefusedLogin},
        ReplyCase{"OpenWithoutComma", false, "open:ledger" + kZero, kRefusedLogin},
        ReplyCase{"QueryBeforeOpen", false, "query:SELECT 1" + kZero, kNotOpened},
        ReplyCase{"NonQueryBeforeOpen", false, "nonquery:DELETE FROM userInfo" + kZero, kNotOpened},
        ReplyCase{"NoTerminator", true, "query:SELECT 1", kNoTerminator},
        ReplyCase{"EmptyMessage", true, "", kNoTerminator},
        ReplyCase{"ZeroInside", true, "query:SELECT 1" + kZero + "x" + kZero,
                  "failed:the request holds a zero byte before its end"},
        ReplyCase{"UnknownVerb", true, "QUERY:SELECT 1" + kZero, "failed:unknown request"},
        ReplyCase{"SqlRejected", true, "query:SELECT * FROM nosuch" + kZero,
                  "error:no such table: nosuch"},
        ReplyCase{"NonQuery", true, "nonquery:UPDATE userInfo SET pass = pass" + kZero, "success:"},
        ReplyCase{"EmptyQuery", true, "query:" + kZero, "success:\n"},
        ReplyCase{"ResultFormat", true,
                  "query:SELECT 'a' AS x, NULL AS y, 3 AS z, 1.5 AS w" + kZero,
                  "success:" + Line({"x", "y", "z", "w"}) + Line({"a", "", "3", "1.5"})},
        ReplyCase{"BlobsAsStored", true, "query:SELECT X'00FF41' AS b, X'' AS e" + kZero,
                  "success:" + Line({"b", "e"}) + Line({std::string("\0\xff" "A", 3), ""})},
        ReplyCase{"HeaderOnlyForNoRows", true, "query:SELECT Code FROM tabcustomerinfo" + kZero,
                  "success:" + Line({"Code"})},
        ReplyCase{"LastStatementWithRowsAnswers", true,
                  "query:SELECT 1 AS a; SELECT 2 AS b;" + kZero,
                  "success:" + Line({"b"}) + Line({"2"})},
        ReplyCase{"Utf8Cells", true,
                  "query:SELECT Value FROM tabcommondatainfo WHERE ValueID = 1" + kZero,
                  "success:" + Line({"Value"}) + Line({u8"白色"})}),
    testcases::kCaseName);

// The service may run as root: no request may make it create or write any other file.
struct OutsideCase : testcases::NamedCase {
    std::string request;  // FILE stands for a path in a fresh folder
    std::string reply;
};

class OtherFiles : public Protocol, public testing::WithParamInterface<OutsideCase> {};

TEST_P(OtherFiles, AreRefusedAndNeverCreated) {
    ScratchDir folder;
    const std::string path = folder.file("elsewhere.db");
    std::string request = GetParam().request;
    if (const size_t at = request.find("FILE"); at != std::string::npos)
        request.replace(at, 4, path);
    RawPeer peer(Endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask(request), GetParam().reply);
    EXPECT_EQ(folder.fileCount(), 0u);
    ExpectServed(peer);
}

const std::string kOneFile =
    "error:ATTACH, DETACH and VACUUM INTO are not allowed: the service keeps one database file";

INSTANTIATE_TEST_SUITE_P(
    Statements, OtherFiles,
    testing::Values(
        OutsideCase{"Attach", "nonquery:ATTACH DATABASE 'FILE' AS x", kOneFile},
        OutsideCase{"AttachAsQuery", "query:ATTACH 'FILE' AS x", kOneFile},
        // Every request that writes is a transaction, which VACUUM cannot run in.
        OutsideCase{"VacuumInto", "query:VACUUM INTO 'FILE'",
                    "error:cannot VACUUM from within a transaction"},
        OutsideCase{"Detach", "nonquery:DETACH main", kOneFile},
        OutsideCase{"WritableSchema", "nonquery:PRAGMA writable_schema = ON",
                    "error:PRAGMA writable_schema may only be read"},
        OutsideCase{"TempDirectory", "query:PRAGMA temp_store_directory = 'FILE'",
                    "error:PRAGMA temp_store_directory may only be read"}),
    testcases::kCaseName);

TEST_F(Protocol, FailedRequestChangesNothing) {
    RawPeer peer(Endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('half');"
                       "INSERT INTO nosuch VALUES (1)"),
              "error:no such table: nosuch");
    EXPECT_EQ(peer.Ask("query:SELECT count(*) AS n FROM tabcustomerinfo"),
              "success:" + Line({"n"}) + Line({"0"}));
}

// Queries are tried where they are cheapest and move on when they cannot be answered there: a
// long one to a reader, and from a reader to the writer when it writes or reads a temporary
// table (those live on the writer's connection only). The answer is the writer's, written once.
struct HandOverCase : testcases::NamedCase {
    std::string query;
    std::string reply;
    Values codes;  // in the database file afterwards
};

class HandOver : public Protocol, public testing::WithParamInterface<HandOverCase> {};

TEST_P(HandOver, AnswersAsTheWriterWouldAndWritesOnce) {
    RawPeer peer(Endpoint());
    ASSERT_TRUE(peer.Open());
    ASSERT_EQ(peer.Ask("nonquery:CREATE TEMP TABLE scratch (x); INSERT INTO scratch VALUES (7)"),
              "success:");
    EXPECT_EQ(peer.Ask("query:" + GetParam().query), GetParam().reply);
    EXPECT_EQ(FileColumn(s_service->databasePath(), "SELECT Code FROM tabcustomerinfo"),
              GetParam().codes);
    EXPECT_EQ(peer.Ask("nonquery:DROP TABLE scratch; DELETE FROM tabcustomerinfo"), "success:");
}

// Long or short by `to`, the same kind of query either way.
std::string CountTo(int to) {
    return "SELECT count(*) AS n FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 "
           "FROM c WHERE x < " +
           std::to_string(to) + ") SELECT x FROM c)";
}

std::string Counted(int to) {
    return "success:" + Line({"n"}) + Line({std::to_string(to)});
}

const std::string kLongCount = CountTo(200000);
const std::string kCounted = Counted(200000);

INSTANTIATE_TEST_SUITE_P(
    Queries, HandOver,
    testing::Values(
        HandOverCase{"LongRead", kLongCount, kCounted, {}},
        HandOverCase{"TemporaryTable", "SELECT x FROM scratch",
                     "success:" + Line({"x"}) + Line({"7"}), {}},
        HandOverCase{"LongReadOfATemporaryTable", kLongCount + ", scratch", kCounted, {}},
        HandOverCase{"WriteWithRows",
                     "INSERT INTO tabcustomerinfo (Code) VALUES ('kept') RETURNING Code",
                     "success:" + Line({"Code"}) + Line({"kept"}),
                     {"kept"}},
        HandOverCase{"LongReadThenWrite",
                     kLongCount + "; INSERT INTO tabcustomerinfo (Code) VALUES ('once') RETURNING Code",
                     "success:" + Line({"Code"}) + Line({"once"}),
                     {"once"}}),
    testcases::kCaseName);

TEST_F(Protocol, AKindOfQueryThatRanLongIsAnsweredInOrderWhenItRunsShort) {
    RawPeer peer(Endpoint());
    ASSERT_TRUE(peer.Open());
    const std::vector<int> counts = {200000, 3, 3, 200000, 4};
    for (int to : counts) peer.Send("query:" + CountTo(to) + kZero);
    for (int to : counts) EXPECT_EQ(peer.Receive(), Counted(to));
}

TEST_F(Protocol, OpeningIsPerPeerAndAFailedReopenKeepsIt) {
    RawPeer opened(Endpoint());
    RawPeer stranger(Endpoint());
    ASSERT_TRUE(opened.Open());
    EXPECT_EQ(stranger.Ask("query:SELECT 42 AS n"), kNotOpened);
    EXPECT_EQ(opened.Ask("open:ledger,wrong"), kRefusedLogin);
    ExpectServed(opened);
}

TEST_F(Protocol, InterleavedClientsEachGetTheirOwnAnswers) {
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 5; ++i) {
        peers.push_back(std::make_unique<RawPeer>(Endpoint()));
        ASSERT_TRUE(peers.back()->Open());
    }
    for (int i = 0; i < 5; ++i)
        peers[i]->Send("query:SELECT " + std::to_string(i) + " AS n" + kZero);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(peers[i]->Receive(), "success:" + Line({"n"}) + Line({std::to_string(i)}));
}

TEST_F(Protocol, OnePeerGetsTheAnswersOfReadsAndWritesInTheOrderItAsked) {
    RawPeer peer(Endpoint());
    ASSERT_TRUE(peer.Open());
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        const std::string code = "order" + std::to_string(i);
        peer.Send("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('" + code + "')" + kZero);
        peer.Send("query:SELECT count(*) AS n FROM tabcustomerinfo WHERE Code LIKE 'order%'" +
                  kZero);
        expected.insert(expected.end(),
                        {"success:", "success:" + Line({"n"}) + Line({std::to_string(i + 1)})});
    }
    std::vector<std::string> replies;
    for (size_t i = 0; i < expected.size(); ++i) replies.push_back(peer.Receive().value_or(""));
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(peer.Ask("nonquery:DELETE FROM tabcustomerinfo"), "success:");
}

TEST_F(Protocol, VanishedAndDeafClientsDoNotHoldUpTheOthers) {
    RawPeer witness(Endpoint());
    ASSERT_TRUE(witness.Open());
    for (int i = 0; i < 20; ++i) {
        RawPeer gone(Endpoint());
        ASSERT_TRUE(gone.Open());
        gone.Send("query:SELECT * FROM tabdatatypeinfo" + kZero);
    }
    RawPeer deaf(Endpoint());
    ASSERT_TRUE(deaf.Open());
    for (int i = 0; i < 3000; ++i) deaf.Send("query:SELECT * FROM tabdatatypeinfo" + kZero);
    ExpectServed(witness);
}

TEST_F(Protocol, OversizedRequestIsRefusedUnreadAndTheServiceCarriesOn) {
    RawPeer greedy(Endpoint());
    ASSERT_TRUE(greedy.Open());
    std::string huge = "nonquery:--";
    huge.resize(kMaxRequestBytes + 1, 'x');
    greedy.Send(huge);
    EXPECT_EQ(greedy.Receive(500ms), std::nullopt);
    // The service dropped that connection: the peer's reconnection is a new, unopened session.
    EXPECT_EQ(greedy.Ask("query:SELECT 1"), kNotOpened);
    RawPeer witness(Endpoint());
    ASSERT_TRUE(witness.Open());
    ExpectServed(witness);
}

TEST(ProtocolCredentials, ComeFromTheServiceOptions) {
    testsupport::TestService::Options options;
    options.user = "keeper";
    options.password = "se,cret";
    testsupport::TestService service(options);
    RawPeer peer(service.endpoint());
    EXPECT_EQ(peer.Ask("open:ledger,ledger2026"), kRefusedLogin);
    EXPECT_EQ(peer.Ask("open:keeper,se,cret"), "success:");
}

}  // namespace

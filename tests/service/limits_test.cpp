// What one peer may cost the others: time per request, memory per request and reply, and a
// session that ends with its connection.
#include <gtest/gtest.h>

#include <memory>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

using namespace std::chrono_literals;

const std::string kZero(1, '\0');
const std::string kCountForever =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";
const std::string kNotOpened = "failed:the database has not been opened";

testsupport::TestService::Options WithArguments(std::vector<std::string> arguments) {
    testsupport::TestService::Options options;
    options.arguments = std::move(arguments);
    return options;
}

std::string Answer42() {
    return "success:" + Line({"n"}) + Line({"42"});
}

TEST(RequestTimeLimit, StopsAnEndlessRequestWithNothingKeptAndServesTheOthersAfterIt) {
    testsupport::TestService service(WithArguments({"--request-timeout-ms", "200"}));
    RawPeer endless(service.endpoint());
    RawPeer waiting(service.endpoint());
    ASSERT_TRUE(endless.Open() && waiting.Open());
    endless.Send("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('lost');" + kCountForever +
                 kZero);
    waiting.Send("query:SELECT 42 AS n" + kZero);
    EXPECT_EQ(endless.Receive(), "error:the request ran longer than 200 ms and was stopped");
    EXPECT_EQ(waiting.Receive(), Answer42());
    EXPECT_EQ(waiting.Ask("query:SELECT count(*) AS n FROM tabcustomerinfo"),
              "success:" + Line({"n"}) + Line({"0"}));
}

TEST(RequestTimeLimit, OutlivesTheSenderThatWentAway) {
    testsupport::TestService service(WithArguments({"--request-timeout-ms", "200"}));
    {
        RawPeer gone(service.endpoint());
        ASSERT_TRUE(gone.Open());
        gone.Send("query:" + kCountForever + kZero);
    }
    RawPeer witness(service.endpoint());
    ASSERT_TRUE(witness.Open());
    EXPECT_EQ(witness.Ask("query:SELECT 42 AS n"), Answer42());
}

TEST(RequestTimeLimit, ReadersAndWritersAreServedWhileAnEndlessQueryRuns) {
    testsupport::TestService service(WithArguments({"--request-timeout-ms", "60000"}));
    RawPeer endless(service.endpoint());
    RawPeer other(service.endpoint());
    ASSERT_TRUE(endless.Open() && other.Open());
    endless.Send("query:" + kCountForever + kZero);
    EXPECT_EQ(other.Ask("query:SELECT 42 AS n"), Answer42());
    EXPECT_EQ(other.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('written')"),
              "success:");
    EXPECT_EQ(other.Ask("query:SELECT Code FROM tabcustomerinfo"),
              "success:" + Line({"Code"}) + Line({"written"}));
    EXPECT_EQ(endless.Receive(0ms), std::nullopt);  // stopped with the service
}

using Peers = std::vector<std::unique_ptr<RawPeer>>;

Peers OpenedPeers(const testsupport::TestService& service, int count) {
    Peers peers;
    for (int i = 0; i < count; ++i) {
        peers.push_back(std::make_unique<RawPeer>(service.endpoint()));
        EXPECT_TRUE(peers.back()->Open());
    }
    return peers;
}

// More endless reads than there are readers, one of them sent as a nonquery: the others' short
// requests are still answered at once, each well within a client's patience.
TEST(Fairness, EndlessReadsOfThreePeersHoldUpNobodyElse) {
    testsupport::TestService service(WithArguments({"--request-timeout-ms", "60000"}));
    Peers endless = OpenedPeers(service, 3);
    endless[0]->Send("nonquery:" + kCountForever + kZero);
    for (int i = 1; i < 3; ++i) endless[i]->Send("query:" + kCountForever + kZero);
    RawPeer other(service.endpoint());
    ASSERT_TRUE(other.Open());
    for (int i = 0; i < 20; ++i) ASSERT_EQ(other.Ask("query:SELECT 42 AS n", 1s), Answer42()) << i;
    EXPECT_EQ(other.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('x')", 1s), "success:");
}

// Writes of other peers that each run to the time limit: a write queued behind them is answered
// within the limit from its arrival, and kept exactly when it is reported done.
TEST(Fairness, AWriteQueuedBehindLongWritesIsAnsweredWithinItsTimeLimit) {
    testsupport::TestService service(WithArguments({"--request-timeout-ms", "300"}));
    Peers busy = OpenedPeers(service, 5);
    for (auto& peer : busy)
        peer->Send("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES (NULL);" + kCountForever +
                   kZero);
    RawPeer late(service.endpoint());
    ASSERT_TRUE(late.Open());
    const auto reply = late.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('late')", 1s);
    ASSERT_TRUE(reply.has_value()) << "no answer while the client still waited";
    for (auto& peer : busy) peer->Receive();
    EXPECT_EQ(FileColumn(service.databasePath(), "SELECT Code FROM tabcustomerinfo"),
              *reply == "success:" ? Values{"late"} : Values{}) << *reply;
}

TEST(ReplyLimit, RefusesALargerReplyWithAClearErrorAndKeepsServing) {
    testsupport::TestService service(WithArguments({"--max-reply-bytes", "1000"}));
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask("query:WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                       "LIMIT 1000) SELECT x FROM c"),
              "error:the reply would be larger than 1000 bytes: ask for fewer rows");
    // A value no reply could carry is refused before it is made.
    EXPECT_EQ(peer.Ask("query:SELECT zeroblob(100000000)"), "error:string or blob too big");
    EXPECT_EQ(peer.Ask("query:SELECT 42 AS n"), Answer42());
}

TEST(RequestBeforeOpen, IsRefusedOver64KiB) {
    testsupport::TestService service;
    RawPeer stranger(service.endpoint());
    EXPECT_EQ(stranger.Ask("open:ledger," + std::string(64 << 10, 'p')),
              "failed:a request before \"open\" may be at most 65536 bytes");
    EXPECT_EQ(stranger.Ask("query:SELECT 42 AS n"), kNotOpened);
    ASSERT_TRUE(stranger.Open());
    EXPECT_EQ(stranger.Ask("query:SELECT 42 AS n -- " + std::string(64 << 10, 'x')), Answer42());
}

TEST(Session, EndsWithItsConnection) {
    testsupport::TestService service;
    {
        RawPeer departed(service.endpoint(), "reused");
        ASSERT_TRUE(departed.Open());
    }
    // Until the service has seen the first connection end, a second one with the same routing
    // id is not served at all; a few attempts cover that.
    std::optional<std::string> reply;
    for (int attempt = 0; attempt < 20 && !reply; ++attempt) {
        RawPeer successor(service.endpoint(), "reused");
        reply = successor.Ask("query:SELECT 42 AS n", 250ms);
    }
    EXPECT_EQ(reply, kNotOpened);
}

}  // namespace

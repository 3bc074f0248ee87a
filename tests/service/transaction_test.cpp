// Every request is one transaction: "success:" means all of it is on disk, "error:" means none
// of it is, and no request leaves a transaction open for the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "tests/service/raw_peer.h"
#include "tests/support/case_printing.h"
#include "tests/support/test_service.h"

namespace {

const std::string kInsertLost = "INSERT INTO tabcustomerinfo (Code) VALUES ('lost');";
const std::string kRefused = "error:transaction control is not allowed inside a request";

struct UnitCase : testcases::NamedCase {
    std::string request;
    std::string reply;
};

class WholeRequest : public testing::TestWithParam<UnitCase> {};

TEST_P(WholeRequest, FailsWithNothingKeptAndLeavesLaterWritesDurable) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask(GetParam().request), GetParam().reply);
    RawPeer other(service.endpoint());
    ASSERT_TRUE(other.Open());
    ASSERT_EQ(other.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('acknowledged')"),
              "success:");
    // Only what was committed survives a crash.
    service.stop(SIGKILL);
    EXPECT_EQ(FileColumn(service.databasePath(), "SELECT Code FROM tabcustomerinfo"),
              Values{"acknowledged"});
}

INSTANTIATE_TEST_SUITE_P(
    Requests, WholeRequest,
    testing::Values(
        UnitCase{"CommitThenBegin", "nonquery:" + kInsertLost + "COMMIT; BEGIN", kRefused},
        UnitCase{"CommitThenBadSql",
                 "nonquery:" + kInsertLost + "COMMIT; INSERT INTO nosuch VALUES (1)", kRefused},
        UnitCase{"EndThenBegin", "nonquery:" + kInsertLost + "END; BEGIN", kRefused},
        UnitCase{"ReleaseThenBegin", "nonquery:" + kInsertLost + "RELEASE request; BEGIN",
                 kRefused},
        UnitCase{"RollbackToThenBegin", "nonquery:" + kInsertLost + "ROLLBACK TO request; BEGIN",
                 kRefused},
        UnitCase{"RollbackAtTheEnd", "nonquery:" + kInsertLost + "ROLLBACK", kRefused},
        UnitCase{"OwnSavepoint", "nonquery:SAVEPOINT mine;" + kInsertLost + "RELEASE mine",
                 kRefused},
        UnitCase{"BeginAlone", "nonquery:BEGIN IMMEDIATE", kRefused},
        UnitCase{"QueryThatCommits", "query:SELECT 1 AS n; COMMIT; BEGIN", kRefused},
        UnitCase{"BadSqlAfterAWrite", "nonquery:" + kInsertLost + "INSERT INTO nosuch VALUES (1)",
                 "error:no such table: nosuch"},
        UnitCase{"ConflictThatRollsBack",
                 "nonquery:" + kInsertLost +
                     "INSERT OR ROLLBACK INTO tabcustomerinfo (Code) VALUES ('lost');"
                     "INSERT INTO tabcustomerinfo (Code) VALUES ('after the rollback')",
                 "error:UNIQUE constraint failed: tabcustomerinfo.Code"}),
    testcases::kCaseName);

TEST(WholeRequestAnswer, SuccessOfReadsAndWritesTogetherIsDurable) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask("query:SELECT count(*) AS n FROM tabcustomerinfo;" + kInsertLost +
                       "SELECT Code FROM tabcustomerinfo"),
              "success:" + Line({"Code"}) + Line({"lost"}));
    service.stop(SIGKILL);
    EXPECT_EQ(FileColumn(service.databasePath(), "SELECT Code FROM tabcustomerinfo"),
              Values{"lost"});
}

// The same query asked again answers from the database as it is now, not as it was when first
// asked: its rows, and its columns after the table changed.
TEST(RepeatedQuery, SeesWhatChangedSinceItWasLastAsked) {
    testsupport::TestService service;
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    const auto every = [&peer] {
        return peer.Ask("query:SELECT * FROM tabcustomerinfo").value_or("");
    };
    const auto lines = [](const std::string& reply) {
        return std::count(reply.begin(), reply.end(), '\n');
    };
    EXPECT_EQ(lines(every()), 1);  // the header alone
    ASSERT_EQ(peer.Ask("nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('again')"), "success:");
    EXPECT_EQ(lines(every()), 2);
    ASSERT_EQ(peer.Ask("nonquery:ALTER TABLE tabcustomerinfo ADD COLUMN Added TEXT"), "success:");
    EXPECT_NE(every().find("," + Line({"Added"})), std::string::npos);
}

}  // namespace

// Several clients at once, clients that vanish or misbehave, and the size limit.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

using namespace std::chrono_literals;

class Clients : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_witness.Open()); }

    // The well-behaved client that must keep getting its answers.
    void ExpectWitnessServed() {
        EXPECT_EQ(m_witness.Ask("query:SELECT 42 AS n"), "success:" + Line({"n"}) + Line({"42"}));
    }

    testsupport::TestService m_service;
    RawPeer m_witness{m_service.endpoint()};
};

TEST_F(Clients, InterleavedClientsEachGetTheirOwnAnswers) {
    std::vector<std::unique_ptr<RawPeer>> peers;
    for (int i = 0; i < 5; ++i) {
        peers.push_back(std::make_unique<RawPeer>(m_service.endpoint()));
        ASSERT_TRUE(peers.back()->Open());
    }
    for (int i = 0; i < 5; ++i)
        peers[i]->Send("query:SELECT " + std::to_string(i) + " AS n" + std::string(1, '\0'));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(peers[i]->Receive(), "success:" + Line({"n"}) + Line({std::to_string(i)}));
}

TEST_F(Clients, VanishedClientDoesNotHoldUpTheOthers) {
    for (int i = 0; i < 20; ++i) {
        RawPeer gone(m_service.endpoint());
        ASSERT_TRUE(gone.Open());
        gone.Send("query:SELECT * FROM tabdatatypeinfo" + std::string(1, '\0'));
    }
    ExpectWitnessServed();
}

TEST_F(Clients, ClientThatNeverReadsDoesNotHoldUpTheOthers) {
    RawPeer deaf(m_service.endpoint());
    ASSERT_TRUE(deaf.Open());
    for (int i = 0; i < 3000; ++i)
        deaf.Send("query:SELECT * FROM tabdatatypeinfo" + std::string(1, '\0'));
    ExpectWitnessServed();
}

TEST_F(Clients, OversizedRequestIsRefusedUnreadAndTheServiceCarriesOn) {
    RawPeer greedy(m_service.endpoint());
    ASSERT_TRUE(greedy.Open());
    std::string huge = "nonquery:--";
    huge.resize((64u << 20) + 1, 'x');
    greedy.Send(huge);
    EXPECT_EQ(greedy.Receive(500ms), std::nullopt);
    ExpectWitnessServed();
    // The service dropped that connection: the peer's reconnection is a new, unopened session.
    EXPECT_EQ(greedy.Ask("query:SELECT 1"), "failed:the database has not been opened");
}

TEST_F(Clients, LargeRequestWithinTheLimitIsServed) {
    RawPeer bulk(m_service.endpoint());
    ASSERT_TRUE(bulk.Open());
    const std::string longText(4u << 20, 'v');
    EXPECT_EQ(bulk.Ask("nonquery:INSERT INTO tabcustomerinfo (Code, Name) VALUES ('big', '" +
                       longText + "')"),
              "success:");
    EXPECT_EQ(bulk.Ask("query:SELECT Name FROM tabcustomerinfo WHERE Code = 'big'"),
              "success:" + Line({"Name"}) + Line({longText}));
}

}  // namespace

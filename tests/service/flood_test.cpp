// Floods that take the machine's memory and network for seconds: run alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "netsqlite/net_sqlite_client.h"
#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

const std::string kZero(1, '\0');
constexpr size_t kPeakBound = size_t{512} << 20;

size_t PeakResidentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) << 10;
    }
    return 0;
}

// AddressSanitizer keeps up to 256 MiB of freed memory to catch its later use; the services
// these tests start keep less, so that the bound is on the service's own memory.
class Memory : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* options = std::getenv("ASAN_OPTIONS");
        const std::string kept = options ? std::string(options) + ":" : std::string();
        setenv("ASAN_OPTIONS", (kept + "quarantine_size_mb=32").c_str(), 1);
    }
};

using Peers = std::vector<std::unique_ptr<RawPeer>>;

Peers ConnectedPeers(const testsupport::TestService& service, int count) {
    Peers peers;
    for (int i = 0; i < count; ++i) peers.push_back(std::make_unique<RawPeer>(service.endpoint()));
    return peers;
}

void ExpectAnswered(RawPeer& client) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(client.Ask("query:SELECT 42 AS n"), "success:" + Line({"n"}) + Line({"42"})) << i;
}

// Peers that never open send the largest requests ZeroMQ takes, as fast as they can: the
// service refuses them as they come, keeps its memory bounded and answers an opened client.
TEST_F(Memory, AFloodOfTheLargestRequestsFromPeersThatNeverOpenIsRefusedWithinBoundedMemory) {
    testsupport::TestService service;
    static const std::string largest =
        "query:" + std::string(kMaxRequestBytes - sizeof "query:", 'x') + kZero;
    constexpr int kRounds = 4;
    Peers flood = ConnectedPeers(service, 10);
    for (int round = 0; round < kRounds; ++round)
        for (auto& peer : flood) peer->SendUncopied(largest);
    RawPeer witness(service.endpoint());
    ASSERT_TRUE(witness.Open());
    ExpectAnswered(witness);
    for (auto& peer : flood)
        for (int round = 0; round < kRounds; ++round)
            ASSERT_EQ(peer->Receive(), "failed:a request before \"open\" may be at most 65536 bytes");
    EXPECT_LT(PeakResidentBytes(service.pid()), kPeakBound);
}

// Opened peers ask for large results again and again and do not read them: the service stops
// running their requests while their replies lie unread, and answers an opened client.
TEST_F(Memory, PeersThatLeaveLargeRepliesUnreadAreRefusedWithinBoundedMemory) {
    testsupport::TestService service;
    // 37.5 MB of blob is 50 MB of reply in Base64.
    const std::string large = "query:SELECT zeroblob(37500000) AS b" + kZero;
    constexpr int kRounds = 8;
    Peers hoarders = ConnectedPeers(service, 2);
    for (auto& peer : hoarders) ASSERT_TRUE(peer->Open());
    for (int round = 0; round < kRounds; ++round)
        for (auto& peer : hoarders) peer->Send(large);
    RawPeer witness(service.endpoint());
    ASSERT_TRUE(witness.Open());
    ExpectAnswered(witness);
    for (auto& peer : hoarders)
        for (int round = 0; round < kRounds; ++round) {
            const std::optional<std::string> reply = peer->Receive();
            ASSERT_TRUE(reply.has_value());
            ASSERT_TRUE(reply->size() > 50'000'000 ||
                        *reply == "error:your earlier replies have not been read: read them "
                                  "before asking more")
                << reply->substr(0, 200);
        }
    EXPECT_LT(PeakResidentBytes(service.pid()), kPeakBound);
}

}  // namespace

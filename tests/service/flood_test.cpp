// A flood that takes the machine's memory and network for seconds: run alone.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "tests/service/raw_peer.h"
#include "tests/support/test_service.h"

namespace {

const std::string kZero(1, '\0');

size_t PeakResidentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) << 10;
    }
    return 0;
}

// Peers that never open send large requests as fast as they can: the service refuses them as
// they come, keeps its memory bounded and answers an opened client meanwhile.
TEST(Memory, AFloodOfLargeRequestsIsRefusedWithinBoundedMemory) {
    testsupport::TestService service;
    const std::string large = "query:" + std::string(5 << 20, 'x') + kZero;
    std::vector<std::unique_ptr<RawPeer>> flood;
    for (int i = 0; i < 8; ++i) flood.push_back(std::make_unique<RawPeer>(service.endpoint()));
    for (int round = 0; round < 16; ++round)
        for (auto& peer : flood) peer->Send(large);
    RawPeer witness(service.endpoint());
    ASSERT_TRUE(witness.Open());
    EXPECT_EQ(witness.Ask("query:SELECT 42 AS n"), "success:" + Line({"n"}) + Line({"42"}));
    for (auto& peer : flood)
        for (int round = 0; round < 16; ++round)
            ASSERT_EQ(peer->Receive(), "failed:a request before \"open\" may be at most 65536 bytes");
    EXPECT_LT(PeakResidentBytes(service.pid()), size_t{512} << 20);
}

}  // namespace

// A client's `select 1` to a service where three other peers ask endless queries over and over
// (one of them as a nonquery), against the same client to an idle service: call by call in
// turns. Goal: median under 5 ms, slowest under 200 ms, no reply missing.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "bench/bench_timing.h"
#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_exception.h"
#include "tests/support/test_service.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 10;
constexpr auto kRepeatLasts = std::chrono::seconds(1);  // the run spans several time limits
const char kEndless[] =
    "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c";

void OpenOrEnd(NetSqliteClient& client, const testsupport::TestService& service) {
    benchtiming::Require(DbOpen(client, service.endpoint(), service.user(), service.password()) ==
                             ret_t(true, 0),
                         "opening the service");
}

// A peer that asks its endless query again each time the service stops it.
class EndlessAsker {
public:
    EndlessAsker(const testsupport::TestService& service, bool asNonQuery) {
        OpenOrEnd(m_client, service);
        m_thread = std::thread([this, asNonQuery] {
            while (!m_stop) {
                try {
                    if (asNonQuery) m_client.NonQuery(kEndless);
                    else m_client.Query(kEndless);
                } catch (const NetSqliteException&) {
                }
            }
        });
    }
    ~EndlessAsker() {
        m_stop = true;
        m_thread.join();
    }

private:
    NetSqliteClient m_client;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Milliseconds of one `select 1`; a reply that never came counts as missing.
double AskOnce(NetSqliteClient& client, int& missing) {
    return benchtiming::MillisOf([&] {
        try {
            client.Query("select 1");
        } catch (const NetSqliteException&) {
            ++missing;
        }
    });
}

struct Side {
    std::vector<double> medians;  // one per repeat
    double slowest = 0;
    int calls = 0;
    int missing = 0;
};

void Record(Side& side, const std::vector<double>& calls) {
    side.medians.push_back(benchtiming::Median(calls));
    for (double ms : calls) side.slowest = std::max(side.slowest, ms);
    side.calls += static_cast<int>(calls.size());
}

}  // namespace

int main() {
    testsupport::TestService busy;
    testsupport::TestService idle;
    NetSqliteClient busyClient, idleClient;
    OpenOrEnd(busyClient, busy);
    OpenOrEnd(idleClient, idle);
    std::vector<std::unique_ptr<EndlessAsker>> endless;
    for (int i = 0; i < 3; ++i) endless.push_back(std::make_unique<EndlessAsker>(busy, i == 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // every endless query on its way

    Side project, floor;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        std::vector<double> projectCalls, floorCalls;
        const auto end = Clock::now() + kRepeatLasts;
        // Each side goes first every other call.
        for (int i = 0; Clock::now() < end; ++i) {
            if (i % 2 == 0) projectCalls.push_back(AskOnce(busyClient, project.missing));
            floorCalls.push_back(AskOnce(idleClient, floor.missing));
            if (i % 2 == 1) projectCalls.push_back(AskOnce(busyClient, project.missing));
        }
        Record(project, projectCalls);
        Record(floor, floorCalls);
    }

    benchtiming::Report("select 1 beside three endless queries, median", project.medians,
                        floor.medians);
    std::printf("select 1 beside three endless queries, slowest: project %.2f ms, floor %.2f ms, "
                "ratio %.1f\n",
                project.slowest, floor.slowest, project.slowest / floor.slowest);
    std::printf("select 1 beside three endless queries, missing: project %d, floor %d of %d calls\n",
                project.missing, floor.missing, project.calls);
    const bool met = benchtiming::Median(project.medians) < 5 && project.slowest < 200 &&
                     project.missing == 0;
    std::printf("goal (median < 5 ms, slowest < 200 ms, none missing): %s\n",
                met ? "met" : "NOT met");
    return 0;
}

#include "tasks/cpp11_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Far below the worker's 5-second idle deadline, far above any scheduling delay: an item that
// takes this long to start was woken by the deadline, not by its post.
constexpr auto kWakeUpBound = 2s;

TEST(TaskWorker, RunsItemsInPostOrderAndCountsTheRunningOneAsQueued) {
    std::vector<int> ran;
    std::promise<void> entered;
    std::promise<void> release;
    cpp11_thread worker;
    EXPECT_EQ(worker.Post([&] {
        entered.set_value();
        release.get_future().wait();
    }),
              1u);
    entered.get_future().wait();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(worker.Post([&ran, i] { ran.push_back(i); }), i + 2u);
    }
    release.set_value();
    worker.Drain();
    ASSERT_EQ(ran.size(), 50u);
    EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end()));
}

TEST(TaskWorker, PostsFromManyThreadsAllRunOnce) {
    std::atomic<int> ran{0};
    cpp11_thread worker;
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                worker.Post([&ran] { ++ran; });
            }
        });
    }
    for (auto& poster : posters) {
        poster.join();
    }
    worker.Drain();
    EXPECT_EQ(ran, 1000);
}

TEST(TaskWorker, APostRacingTheWorkerGoingIdleStartsAtOnce) {
    cpp11_thread worker;
    std::promise<void> ran;
    std::promise<void> posted;
    std::thread poster;
    std::atomic<bool> raced{false};
    worker.SetBeforeIdleWait([&] {
        if (raced.exchange(true)) {
            return;
        }
        // Post at the worst moment: the worker has seen an empty queue and is about to wait.
        poster = std::thread([&] {
            worker.Post([&ran] { ran.set_value(); });
            posted.set_value();
        });
        // A sound worker holds the post's signal back until it waits; a broken one loses it.
        posted.get_future().wait_for(50ms);
    });
    worker.Post([] {});
    EXPECT_EQ(ran.get_future().wait_for(kWakeUpBound), std::future_status::ready)
        << "the post waited for the idle deadline";
    worker.Drain();
    poster.join();
}

TEST(TaskWorker, ShutdownRunsEveryQueuedItemFirst) {
    std::atomic<int> ran{0};
    {
        cpp11_thread worker;
        worker.Post([] { std::this_thread::sleep_for(20ms); });
        for (int i = 0; i < 5; ++i) {
            worker.Post([&ran] { ++ran; });
        }
    }
    EXPECT_EQ(ran, 5);
}

}  // namespace

#include "tasks/cpp11_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Far below the worker's 5-second idle deadline, far above any scheduling delay: an item that
// takes this long to start was woken by the deadline, not by its post.
constexpr auto kWakeUpBound = 2s;

// Holds a work item inside the worker until the test lets it go.
class Gate {
public:
    cpp11_thread::work_item Item() {
        return [this] {
            m_entered.set_value();
            m_released.wait();
        };
    }
    void WaitEntered() { m_entered.get_future().wait(); }
    void Release() { m_release.set_value(); }

private:
    std::promise<void> m_entered;
    std::promise<void> m_release;
    std::shared_future<void> m_released{m_release.get_future().share()};
};

TEST(WorkerOrder, ItemsRunOnceEachInPostOrder) {
    std::vector<int> ran;
    {
        cpp11_thread worker;
        for (int i = 0; i < 100; ++i) {
            worker.Post([&ran, i] { ran.push_back(i); });
        }
        worker.Drain();
        ASSERT_EQ(ran.size(), 100u);
    }
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(ran[i], i);
    }
}

TEST(WorkerOrder, ItemRunningStaysQueuedSoPostsBehindItCount) {
    cpp11_thread worker;
    Gate gate;
    EXPECT_EQ(worker.Post(gate.Item()), 1u);
    gate.WaitEntered();
    std::atomic<bool> secondRan{false};
    EXPECT_EQ(worker.Post([&] { secondRan = true; }), 2u);
    EXPECT_EQ(worker.Post([] {}), 3u);
    EXPECT_FALSE(secondRan);
    gate.Release();
    worker.Drain();
    EXPECT_TRUE(secondRan);
}

TEST(WorkerOrder, PostsFromManyThreadsAllRun) {
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

TEST(WorkerWakeUp, PostRacingTheWorkerGoingIdleStartsAtOnce) {
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
        // A sound worker keeps the post's signal back until it waits; a broken one loses it.
        posted.get_future().wait_for(50ms);
    });
    worker.Post([] {});
    EXPECT_EQ(ran.get_future().wait_for(kWakeUpBound), std::future_status::ready)
        << "the post waited for the idle deadline";
    worker.Drain();
    poster.join();
}

TEST(WorkerWakeUp, ItemPostedOnAnIdleWorkerStartsAtOnce) {
    cpp11_thread worker;
    for (int i = 0; i < 200; ++i) {
        std::promise<void> ran;
        worker.Post([&ran] { ran.set_value(); });
        ASSERT_EQ(ran.get_future().wait_for(kWakeUpBound), std::future_status::ready)
            << "post " << i << " waited for the idle deadline";
    }
}

TEST(WorkerShutdown, DrainWaitsForTheRunningItem) {
    cpp11_thread worker;
    Gate gate;
    worker.Post(gate.Item());
    gate.WaitEntered();
    auto drained = std::async(std::launch::async, [&] { worker.Drain(); });
    EXPECT_EQ(drained.wait_for(50ms), std::future_status::timeout);
    gate.Release();
    drained.get();
}

TEST(WorkerShutdown, DestroyingTheWorkerRunsEveryQueuedItemFirst) {
    std::atomic<int> ran{0};
    Gate gate;
    {
        cpp11_thread worker;
        worker.Post(gate.Item());
        for (int i = 0; i < 5; ++i) {
            worker.Post([&ran] { ++ran; });
        }
        gate.WaitEntered();
        std::thread releaser([&] {
            std::this_thread::sleep_for(20ms);
            gate.Release();
        });
        worker.Shutdown();
        EXPECT_EQ(ran, 5);
        releaser.join();
    }
    EXPECT_EQ(ran, 5);
}

TEST(WorkerShutdown, ItemsPostedAfterShutdownAreFreedWithoutRunning) {
    auto owned = std::make_shared<int>(0);
    bool ran = false;
    {
        cpp11_thread worker;
        worker.Shutdown();
        worker.Post([owned, &ran] { ran = true; });
        EXPECT_EQ(owned.use_count(), 2);
    }
    EXPECT_FALSE(ran);
    EXPECT_EQ(owned.use_count(), 1);
}

TEST(WorkerShutdown, AWorkerNeverUsedShutsDownAtOnce) {
    cpp11_thread worker;
    worker.Shutdown();
    worker.Shutdown();
}

}  // namespace

#include "tasks/task_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Counts live instances and copies, so a test can see a value freed twice, leaked or copied.
struct Tracked {
    static std::atomic<int> live;
    static std::atomic<int> copies;
    int payload = 0;

    Tracked() { ++live; }
    explicit Tracked(int p) : payload(p) { ++live; }
    Tracked(const Tracked& other) : payload(other.payload) {
        ++live;
        ++copies;
    }
    ~Tracked() { --live; }
};
std::atomic<int> Tracked::live{0};
std::atomic<int> Tracked::copies{0};

class TrackedValues : public ::testing::Test {
protected:
    void SetUp() override {
        Tracked::live = 0;
        Tracked::copies = 0;
    }
    void TearDown() override { EXPECT_EQ(Tracked::live, 0) << "a value leaked or was freed twice"; }
};

TEST(TaskContextSharing, WriteThroughACopyIsSeenByTheOriginal) {
    TaskContext original;
    original.Put<int>("count", 0);
    TaskContext copy(original);
    copy.Get<int>("count") = 42;
    EXPECT_EQ(original.Get<int>("count"), 42);

    TaskContext assigned;
    assigned = copy;
    assigned.Get<int>("count") = 7;
    EXPECT_EQ(original.Get<int>("count"), 7);
}

TEST(TaskContextSharing, KeyPutIntoOneCopyStaysInThatCopy) {
    TaskContext original;
    original.Put<int>("id", 1);
    TaskContext copy(original);
    copy.Put<std::string>("key", "plate");
    EXPECT_TRUE(copy.Contains("key"));
    EXPECT_FALSE(original.Contains("key"));
    EXPECT_EQ(original.Size(), 1u);
}

using Result = std::pair<bool, int>;

TEST(TaskContextSharing, FirstPutWinsAlsoAcrossCopies) {
    TaskContext ctx;
    ctx.Put<Result>("ret", {false, 0});
    ctx.Put<Result>("ret", {true, 2006});
    EXPECT_EQ(ctx.Get<Result>("ret"), Result(false, 0));

    TaskContext copy(ctx);
    copy.Put<Result>("ret", {true, 5});
    EXPECT_EQ(ctx.Get<Result>("ret"), Result(false, 0));
}

TEST(TaskContextSharing, TypedKeysAndLiteralsStoreText) {
    const task_key<std::string> name{"task_name"};
    TaskContext ctx;
    ctx.Put(name, "Login");
    ctx.Put("user", "admin");
    ctx.Put(task_key<std::list<int>>{"list"});
    EXPECT_EQ(ctx.Get(name), "Login");
    EXPECT_EQ(ctx.Get<std::string>("user"), "admin");
    EXPECT_TRUE(ctx.Get<std::list<int>>("list").empty());
}

TEST(TaskContextSharing, OnlyMakesAContextOfOneSharedValue) {
    TaskContext ctx;
    ctx.Put<int>("count", 1);
    ctx.Put("user", "admin");
    TaskContext only = ctx.Only("count");
    EXPECT_EQ(only.Size(), 1u);
    only.Get<int>("count") = 9;
    EXPECT_EQ(ctx.Get<int>("count"), 9);
    EXPECT_EQ(ctx.Only("absent").Size(), 0u);
}

TEST(TaskContextFailures, FindYieldsNullForAnAbsentKeyOrAnotherType) {
    TaskContext ctx;
    ctx.Put<int>("count", 3);
    EXPECT_EQ(*ctx.Find(task_key<int>{"count"}), 3);
    EXPECT_EQ(ctx.Find(task_key<std::string>{"count"}), nullptr);
    EXPECT_EQ(ctx.Find(task_key<int>{"id"}), nullptr);
}

TEST(TaskContextFailures, WrongTypeThrowsTheBadCastTextAndKeepsTheValue) {
    TaskContext ctx;
    ctx.Put<int>("count", 12);
    try {
        ctx.Get<std::string>("count");
        FAIL() << "reading an int as text must fail";
    } catch (const boost::bad_any_cast& e) {
        EXPECT_STREQ(e.what(), "boost::bad_any_cast: failed conversion using boost::any_cast");
    }
    EXPECT_EQ(ctx.Get<int>("count"), 12);
}

TEST(TaskContextFailures, AbsentKeyThrowsTheSameError) {
    TaskContext ctx;
    EXPECT_THROW(ctx.Get<int>("page_num"), boost::bad_any_cast);
    EXPECT_EQ(ctx.Size(), 0u);
}

TEST_F(TrackedValues, CopyingAContextNeverCopiesAValue) {
    TaskContext ctx;
    ctx.Put("data", Tracked(3));
    const int copiesAfterPut = Tracked::copies;
    std::vector<TaskContext> copies(5, ctx);
    TaskContext assigned;
    assigned = copies.back();
    EXPECT_EQ(Tracked::copies, copiesAfterPut);
    EXPECT_EQ(Tracked::live, 1);
    EXPECT_EQ(assigned.Get<Tracked>("data").payload, 3);
}

TEST_F(TrackedValues, EveryDestructionOrderFreesEachValueOnce) {
    std::vector<int> order = {0, 1, 2, 3};
    do {
        std::vector<std::unique_ptr<TaskContext>> copies;
        copies.push_back(std::make_unique<TaskContext>());
        copies[0]->Put("a", Tracked(1));
        copies[0]->Put("b", Tracked(2));
        for (int i = 1; i < 4; ++i) {
            copies.push_back(std::make_unique<TaskContext>(*copies[i - 1]));
        }
        copies[2]->Put("c", Tracked(3));
        for (int index : order) {
            copies[index].reset();
            for (const auto& survivor : copies) {
                if (survivor && survivor->Contains("a")) {
                    EXPECT_EQ(survivor->Get<Tracked>("a").payload, 1);
                }
            }
        }
        EXPECT_EQ(Tracked::live, 0);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(TrackedValues, CopiesReleasedOnManyThreadsFreeEachValueOnce) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        TaskContext ctx;
        ctx.Put("value", Tracked(round));
        std::vector<TaskContext> copies(kThreads, ctx);
        ctx = TaskContext();
        std::vector<std::thread> threads;
        for (auto& copy : copies) {
            threads.emplace_back([moved = std::move(copy)]() mutable {
                TaskContext again(moved);
                EXPECT_GE(again.Get<Tracked>("value").payload, 0);
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        copies.clear();
        ASSERT_EQ(Tracked::live, 0) << "round " << round;
    }
}

}  // namespace

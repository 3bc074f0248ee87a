#include "tasks/task_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

// Counts live instances and copies, so a test can see a value freed twice, leaked or copied.
struct Tracked {
    static std::atomic<int> live;
    static std::atomic<int> copies;
    Tracked() { ++live; }
    Tracked(const Tracked&) {
        ++live;
        ++copies;
    }
    ~Tracked() { --live; }
};
std::atomic<int> Tracked::live{0};
std::atomic<int> Tracked::copies{0};

TEST(TaskContext, CopiesShareValuesButNotKeysPutLater) {
    TaskContext original;
    original.Put<int>("count", 0);
    TaskContext copy(original);
    TaskContext assigned;
    assigned = copy;
    copy.Get<int>("count") = 42;
    EXPECT_EQ(original.Get<int>("count"), 42);
    EXPECT_EQ(assigned.Get<int>("count"), 42);

    copy.Put("key", "plate");
    EXPECT_FALSE(original.Contains("key"));
    EXPECT_EQ(copy.Get<tstring>("key"), "plate");
}

TEST(TaskContext, FirstPutOfAKeyWins) {
    TaskContext ctx;
    ctx.Put("ret", ret_t(false, 0));
    ctx.Put("ret", ret_t(true, 2006));
    TaskContext copy(ctx);
    copy.Put("ret", ret_t(true, 5));
    EXPECT_EQ(ctx.Get<ret_t>("ret"), ret_t(false, 0));
}

TEST(TaskContext, WrongTypeOrAbsentKeyThrowsTheBadCastAndKeepsTheValue) {
    TaskContext ctx;
    ctx.Put<int>("count", 12);
    try {
        ctx.Get<tstring>("count");
        FAIL() << "reading an int as text must fail";
    } catch (const boost::bad_any_cast& e) {
        EXPECT_STREQ(e.what(), "boost::bad_any_cast: failed conversion using boost::any_cast");
    }
    EXPECT_THROW(ctx.Get<int>("page_num"), boost::bad_any_cast);
    EXPECT_EQ(ctx.Get<int>("count"), 12);
    EXPECT_EQ(ctx.Find(task_key<tstring>{"count"}), nullptr);
    EXPECT_EQ(*ctx.Find(task_key<int>{"count"}), 12);
}

class TaskContextValues : public ::testing::Test {
protected:
    void SetUp() override { Tracked::live = Tracked::copies = 0; }
    void TearDown() override { EXPECT_EQ(Tracked::live, 0) << "a value leaked or was freed twice"; }
};

TEST_F(TaskContextValues, CopyingNeverCopiesAValueAndAnyDestructionOrderFreesItOnce) {
    std::vector<int> order = {0, 1, 2, 3};
    do {
        std::vector<std::unique_ptr<TaskContext>> copies;
        copies.push_back(std::make_unique<TaskContext>());
        copies[0]->Put("a", Tracked());
        const int copiesAfterPut = Tracked::copies;
        for (int i = 1; i < 4; ++i) {
            copies.push_back(std::make_unique<TaskContext>(*copies[i - 1]));
        }
        copies[2]->Put("b", Tracked());
        EXPECT_EQ(Tracked::copies, copiesAfterPut + 1);
        for (int index : order) {
            copies[index].reset();
        }
        EXPECT_EQ(Tracked::live, 0);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(TaskContextValues, CopiesReleasedOnManyThreadsFreeEachValueOnce) {
    for (int round = 0; round < 200; ++round) {
        TaskContext first;
        first.Put("value", Tracked());
        std::vector<TaskContext> copies(8, first);
        first = TaskContext();
        std::vector<std::thread> threads;
        for (auto& copy : copies) {
            threads.emplace_back([moved = std::move(copy)] { TaskContext again(moved); });
        }
        for (auto& t : threads) {
            t.join();
        }
        ASSERT_EQ(Tracked::live, 0) << "round " << round;
    }
}

}  // namespace

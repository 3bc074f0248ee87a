#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tasks/db_task_caller.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/case_printing.h"
#include "tests/tasks/task_test_support.h"

namespace {

using taskstest::CompletionWnd;
using taskstest::ScriptedTask;

// Counts live instances, so a test can see a value of a dropped completion leak.
struct Tracked {
    static std::atomic<int> live;
    Tracked() { ++live; }
    Tracked(const Tracked&) { ++live; }
    ~Tracked() { --live; }
};
std::atomic<int> Tracked::live{0};

class TaskDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        guisupport::EnsureApplication();
        ASSERT_NE(wnd.Create(nullptr, "tasks", UI_WNDSTYLE_FRAME), nullptr);
        task.SetTargetWindow(wnd);
        caller.Attach(&task);
    }

    bool WaitFor(const std::function<bool()>& done) {
        return guisupport::ProcessMessagesUntil(done, 5000);
    }

    const std::thread::id uiThread = std::this_thread::get_id();
    CompletionWnd wnd;
    ScriptedTask task;
    db_task_caller caller;
};

TEST_F(TaskDispatch, TasksRunAndCompleteInRequestOrderWithHandlersOnTheUiThread) {
    std::vector<std::string> ran;
    std::vector<std::string> completed;
    task.login = [&](TaskContext& ctx) {
        EXPECT_NE(std::this_thread::get_id(), uiThread);
        ran.push_back(ctx.Get(task_keys::user));
        ScriptedTask::Succeed(ctx);
    };
    caller.Register(task_names::kLogin, [&](TaskContext ctx) {
        EXPECT_EQ(std::this_thread::get_id(), uiThread);
        completed.push_back(ctx.Get(task_keys::user));
    });
    std::vector<std::string> requested;
    for (int i = 0; i < 50; ++i) {
        requested.push_back("user" + std::to_string(i));
        caller.RequestLogin(requested.back(), "pass");
    }
    ASSERT_TRUE(WaitFor([&] { return completed.size() == requested.size(); }));
    EXPECT_EQ(ran, requested);
    EXPECT_EQ(completed, requested);
}

TEST_F(TaskDispatch, SystemHandlersRunFirstThenPageHandlersInRegistrationOrder) {
    std::vector<std::string> calls;
    auto recordSeesValue = [&](const char* who) {
        return [&, who](TaskContext) {
            const auto& values = caller.GetDictionary().data_map();
            const bool updated = values.count("Brand") && values.at("Brand").size() == 1;
            calls.push_back(std::string(who) + (updated ? "+" : "-"));
        };
    };
    caller.Register(task_names::kInsertCommonData, recordSeesValue("first"));
    caller.Register(task_names::kLogin, recordSeesValue("other task"));
    caller.Register(task_names::kInsertCommonData, recordSeesValue("second"));

    caller.RequestInsertCommonData("Brand", "Audi", 4);
    ASSERT_TRUE(WaitFor([&] { return calls.size() == 2; }));
    EXPECT_EQ(calls, (std::vector<std::string>{"first+", "second+"}));
    EXPECT_EQ(caller.GetDictionary().data_map().at("Brand").front(), common_value_t(4, "Audi"));
}

TEST_F(TaskDispatch, UnregisterRemovesEveryPageHandlerOfTheNameButNotTheSystemOnes) {
    int pageCalls = 0;
    int otherCalls = 0;
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { ++pageCalls; });
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { ++pageCalls; });
    caller.Register(task_names::kLogin, [&](TaskContext) { ++otherCalls; });
    caller.Unregister(task_names::kInsertCommonData);

    caller.RequestInsertCommonData("Brand", "Audi", 4);
    caller.RequestLogin("admin", "admin123");
    ASSERT_TRUE(WaitFor([&] { return otherCalls == 1; }));
    EXPECT_EQ(pageCalls, 0);
    EXPECT_EQ(caller.GetDictionary().data_map().count("Brand"), 1u);
}

// Something that registers handlers and dies before their tasks complete, as a page does.
struct Owner {
    Owner(db_task_caller& caller, std::vector<std::string>& calls, const std::string& name) {
        for (const char* task : {task_names::kInsertCommonData, task_names::kLogin}) {
            handlers.Register(caller, task, [&calls, name](TaskContext) { calls.push_back(name); });
        }
    }
    task_handler_set handlers;
};

TEST_F(TaskDispatch, ADestroyedOwnersHandlersMissLaterCompletionsAndOthersOfTheNameStillRun) {
    std::vector<std::string> calls;
    Owner first(caller, calls, "first");
    auto destroyed = std::make_unique<Owner>(caller, calls, "destroyed");
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { calls.push_back("plain"); });
    Owner last(caller, calls, "last");

    caller.RequestInsertCommonData("Brand", "Audi", 4);
    caller.RequestLogin("admin", "admin123");
    destroyed.reset();  // with both completions on their way
    ASSERT_TRUE(WaitFor([&] { return calls.size() == 5; }));
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "plain", "last", "first", "last"}));
    EXPECT_EQ(caller.GetDictionary().data_map().count("Brand"), 1u) << "system handlers stay";
}

class DispatchMutation;

struct MutationCase : testcases::NamedCase {
    void (*mutate)(DispatchMutation& test);
    std::vector<std::string> expected;
};

// Handler "A" changes the handlers of its own task the first time it runs; "B" and "D" come
// after it. Two completions of that task follow, "|" between them.
class DispatchMutation : public TaskDispatch, public ::testing::WithParamInterface<MutationCase> {
public:
    using TaskDispatch::caller;
    void Record(const std::string& who) { calls.push_back(who); }

    std::vector<std::string> calls;
    std::unique_ptr<task_handler_set> ownerOfA = std::make_unique<task_handler_set>();
    std::unique_ptr<task_handler_set> ownerOfD = std::make_unique<task_handler_set>();
    task_handler_id b{};
};

TEST_P(DispatchMutation, ChangesTakeEffectWithoutBreakingTheRunningDispatch) {
    // The label is read after the change: a handler freed while it runs would show here.
    ownerOfA->Register(caller, task_names::kLogin, [this, label = std::string("A")](TaskContext) {
        if (calls.empty()) GetParam().mutate(*this);
        Record(label);
    });
    b = caller.Register(task_names::kLogin, [this](TaskContext) { Record("B"); });
    ownerOfD->Register(caller, task_names::kLogin, [this](TaskContext) { Record("D"); });
    int completed = 0;
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { ++completed; });

    // Completions arrive in order: once the insert's has run, the login's has too.
    for (int round = 1; round <= 2; ++round) {
        if (round == 2) calls.push_back("|");
        caller.RequestLogin("admin", "admin123");
        caller.RequestInsertCommonData("Brand", "Audi", round);
        ASSERT_TRUE(WaitFor([&] { return completed == round; }));
    }
    EXPECT_EQ(calls, GetParam().expected);
}

using M = DispatchMutation;
INSTANTIATE_TEST_SUITE_P(
    Handlers, DispatchMutation,
    ::testing::Values(MutationCase{"DestroysItsOwnOwner",
                                   [](M& t) { t.ownerOfA.reset(); },
                                   {"A", "B", "D", "|", "B", "D"}},
                      MutationCase{"UnregistersTheNext",
                                   [](M& t) { t.caller.Unregister(t.b); },
                                   {"A", "D", "|", "A", "D"}},
                      MutationCase{"DestroysALaterOwner",
                                   [](M& t) { t.ownerOfD.reset(); },
                                   {"A", "B", "|", "A", "B"}},
                      MutationCase{"UnregistersTheWholeName",
                                   [](M& t) { t.caller.Unregister(task_names::kLogin); },
                                   {"A", "|"}},
                      MutationCase{"RegistersAnother",
                                   [](M& t) {
                                       t.caller.Register(task_names::kLogin,
                                                         [&t](TaskContext) { t.Record("C"); });
                                   },
                                   {"A", "B", "D", "|", "A", "B", "D", "C"}}),
    testcases::kCaseName);

TEST_F(TaskDispatch, AFailedSystemTaskLeavesTheDictionaryAlone) {
    task.insertCommonData = [](TaskContext& ctx) { ctx.Get(task_keys::ret) = ret_t(false, 0); };
    bool done = false;
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { done = true; });
    caller.RequestInsertCommonData("Brand", "Audi", 4);
    ASSERT_TRUE(WaitFor([&] { return done; }));
    EXPECT_EQ(caller.GetDictionary().data_map().count("Brand"), 0u);
}

struct LostCase : testcases::NamedCase {
    ret_t result;
    bool withPageHandler;
    std::vector<std::string> expected;
};

class TaskConnectionLost : public TaskDispatch, public ::testing::WithParamInterface<LostCase> {};

TEST_P(TaskConnectionLost, OnlyCode2006CallsTheLostHandlerOnceAfterTheTasksOwnHandlers) {
    const LostCase c = GetParam();
    task.login = [c](TaskContext& ctx) { ctx.Get(task_keys::ret) = c.result; };
    std::vector<std::string> calls;
    if (c.withPageHandler) {
        caller.Register(task_names::kLogin, [&](TaskContext) { calls.push_back("handler"); });
    }
    caller.SetConnectionLostHandler([&](TaskContext ctx) {
        EXPECT_EQ(ctx.Size(), 2u) << "the lost handler gets \"ret\" and the task's name only";
        EXPECT_EQ(ctx.Get(task_keys::ret), c.result);
        EXPECT_EQ(ctx.Get(task_keys::task_name), task_names::kLogin);
        calls.push_back("lost");
    });
    // Completions arrive in order: once the next task's has run, the first one's has too.
    caller.Register(task_names::kInsertCommonData, [&](TaskContext) { calls.push_back("next"); });

    caller.RequestLogin("admin", "admin123");
    caller.RequestInsertCommonData("Brand", "Audi", 4);
    ASSERT_TRUE(WaitFor([&] { return !calls.empty() && calls.back() == "next"; }));
    EXPECT_EQ(calls, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Results, TaskConnectionLost,
    ::testing::Values(LostCase{"Lost", {false, 2006}, true, {"handler", "lost", "next"}},
                      LostCase{"LostWithoutHandler", {false, 2006}, false, {"lost", "next"}},
                      LostCase{"FailedWithCode0", {false, 0}, true, {"handler", "next"}},
                      LostCase{"FailedWithCode1", {false, 1}, true, {"handler", "next"}},
                      LostCase{"Succeeded", {true, 0}, true, {"handler", "next"}},
                      LostCase{"SucceededWithCode2006", {true, 2006}, true, {"handler", "next"}}),
    testcases::kCaseName);

// A context submitted straight to an API object, carrying a value whose copies are counted.
class TaskDroppedCompletion : public TaskDispatch {
protected:
    void SetUp() override {
        TaskDispatch::SetUp();
        Tracked::live = 0;
    }

    void SubmitTrackedLogin() {
        TaskContext ctx;
        ctx.Put(task_keys::task_name, task_names::kLogin);
        ctx.Put(task_keys::ret, ret_t());
        ctx.Put("payload", Tracked());
        ctx.Put(task_keys::callback, task_callback_t([this] { completionRan = true; }));
        static_cast<AsyncApiThreaded_Login&>(task).Submit(ctx);
    }

    bool AllFreed() {
        return WaitFor([] { return Tracked::live == 0; });
    }

    bool completionRan = false;
};

TEST_F(TaskDroppedCompletion, WindowDestroyedBeforeTheTaskEndsGetsNothingAndNothingLeaks) {
    std::promise<void> entered;
    std::promise<void> released;
    task.login = [&](TaskContext& ctx) {
        entered.set_value();
        released.get_future().wait();
        ScriptedTask::Succeed(ctx);
    };
    SubmitTrackedLogin();
    entered.get_future().wait();
    wnd.DestroyWindow();
    released.set_value();
    EXPECT_TRUE(AllFreed());
    EXPECT_FALSE(completionRan);
}

TEST_F(TaskDroppedCompletion, WindowDestroyedWithTheCompletionQueuedGetsNothingAndNothingLeaks) {
    SubmitTrackedLogin();
    task.Shutdown();  // the completion has been posted
    EXPECT_GT(Tracked::live, 0);
    wnd.DestroyWindow();
    EXPECT_TRUE(AllFreed());
    EXPECT_FALSE(completionRan);
}

TEST_F(TaskDispatch, AThrowingOperationFailsItsTaskAndTheWorkerCarriesOn) {
    task.login = [](TaskContext& ctx) {
        ScriptedTask::Succeed(ctx);
        if (ctx.Get(task_keys::user) == "bad") {
            throw std::runtime_error("broken operation");
        }
    };
    std::vector<ret_t> results;
    caller.Register(task_names::kLogin,
                    [&](TaskContext ctx) { results.push_back(ctx.Get(task_keys::ret)); });
    caller.RequestLogin("bad", "");
    caller.RequestLogin("good", "");
    ASSERT_TRUE(WaitFor([&] { return results.size() == 2; }));
    EXPECT_EQ(results[0], ret_t(false, 0));
    EXPECT_EQ(results[1], ret_t(true, 0));
}

}  // namespace

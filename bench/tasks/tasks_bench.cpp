// Request-to-handler latency of the task framework on an idle worker, next to the store call
// alone. Run by hand: prints median and worst of 1,000 requests each.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "store/store.h"
#include "tasks/db_task_caller.h"
#include "tests/guisupport/gui_support.h"
#include "tests/support/test_service.h"
#include "tests/tasks/task_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRequests = 1000;
constexpr int kPageSize = 20;

// "Login" does nothing at all, so its figure is the framework's own cost.
class NoOpTask : public Async_Task {
public:
    ~NoOpTask() override { Shutdown(); }
    void Login(TaskContext ctx) override { ctx.Get(task_keys::ret) = ret_t(true, 0); }
};

void Report(const char* what, std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    std::printf("%-52s median %8.1f us   worst %9.1f us   (%zu runs)\n", what,
                micros[micros.size() / 2], micros.back(), micros.size());
}

double MicrosSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Times each request from the moment it is made on an idle worker to its handler running.
class LatencyProbe {
public:
    LatencyProbe(Async_Task& task, db_task_caller& caller) : m_caller(caller) {
        task.SetBeforeIdleWait([this] { m_idle = true; });
    }

    std::vector<double> Measure(const char* taskName, const std::function<void()>& request,
                                int runs = kRequests) {
        std::vector<double> micros;
        Clock::time_point start;
        bool handled = false;
        m_caller.Register(taskName, [&](TaskContext ctx) {
            if (!ctx.Get(task_keys::ret).ok) {
                std::fprintf(stderr, "%s failed\n", taskName);
                std::exit(1);
            }
            micros.push_back(MicrosSince(start));
            handled = true;
        });
        for (int i = 0; i < runs; ++i) {
            guisupport::ProcessMessagesUntil([&] { return m_idle.load(); });
            m_idle = false;
            handled = false;
            start = Clock::now();
            request();
            guisupport::ProcessMessagesUntil([&] { return handled; });
        }
        m_caller.Unregister(taskName);
        return micros;
    }

private:
    db_task_caller& m_caller;
    std::atomic<bool> m_idle{true};  // no thread yet counts as idle
};

std::vector<double> TimeStoreCallAlone(const testsupport::TestService& service) {
    DbConnection db;
    DataTypeDictionary::data_info_map info;
    DataTypeDictionary::data_value_map values;
    if (!db.open(service.endpoint(), service.user(), service.password()).ok ||
        !load_data_type_info(db, info).ok || !load_common_data(db, values).ok) {
        std::fprintf(stderr, "the service could not be opened\n");
        std::exit(1);
    }
    std::vector<double> micros;
    for (int i = 0; i < kRequests; ++i) {
        std::vector<row_info_t> rows;
        const Clock::time_point start = Clock::now();
        const ret_t result = load_rows_page(db, {1, ""}, {}, 0, kPageSize, rows);
        micros.push_back(MicrosSince(start));
        if (!result.ok || rows.size() != kPageSize) {
            std::fprintf(stderr, "load_rows_page failed\n");
            std::exit(1);
        }
    }
    return micros;
}

}  // namespace

int main() {
    guisupport::EnsureApplication();
    testsupport::TestService::Options options;
    options.demo = true;
    testsupport::TestService service(options);
    const taskstest::ScratchSettings settings("[Db]\nUserName=" + service.user() +
                                              "\nPassword=" + service.password() + "\n");

    taskstest::CompletionWnd wnd;
    wnd.Create(nullptr, "tasks_bench", UI_WNDSTYLE_FRAME);
    NoOpTask task;
    task.SetTargetWindow(wnd);
    db_task_caller caller;
    caller.Attach(&task);
    LatencyProbe probe(task, caller);

    probe.Measure(
        task_names::kOpenDb, [&] { caller.RequestOpenDb(service.address()); }, 1);
    // The dictionary decides the page's columns; its handler asks for the lookup values.
    probe.Measure(
        task_names::kGetCommonDataMap, [&] { caller.RequestGetDataTypeInfo(); }, 1);

    Report("no-op task, request to handler",
           probe.Measure(task_names::kLogin, [&] { caller.RequestLogin("admin", "admin123"); }));
    Report("LoadDbRange, 20-row page, request to handler",
           probe.Measure(task_names::kLoadDbRange, [&] {
               caller.RequestLoadDbRange(0, kPageSize, {}, {1, ""});
           }));
    Report("load_rows_page, 20-row page, store call alone", TimeStoreCallAlone(service));
    return 0;
}

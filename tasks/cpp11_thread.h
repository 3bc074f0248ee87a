#pragma once
// The one database worker: runs queued work items one at a time, in the order they were posted.
#include <atomic>
#include <boost/function.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/thread.hpp>
#include <cstddef>
#include <list>
#include <memory>

class cpp11_thread {
public:
    typedef boost::function<void()> work_item;

    cpp11_thread() = default;
    cpp11_thread(const cpp11_thread&) = delete;
    cpp11_thread& operator=(const cpp11_thread&) = delete;
    // Shuts down (see Shutdown); items posted after that are discarded without running.
    ~cpp11_thread();

    // Any thread. Starts the worker on first use. Returns the queue size after the append.
    std::size_t Post(work_item item);
    // Returns once the queue is empty; the item being run counts until it has finished.
    void Drain();
    // Waits for the queued items to run, then stops and joins the worker. Idempotent.
    void Shutdown();

    // Test seam: runs on the worker each time it has found the queue empty, just before it waits.
    void SetBeforeIdleWait(work_item hook) { m_beforeIdleWait = std::move(hook); }

private:
    void Loop();
    void RunFront();
    void WaitWhileIdle();
    void Wake();
    std::size_t QueueSize();

    std::atomic<int> m_stop{0};
    std::list<work_item> m_queue;
    boost::mutex m_queueLock;
    std::unique_ptr<boost::thread> m_thread;
    boost::mutex m_wakeLock;
    boost::condition_variable m_wake;
    work_item m_beforeIdleWait;
};

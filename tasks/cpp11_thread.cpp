#include "tasks/cpp11_thread.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread_time.hpp>

namespace {
// The idle wait is bounded so a stuck wake-up can never park the worker for good; with the
// queue checked under the wake lock no post is ever left waiting for this deadline.
constexpr long kIdleWaitMicroseconds = 5000000;
constexpr long kDrainPollMilliseconds = 200;
}  // namespace

cpp11_thread::~cpp11_thread() {
    Shutdown();
}

std::size_t cpp11_thread::Post(work_item item) {
    std::size_t size = 0;
    {
        boost::lock_guard<boost::mutex> lock(m_queueLock);
        if (!m_thread && m_stop.load() == 0) {
            m_thread.reset(new boost::thread([this] { Loop(); }));
        }
        m_queue.push_back(std::move(item));
        size = m_queue.size();
    }
    if (size == 1) {
        Wake();
    }
    return size;
}

void cpp11_thread::Drain() {
    while (QueueSize() != 0) {
        boost::this_thread::sleep(boost::posix_time::milliseconds(kDrainPollMilliseconds));
    }
}

void cpp11_thread::Shutdown() {
    if (m_stop.load() != 0) {
        return;
    }
    Drain();
    m_stop.exchange(1);
    Wake();
    boost::thread* worker = nullptr;
    {
        boost::lock_guard<boost::mutex> lock(m_queueLock);
        worker = m_thread.get();
    }
    if (worker) {
        worker->join();
    }
}

void cpp11_thread::Loop() {
    while (m_stop.load() == 0) {
        RunFront();
        WaitWhileIdle();
    }
}

void cpp11_thread::RunFront() {
    work_item* front = nullptr;
    {
        boost::lock_guard<boost::mutex> lock(m_queueLock);
        if (m_queue.empty()) {
            return;
        }
        front = &m_queue.front();
    }
    // Only this thread removes items, and appends leave the front node alone, so the item runs in
    // place without the lock and stays queued (counted by Drain) until it has finished.
    (*front)();
    boost::lock_guard<boost::mutex> lock(m_queueLock);
    m_queue.pop_front();
}

void cpp11_thread::WaitWhileIdle() {
    // Post signals under the wake lock after its append, so an append either happens before this
    // check or finds the worker already waiting: no wake-up is lost.
    boost::unique_lock<boost::mutex> wake(m_wakeLock);
    if (m_stop.load() == 0 && QueueSize() == 0) {
        if (m_beforeIdleWait) {
            m_beforeIdleWait();
        }
        m_wake.timed_wait(wake, boost::get_system_time() +
                                    boost::posix_time::microseconds(kIdleWaitMicroseconds));
    }
}

void cpp11_thread::Wake() {
    boost::lock_guard<boost::mutex> wake(m_wakeLock);
    m_wake.notify_one();
}

std::size_t cpp11_thread::QueueSize() {
    boost::lock_guard<boost::mutex> lock(m_queueLock);
    return m_queue.size();
}

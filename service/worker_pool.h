#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/database.h"
#include "service/frame.h"

// A request on its way to a connection's thread and back.
struct Job {
    std::string peer;
    Message request;  // the envelope and the request frame
    Database::Budget budget;
    Database::Outcome outcome = Database::Outcome::kFailed;
    std::string reply;
    std::chrono::steady_clock::duration took{};
};

// Database connections, each on a thread of its own: the readers read beside the one writer
// (WAL mode), and a long request holds up nobody but its own peer.
class WorkerPool {
public:
    // `name` tells the pools of one service apart.
    WorkerPool(void* context, const std::string& name,
               std::vector<std::unique_ptr<Database>> databases);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    bool HasIdle() const { return !m_idle.empty(); }
    bool IsBusy(size_t worker) const {
        return std::find(m_idle.begin(), m_idle.end(), worker) == m_idle.end();
    }
    void Start(std::unique_ptr<Job> job);
    // The sockets on which finished jobs come back, in worker order.
    size_t size() const { return m_workers.size(); }
    void* socket(size_t worker) const { return m_workers[worker]->socket; }
    std::unique_ptr<Job> Finished(size_t worker);

private:
    // Jobs change hands under the worker's mutex; the pair socket only wakes the other side.
    // ZeroMQ's own ordering would suffice, but tools that look for races cannot see it.
    struct Worker {
        std::unique_ptr<Database> database;
        void* socket;  // the service's end of the pair
        std::thread thread;
        std::mutex mutex;
        std::unique_ptr<Job> inbox;  // none on a wake-up tells the worker to end
        std::unique_ptr<Job> outbox;
    };

    static void Serve(void* context, std::string endpoint, Worker* worker);

    std::vector<std::unique_ptr<Worker>> m_workers;
    std::vector<size_t> m_idle;
};

#include "service/worker_pool.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "service/request_handler.h"

namespace {

constexpr int kNicerBy = 5;

void Wake(void* socket) {
    zmq_send(socket, nullptr, 0, 0);
}

bool AwaitWake(void* socket, int flags) {
    return zmq_recv(socket, nullptr, 0, flags) >= 0;
}

std::unique_ptr<Job> Take(std::mutex& mutex, std::unique_ptr<Job>& slot) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::move(slot);
}

void Put(std::mutex& mutex, std::unique_ptr<Job>& slot, std::unique_ptr<Job> job) {
    std::lock_guard<std::mutex> lock(mutex);
    slot = std::move(job);
}

}  // namespace

WorkerPool::WorkerPool(void* context, const std::string& name,
                       std::vector<std::unique_ptr<Database>> databases) {
    for (size_t i = 0; i < databases.size(); ++i) {
        const std::string endpoint = "inproc://" + name + "-" + std::to_string(i);
        auto worker = std::make_unique<Worker>();
        worker->database = std::move(databases[i]);
        worker->socket = zmq_socket(context, ZMQ_PAIR);
        zmq_bind(worker->socket, endpoint.c_str());
        worker->thread = std::thread(Serve, context, endpoint, worker.get());
        m_workers.push_back(std::move(worker));
        m_idle.push_back(i);
    }
}

WorkerPool::~WorkerPool() {
    for (auto& worker : m_workers) {
        Put(worker->mutex, worker->inbox, nullptr);
        Wake(worker->socket);
        worker->thread.join();
        zmq_close(worker->socket);
    }
}

void WorkerPool::Start(std::unique_ptr<Job> job) {
    const size_t index = m_idle.back();
    m_idle.pop_back();
    Worker& worker = *m_workers[index];
    Put(worker.mutex, worker.inbox, std::move(job));
    Wake(worker.socket);
}

std::unique_ptr<Job> WorkerPool::Finished(size_t index) {
    Worker& worker = *m_workers[index];
    if (!AwaitWake(worker.socket, ZMQ_DONTWAIT)) return nullptr;
    std::unique_ptr<Job> job = Take(worker.mutex, worker.outbox);
    if (job) m_idle.push_back(index);
    return job;
}

void WorkerPool::Serve(void* context, std::string endpoint, Worker* worker) {
    // Stop signals are the main thread's to take.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    // Below the service's own thread, so that a long query never keeps it from short ones.
    setpriority(PRIO_PROCESS, gettid(), kNicerBy);
    void* socket = zmq_socket(context, ZMQ_PAIR);
    zmq_connect(socket, endpoint.c_str());
    while (AwaitWake(socket, 0)) {
        std::unique_ptr<Job> job = Take(worker->mutex, worker->inbox);
        if (!job) break;
        const auto start = std::chrono::steady_clock::now();
        job->outcome = RequestHandler::RunSql(*worker->database, job->request.back().Bytes(),
                                              job->budget, job->reply);
        job->took = std::chrono::steady_clock::now() - start;
        Put(worker->mutex, worker->outbox, std::move(job));
        Wake(socket);
    }
    zmq_close(socket);
}

#include "service/reader_pool.h"

#include <pthread.h>

#include <csignal>

#include "service/request_handler.h"

namespace {

void Wake(void* socket) {
    zmq_send(socket, nullptr, 0, 0);
}

bool AwaitWake(void* socket, int flags) {
    return zmq_recv(socket, nullptr, 0, flags) >= 0;
}

std::unique_ptr<ReaderJob> Take(std::mutex& mutex, std::unique_ptr<ReaderJob>& slot) {
    std::lock_guard<std::mutex> lock(mutex);
    return std::move(slot);
}

void Put(std::mutex& mutex, std::unique_ptr<ReaderJob>& slot, std::unique_ptr<ReaderJob> job) {
    std::lock_guard<std::mutex> lock(mutex);
    slot = std::move(job);
}

}  // namespace

ReaderPool::ReaderPool(void* context, std::vector<std::unique_ptr<Database>> readers) {
    for (size_t i = 0; i < readers.size(); ++i) {
        const std::string endpoint = "inproc://reader-" + std::to_string(i);
        auto reader = std::make_unique<Reader>();
        reader->database = std::move(readers[i]);
        reader->socket = zmq_socket(context, ZMQ_PAIR);
        zmq_bind(reader->socket, endpoint.c_str());
        reader->thread = std::thread(Serve, context, endpoint, reader.get());
        m_readers.push_back(std::move(reader));
        m_idle.push_back(i);
    }
}

ReaderPool::~ReaderPool() {
    for (auto& reader : m_readers) {
        Put(reader->mutex, reader->inbox, nullptr);
        Wake(reader->socket);
        reader->thread.join();
        zmq_close(reader->socket);
    }
}

void ReaderPool::Start(std::unique_ptr<ReaderJob> job) {
    const size_t index = m_idle.back();
    m_idle.pop_back();
    Reader& reader = *m_readers[index];
    Put(reader.mutex, reader.inbox, std::move(job));
    Wake(reader.socket);
}

std::unique_ptr<ReaderJob> ReaderPool::Finished(size_t index) {
    Reader& reader = *m_readers[index];
    if (!AwaitWake(reader.socket, ZMQ_DONTWAIT)) return nullptr;
    std::unique_ptr<ReaderJob> job = Take(reader.mutex, reader.outbox);
    if (job) m_idle.push_back(index);
    return job;
}

void ReaderPool::Serve(void* context, std::string endpoint, Reader* reader) {
    // Stop signals are the main thread's to take.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    void* socket = zmq_socket(context, ZMQ_PAIR);
    zmq_connect(socket, endpoint.c_str());
    while (AwaitWake(socket, 0)) {
        std::unique_ptr<ReaderJob> job = Take(reader->mutex, reader->inbox);
        if (!job) break;
        const auto start = std::chrono::steady_clock::now();
        job->reply = RequestHandler::AnswerQuery(*reader->database, job->request.back().Bytes());
        job->took = std::chrono::steady_clock::now() - start;
        Put(reader->mutex, reader->outbox, std::move(job));
        Wake(socket);
    }
    zmq_close(socket);
}

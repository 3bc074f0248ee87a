#include "service/reader_pool.h"

#include <pthread.h>

#include <csignal>

#include "service/request_handler.h"

namespace {

// Jobs travel between the threads as pointers; a null one tells a reader to end.
void SendJob(void* socket, ReaderJob* job) {
    zmq_send(socket, &job, sizeof job, 0);
}

ReaderJob* ReceiveJob(void* socket, int flags) {
    ReaderJob* job = nullptr;
    return zmq_recv(socket, &job, sizeof job, flags) == sizeof job ? job : nullptr;
}

}  // namespace

ReaderPool::ReaderPool(void* context, std::vector<std::unique_ptr<Database>> readers) {
    for (size_t i = 0; i < readers.size(); ++i) {
        const std::string endpoint = "inproc://reader-" + std::to_string(i);
        auto reader = std::make_unique<Reader>();
        reader->database = std::move(readers[i]);
        reader->socket = zmq_socket(context, ZMQ_PAIR);
        zmq_bind(reader->socket, endpoint.c_str());
        reader->thread = std::thread(Serve, context, endpoint, reader->database.get());
        m_readers.push_back(std::move(reader));
        m_idle.push_back(i);
    }
}

ReaderPool::~ReaderPool() {
    for (auto& reader : m_readers) {
        SendJob(reader->socket, nullptr);
        reader->thread.join();
        while (ReaderJob* job = ReceiveJob(reader->socket, ZMQ_DONTWAIT)) delete job;
        zmq_close(reader->socket);
    }
}

void ReaderPool::Start(std::unique_ptr<ReaderJob> job) {
    const size_t reader = m_idle.back();
    m_idle.pop_back();
    SendJob(m_readers[reader]->socket, job.release());
}

std::unique_ptr<ReaderJob> ReaderPool::Finished(size_t reader) {
    std::unique_ptr<ReaderJob> job(ReceiveJob(m_readers[reader]->socket, ZMQ_DONTWAIT));
    if (job) m_idle.push_back(reader);
    return job;
}

void ReaderPool::Serve(void* context, std::string endpoint, Database* database) {
    // Stop signals are the main thread's to take.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    void* socket = zmq_socket(context, ZMQ_PAIR);
    zmq_connect(socket, endpoint.c_str());
    while (ReaderJob* job = ReceiveJob(socket, 0)) {
        job->reply = RequestHandler::AnswerQuery(*database, job->request.back().Bytes());
        SendJob(socket, job);
    }
    zmq_close(socket);
}

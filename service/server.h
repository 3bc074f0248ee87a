#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "service/frame.h"
#include "service/reader_pool.h"
#include "service/request_handler.h"

// One ROUTER socket serves every client: a query that takes long goes to a reader connection
// while one is free (one that turns out to write comes back), everything else is answered in
// turn here. Each peer gets its answers in the order of its requests. Replies to a client that
// has gone are dropped by ZeroMQ, so a vanished client never holds up the others.
class Server {
public:
    Server(RequestHandler& handler, std::vector<std::unique_ptr<Database>> readers);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // False with `error` set when the endpoint cannot be bound.
    bool Bind(const std::string& endpoint, std::string& error);
    // Answers requests until `stop_requested` is set.
    void Run(const std::atomic<bool>& stop_requested);

private:
    void AnswerOneRequest();
    void Dispatch(const std::string& peer, Message request);
    void Deliver(std::unique_ptr<ReaderJob> job);
    void Reply(Message& request, std::string reply);
    void ForgetClosedConnections();

    RequestHandler& m_handler;
    void* m_context;
    void* m_socket;
    void* m_monitor;  // tells which connections have closed
    std::unique_ptr<ReaderPool> m_readers;
    std::unordered_set<std::string> m_peersAtReaders;  // their next request waits its turn
    std::unordered_map<std::string, std::deque<Message>> m_waiting;
    std::unordered_set<size_t> m_slowKinds;  // of queries that outran the time to answer here
};

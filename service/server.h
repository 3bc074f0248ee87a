#pragma once

#include <atomic>
#include <string>

#include "service/request_handler.h"

// One ROUTER socket serves every client in turn. Replies to a client that has gone are
// dropped by ZeroMQ, so a vanished client never holds up the others.
class Server {
public:
    explicit Server(RequestHandler& handler);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // False with `error` set when the endpoint cannot be bound.
    bool Bind(const std::string& endpoint, std::string& error);
    // Answers requests until `stop_requested` is set.
    void Run(const std::atomic<bool>& stop_requested);

private:
    void AnswerOneRequest();
    void ForgetClosedConnections();

    RequestHandler& m_handler;
    void* m_context;
    void* m_socket;
    void* m_monitor;  // tells which connections have closed
};

#pragma once

#include <zmq.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "service/frame.h"
#include "service/request_handler.h"
#include "service/server_keys.h"
#include "service/worker_pool.h"

// The service's connections to its database, each used by one thread.
struct ServiceConnections {
    std::unique_ptr<Database> writer;                // the only one that writes
    std::unique_ptr<Database> quick;                 // reads here, on the service's own thread
    std::vector<std::unique_ptr<Database>> readers;  // reads that take longer

    std::vector<Database*> All() const;
};

// One ROUTER socket serves every client; this thread only receives, answers opens and short
// reads, and hands the rest on: a read that takes long to a reader, a write to the writer. Each
// peer has one request at a time on its way, so it gets its answers in the order it asked and
// holds at most one connection. Memory is bounded per peer and in total: requests held beyond
// it and requests of a peer that leaves its replies unread are refused unrun.
class Server {
public:
    Server(RequestHandler& handler, ServiceConnections connections);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Before Bind: only peers that know the public key are admitted, encrypted.
    bool RequireCurve(const ServerKeys& keys);
    // False with `error` set when the endpoint cannot be bound.
    bool Bind(const std::string& endpoint, std::string& error);
    // Answers requests until `stop_requested` is set.
    void Run(const std::atomic<bool>& stop_requested);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Message request;
        Clock::time_point arrived;
    };
    struct Peer {
        std::deque<Pending> waiting;  // behind the one on its way
        bool busy = false;            // a request of it is on its way
        bool gone = false;            // its connection has closed
        size_t heldBytes = 0;         // of its requests not yet answered
        // Bytes of its replies that ZeroMQ has not sent yet; counted down by ZeroMQ's thread.
        std::shared_ptr<std::atomic<size_t>> unsentBytes = std::make_shared<std::atomic<size_t>>(0);
    };

    void WatchBusyWorkers(std::vector<zmq_pollitem_t>& items,
                          std::vector<std::pair<WorkerPool*, size_t>>& busy) const;
    void ReceiveAvailable();
    void Accept(Message request);
    bool Admits(const Peer& peer, size_t bytes) const;
    void ServeNext(const std::string& id);
    void Dispatch(const std::string& id, Peer& peer, Pending pending);
    void TryHere(Job& job);
    bool IsSlowKind(std::string_view request) const;
    void Enqueue(std::unique_ptr<Job> job);
    void StartQueued();
    void Deliver(std::unique_ptr<Job> job);
    void Complete(Job& job, Peer& peer);
    void Release(Peer& peer, size_t requestBytes);
    void Reply(Message& request, std::string reply, Peer& peer);
    void ForgetClosedConnections();
    void GiveMemoryBack();

    RequestHandler& m_handler;
    std::unique_ptr<Database> m_quick;
    void* m_context;
    void* m_socket;
    void* m_monitor;  // tells which connections have closed
    std::unique_ptr<WorkerPool> m_readers;
    std::unique_ptr<WorkerPool> m_writer;
    std::deque<std::unique_ptr<Job>> m_forReaders;
    std::deque<std::unique_ptr<Job>> m_forWriter;
    std::unordered_map<std::string, Peer> m_peers;
    std::unordered_map<int, std::string> m_peerOnConnection;
    size_t m_heldBytes = 0;  // of every request not yet answered
    std::atomic<size_t> m_unsentBytes{0};
    bool m_trimDue = false;
    std::unordered_set<size_t> m_slowKinds;  // of queries that outran the time to answer here
};

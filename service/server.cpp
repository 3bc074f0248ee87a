#include "service/server.h"

#include <zmq.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "netsqlite/net_sqlite_client.h"

namespace {

// How often a waiting service looks at the stop flag, should a signal arrive between checks.
constexpr int kStopCheckMs = 200;
constexpr char kMonitorEndpoint[] = "inproc://connections";
// A query that is done within this is answered here: handing it to a reader thread would cost
// more than it saves. A longer one is given up and goes to a reader, so it holds up nobody.
constexpr auto kQuickQuery = std::chrono::milliseconds(1);
// Kinds of query remembered as slow; more are forgotten all at once.
constexpr size_t kSlowKindsKept = 256;

// Reads every frame of one message: the routing envelope, then the request.
Message ReceiveFrames(void* socket) {
    Message frames;
    do {
        Frame frame;
        if (!frame.Receive(socket)) break;
        frames.push_back(std::move(frame));
    } while (frames.back().More());
    return frames;
}

// A query with its literals left out, as a hash: the list asks the same kind of query for
// every page and search. Two kinds that share a hash only share where they are first tried.
size_t KindOf(std::string_view request) {
    const size_t literal = request.find_first_of("'0123456789");
    return std::hash<std::string_view>()(request.substr(0, literal));
}

// Sends `reply` as the last frame, handing its buffer to ZeroMQ instead of copying it.
void SendOwned(void* socket, std::string reply) {
    auto* owned = new std::string(std::move(reply));
    zmq_msg_t message;
    zmq_msg_init_data(
        &message, owned->data(), owned->size(),
        [](void*, void* hint) { delete static_cast<std::string*>(hint); }, owned);
    if (zmq_msg_send(&message, socket, ZMQ_DONTWAIT) < 0) zmq_msg_close(&message);
}

}  // namespace

Server::Server(RequestHandler& handler, std::vector<std::unique_ptr<Database>> readers)
    : m_handler(handler), m_context(zmq_ctx_new()), m_socket(zmq_socket(m_context, ZMQ_ROUTER)) {
    // Longer requests are refused by ZeroMQ before they are read into memory; the client
    // refuses to send them.
    const int64_t maxSize = kMaxRequestBytes;
    zmq_setsockopt(m_socket, ZMQ_MAXMSGSIZE, &maxSize, sizeof maxSize);
    const int linger = 0;  // replies still queued at shutdown are not worth waiting for
    zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
    zmq_socket_monitor(m_socket, kMonitorEndpoint, ZMQ_EVENT_DISCONNECTED);
    m_monitor = zmq_socket(m_context, ZMQ_PAIR);
    zmq_setsockopt(m_monitor, ZMQ_LINGER, &linger, sizeof linger);
    zmq_connect(m_monitor, kMonitorEndpoint);
    m_readers = std::make_unique<ReaderPool>(m_context, std::move(readers));
}

Server::~Server() {
    m_readers.reset();
    zmq_close(m_monitor);
    zmq_close(m_socket);
    zmq_ctx_term(m_context);
}

bool Server::Bind(const std::string& endpoint, std::string& error) {
    if (zmq_bind(m_socket, endpoint.c_str()) == 0) return true;
    error = zmq_strerror(zmq_errno());
    return false;
}

void Server::Run(const std::atomic<bool>& stop_requested) {
    std::vector<zmq_pollitem_t> items = {{m_monitor, 0, ZMQ_POLLIN, 0}, {m_socket, 0, ZMQ_POLLIN, 0}};
    for (size_t i = 0; i < m_readers->size(); ++i)
        items.push_back({m_readers->socket(i), 0, ZMQ_POLLIN, 0});
    while (!stop_requested) {
        const int ready = zmq_poll(items.data(), static_cast<int>(items.size()), kStopCheckMs);
        if (ready < 0 && zmq_errno() != EINTR) return;
        // Closed connections first: a new connection may already reuse a closed one's socket.
        ForgetClosedConnections();
        if (ready <= 0) continue;
        for (size_t i = 0; i < m_readers->size(); ++i) {
            if (items[2 + i].revents & ZMQ_POLLIN) Deliver(m_readers->Finished(i));
        }
        if (items[1].revents & ZMQ_POLLIN) AnswerOneRequest();
    }
}

void Server::ForgetClosedConnections() {
    // Each event is two frames: 16 bits of event and 32 bits of socket, then the endpoint.
    for (Message event; !(event = ReceiveFrames(m_monitor)).empty();) {
        const std::string_view bytes = event.front().Bytes();
        if (bytes.size() < 6) continue;
        int32_t connection;
        std::memcpy(&connection, bytes.data() + 2, sizeof connection);
        m_handler.ConnectionClosed(connection);
    }
}

void Server::AnswerOneRequest() {
    Message request = ReceiveFrames(m_socket);
    // A REQ client's message is [routing id][empty delimiter][request]; the reply goes back
    // under the same envelope.
    if (request.size() < 2) return;
    std::string peer(request.front().Bytes());
    if (m_peersAtReaders.count(peer))
        m_waiting[peer].push_back(std::move(request));
    else
        Dispatch(peer, std::move(request));
}

void Server::Dispatch(const std::string& peer, Message request) {
    const int connection = request.back().Connection();
    const std::string_view bytes = request.back().Bytes();
    if (!m_readers->HasIdle() || !m_handler.IsQueryOfOpenedPeer(peer, connection, bytes)) {
        Reply(request, m_handler.Handle(peer, connection, bytes));
        return;
    }
    // A kind of query that ran long last time goes to a reader without trying here again.
    const size_t kind = KindOf(bytes);
    std::optional<std::string> quick;
    if (!m_slowKinds.count(kind)) quick = m_handler.AnswerQueryWithin(bytes, kQuickQuery);
    if (quick) {
        Reply(request, std::move(*quick));
        return;
    }
    if (m_slowKinds.size() >= kSlowKindsKept) m_slowKinds.clear();
    m_slowKinds.insert(kind);
    m_peersAtReaders.insert(peer);
    m_readers->Start(std::make_unique<ReaderJob>(ReaderJob{peer, std::move(request), {}, {}}));
}

void Server::Deliver(std::unique_ptr<ReaderJob> job) {
    if (!job) return;
    Message& request = job->request;
    if (job->took <= kQuickQuery) m_slowKinds.erase(KindOf(request.back().Bytes()));
    Reply(request, job->reply ? std::move(*job->reply)
                              : m_handler.Handle(job->peer, request.back().Connection(),
                                                 request.back().Bytes()));
    m_peersAtReaders.erase(job->peer);
    const auto waiting = m_waiting.find(job->peer);
    if (waiting == m_waiting.end()) return;
    std::deque<Message>& queue = waiting->second;
    while (!queue.empty() && !m_peersAtReaders.count(job->peer)) {
        Message next = std::move(queue.front());
        queue.pop_front();
        Dispatch(job->peer, std::move(next));
    }
    if (queue.empty()) m_waiting.erase(waiting);
}

void Server::Reply(Message& request, std::string reply) {
    request.pop_back();
    for (Frame& frame : request) frame.Send(m_socket, ZMQ_SNDMORE | ZMQ_DONTWAIT);
    SendOwned(m_socket, std::move(reply));
}

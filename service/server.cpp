#include "service/server.h"

#include <malloc.h>
#include <zmq.h>

#include <cerrno>
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
// Nor does a reply larger than this, which takes about as long to encode.
constexpr size_t kQuickReplyBytes = size_t{256} << 10;
// Kinds of query remembered as slow; more are forgotten all at once.
constexpr size_t kSlowKindsKept = 256;
// Messages ZeroMQ reads ahead per peer before it stops reading that peer's connection, so a peer
// that never opens makes it hold at most five of the largest requests while this thread is away.
// Fewer would cost a wake-up of ZeroMQ's thread for every request taken.
constexpr int kReadAheadMessages = 4;
// Messages received before finished work is looked at again.
constexpr int kReceiveBatch = 256;

// Requests held unanswered: a peer's first is always taken (up to the largest request); more of
// them, and more in total, only within these.
constexpr size_t kPeerHeldBytes = size_t{16} << 20;
constexpr size_t kTotalHeldBytes = size_t{256} << 20;
// A small request of a peer holding nothing is taken whatever the others hold.
constexpr size_t kAlwaysTakenBytes = size_t{1} << 20;
// Replies sent but not yet read: a peer past its share gets no more run for it; past the total,
// every request may answer only a small reply.
constexpr size_t kPeerUnsentBytes = size_t{1} << 20;
constexpr size_t kTotalUnsentBytes = size_t{128} << 20;
constexpr size_t kSmallReplyBytes = size_t{1} << 20;

const char kHeldTooMuch[] =
    "error:the service holds too many of your requests unanswered: wait for the answers";
const char kUnreadReplies[] =
    "error:your earlier replies have not been read: read them before asking more";

// Reads every frame of one message: the routing envelope, then the request.
Message ReceiveFrames(void* socket) {
    Message frames;
    frames.reserve(3);
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

// A reply on its way out, counted until ZeroMQ lets go of it.
struct OutgoingReply {
    std::string bytes;
    std::shared_ptr<std::atomic<size_t>> peerUnsent;
    std::atomic<size_t>* totalUnsent;
};

// Sends `reply` as the last frame, handing its buffer to ZeroMQ instead of copying it.
void SendOwned(void* socket, OutgoingReply* reply) {
    *reply->peerUnsent += reply->bytes.size();
    *reply->totalUnsent += reply->bytes.size();
    zmq_msg_t message;
    zmq_msg_init_data(
        &message, reply->bytes.data(), reply->bytes.size(),
        [](void*, void* hint) {
            auto* sent = static_cast<OutgoingReply*>(hint);
            *sent->peerUnsent -= sent->bytes.size();
            *sent->totalUnsent -= sent->bytes.size();
            delete sent;
        },
        reply);
    if (zmq_msg_send(&message, socket, ZMQ_DONTWAIT) < 0) zmq_msg_close(&message);
}

void SetOption(void* socket, int option, int value) {
    zmq_setsockopt(socket, option, &value, sizeof value);
}

}  // namespace

std::vector<Database*> ServiceConnections::All() const {
    std::vector<Database*> all = {writer.get(), quick.get()};
    for (const auto& reader : readers) all.push_back(reader.get());
    return all;
}

Server::Server(RequestHandler& handler, ServiceConnections connections)
    : m_handler(handler),
      m_quick(std::move(connections.quick)),
      m_context(zmq_ctx_new()),
      m_socket(zmq_socket(m_context, ZMQ_ROUTER)) {
    // Longer requests are refused by ZeroMQ before they are read into memory; the client
    // refuses to send them.
    const int64_t maxSize = kMaxRequestBytes;
    zmq_setsockopt(m_socket, ZMQ_MAXMSGSIZE, &maxSize, sizeof maxSize);
    SetOption(m_socket, ZMQ_RCVHWM, kReadAheadMessages);
    SetOption(m_socket, ZMQ_LINGER, 0);  // replies still queued at shutdown are not worth waiting for
    zmq_socket_monitor(m_socket, kMonitorEndpoint, ZMQ_EVENT_DISCONNECTED);
    m_monitor = zmq_socket(m_context, ZMQ_PAIR);
    SetOption(m_monitor, ZMQ_LINGER, 0);
    zmq_connect(m_monitor, kMonitorEndpoint);
    m_readers = std::make_unique<WorkerPool>(m_context, "reader", std::move(connections.readers));
    std::vector<std::unique_ptr<Database>> writer;
    writer.push_back(std::move(connections.writer));
    m_writer = std::make_unique<WorkerPool>(m_context, "writer", std::move(writer));
}

Server::~Server() {
    // The writer closes last: the last connection to close folds the WAL back into the file.
    m_quick.reset();
    m_readers.reset();
    m_writer.reset();
    m_forReaders.clear();
    m_forWriter.clear();
    m_peers.clear();
    zmq_close(m_monitor);
    zmq_close(m_socket);
    zmq_ctx_term(m_context);
}

bool Server::RequireCurve(const ServerKeys& keys) {
    const int isServer = 1;
    return zmq_setsockopt(m_socket, ZMQ_CURVE_SERVER, &isServer, sizeof isServer) == 0 &&
           zmq_setsockopt(m_socket, ZMQ_CURVE_SECRETKEY, keys.secretKey.c_str(),
                          keys.secretKey.size()) == 0;
}

bool Server::Bind(const std::string& endpoint, std::string& error) {
    if (zmq_bind(m_socket, endpoint.c_str()) == 0) return true;
    error = zmq_strerror(zmq_errno());
    return false;
}

void Server::Run(const std::atomic<bool>& stop_requested) {
    std::vector<zmq_pollitem_t> items;
    std::vector<std::pair<WorkerPool*, size_t>> busy;
    while (!stop_requested) {
        WatchBusyWorkers(items, busy);
        const int ready = zmq_poll(items.data(), static_cast<int>(items.size()), kStopCheckMs);
        if (ready < 0 && zmq_errno() != EINTR) return;
        ForgetClosedConnections();
        if (ready == 0) GiveMemoryBack();
        if (ready <= 0) continue;
        for (size_t i = 0; i < busy.size(); ++i) {
            if (items[2 + i].revents & ZMQ_POLLIN) Deliver(busy[i].first->Finished(busy[i].second));
        }
        if (items[1].revents & ZMQ_POLLIN) ReceiveAvailable();
        StartQueued();
    }
}

// The sockets to wait on: the connections' closing, the peers, and the workers that have a job.
// An idle worker has nothing to say, and each socket watched makes every wait cost more.
void Server::WatchBusyWorkers(std::vector<zmq_pollitem_t>& items,
                              std::vector<std::pair<WorkerPool*, size_t>>& busy) const {
    items = {{m_monitor, 0, ZMQ_POLLIN, 0}, {m_socket, 0, ZMQ_POLLIN, 0}};
    busy.clear();
    for (WorkerPool* pool : {m_readers.get(), m_writer.get()}) {
        for (size_t i = 0; i < pool->size(); ++i) {
            if (!pool->IsBusy(i)) continue;
            items.push_back({pool->socket(i), 0, ZMQ_POLLIN, 0});
            busy.emplace_back(pool, i);
        }
    }
}

// Everything ZeroMQ has read is taken at once and stamped with its arrival: the time limit of a
// request counts from there, however long it then waits for its turn. A request may come on a new
// connection that reuses a closed one's socket; ZeroMQ tells of the closing before the socket can
// be reused, so taking that in first keeps it from ending the new connection's session.
void Server::ReceiveAvailable() {
    for (int i = 0; i < kReceiveBatch; ++i) {
        Message request = ReceiveFrames(m_socket);
        if (request.empty()) return;
        m_trimDue = true;
        ForgetClosedConnections();
        Accept(std::move(request));
    }
}

void Server::Accept(Message request) {
    // A REQ client's message is [routing id][empty delimiter][request]; the reply goes back
    // under the same envelope.
    if (request.size() < 2) return;
    const std::string id(request.front().Bytes());
    m_peerOnConnection[request.back().Connection()] = id;
    Peer& peer = m_peers[id];
    peer.gone = false;
    const size_t bytes = request.back().Bytes().size();
    if (!Admits(peer, bytes)) return Reply(request, kHeldTooMuch, peer);
    peer.heldBytes += bytes;
    m_heldBytes += bytes;
    peer.waiting.push_back(Pending{std::move(request), Clock::now()});
    ServeNext(id);
}

bool Server::Admits(const Peer& peer, size_t bytes) const {
    if (peer.heldBytes == 0)
        return bytes <= kAlwaysTakenBytes || m_heldBytes + bytes <= kTotalHeldBytes;
    return peer.heldBytes + bytes <= kPeerHeldBytes && m_heldBytes + bytes <= kTotalHeldBytes;
}

// Answers the peer's requests in turn until one has to wait for a connection's thread.
void Server::ServeNext(const std::string& id) {
    Peer& peer = m_peers[id];
    while (!peer.busy && !peer.waiting.empty()) {
        Pending next = std::move(peer.waiting.front());
        peer.waiting.pop_front();
        Dispatch(id, peer, std::move(next));
    }
    if (peer.gone && !peer.busy) m_peers.erase(id);
}

void Server::Dispatch(const std::string& id, Peer& peer, Pending pending) {
    Message& request = pending.request;
    std::optional<std::string> answer =
        m_handler.AnswerWithoutSql(id, request.back().Connection(), request.back().Bytes());
    if (!answer && *peer.unsentBytes > kPeerUnsentBytes) answer = kUnreadReplies;
    if (answer) {
        Release(peer, request.back().Bytes().size());
        return Reply(request, std::move(*answer), peer);
    }
    Job job;
    job.budget.arrived = pending.arrived;
    if (m_unsentBytes > kTotalUnsentBytes) job.budget.maxReplyBytes = kSmallReplyBytes;
    job.request = std::move(request);
    // A kind of query that ran long last time goes to a reader without trying here again.
    if (IsSlowKind(job.request.back().Bytes())) job.outcome = Database::Outcome::kTooSlow;
    else TryHere(job);
    if (job.outcome == Database::Outcome::kDone || job.outcome == Database::Outcome::kFailed)
        return Complete(job, peer);
    job.peer = id;
    peer.busy = true;
    Enqueue(std::make_unique<Job>(std::move(job)));
}

void Server::TryHere(Job& job) {
    Database::Budget quick = job.budget;
    quick.readsFor = kQuickQuery;
    quick.readsReplyBytes = kQuickReplyBytes;
    job.outcome = RequestHandler::RunSql(*m_quick, job.request.back().Bytes(), quick, job.reply);
    if (job.outcome != Database::Outcome::kTooSlow) return;
    if (m_slowKinds.size() >= kSlowKindsKept) m_slowKinds.clear();
    m_slowKinds.insert(KindOf(job.request.back().Bytes()));
}

// Most of the time no kind is slow, and the request need not be looked at.
bool Server::IsSlowKind(std::string_view request) const {
    return !m_slowKinds.empty() && m_slowKinds.count(KindOf(request));
}

// A read that was too slow here goes to a reader, one that writes to the writer.
void Server::Enqueue(std::unique_ptr<Job> job) {
    const bool writes = job->outcome == Database::Outcome::kNeedsWriter;
    (writes ? m_forWriter : m_forReaders).push_back(std::move(job));
}

// In order of arrival: each peer has at most one request queued, so every peer gets its turn.
void Server::StartQueued() {
    while (m_readers->HasIdle() && !m_forReaders.empty()) {
        m_readers->Start(std::move(m_forReaders.front()));
        m_forReaders.pop_front();
    }
    while (m_writer->HasIdle() && !m_forWriter.empty()) {
        m_writer->Start(std::move(m_forWriter.front()));
        m_forWriter.pop_front();
    }
}

void Server::Deliver(std::unique_ptr<Job> job) {
    if (!job) return;
    if (job->outcome == Database::Outcome::kNeedsWriter) return Enqueue(std::move(job));
    if (job->took <= kQuickQuery && !m_slowKinds.empty())
        m_slowKinds.erase(KindOf(job->request.back().Bytes()));
    Peer& peer = m_peers[job->peer];
    peer.busy = false;
    Complete(*job, peer);
    ServeNext(job->peer);
}

void Server::Complete(Job& job, Peer& peer) {
    Release(peer, job.request.back().Bytes().size());
    Reply(job.request, std::move(job.reply), peer);
}

void Server::Release(Peer& peer, size_t requestBytes) {
    peer.heldBytes -= requestBytes;
    m_heldBytes -= requestBytes;
}

void Server::Reply(Message& request, std::string reply, Peer& peer) {
    request.pop_back();
    for (Frame& frame : request) frame.Send(m_socket, ZMQ_SNDMORE | ZMQ_DONTWAIT);
    SendOwned(m_socket, new OutgoingReply{std::move(reply), peer.unsentBytes, &m_unsentBytes});
}

void Server::ForgetClosedConnections() {
    // Each event is two frames: 16 bits of event and 32 bits of socket, then the endpoint.
    for (Message event; !(event = ReceiveFrames(m_monitor)).empty();) {
        const std::string_view bytes = event.front().Bytes();
        if (bytes.size() < 6) continue;
        int32_t connection;
        std::memcpy(&connection, bytes.data() + 2, sizeof connection);
        m_handler.ConnectionClosed(connection);
        const auto closed = m_peerOnConnection.find(connection);
        if (closed == m_peerOnConnection.end()) continue;
        const std::string id = std::move(closed->second);
        m_peerOnConnection.erase(closed);
        // What it still waits for would be answered to nobody.
        Peer& peer = m_peers[id];
        for (Pending& pending : peer.waiting) Release(peer, pending.request.back().Bytes().size());
        peer.waiting.clear();
        peer.gone = true;
        if (!peer.busy) m_peers.erase(id);
    }
}

// Large requests and replies come and go in bursts; once the service is idle, the memory they
// took goes back to the system instead of staying with the process.
void Server::GiveMemoryBack() {
    if (!m_trimDue) return;
    m_trimDue = false;
    malloc_trim(0);
}

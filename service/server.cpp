#include "service/server.h"

#include <zmq.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "netsqlite/net_sqlite_client.h"

namespace {

// How often a waiting service looks at the stop flag, should a signal arrive between checks.
constexpr int kStopCheckMs = 200;
constexpr char kMonitorEndpoint[] = "inproc://connections";

// One received frame, kept in ZeroMQ's buffer rather than copied.
class Frame {
public:
    Frame() { zmq_msg_init(&m_message); }
    ~Frame() { zmq_msg_close(&m_message); }
    Frame(Frame&& other) noexcept : Frame() { zmq_msg_move(&m_message, &other.m_message); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    bool Receive(void* socket) { return zmq_msg_recv(&m_message, socket, ZMQ_DONTWAIT) >= 0; }
    bool More() { return zmq_msg_more(&m_message); }
    // Hands the frame's bytes to ZeroMQ; the frame is empty afterwards.
    void Send(void* socket, int flags) { zmq_msg_send(&m_message, socket, flags); }
    std::string_view Bytes() {
        return {static_cast<const char*>(zmq_msg_data(&m_message)), zmq_msg_size(&m_message)};
    }
    // The socket of the connection the frame came in on.
    int Connection() { return zmq_msg_get(&m_message, ZMQ_SRCFD); }

private:
    zmq_msg_t m_message;
};

// Reads every frame of one message: the routing envelope, then the request.
std::vector<Frame> ReceiveFrames(void* socket) {
    std::vector<Frame> frames;
    do {
        Frame frame;
        if (!frame.Receive(socket)) break;
        frames.push_back(std::move(frame));
    } while (frames.back().More());
    return frames;
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

Server::Server(RequestHandler& handler)
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
}

Server::~Server() {
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
    while (!stop_requested) {
        zmq_pollitem_t items[] = {{m_monitor, 0, ZMQ_POLLIN, 0}, {m_socket, 0, ZMQ_POLLIN, 0}};
        const int ready = zmq_poll(items, 2, kStopCheckMs);
        if (ready < 0 && zmq_errno() != EINTR) return;
        // Closed connections first: a new connection may already reuse a closed one's socket.
        ForgetClosedConnections();
        if (ready > 0 && (items[1].revents & ZMQ_POLLIN)) AnswerOneRequest();
    }
}

void Server::ForgetClosedConnections() {
    // Each event is two frames: 16 bits of event and 32 bits of socket, then the endpoint.
    for (std::vector<Frame> event; !(event = ReceiveFrames(m_monitor)).empty();) {
        const std::string_view bytes = event.front().Bytes();
        if (bytes.size() < 6) continue;
        int32_t connection;
        std::memcpy(&connection, bytes.data() + 2, sizeof connection);
        m_handler.ConnectionClosed(connection);
    }
}

void Server::AnswerOneRequest() {
    std::vector<Frame> frames = ReceiveFrames(m_socket);
    // A REQ client's message is [routing id][empty delimiter][request]; the reply goes back
    // under the same envelope.
    if (frames.size() < 2) return;
    const std::string peer(frames.front().Bytes());
    std::string reply = m_handler.Handle(peer, frames.back().Connection(), frames.back().Bytes());
    frames.pop_back();
    for (Frame& frame : frames) frame.Send(m_socket, ZMQ_SNDMORE | ZMQ_DONTWAIT);
    SendOwned(m_socket, std::move(reply));
}

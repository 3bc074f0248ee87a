#include "netsqlite/zmq_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "netsqlite/net_sqlite_exception.h"

namespace {

constexpr char kMonitorEndpoint[] = "inproc://handshakes";
constexpr int kHandshakeEvents = ZMQ_EVENT_HANDSHAKE_SUCCEEDED |
                                 ZMQ_EVENT_HANDSHAKE_FAILED_NO_DETAIL |
                                 ZMQ_EVENT_HANDSHAKE_FAILED_PROTOCOL |
                                 ZMQ_EVENT_HANDSHAKE_FAILED_AUTH;

struct ClientKeys {
    char publicKey[41] = {};
    char secretKey[41] = {};
};

// The service admits a desk by the server key it holds, not by its own: one pair per process.
const ClientKeys& ProcessKeys() {
    static const ClientKeys keys = [] {
        ClientKeys made;
        zmq_curve_keypair(made.publicKey, made.secretKey);
        return made;
    }();
    return keys;
}

bool SetText(void* socket, int option, const char* text) {
    return zmq_setsockopt(socket, option, text, std::strlen(text)) == 0;
}

}  // namespace

zmq_client::~zmq_client() {
    Close();
}

void zmq_client::Connect(const char* endpoint) {
    Close();
    m_context = zmq_ctx_new();
    if (m_context) {
        zmq_ctx_set(m_context, ZMQ_IO_THREADS, 1);
        m_socket = zmq_socket(m_context, ZMQ_REQ);
    }
    m_handshakeError = 0;
    if (m_socket) {
        const int linger = kLingerMs;
        zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
        WatchHandshakes();
        // A key ZeroMQ refuses must not leave the socket to connect in clear.
        if (UseServerKey())
            zmq_connect(m_socket, endpoint);
        else
            m_handshakeError = NET_SQLITE_SERVER_KEY_MISMATCH;
    }
    // Set even when creation failed: the next request then reports NET_SQLITE_NOT_SEND.
    m_open = true;
}

void zmq_client::Close() {
    if (!m_open) return;
    if (m_socket) {
        zmq_close(m_socket);
        m_socket = nullptr;
    }
    if (m_monitor) {
        zmq_close(m_monitor);
        m_monitor = nullptr;
    }
    if (m_context) {
        zmq_ctx_term(m_context);
        m_context = nullptr;
    }
    m_open = false;
}

bool zmq_client::UseServerKey() {
    if (m_serverKey.empty()) return true;
    const ClientKeys& keys = ProcessKeys();
    return SetText(m_socket, ZMQ_CURVE_SERVERKEY, m_serverKey.c_str()) &&
           SetText(m_socket, ZMQ_CURVE_PUBLICKEY, keys.publicKey) &&
           SetText(m_socket, ZMQ_CURVE_SECRETKEY, keys.secretKey);
}

void zmq_client::WatchHandshakes() {
    if (zmq_socket_monitor(m_socket, kMonitorEndpoint, kHandshakeEvents) != 0) return;
    m_monitor = zmq_socket(m_context, ZMQ_PAIR);
    if (!m_monitor) return;
    const int linger = 0;
    zmq_setsockopt(m_monitor, ZMQ_LINGER, &linger, sizeof linger);
    zmq_connect(m_monitor, kMonitorEndpoint);
}

void zmq_client::ReadHandshakeEvents() {
    if (!m_monitor) return;
    // Each event is two frames: 16 bits of event and 32 bits of value, then the endpoint. Events
    // beyond the monitor's queue are dropped by ZeroMQ, never held up.
    for (;;) {
        ZmqReply head, endpoint;
        if (zmq_msg_recv(head.message(), m_monitor, ZMQ_DONTWAIT) < 0) return;
        zmq_msg_recv(endpoint.message(), m_monitor, 0);
        if (head.size() < 6) continue;
        uint16_t event;
        std::memcpy(&event, head.data(), sizeof event);
        // The latest handshake counts: ZeroMQ reconnects by itself to a service restarted since.
        // Our service never drops a handshake but for its security: with a key, ours is not
        // the one it holds (or it has none); without, it admits only encrypted clients. Which
        // side notices first varies, so the kind of failure tells nothing more.
        if (event == ZMQ_EVENT_HANDSHAKE_SUCCEEDED)
            m_handshakeError = 0;
        else
            m_handshakeError = m_serverKey.empty() ? NET_SQLITE_ENCRYPTION_REQUIRED
                                                   : NET_SQLITE_SERVER_KEY_MISMATCH;
    }
}

void zmq_client::SetReplyWait(int poll_interval_ms, int poll_attempts) {
    m_pollIntervalMs = poll_interval_ms;
    m_pollAttempts = poll_attempts;
}

bool zmq_client::Request(const char* data, size_t length, ZmqReply& reply, int& error) {
    if (!m_open) {
        error = NET_SQLITE_NOT_OPEN;
        return false;
    }
    // Nothing goes to a service that refused the handshake: no reply would come.
    ReadHandshakeEvents();
    if (m_handshakeError) {
        error = m_handshakeError;
        return false;
    }
    // A REQ socket still waiting for an earlier reply refuses at once instead of blocking.
    if (!m_socket || zmq_send(m_socket, data, length, ZMQ_DONTWAIT) < 0) {
        error = NET_SQLITE_NOT_SEND;
        return false;
    }
    if (const int32_t failure = WaitForReply()) {
        error = failure;
        return false;
    }
    if (!ReceiveReply(reply)) {
        error = NET_SQLITE_TIME_OUT;
        return false;
    }
    return true;
}

int32_t zmq_client::WaitForReply() {
    // A signal caught by this thread ends a poll early without ending the wait: the wait keeps to
    // its deadline, as a time-out would leave the socket waiting for a reply that is on its way.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(m_pollIntervalMs) * m_pollAttempts;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        // A refused handshake ends the wait at once: no reply will come, and the operator is
        // told what to change instead of waiting for a time-out.
        ReadHandshakeEvents();
        if (m_handshakeError) return m_handshakeError;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        zmq_pollitem_t items[] = {{m_socket, 0, ZMQ_POLLIN, 0}, {m_monitor, 0, ZMQ_POLLIN, 0}};
        const int ready =
            zmq_poll(items, m_monitor ? 2 : 1, std::min<long>(left.count(), m_pollIntervalMs));
        if (ready < 0 && zmq_errno() != EINTR) return NET_SQLITE_TIME_OUT;
        if (ready > 0 && (items[0].revents & ZMQ_POLLIN)) return 0;
    }
    return NET_SQLITE_TIME_OUT;
}

bool zmq_client::ReceiveReply(ZmqReply& reply) {
    int received;
    do received = zmq_msg_recv(reply.message(), m_socket, 0);
    while (received < 0 && zmq_errno() == EINTR);
    return received > 0;
}

#include "netsqlite/zmq_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "netsqlite/net_sqlite_exception.h"

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
    if (m_socket) {
        const int linger = kLingerMs;
        zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
        zmq_connect(m_socket, endpoint);
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
    if (m_context) {
        zmq_ctx_term(m_context);
        m_context = nullptr;
    }
    m_open = false;
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
    // A REQ socket still waiting for an earlier reply refuses at once instead of blocking.
    if (!m_socket || zmq_send(m_socket, data, length, ZMQ_DONTWAIT) < 0) {
        error = NET_SQLITE_NOT_SEND;
        return false;
    }
    if (!WaitForReply()) {
        error = NET_SQLITE_TIME_OUT;
        return false;
    }
    if (!ReceiveReply(reply)) {
        error = NET_SQLITE_TIME_OUT;
        return false;
    }
    return true;
}

bool zmq_client::WaitForReply() {
    // A signal caught by this thread ends a poll early without ending the wait: the wait keeps to
    // its deadline, as a time-out would leave the socket waiting for a reply that is on its way.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(m_pollIntervalMs) * m_pollAttempts;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
        const int ready = zmq_poll(&item, 1, std::min<long>(left.count(), m_pollIntervalMs));
        if (ready < 0 && zmq_errno() != EINTR) return false;
        if (ready > 0 && (item.revents & ZMQ_POLLIN)) return true;
    }
    return false;
}

bool zmq_client::ReceiveReply(ZmqReply& reply) {
    int received;
    do received = zmq_msg_recv(reply.message(), m_socket, 0);
    while (received < 0 && zmq_errno() == EINTR);
    return received > 0;
}

#include "tests/netsqlite/fake_peer.h"

#include <zmq.h>

#include <stdexcept>

#include "tests/support/test_service.h"

namespace {

constexpr int kBindAttempts = 8;
constexpr int kStopCheckMs = 10;

std::string ReceiveFrame(void* socket) {
    zmq_msg_t frame;
    zmq_msg_init(&frame);
    zmq_msg_recv(&frame, socket, 0);
    std::string bytes(static_cast<const char*>(zmq_msg_data(&frame)), zmq_msg_size(&frame));
    zmq_msg_close(&frame);
    return bytes;
}

}  // namespace

FakePeer::FakePeer(Responder responder)
    : m_responder(std::move(responder)), m_context(zmq_ctx_new()) {
    for (int attempt = 0; attempt < kBindAttempts && !m_socket; ++attempt) {
        m_socket = zmq_socket(m_context, ZMQ_ROUTER);
        const int linger = 0;
        zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
        m_endpoint = "tcp://" + testsupport::NextLoopbackAddress() + ":5566";
        if (zmq_bind(m_socket, m_endpoint.c_str()) == 0) break;
        zmq_close(m_socket);
        m_socket = nullptr;
    }
    if (!m_socket) {
        zmq_ctx_term(m_context);
        throw std::runtime_error("the fake peer found no free loopback address");
    }
    m_thread = std::thread([this] { Serve(); });
}

FakePeer::~FakePeer() {
    m_stop = true;
    m_thread.join();
    zmq_close(m_socket);
    zmq_ctx_term(m_context);
}

std::vector<std::string> FakePeer::requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

FakePeer::Responder FakePeer::Always(std::string reply) {
    return [reply](const std::string&) { return std::optional<std::string>(reply); };
}

FakePeer::Responder FakePeer::Never() {
    return [](const std::string&) { return std::optional<std::string>(); };
}

void FakePeer::Serve() {
    while (!m_stop) {
        zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
        if (zmq_poll(&item, 1, kStopCheckMs) > 0) AnswerOne();
    }
}

void FakePeer::AnswerOne() {
    // A REQ client sends [routing id][empty delimiter][request].
    const std::string routingId = ReceiveFrame(m_socket);
    ReceiveFrame(m_socket);
    const std::string request = ReceiveFrame(m_socket);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }
    const std::optional<std::string> reply = m_responder(request);
    if (!reply) return;
    zmq_send(m_socket, routingId.data(), routingId.size(), ZMQ_SNDMORE);
    zmq_send(m_socket, "", 0, ZMQ_SNDMORE);
    zmq_send(m_socket, reply->data(), reply->size(), 0);
}

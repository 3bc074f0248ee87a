#include "tests/store/stalling_proxy.h"

#include <zmq.h>

#include <chrono>
#include <stdexcept>
#include <utility>

namespace {

std::string receive(void* socket) {
    zmq_msg_t message;
    zmq_msg_init(&message);
    zmq_msg_recv(&message, socket, 0);
    std::string bytes(static_cast<const char*>(zmq_msg_data(&message)), zmq_msg_size(&message));
    zmq_msg_close(&message);
    return bytes;
}

void send(void* socket, const std::string& bytes, bool more = false) {
    zmq_send(socket, bytes.data(), bytes.size(), more ? ZMQ_SNDMORE : 0);
}

void* socket_without_linger(void* context, int type) {
    void* socket = zmq_socket(context, type);
    const int linger = 0;
    zmq_setsockopt(socket, ZMQ_LINGER, &linger, sizeof linger);
    return socket;
}

}  // namespace

StallingProxy::StallingProxy(testsupport::TestService& service) : m_service(service) {
    m_context = zmq_ctx_new();
    m_front = socket_without_linger(m_context, ZMQ_ROUTER);
    bool bound = false;
    for (int attempt = 0; attempt < 8 && !bound; ++attempt) {
        m_address = testsupport::NextLoopbackAddress();
        bound = zmq_bind(m_front, endpoint().c_str()) == 0;
    }
    if (!bound) throw std::runtime_error("the proxy found no free loopback address");
    m_back = socket_without_linger(m_context, ZMQ_REQ);
    zmq_connect(m_back, service.endpoint().c_str());
    m_thread = std::thread([this] { run(); });
}

StallingProxy::~StallingProxy() {
    m_stop = true;
    m_thread.join();
    zmq_close(m_front);
    zmq_close(m_back);
    zmq_ctx_term(m_context);
}

void StallingProxy::pause_service_at(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pause_text = text;
    m_drop = false;
}

void StallingProxy::drop_request_at(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pause_text = text;
    m_drop = true;
}

std::vector<std::string> StallingProxy::take_requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_requests, {});
}

bool StallingProxy::wait_until_answered() {
    for (int waited_ms = 0; waited_ms < 2000; waited_ms += 5) {
        if (m_answered == m_forwarded) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void StallingProxy::run() {
    zmq_pollitem_t items[] = {{m_front, 0, ZMQ_POLLIN, 0}, {m_back, 0, ZMQ_POLLIN, 0}};
    while (!m_stop) {
        if (zmq_poll(items, 2, 10) <= 0) continue;
        if (items[0].revents & ZMQ_POLLIN) forward_request();
        if (items[1].revents & ZMQ_POLLIN) forward_reply();
    }
}

void StallingProxy::forward_request() {
    m_client = receive(m_front);
    receive(m_front);  // the empty delimiter of a REQ peer
    const std::string body = receive(m_front);
    const std::string text = body.substr(0, body.find('\0'));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(text);
        if (!m_pause_text.empty() && text.find(m_pause_text) != std::string::npos) {
            m_pause_text.clear();
            if (m_drop) return;
            m_service.pause();
        }
    }
    send(m_back, body);
    ++m_forwarded;
}

void StallingProxy::forward_reply() {
    const std::string reply = receive(m_back);
    ++m_answered;
    send(m_front, m_client, true);
    send(m_front, "", true);
    send(m_front, reply);
}

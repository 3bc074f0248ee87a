#include "service/server.h"

#include <zmq.h>

#include <cerrno>
#include <vector>

namespace {

// How often a waiting service looks at the stop flag, should a signal arrive between checks.
constexpr int kStopCheckMs = 200;

// Reads every frame of one message: the routing envelope, then the request.
std::vector<std::string> ReceiveFrames(void* socket) {
    std::vector<std::string> frames;
    int more = 1;
    while (more) {
        zmq_msg_t frame;
        zmq_msg_init(&frame);
        if (zmq_msg_recv(&frame, socket, ZMQ_DONTWAIT) < 0) {
            zmq_msg_close(&frame);
            break;
        }
        frames.emplace_back(static_cast<const char*>(zmq_msg_data(&frame)), zmq_msg_size(&frame));
        more = zmq_msg_more(&frame);
        zmq_msg_close(&frame);
    }
    return frames;
}

}  // namespace

Server::Server(RequestHandler& handler)
    : m_handler(handler), m_context(zmq_ctx_new()), m_socket(zmq_socket(m_context, ZMQ_ROUTER)) {
    const int64_t maxSize = kMaxRequestBytes;
    zmq_setsockopt(m_socket, ZMQ_MAXMSGSIZE, &maxSize, sizeof maxSize);
    const int linger = 0;  // replies still queued at shutdown are not worth waiting for
    zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
}

Server::~Server() {
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
        zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
        const int ready = zmq_poll(&item, 1, kStopCheckMs);
        if (ready < 0 && zmq_errno() != EINTR) return;
        if (ready > 0) AnswerOneRequest();
    }
}

void Server::AnswerOneRequest() {
    std::vector<std::string> frames = ReceiveFrames(m_socket);
    // A REQ client's message is [routing id][empty delimiter][request]; the reply goes back
    // under the same envelope.
    if (frames.size() < 2) return;
    const std::string reply = m_handler.Handle(frames.front(), frames.back());
    frames.pop_back();
    for (const std::string& frame : frames)
        zmq_send(m_socket, frame.data(), frame.size(), ZMQ_SNDMORE | ZMQ_DONTWAIT);
    zmq_send(m_socket, reply.data(), reply.size(), ZMQ_DONTWAIT);
}

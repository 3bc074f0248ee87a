#pragma once

#include <zmq.h>

#include <string_view>
#include <vector>

// One received frame, kept in ZeroMQ's buffer rather than copied. Moving a frame may move a
// short one's bytes: take Bytes() again after a move.
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

// Every frame of one message: the routing envelope, then the request.
using Message = std::vector<Frame>;

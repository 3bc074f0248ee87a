#include "tests/service/raw_peer.h"

#include <sqlite3.h>
#include <zmq.h>

#include "netsqlite/base64.h"

RawPeer::RawPeer(const std::string& endpoint, const std::string& routing_id)
    : m_context(zmq_ctx_new()), m_socket(zmq_socket(m_context, ZMQ_DEALER)) {
    const int linger = 0;
    zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
    if (!routing_id.empty())
        zmq_setsockopt(m_socket, ZMQ_ROUTING_ID, routing_id.data(), routing_id.size());
    zmq_connect(m_socket, endpoint.c_str());
}

RawPeer::~RawPeer() {
    zmq_close(m_socket);
    zmq_ctx_term(m_context);
}

void RawPeer::Send(const std::string& bytes) {
    zmq_send(m_socket, "", 0, ZMQ_SNDMORE);
    zmq_send(m_socket, bytes.data(), bytes.size(), 0);
}

void RawPeer::SendUncopied(const std::string& bytes) {
    zmq_send(m_socket, "", 0, ZMQ_SNDMORE);
    zmq_msg_t message;
    zmq_msg_init_data(&message, const_cast<char*>(bytes.data()), bytes.size(), nullptr, nullptr);
    zmq_msg_send(&message, m_socket, 0);
}

std::optional<std::string> RawPeer::Receive(std::chrono::milliseconds wait) {
    zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
    if (zmq_poll(&item, 1, static_cast<long>(wait.count())) <= 0) return std::nullopt;
    std::string reply;
    for (int more = 1; more;) {  // the empty delimiter, then the reply
        zmq_msg_t frame;
        zmq_msg_init(&frame);
        zmq_msg_recv(&frame, m_socket, 0);
        reply.assign(static_cast<const char*>(zmq_msg_data(&frame)), zmq_msg_size(&frame));
        more = zmq_msg_more(&frame);
        zmq_msg_close(&frame);
    }
    return reply;
}

std::optional<std::string> RawPeer::Ask(const std::string& text, std::chrono::milliseconds wait) {
    Send(text + std::string(1, '\0'));
    return Receive(wait);
}

std::string Line(std::initializer_list<std::string> cells) {
    std::string line;
    for (const std::string& cell : cells) {
        if (&cell != cells.begin()) line.push_back(',');
        line += netsqlite::Base64Encode(cell);
    }
    return line + "\n";
}

Values FileColumn(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    Values values;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        values.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return values;
}

#pragma once

#include <zmq.h>

#include <cstddef>
#include <cstdint>
#include <string>

// One reply message, read in place in ZeroMQ's own buffer.
class ZmqReply {
public:
    ZmqReply() { zmq_msg_init(&m_message); }
    ~ZmqReply() { zmq_msg_close(&m_message); }
    ZmqReply(const ZmqReply&) = delete;
    ZmqReply& operator=(const ZmqReply&) = delete;

    const char* data() { return static_cast<const char*>(zmq_msg_data(&m_message)); }
    size_t size() { return zmq_msg_size(&m_message); }
    zmq_msg_t* message() { return &m_message; }

private:
    zmq_msg_t m_message;
};

// One ZeroMQ REQ socket to the database service: one request, one reply at a time.
// Failures are returned as NET_SQLITE_* codes, never thrown. Not thread-safe: only the
// database worker uses it.
class zmq_client {
public:
    static constexpr int kPollIntervalMs = 1000;
    static constexpr int kPollAttempts = 5;
    static constexpr int kLingerMs = 100;

    zmq_client() = default;
    virtual ~zmq_client();
    zmq_client(const zmq_client&) = delete;
    zmq_client& operator=(const zmq_client&) = delete;

    // The service's public key (Z85) for the next Connect: encrypted with a key pair made for this
    // process. Empty: in clear.
    void SetServerKey(const std::string& key) { m_serverKey = key; }

    // ZeroMQ connects in the background: a missing peer shows up later as a time-out, a refused
    // handshake as NET_SQLITE_SERVER_KEY_MISMATCH or NET_SQLITE_ENCRYPTION_REQUIRED.
    void Connect(const char* endpoint);
    void Close();
    // On success `reply` holds the reply message, never empty; it is received without a copy.
    bool Request(const char* data, size_t length, ZmqReply& reply, int& error);

    bool IsOpen() const { return m_open; }

    // Lets tests and tools wait less than the 5 x 1000 ms a real client allows a reply.
    void SetReplyWait(int poll_interval_ms, int poll_attempts);

private:
    bool UseServerKey();
    void WatchHandshakes();
    void ReadHandshakeEvents();
    // 0 once the reply is there, else why none will come.
    int32_t WaitForReply();
    // False for an empty reply or a failed receive.
    bool ReceiveReply(ZmqReply& reply);

    void* m_context = nullptr;
    void* m_socket = nullptr;
    void* m_monitor = nullptr;  // hears how each handshake with the service ended
    bool m_open = false;
    std::string m_serverKey;
    int32_t m_handshakeError = 0;  // of the latest handshake
    int m_pollIntervalMs = kPollIntervalMs;
    int m_pollAttempts = kPollAttempts;
};

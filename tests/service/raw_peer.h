#pragma once

#include <chrono>
#include <optional>
#include <string>

// A bare ZeroMQ peer that sends whatever bytes a test wants, as a REQ client would frame them
// (empty delimiter, then the request), but without REQ's one-at-a-time rule.
class RawPeer {
public:
    explicit RawPeer(const std::string& endpoint);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    void Send(const std::string& bytes);
    std::optional<std::string> Receive(std::chrono::milliseconds wait = std::chrono::seconds(5));
    // Sends `text` with its terminating zero byte and waits for the reply.
    std::optional<std::string> Ask(const std::string& text);
    // Opens with the default demo credentials; false when refused.
    bool Open();

private:
    void* m_context;
    void* m_socket;
};

// The reply text of a result set: every cell Base64, lines ending with '\n'.
std::string Line(std::initializer_list<std::string> cells);

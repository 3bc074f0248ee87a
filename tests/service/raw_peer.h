#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A bare ZeroMQ peer that sends whatever bytes a test wants, framed as a REQ client frames them
// (empty delimiter, then the request), but without REQ's one-request-at-a-time rule.
class RawPeer {
public:
    // A peer that sets `routing_id` presents it instead of one the service picks.
    explicit RawPeer(const std::string& endpoint, const std::string& routing_id = "");
    ~RawPeer();
    static constexpr std::chrono::milliseconds kReplyWait{30000};

    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    void Send(const std::string& bytes);
    // Sends without a copy: `bytes` must outlive the peer.
    void SendUncopied(const std::string& bytes);
    // The default wait is only reached when a reply is missing; a busy machine running the
    // sanitized suite in parallel may take seconds over a reply that is coming.
    std::optional<std::string> Receive(std::chrono::milliseconds wait = kReplyWait);
    // Sends `text` with its terminating zero byte and waits for the reply.
    std::optional<std::string> Ask(const std::string& text,
                                   std::chrono::milliseconds wait = kReplyWait);
    bool Open() { return Ask("open:ledger,ledger2026") == std::optional<std::string>("success:"); }

private:
    void* m_context;
    void* m_socket;
};

// One line of a result set: every cell Base64, joined by commas, ending with a line feed.
std::string Line(std::initializer_list<std::string> cells);

using Values = std::vector<std::string>;

// The first column of every row `sql` gives, read from the database file directly: what a
// restarted service would find.
Values FileColumn(const std::string& path, const std::string& sql);

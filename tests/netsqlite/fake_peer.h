#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A scripted stand-in for the service, for what a real one cannot be made to do: never answer,
// answer with nothing, answer with garbage. Binds its own loopback address on port 5566.
class FakePeer {
public:
    // Returns the reply to a request (bytes as received), or nothing to never answer it.
    using Responder = std::function<std::optional<std::string>(const std::string& request)>;

    explicit FakePeer(Responder responder);
    ~FakePeer();
    FakePeer(const FakePeer&) = delete;
    FakePeer& operator=(const FakePeer&) = delete;

    const std::string& endpoint() const { return m_endpoint; }
    std::vector<std::string> requests() const;

    // A peer that gives the same reply to every request.
    static Responder Always(std::string reply);
    static Responder Never();

private:
    void Serve();
    void AnswerOne();

    Responder m_responder;
    void* m_context;
    void* m_socket = nullptr;
    std::string m_endpoint;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

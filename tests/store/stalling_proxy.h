#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_service.h"

// Stands between one client and a real service, passing requests and replies through. When a
// request containing the chosen text arrives, the service is paused before it gets the
// request, or the request is dropped, so an operation loses its connection at a known step
// and the service carries that request out later or never. Every request is recorded.
class StallingProxy {
public:
    explicit StallingProxy(testsupport::TestService& service);
    ~StallingProxy();
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    std::string endpoint() const { return "tcp://" + m_address + ":5566"; }
    void pause_service_at(const std::string& text);
    void drop_request_at(const std::string& text);
    // Requests seen since the last call ("query:..." or "nonquery:...").
    std::vector<std::string> take_requests();
    // Waits (at most two seconds) until every request passed on has been answered.
    bool wait_until_answered();

private:
    void run();
    void forward_request();
    void forward_reply();

    testsupport::TestService& m_service;
    std::string m_address;
    void* m_context = nullptr;
    void* m_front = nullptr;
    void* m_back = nullptr;
    std::string m_client;
    std::mutex m_mutex;
    std::string m_pause_text;
    bool m_drop = false;
    std::vector<std::string> m_requests;
    std::atomic<size_t> m_forwarded{0};
    std::atomic<size_t> m_answered{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

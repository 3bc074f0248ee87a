#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

// The peers (by ZeroMQ routing id) that have opened the database. A client that reconnects
// gets a new id and never says goodbye, so only the most recently active peers are kept.
class PeerSessions {
public:
    explicit PeerSessions(size_t capacity) : m_capacity(capacity) {}

    void Open(const std::string& peer);
    // True for an opened peer, which also counts as activity.
    bool IsOpen(const std::string& peer);

private:
    size_t m_capacity;
    std::list<std::string> m_byActivity;  // most recent first
    std::unordered_map<std::string, std::list<std::string>::iterator> m_peers;
};

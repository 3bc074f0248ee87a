#pragma once

#include <string>
#include <unordered_map>

// The peers that have opened the database. A session belongs to the connection (its socket)
// that opened it: a new connection presenting the same routing id starts unopened, and a
// session ends when its connection closes.
class PeerSessions {
public:
    void Open(const std::string& peer, int connection) { m_peerOn[connection] = peer; }
    bool IsOpen(const std::string& peer, int connection) const;
    void ConnectionClosed(int connection) { m_peerOn.erase(connection); }

private:
    std::unordered_map<int, std::string> m_peerOn;
};

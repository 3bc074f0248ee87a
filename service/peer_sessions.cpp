#include "service/peer_sessions.h"

void PeerSessions::Open(const std::string& peer) {
    if (IsOpen(peer)) return;
    m_byActivity.push_front(peer);
    m_peers.emplace(peer, m_byActivity.begin());
    if (m_peers.size() <= m_capacity) return;
    m_peers.erase(m_byActivity.back());
    m_byActivity.pop_back();
}

bool PeerSessions::IsOpen(const std::string& peer) {
    const auto found = m_peers.find(peer);
    if (found == m_peers.end()) return false;
    m_byActivity.splice(m_byActivity.begin(), m_byActivity, found->second);
    return true;
}

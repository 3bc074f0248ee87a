#include "service/peer_sessions.h"

bool PeerSessions::IsOpen(const std::string& peer, int connection) const {
    const auto found = m_peerOn.find(connection);
    return found != m_peerOn.end() && found->second == peer;
}

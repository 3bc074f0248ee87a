#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "service/database.h"
#include "service/peer_sessions.h"

// The service's side of the text protocol: "open:user,password", "query:SQL" and
// "nonquery:SQL", each ending with a zero byte. Every request gets exactly one reply beginning
// "success:", "error:" (SQLite refused the SQL, or it ran into a limit) or "failed:" (the
// request itself was refused).
class RequestHandler {
public:
    // A peer that has not opened can make the service hold no more than this per request.
    static constexpr size_t kMaxRequestBeforeOpen = 64 << 10;

    RequestHandler(std::string user, std::string password);

    // The reply to an "open" or to a request that is refused unrun; nothing for the SQL of an
    // opened peer, which RunSql answers. `connection` identifies the socket it came in on.
    std::optional<std::string> AnswerWithoutSql(const std::string& peer, int connection,
                                                std::string_view request);
    void ConnectionClosed(int connection) { m_sessions.ConnectionClosed(connection); }
    bool IsOpen(const std::string& peer, int connection) const {
        return m_sessions.IsOpen(peer, connection);
    }

    // Runs a request AnswerWithoutSql left to SQL, whatever its verb, on `database`; `reply` is
    // set unless the outcome sends it to another connection.
    static Database::Outcome RunSql(Database& database, std::string_view request,
                                    const Database::Budget& budget, std::string& reply);

private:
    std::string HandleOpen(const std::string& peer, int connection, std::string_view credentials);

    std::string m_user;
    std::string m_password;
    PeerSessions m_sessions;
};

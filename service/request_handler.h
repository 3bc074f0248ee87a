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

    RequestHandler(Database& database, std::string user, std::string password);

    // `connection` identifies the socket the request came in on.
    std::string Handle(const std::string& peer, int connection, std::string_view request);
    void ConnectionClosed(int connection) { m_sessions.ConnectionClosed(connection); }

    // True for a well-formed "query:" of an opened peer: AnswerQueryWithin or a reader connection
    // through AnswerQuery may try it.
    bool IsQueryOfOpenedPeer(const std::string& peer, int connection, std::string_view request);
    // Nothing when the query read for longer than `reads_for` before writing: a reader must
    // answer it.
    std::optional<std::string> AnswerQueryWithin(std::string_view request,
                                                 Database::Clock::duration reads_for);
    // Nothing when the query must be handled by the writer after all.
    static std::optional<std::string> AnswerQuery(Database& reader, std::string_view request);

private:
    std::string HandleOpen(const std::string& peer, int connection, std::string_view credentials);
    static std::optional<std::string> AnswerSql(
        Database& database, std::string_view sql, bool wants_rows,
        Database::Clock::duration reads_for = Database::Clock::duration::max());

    Database& m_database;
    std::string m_user;
    std::string m_password;
    PeerSessions m_sessions;
};

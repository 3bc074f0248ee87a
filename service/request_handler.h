#pragma once

#include <string>
#include <string_view>

#include "service/database.h"
#include "service/peer_sessions.h"

// The service's side of the text protocol: "open:user,password", "query:SQL" and
// "nonquery:SQL", each ending with a zero byte. Every request gets exactly one reply beginning
// "success:", "error:" (SQLite refused the SQL) or "failed:" (the request itself was refused).
class RequestHandler {
public:
    RequestHandler(Database& database, std::string user, std::string password);

    std::string Handle(const std::string& peer, const std::string& request);

private:
    std::string HandleOpen(const std::string& peer, std::string_view credentials);
    std::string HandleSql(const std::string& peer, std::string_view sql, bool wants_rows);

    Database& m_database;
    std::string m_user;
    std::string m_password;
    PeerSessions m_sessions;
};

#include "service/request_handler.h"

#include <utility>

namespace {

constexpr size_t kMaxOpenedPeers = 4096;

constexpr char kOpen[] = "open:";
constexpr char kQuery[] = "query:";
constexpr char kNonQuery[] = "nonquery:";

// On a match, `rest` receives the text after the prefix.
template <size_t N>
bool TakePrefix(std::string_view text, const char (&prefix)[N], std::string_view& rest) {
    if (text.compare(0, N - 1, prefix) != 0) return false;
    rest = text.substr(N - 1);
    return true;
}

}  // namespace

RequestHandler::RequestHandler(Database& database, std::string user, std::string password)
    : m_database(database),
      m_user(std::move(user)),
      m_password(std::move(password)),
      m_sessions(kMaxOpenedPeers) {}

std::string RequestHandler::Handle(const std::string& peer, const std::string& request) {
    if (request.empty() || request.back() != '\0')
        return "failed:the request does not end with a zero byte";
    const std::string_view text(request.data(), request.size() - 1);
    if (text.find('\0') != std::string_view::npos)
        return "failed:the request holds a zero byte before its end";

    std::string_view rest;
    if (TakePrefix(text, kOpen, rest)) return HandleOpen(peer, rest);
    if (TakePrefix(text, kQuery, rest)) return HandleSql(peer, rest, true);
    if (TakePrefix(text, kNonQuery, rest)) return HandleSql(peer, rest, false);
    return "failed:unknown request";
}

std::string RequestHandler::HandleOpen(const std::string& peer, std::string_view credentials) {
    // The user name ends at the first comma; the password may hold commas.
    const size_t comma = credentials.find(',');
    if (comma == std::string_view::npos || credentials.substr(0, comma) != m_user ||
        credentials.substr(comma + 1) != m_password)
        return "failed:wrong user name or password";
    m_sessions.Open(peer);
    return "success:";
}

std::string RequestHandler::HandleSql(const std::string& peer, std::string_view sql,
                                      bool wants_rows) {
    if (!m_sessions.IsOpen(peer)) return "failed:the database has not been opened";
    std::string rows;
    std::string error;
    if (!m_database.Execute(sql, wants_rows ? &rows : nullptr, error)) return "error:" + error;
    return "success:" + rows;
}

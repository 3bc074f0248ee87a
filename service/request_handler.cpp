#include "service/request_handler.h"

#include <utility>

namespace {

constexpr char kOpen[] = "open:";
constexpr char kQuery[] = "query:";
constexpr char kNonQuery[] = "nonquery:";
constexpr char kSuccess[] = "success:";

// On a match, `rest` receives the text after the prefix.
template <size_t N>
bool TakePrefix(std::string_view text, const char (&prefix)[N], std::string_view& rest) {
    if (text.compare(0, N - 1, prefix) != 0) return false;
    rest = text.substr(N - 1);
    return true;
}

}  // namespace

RequestHandler::RequestHandler(Database& database, std::string user, std::string password)
    : m_database(database), m_user(std::move(user)), m_password(std::move(password)) {}

std::string RequestHandler::Handle(const std::string& peer, int connection,
                                   std::string_view request) {
    const bool opened = m_sessions.IsOpen(peer, connection);
    if (!opened && request.size() > kMaxRequestBeforeOpen)
        return "failed:a request before \"open\" may be at most " +
               std::to_string(kMaxRequestBeforeOpen) + " bytes";
    if (request.empty() || request.back() != '\0')
        return "failed:the request does not end with a zero byte";
    const std::string_view text = request.substr(0, request.size() - 1);
    if (text.find('\0') != std::string_view::npos)
        return "failed:the request holds a zero byte before its end";

    std::string_view rest;
    if (TakePrefix(text, kOpen, rest)) return HandleOpen(peer, connection, rest);
    const bool query = TakePrefix(text, kQuery, rest);
    if (!query && !TakePrefix(text, kNonQuery, rest)) return "failed:unknown request";
    if (!opened) return "failed:the database has not been opened";
    return HandleSql(rest, query);
}

std::string RequestHandler::HandleOpen(const std::string& peer, int connection,
                                       std::string_view credentials) {
    // The user name ends at the first comma; the password may hold commas.
    const size_t comma = credentials.find(',');
    if (comma == std::string_view::npos || credentials.substr(0, comma) != m_user ||
        credentials.substr(comma + 1) != m_password)
        return "failed:wrong user name or password";
    m_sessions.Open(peer, connection);
    return kSuccess;
}

std::string RequestHandler::HandleSql(std::string_view sql, bool wants_rows) {
    // The rows are written straight after the prefix, so the reply is never copied.
    std::string reply = kSuccess;
    std::string error;
    if (m_database.Execute(sql, wants_rows ? &reply : nullptr, error)) return reply;
    return "error:" + error;
}

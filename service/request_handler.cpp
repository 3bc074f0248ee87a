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

// The request's text without its zero byte, or nothing with `refusal` set.
bool TextOf(std::string_view request, std::string_view& text, std::string& refusal) {
    if (request.empty() || request.back() != '\0') {
        refusal = "failed:the request does not end with a zero byte";
        return false;
    }
    text = request.substr(0, request.size() - 1);
    if (text.find('\0') == std::string_view::npos) return true;
    refusal = "failed:the request holds a zero byte before its end";
    return false;
}

}  // namespace

RequestHandler::RequestHandler(std::string user, std::string password)
    : m_user(std::move(user)), m_password(std::move(password)) {}

std::optional<std::string> RequestHandler::AnswerWithoutSql(const std::string& peer,
                                                           int connection,
                                                           std::string_view request) {
    const bool opened = m_sessions.IsOpen(peer, connection);
    if (!opened && request.size() > kMaxRequestBeforeOpen)
        return "failed:a request before \"open\" may be at most " +
               std::to_string(kMaxRequestBeforeOpen) + " bytes";
    std::string_view text;
    std::string refusal;
    if (!TextOf(request, text, refusal)) return refusal;

    std::string_view rest;
    if (TakePrefix(text, kOpen, rest)) return HandleOpen(peer, connection, rest);
    if (!TakePrefix(text, kQuery, rest) && !TakePrefix(text, kNonQuery, rest))
        return "failed:unknown request";
    if (!opened) return "failed:the database has not been opened";
    return std::nullopt;
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

Database::Outcome RequestHandler::RunSql(Database& database, std::string_view request,
                                         const Database::Budget& budget, std::string& reply) {
    std::string_view sql;
    const bool query = TakePrefix(request, kQuery, sql);
    if (!query) TakePrefix(request, kNonQuery, sql);
    sql.remove_suffix(1);  // the zero byte
    // The rows are written straight after the prefix, so the reply is never copied.
    reply = kSuccess;
    std::string error;
    const Database::Outcome outcome = database.Execute(sql, query ? &reply : nullptr, error, budget);
    if (outcome == Database::Outcome::kFailed) reply = "error:" + error;
    return outcome;
}

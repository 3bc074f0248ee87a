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

// The SQL of a request IsQueryOfOpenedPeer accepted.
std::string_view SqlOfQuery(std::string_view request) {
    const size_t prefix = sizeof kQuery - 1;
    return request.substr(prefix, request.size() - 1 - prefix);
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
    std::string_view text;
    std::string refusal;
    if (!TextOf(request, text, refusal)) return refusal;

    std::string_view rest;
    if (TakePrefix(text, kOpen, rest)) return HandleOpen(peer, connection, rest);
    const bool query = TakePrefix(text, kQuery, rest);
    if (!query && !TakePrefix(text, kNonQuery, rest)) return "failed:unknown request";
    if (!opened) return "failed:the database has not been opened";
    return *AnswerSql(m_database, rest, query);  // the writer handles everything itself
}

bool RequestHandler::IsQueryOfOpenedPeer(const std::string& peer, int connection,
                                         std::string_view request) {
    // The prefix first: a write is not searched for stray zero bytes here and again in Handle.
    std::string_view text;
    std::string_view sql;
    std::string refusal;
    return TakePrefix(request, kQuery, sql) && m_sessions.IsOpen(peer, connection) &&
           TextOf(request, text, refusal);
}

std::optional<std::string> RequestHandler::AnswerQueryWithin(std::string_view request,
                                                             Database::Clock::duration reads_for) {
    return AnswerSql(m_database, SqlOfQuery(request), true, reads_for);
}

std::optional<std::string> RequestHandler::AnswerQuery(Database& reader, std::string_view request) {
    return AnswerSql(reader, SqlOfQuery(request), true);
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

std::optional<std::string> RequestHandler::AnswerSql(Database& database, std::string_view sql,
                                                     bool wants_rows,
                                                     Database::Clock::duration reads_for) {
    // The rows are written straight after the prefix, so the reply is never copied.
    std::string reply = kSuccess;
    std::string error;
    switch (database.Execute(sql, wants_rows ? &reply : nullptr, error, reads_for)) {
        case Database::Outcome::kDone:
            return reply;
        case Database::Outcome::kFailed:
            return "error:" + error;
        case Database::Outcome::kElsewhere:
            break;
    }
    return std::nullopt;
}

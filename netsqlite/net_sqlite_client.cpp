#include "netsqlite/net_sqlite_client.h"

#include <cstring>

#include "netsqlite/net_sqlite_exception.h"

namespace {

struct Verb {
    const char* prefix;
    int32_t errorCode;   // reply "error:" or an unknown reply
    int32_t failedCode;  // reply "failed:"
};

constexpr Verb kQuery{"query:", NET_SQLITE_QUERY_ERROR, NET_SQLITE_QUERY_FAILED};
constexpr Verb kNonQuery{"nonquery:", NET_SQLITE_NONEQUERY_ERROR, NET_SQLITE_NONEQUERY_FAILED};

constexpr char kSuccess[] = "success";
constexpr char kSuccessPrefix[] = "success:";
constexpr char kErrorPrefix[] = "error:";
constexpr char kFailedPrefix[] = "failed:";

template <size_t N>
bool StartsWith(ZmqReply& reply, const char (&prefix)[N]) {
    return reply.size() >= N - 1 && std::memcmp(reply.data(), prefix, N - 1) == 0;
}

// The text after the prefix, up to the reply's first zero byte.
template <size_t N>
std::string Detail(ZmqReply& reply, const char (&)[N]) {
    const char* detail = reply.data() + N - 1;
    return std::string(detail, strnlen(detail, reply.size() - (N - 1)));
}

void Exchange(zmq_client& transport, const std::string& request, const Verb& verb,
              ZmqReply& reply) {
    // The service would drop the connection unanswered: say why instead of timing out.
    if (request.size() + 1 > kMaxRequestBytes)
        throw NetSqliteException(verb.errorCode,
                                 "the request is larger than the service's limit of " +
                                     std::to_string(kMaxRequestBytes) + " bytes");
    int error = 0;
    if (!transport.Request(request.c_str(), request.size() + 1, reply, error))
        throw NetSqliteException(error, "");
}

// Returns the offset of the payload after "success:"; throws for every other reply.
size_t CheckReply(ZmqReply& reply, const Verb& verb) {
    if (StartsWith(reply, kErrorPrefix))
        throw NetSqliteException(verb.errorCode, Detail(reply, kErrorPrefix));
    if (StartsWith(reply, kFailedPrefix))
        throw NetSqliteException(verb.failedCode, Detail(reply, kFailedPrefix));
    if (StartsWith(reply, kSuccessPrefix)) return sizeof kSuccessPrefix - 1;
    throw NetSqliteException(verb.errorCode, "");
}

}  // namespace

void NetSqliteClient::Open(const char* endpoint, const std::string& user,
                           const std::string& password) {
    Connect(endpoint);
    const std::string request = "open:" + user + "," + password;
    ZmqReply reply;
    int code = 0;
    const bool answered = Request(request.c_str(), request.size() + 1, reply, code);
    if (answered && StartsWith(reply, kSuccess)) return;
    if (answered) code = NET_SQLITE_NO_RIGHT;
    Close();
    throw NetSqliteException(code, "");
}

std::unique_ptr<NetSqliteResultSet> NetSqliteClient::Query(const std::string& sql) {
    ZmqReply reply;
    Exchange(*this, kQuery.prefix + sql, kQuery, reply);
    const size_t payload = CheckReply(reply, kQuery);
    auto result = std::make_unique<NetSqliteResultSet>();
    // Parsed straight from the received message; the result set keeps only the decoded cells.
    if (!result->Parse(reply.data() + payload, reply.size() - payload))
        throw NetSqliteException(NET_SQLITE_PARSE_QUERY_ERROR, "");
    return result;
}

bool NetSqliteClient::NonQuery(const std::string& sql) {
    ZmqReply reply;
    Exchange(*this, kNonQuery.prefix + sql, kNonQuery, reply);
    CheckReply(reply, kNonQuery);
    return true;
}

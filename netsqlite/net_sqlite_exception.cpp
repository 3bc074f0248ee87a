#include "netsqlite/net_sqlite_exception.h"

const char* NetSqliteErrorName(int32_t code) {
    switch (code) {
        case NET_SQLITE_NOT_OPEN:
            return "NET_SQLITE_NOT_OPEN";
        case NET_SQLITE_NOT_SEND:
            return "NET_SQLITE_NOT_SEND";
        case NET_SQLITE_TIME_OUT:
            return "NET_SQLITE_TIME_OUT";
        case NET_SQLITE_NO_RIGHT:
            return "NET_SQLITE_NO_RIGHT";
        case NET_SQLITE_NOT_RECEIVE:
            return "NET_SQLITE_NOT_RECEIVE";
        case NET_SQLITE_QUERY_ERROR:
            return "NET_SQLITE_QUERY_ERROR";
        case NET_SQLITE_NONEQUERY_ERROR:
            return "NET_SQLITE_NONEQUERY_ERROR";
        case NET_SQLITE_PARSE_QUERY_ERROR:
            return "NET_SQLITE_PARSE_QUERY_ERROR";
        case NET_SQLITE_QUERY_FAILED:
            return "NET_SQLITE_QUERY_FAILED";
        case NET_SQLITE_NONEQUERY_FAILED:
            return "NET_SQLITE_NONEQUERY_FAILED";
        case NET_SQLITE_SERVER_KEY_MISMATCH:
            return "NET_SQLITE_SERVER_KEY_MISMATCH";
        case NET_SQLITE_ENCRYPTION_REQUIRED:
            return "NET_SQLITE_ENCRYPTION_REQUIRED";
        default:
            return "UNKNOWN_ERROR";
    }
}

NetSqliteException::NetSqliteException(int32_t code, const std::string& detail)
    : m_message("[" + std::to_string(code) + "]:" + NetSqliteErrorName(code) + ", " + detail),
      m_code(code) {
    if (m_message.size() > kMaxMessage) m_message.resize(kMaxMessage);
}

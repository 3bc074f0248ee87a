#pragma once

#include <cstdint>
#include <string>

enum NetSqliteError : int32_t {
    NET_SQLITE_NOT_OPEN = 1,
    NET_SQLITE_NOT_SEND = 2,
    NET_SQLITE_TIME_OUT = 3,
    NET_SQLITE_NO_RIGHT = 4,
    NET_SQLITE_NOT_RECEIVE = 5,
    NET_SQLITE_QUERY_ERROR = 6,
    NET_SQLITE_NONEQUERY_ERROR = 7,
    NET_SQLITE_PARSE_QUERY_ERROR = 8,
    NET_SQLITE_QUERY_FAILED = 9,
    NET_SQLITE_NONEQUERY_FAILED = 10,
    // The handshake failed: the service holds another key, or is in clear while we have one.
    NET_SQLITE_SERVER_KEY_MISMATCH = 11,
    // The service admits only encrypted clients and we have no key for it.
    NET_SQLITE_ENCRYPTION_REQUIRED = 12,
};

// "UNKNOWN_ERROR" for any code outside the table.
const char* NetSqliteErrorName(int32_t code);

// Thrown by NetSqliteClient only; the connection layer turns it into a ret_t.
class NetSqliteException {
public:
    // The message is "[code]:NAME, detail", cut to fit kMaxMessage bytes.
    static constexpr size_t kMaxMessage = 10023;

    NetSqliteException(int32_t code, const std::string& detail);
    virtual ~NetSqliteException() = default;

    int32_t GetCode() const { return m_code; }
    const char* GetMessage() const { return m_message.c_str(); }

private:
    std::string m_message;
    int32_t m_code;
};

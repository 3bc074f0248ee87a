#include "netsqlite/db_connection.h"

#include <new>
#include <string_view>

#include "netsqlite/net_sqlite_exception.h"
#include "netsqlite/text_codec.h"

namespace {

// A service that restarted has forgotten the open and refuses every request unrun. Reported as
// a lost connection, it is opened again with the stored settings, as after a time-out. So is a
// refused handshake in the middle of a session, a service restarted with another key: the
// reconnect's open then tells the operator what to change.
constexpr std::string_view kNotOpened = ", the database has not been opened";

bool MeansConnectionLost(const NetSqliteException& e) {
    const int32_t code = e.GetCode();
    if (code == NET_SQLITE_TIME_OUT || code == NET_SQLITE_NOT_SEND ||
        code == NET_SQLITE_SERVER_KEY_MISMATCH || code == NET_SQLITE_ENCRYPTION_REQUIRED)
        return true;
    const std::string_view message = e.GetMessage();
    return (code == NET_SQLITE_QUERY_FAILED || code == NET_SQLITE_NONEQUERY_FAILED) &&
           message.size() >= kNotOpened.size() &&
           message.substr(message.size() - kNotOpened.size()) == kNotOpened;
}

ret_t OpenFailureOf(const NetSqliteException& e) {
    switch (e.GetCode()) {
        case NET_SQLITE_TIME_OUT:
            return {false, kDbConnectionLost};
        case NET_SQLITE_SERVER_KEY_MISMATCH:
            return {false, kDbServerKeyMismatch};
        case NET_SQLITE_ENCRYPTION_REQUIRED:
            return {false, kDbEncryptionRequired};
        default:
            // An open that could not even be sent is a refusal, not a lost connection.
            return {false, 0};
    }
}

ret_t FailureOf(const NetSqliteException& e) {
    return {false, MeansConnectionLost(e) ? kDbConnectionLost : 0};
}

}  // namespace

ret_t DbOpen(NetSqliteClient& client, const tstring& endpoint, const tstring& user,
             const tstring& password) {
    client.Close();
    try {
        client.Open(endpoint.c_str(), user, password);
        return {true, 0};
    } catch (const NetSqliteException& e) {
        return OpenFailureOf(e);
    } catch (const std::bad_alloc&) {
        return {false, 0};
    }
}

ret_t DbQuery(NetSqliteClient& client, const tstring& sql,
              std::unique_ptr<NetSqliteResultSet>& result) {
    result.reset();
    if (sql.empty()) return {false, 0};
    try {
        result = client.Query(GbkToUtf8(sql));
        return {true, 0};
    } catch (const NetSqliteException& e) {
        return FailureOf(e);
    } catch (const std::bad_alloc&) {
        return {false, 0};
    }
}

ret_t DbExecute(NetSqliteClient& client, const tstring& sql) {
    try {
        client.NonQuery(GbkToUtf8(sql));
        return {true, 0};
    } catch (const NetSqliteException& e) {
        return FailureOf(e);
    } catch (const std::bad_alloc&) {
        return {false, 0};
    }
}

bool DbGetText(const tstring& column, tstring& text, const NetSqliteResultSet& result) {
    try {
        text = Utf8ToGbk(result.GetView(GbkToUtf8(column)));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DbGetInt(const tstring& column, const NetSqliteResultSet& result, int32_t& value) {
    value = result.GetInt(GbkToUtf8(column));
    return true;
}

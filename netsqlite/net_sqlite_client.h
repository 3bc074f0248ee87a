#pragma once

#include <memory>
#include <string>

#include "netsqlite/net_sqlite_result_set.h"
#include "netsqlite/zmq_client.h"

// The service refuses longer requests unread. ZeroMQ takes in a message whole before the
// service sees who sent it, so this bounds what one connection can make the service hold.
constexpr size_t kMaxRequestBytes = size_t{16} << 20;

// The database service's text protocol. Requests are sent at any length; the service
// sets the limit. Every failure throws NetSqliteException.
class NetSqliteClient : public zmq_client {
public:
    ~NetSqliteClient() override = default;

    // Connects and sends "open:user,password"; on refusal the transport is closed again.
    void Open(const char* endpoint, const std::string& user, const std::string& password);
    // `sql` is UTF-8.
    std::unique_ptr<NetSqliteResultSet> Query(const std::string& sql);
    bool NonQuery(const std::string& sql);
};

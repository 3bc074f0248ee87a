#pragma once

#include <cstdint>
#include <memory>

#include "netsqlite/net_sqlite_client.h"
#include "netsqlite/net_sqlite_result_set.h"
#include "netsqlite/types.h"

// The connection layer the store uses: GBK text in and out, ret_t results, no exceptions.
// A failure is {false, kDbConnectionLost} when the service did not answer or could not be
// reached, else {false, 0}.

// Always starts from a fresh context and socket. A refused handshake gives
// {false, kDbServerKeyMismatch} or {false, kDbEncryptionRequired}.
ret_t DbOpen(NetSqliteClient& client, const tstring& endpoint, const tstring& user,
             const tstring& password);
// An empty `sql` fails with {false, 0} and sends nothing. `result` is null on failure.
ret_t DbQuery(NetSqliteClient& client, const tstring& sql,
              std::unique_ptr<NetSqliteResultSet>& result);
ret_t DbExecute(NetSqliteClient& client, const tstring& sql);

// The current row's cell of `column`, converted to GBK.
bool DbGetText(const tstring& column, tstring& text, const NetSqliteResultSet& result);
bool DbGetInt(const tstring& column, const NetSqliteResultSet& result, int32_t& value);

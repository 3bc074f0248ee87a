#pragma once

#include <map>
#include <memory>

#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_client.h"
#include "store/data_type_dictionary.h"

// The database object every store function takes: the client of the database service, the
// category of every known column and the worker-side dictionary. Only the database worker
// thread uses it.
class DbConnection {
public:
    DbConnection() = default;
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // An empty `server_key` opens in clear.
    ret_t open(const tstring& endpoint, const tstring& user, const tstring& password,
               const tstring& server_key = {});
    ret_t query(const tstring& sql, std::unique_ptr<NetSqliteResultSet>& result);
    ret_t execute(const tstring& sql);

    NetSqliteClient& client() { return m_client; }
    DataTypeDictionary& dictionary() { return m_dictionary; }
    const DataTypeDictionary& dictionary() const { return m_dictionary; }

    // A name no data type describes counts as a customer column.
    int32_t category_of(const tstring& name) const;
    void set_category(const tstring& name, int32_t category);
    const std::map<tstring, int32_t>& category_by_name() const { return m_category_by_name; }

private:
    NetSqliteClient m_client;
    std::map<tstring, int32_t> m_category_by_name;
    DataTypeDictionary m_dictionary;
};

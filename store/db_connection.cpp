#include "store/db_connection.h"

ret_t DbConnection::open(const tstring& endpoint, const tstring& user, const tstring& password,
                         const tstring& server_key) {
    m_client.SetServerKey(server_key);
    return DbOpen(m_client, endpoint, user, password);
}

ret_t DbConnection::query(const tstring& sql, std::unique_ptr<NetSqliteResultSet>& result) {
    return DbQuery(m_client, sql, result);
}

ret_t DbConnection::execute(const tstring& sql) {
    return DbExecute(m_client, sql);
}

int32_t DbConnection::category_of(const tstring& name) const {
    auto it = m_category_by_name.find(name);
    return it == m_category_by_name.end() ? kCategoryCustomer : it->second;
}

void DbConnection::set_category(const tstring& name, int32_t category) {
    m_category_by_name[name] = category;
}

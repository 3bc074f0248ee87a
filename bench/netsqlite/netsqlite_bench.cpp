// Round trip of one list page (20 rows of 8 columns) through the client and a local service,
// next to the raw ZeroMQ round trip of the same bytes and SQLite's own time for the query;
// then the result-set parser's throughput.
#include <sqlite3.h>
#include <zmq.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "netsqlite/base64.h"
#include "netsqlite/db_connection.h"
#include "tests/support/test_service.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCustomers = 10000;
constexpr int kBatch = 500;
constexpr int kRounds = 2000;

// The list page's query, as the store composes it, for a page at `offset`.
std::string PageQuery(int offset) {
    return "select tabcustomerinfo.Code, tabcustomerinfo.Name, tabcustomerinfo.Phone, "
           "tabvehicleinfo.Color, tabvehicleinfo.PlateID, tabvehicleinfo.ValidFrom, "
           "tabvehicleinfo.ValidUntil, tabcustomerinfo.CustomerID from tabcustomerinfo LEFT JOIN "
           "tabvehicleinfo on tabcustomerinfo.CustomerID = tabvehicleinfo.CustomerID "
           "order by tabcustomerinfo.CustomerID asc limit " +
           std::to_string(offset) + ", 20";
}
const char* const kColumns[] = {"Code",    "Name",      "Phone",      "Color",
                                "PlateID", "ValidFrom", "ValidUntil", "CustomerID"};

// Median time of one call, in microseconds.
double MedianMicros(int rounds, const std::function<void()>& call) {
    for (int i = 0; i < rounds / 10; ++i) call();  // warm caches and connections
    std::vector<double> samples;
    samples.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        call();
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + rounds / 2, samples.end());
    return samples[rounds / 2];
}

void Fill(NetSqliteClient& client) {
    for (int first = 1; first <= kCustomers; first += kBatch) {
        std::string customers =
            "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) VALUES ";
        std::string vehicles =
            "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil) "
            "VALUES ";
        for (int id = first; id < first + kBatch; ++id) {
            const std::string n = std::to_string(id);
            const char* separator = id == first ? "" : ",";
            customers +=
                separator + ("(" + n + ", 'C" + n + "', '张伟" + n + "', '1380000" + n + "')");
            vehicles += separator + ("('京A" + n + "', " + n + ", '" + std::to_string(id % 5 + 1) +
                                     "', '2026-01-01', '2026-12-31 23:59:59')");
        }
        DbExecute(client, customers);
        DbExecute(client, vehicles);
    }
}

void ReadPage(NetSqliteClient& client, const std::string& sql) {
    std::unique_ptr<NetSqliteResultSet> rows;
    DbQuery(client, sql, rows);
    tstring text;
    while (rows && rows->Next()) {
        for (const char* column : kColumns) DbGetText(column, text, *rows);
    }
}

// A ZeroMQ peer that answers every request with one fixed reply, on its own thread.
class EchoPeer {
public:
    explicit EchoPeer(std::string reply) : m_reply(std::move(reply)) {
        m_endpoint = "tcp://" + testsupport::NextLoopbackAddress() + ":5566";
        zmq_bind(m_socket, m_endpoint.c_str());
        m_thread = std::thread([this] { Serve(); });
    }
    ~EchoPeer() {
        m_stop = true;
        m_thread.join();
        zmq_close(m_socket);
        zmq_ctx_term(m_context);
    }
    const std::string& endpoint() const { return m_endpoint; }

private:
    void Serve() {
        std::vector<char> frame(1 << 16);
        while (!m_stop) {
            zmq_pollitem_t item{m_socket, 0, ZMQ_POLLIN, 0};
            if (zmq_poll(&item, 1, 10) <= 0) continue;
            const int idSize = zmq_recv(m_socket, frame.data(), frame.size(), 0);
            const std::string id(frame.data(), idSize);
            zmq_recv(m_socket, frame.data(), frame.size(), 0);  // delimiter
            zmq_recv(m_socket, frame.data(), frame.size(), 0);  // request
            zmq_send(m_socket, id.data(), id.size(), ZMQ_SNDMORE);
            zmq_send(m_socket, "", 0, ZMQ_SNDMORE);
            zmq_send(m_socket, m_reply.data(), m_reply.size(), 0);
        }
    }

    std::string m_reply;
    void* m_context = zmq_ctx_new();
    void* m_socket = zmq_socket(m_context, ZMQ_ROUTER);
    std::string m_endpoint;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The service's reply to the page query, fetched once.
std::string PageReply(const std::string& endpoint, const std::string& sql) {
    zmq_client client;
    client.Connect(endpoint.c_str());
    std::vector<char> reply;
    int error = 0;
    const std::string open = std::string("open:ledger,ledger2026") + '\0';
    client.Request(open.data(), open.size(), reply, error);
    const std::string query = "query:" + sql + '\0';
    client.Request(query.data(), query.size(), reply, error);
    return std::string(reply.data(), reply.size() - 1);
}

double RawRoundTripMicros(const std::string& sql, const std::string& reply) {
    EchoPeer peer(reply);
    zmq_client client;
    client.Connect(peer.endpoint().c_str());
    const std::string request = "query:" + sql + '\0';
    std::vector<char> buffer;
    int error = 0;
    return MedianMicros(kRounds,
                        [&] { client.Request(request.data(), request.size(), buffer, error); });
}

double SqliteMicros(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const double micros = MedianMicros(kRounds, [db, &sql] {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                sqlite3_column_text(statement, i);
                sqlite3_column_bytes(statement, i);
            }
        }
        sqlite3_finalize(statement);
    });
    sqlite3_close(db);
    return micros;
}

// A payload like a large lookup or export: 20,000 rows of 8 mixed cells.
std::string LargePayload() {
    std::string payload;
    for (int row = 0; row <= 20000; ++row) {
        for (int column = 0; column < 8; ++column) {
            if (column > 0) payload.push_back(',');
            payload += netsqlite::Base64Encode(u8"京A" + std::to_string(row * 8 + column) +
                                               u8" 客户姓名 2026-12-31 23:59:59");
        }
        payload.push_back('\n');
    }
    return payload;
}

void ReportParser() {
    const std::string payload = LargePayload();
    const int rounds = 20;
    const double micros = MedianMicros(rounds, [&payload] {
        NetSqliteResultSet rows;
        rows.Parse(payload.data(), payload.size());
    });
    std::printf("parser: %.1f MB payload parsed in %.1f ms: %.0f MB/s\n", payload.size() / 1e6,
                micros / 1000, payload.size() / micros);
}

void ReportPage(const testsupport::TestService& service, NetSqliteClient& client, int offset) {
    const std::string sql = PageQuery(offset);
    const double page = MedianMicros(kRounds, [&] { ReadPage(client, sql); });
    const double query = MedianMicros(kRounds, [&] { client.Query(sql); });
    const std::string reply = PageReply(service.endpoint(), sql);
    const double raw = RawRoundTripMicros(sql, reply);
    const double sqlite = SqliteMicros(service.databasePath(), sql);

    std::printf("page at offset %d, reply %zu bytes:\n", offset, reply.size());
    std::printf("  DbQuery + DbGetText of every cell  %8.1f us\n", page);
    std::printf("  NetSqliteClient::Query             %8.1f us\n", query);
    std::printf("  raw ZeroMQ round trip, same bytes  %8.1f us   query / raw    = %.2f\n", raw,
                query / raw);
    std::printf("  SQLite alone (prepare, step, read) %8.1f us   query / SQLite = %.2f\n", sqlite,
                query / sqlite);
}

}  // namespace

int main() {
    testsupport::TestService service;
    NetSqliteClient client;
    if (DbOpen(client, service.endpoint(), service.user(), service.password()) != ret_t(true, 0)) {
        std::fprintf(stderr, "cannot open the service:\n%s", service.log().c_str());
        return 1;
    }
    Fill(client);
    std::printf("list page: 20 rows x 8 columns from %d customers, median of %d rounds\n",
                kCustomers, kRounds);
    for (const int offset : {0, 4000}) ReportPage(service, client, offset);
    ReportParser();
    return 0;
}

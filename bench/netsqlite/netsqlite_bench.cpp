// The reply path against its floors, each pair timed in turns so that a busy moment falls on
// both sides: the parser against a bare one-pass Base64 decode of the same payload; a 60 KB
// query reply from the service against an echo peer sending the same bytes (and against that
// peer plus SQLite's own work on the query); and the client's query of that reply against a raw
// ZeroMQ request for it (and against that request plus a one-pass decode of the reply). The
// same for a one-row reply, and that reply to 1, 4 and 16 clients asking at once. A small
// request encrypted against the same in clear.
#include <sqlite3.h>
#include <zmq.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_timing.h"
#include "netsqlite/base64.h"
#include "netsqlite/db_connection.h"
#include "netsqlite/net_sqlite_client.h"
#include "tests/support/test_service.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 15;
constexpr int kCustomers = 2000;
constexpr int kReplyRows = 560;  // about 60 KB of reply

// Seconds per call of each side, one entry per repeat.
struct Pair {
    std::vector<double> project;
    std::vector<double> floor;
};

double SecondsOf(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The two sides take turns call by call, so that a busy moment of the machine lands on both;
// each repeat gives the median call of each side, which a single stalled call does not move.
Pair Interleave(int calls, const std::function<void()>& project,
                const std::function<void()>& floor) {
    for (int i = 0; i < calls; ++i) {  // warm caches and connections
        project();
        floor();
    }
    Pair pair;
    std::vector<double> projectCalls(calls);
    std::vector<double> floorCalls(calls);
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        for (int i = 0; i < calls; ++i) {
            // Each side goes first every other call: the one after may find the peer readier.
            if (i % 2 == 0) projectCalls[i] = SecondsOf(project);
            floorCalls[i] = SecondsOf(floor);
            if (i % 2 == 1) projectCalls[i] = SecondsOf(project);
        }
        pair.project.push_back(benchtiming::Median(projectCalls));
        pair.floor.push_back(benchtiming::Median(floorCalls));
    }
    return pair;
}

using benchtiming::Median;

// `unit` turns seconds per call into the figure printed; the ratio is always project time over
// floor time, so 1.0 is the floor. Returns the median ratio.
double Report(const char* name, const Pair& pair, const char* unit,
              const std::function<double(double)>& figure) {
    std::vector<double> ratios;
    for (size_t i = 0; i < pair.project.size(); ++i)
        ratios.push_back(pair.project[i] / pair.floor[i]);
    std::printf("%s: project %.1f %s, floor %.1f %s, ratio %.2f (spread %.2f-%.2f over %d repeats)\n",
                name, figure(Median(pair.project)), unit, figure(Median(pair.floor)), unit,
                Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), kRepeats);
    return Median(ratios);
}

double Micros(double seconds) {
    return seconds * 1e6;
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

// The least any parser must do: one pass turning every group of four into three bytes.
void DecodeOnePass(const char* p, size_t size, char* out) {
    const char* end = p + size;
    while (end - p >= 4) {
        const uint32_t n = netsqlite::Base64DecodeQuad(p);
        if (n >> 31) {  // a separator or a cell's padded end
            ++p;
            continue;
        }
        out[0] = static_cast<char>(n >> 16);
        out[1] = static_cast<char>(n >> 8);
        out[2] = static_cast<char>(n);
        out += 3;
        p += 4;
    }
}

void ReportParser() {
    const std::string payload = LargePayload();
    std::unique_ptr<char[]> decoded(new char[payload.size()]);
    const Pair pair = Interleave(
        9,
        [&payload] {
            NetSqliteResultSet rows;
            rows.Parse(payload.data(), payload.size());
        },
        [&] { DecodeOnePass(payload.data(), payload.size(), decoded.get()); });
    char name[64];
    std::snprintf(name, sizeof name, "reply parse, %.1f MB", payload.size() / 1e6);
    Report(name, pair, "MB/s",
           [&payload](double seconds) { return payload.size() / seconds / 1e6; });
}

// A ZeroMQ peer that answers every request with one fixed reply, on its own thread.
class EchoPeer {
public:
    explicit EchoPeer(std::string reply) : m_reply(std::move(reply)) {
        // The service's socket options, so that only what the service does differs.
        const int64_t maxSize = kMaxRequestBytes;
        zmq_setsockopt(m_socket, ZMQ_MAXMSGSIZE, &maxSize, sizeof maxSize);
        const int readAhead = 4;
        zmq_setsockopt(m_socket, ZMQ_RCVHWM, &readAhead, sizeof readAhead);
        const int linger = 0;
        zmq_setsockopt(m_socket, ZMQ_LINGER, &linger, sizeof linger);
        do m_endpoint = "tcp://" + testsupport::NextLoopbackAddress() + ":5566";
        while (zmq_bind(m_socket, m_endpoint.c_str()) != 0);
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

// A bare REQ socket: the request, then the reply received and dropped.
class RawRequester {
public:
    explicit RawRequester(const std::string& endpoint) {
        zmq_connect(m_socket, endpoint.c_str());
    }
    ~RawRequester() {
        zmq_close(m_socket);
        zmq_ctx_term(m_context);
    }
    void Ask(const std::string& request, ZmqReply& reply) {
        zmq_send(m_socket, request.data(), request.size(), 0);
        zmq_msg_recv(reply.message(), m_socket, 0);
    }
    void Ask(const std::string& request) {
        ZmqReply reply;
        Ask(request, reply);
    }

private:
    void* m_context = zmq_ctx_new();
    void* m_socket = zmq_socket(m_context, ZMQ_REQ);
};

void Fill(NetSqliteClient& client) {
    std::string customers = "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) VALUES ";
    std::string vehicles =
        "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color, ValidFrom, ValidUntil) VALUES ";
    for (int id = 1; id <= kCustomers; ++id) {
        const std::string n = std::to_string(id);
        const char* separator = id == 1 ? "" : ",";
        customers += separator + ("(" + n + ", 'C" + n + "', '张伟" + n + "', '1380000" + n + "')");
        vehicles += separator + ("('京A" + n + "', " + n + ", '" + std::to_string(id % 5 + 1) +
                                 "', '2026-01-01', '2026-12-31 23:59:59')");
    }
    DbExecute(client, customers);
    DbExecute(client, vehicles);
}

// The list page's query, as the store composes it, for rows enough to make about 60 KB.
std::string ListQuery() {
    return "select tabcustomerinfo.Code, tabcustomerinfo.Name, tabcustomerinfo.Phone, "
           "tabvehicleinfo.Color, tabvehicleinfo.PlateID, tabvehicleinfo.ValidFrom, "
           "tabvehicleinfo.ValidUntil, tabcustomerinfo.CustomerID from tabcustomerinfo LEFT JOIN "
           "tabvehicleinfo on tabcustomerinfo.CustomerID = tabvehicleinfo.CustomerID "
           "order by tabcustomerinfo.CustomerID asc limit 100, " +
           std::to_string(kReplyRows);
}

// The query run in this process on its own connection, every cell read as the service reads it.
class DirectReader {
public:
    DirectReader(const std::string& path, const std::string& sql) {
        sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        // The service's own cache, map and sort settings, so the floor differs only in transport.
        sqlite3_exec(m_db,
                     "PRAGMA cache_size = -65536; PRAGMA mmap_size = 268435456; "
                     "PRAGMA temp_store = MEMORY",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, sql.c_str(), -1, &m_statement, nullptr);
    }
    ~DirectReader() {
        sqlite3_finalize(m_statement);
        sqlite3_close(m_db);
    }
    void Read() {
        while (sqlite3_step(m_statement) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(m_statement); ++i) {
                sqlite3_column_text(m_statement, i);
                sqlite3_column_bytes(m_statement, i);
            }
        }
        sqlite3_reset(m_statement);
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

// One customer, as the edit page asks for it: a reply where the service's own work is all there
// is beyond the transport.
const char kOneCustomerQuery[] =
    "select Code, Name, Phone from tabcustomerinfo where CustomerID = 1000";

std::string SizeText(size_t bytes) {
    return bytes < 10000 ? std::to_string(bytes) + " B" : std::to_string(bytes / 1000) + " KB";
}

void ReportReplyPath(const testsupport::TestService& service, const std::string& sql, int calls) {
    const std::string request = "query:" + sql + '\0';
    RawRequester toService(service.endpoint());
    toService.Ask(std::string("open:ledger,ledger2026") + '\0');
    ZmqReply reply;
    toService.Ask(request, reply);
    EchoPeer echo(std::string(reply.data(), reply.size()));
    RawRequester toEcho(echo.endpoint());

    const std::string size = SizeText(reply.size());
    Report(("reply of " + size + ", service side").c_str(),
           Interleave(calls, [&] { toService.Ask(request); }, [&] { toEcho.Ask(request); }), "us",
           Micros);
    // What the service adds beyond SQLite's own work on the query.
    DirectReader sqlite(service.databasePath(), sql);
    Report(("reply of " + size + ", service side over SQLite alone and the echo peer").c_str(),
           Interleave(
               calls, [&] { toService.Ask(request); },
               [&] {
                   sqlite.Read();
                   toEcho.Ask(request);
               }),
           "us", Micros);

    NetSqliteClient client;
    client.Connect(echo.endpoint().c_str());
    Report(("reply of " + size + ", client side").c_str(),
           Interleave(calls, [&] { client.Query(sql); }, [&] { toEcho.Ask(request); }), "us",
           Micros);
    // The least a client can do: receive the reply and decode it once.
    std::unique_ptr<char[]> decoded(new char[reply.size()]);
    Report(("reply of " + size + ", client side over a raw request and a one-pass decode").c_str(),
           Interleave(
               calls, [&] { client.Query(sql); },
               [&] {
                   ZmqReply echoed;
                   toEcho.Ask(request, echoed);
                   DecodeOnePass(echoed.data(), echoed.size(), decoded.get());
               }),
           "us", Micros);
}

// A small request to a service that admits only encrypted clients, against the same request to
// one that serves in clear.
void ReportEncryption() {
    testsupport::TestService::Options options;
    options.demo = true;
    testsupport::TestService clearService(options);
    options.encrypted = true;
    testsupport::TestService curveService(options);
    NetSqliteClient clearClient, curveClient;
    curveClient.SetServerKey(curveService.publicKey());
    benchtiming::Require(
        DbOpen(clearClient, clearService.endpoint(), clearService.user(),
               clearService.password()) == ret_t(true, 0) &&
            DbOpen(curveClient, curveService.endpoint(), curveService.user(),
                   curveService.password()) == ret_t(true, 0),
        "opening the services");
    const std::string sql = "select Code, Name, Phone from tabcustomerinfo where CustomerID = 1";
    Report("request round trip with CURVE (floor: in clear)",
           Interleave(
               300, [&] { curveClient.Query(sql); }, [&] { clearClient.Query(sql); }),
           "us", Micros);
}

// Sockets that each ask on a thread of their own, all at once; connected once for every round.
class ClientGroup {
public:
    ClientGroup(const std::string& endpoint, int clients, bool open) {
        for (int i = 0; i < clients; ++i) {
            m_sockets.push_back(std::make_unique<RawRequester>(endpoint));
            if (open) m_sockets.back()->Ask(std::string("open:ledger,ledger2026") + '\0');
        }
    }
    // Every socket asks `calls` times; the threads start before the clock does.
    void AskAtOnce(const std::string& request, int calls) {
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (auto& socket : m_sockets)
            threads.emplace_back([&go, &socket, &request, calls] {
                while (!go) std::this_thread::yield();
                for (int i = 0; i < calls; ++i) socket->Ask(request);
            });
        go = true;
        for (std::thread& thread : threads) thread.join();
    }

private:
    std::vector<std::unique_ptr<RawRequester>> m_sockets;
};

// Small requests from several clients at once, against an echo peer giving the same reply, in
// short rounds taken in turns; the goal is 1.3 times the echo peer's time at most.
void ReportManyClients(const testsupport::TestService& service, const std::string& sql) {
    bool met = true;
    const std::string request = "query:" + sql + '\0';
    RawRequester probe(service.endpoint());
    probe.Ask(std::string("open:ledger,ledger2026") + '\0');
    ZmqReply reply;
    probe.Ask(request, reply);
    EchoPeer echo(std::string(reply.data(), reply.size()));
    constexpr int kCallsPerRound = 800;
    for (int clients : {1, 4, 16}) {
        ClientGroup toService(service.endpoint(), clients, true);
        ClientGroup toEcho(echo.endpoint(), clients, false);
        const int calls = kCallsPerRound / clients;
        const Pair pair = Interleave(
            8, [&] { toService.AskAtOnce(request, calls); },
            [&] { toEcho.AskAtOnce(request, calls); });
        const std::string name = "one-row reply, " + std::to_string(clients) +
                                 (clients == 1 ? " client" : " clients at once");
        met &= Report(name.c_str(), pair, "us per call",
                      [](double seconds) { return Micros(seconds / kCallsPerRound); }) <= 1.3;
    }
    std::printf("goal (one-row reply within 1.3x of the echo peer at 1, 4 and 16 clients): %s\n",
                met ? "met" : "NOT met");
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
    ReportParser();
    ReportReplyPath(service, ListQuery(), 50);
    ReportReplyPath(service, kOneCustomerQuery, 200);
    ReportManyClients(service, kOneCustomerQuery);
    ReportEncryption();
    return 0;
}

// insert_multi_rows over 10,000 rows in batches of 500, half new customers and vehicles, half
// updates of stored ones, next to two floors of the very writes it sent (without its lookups):
// replayed raw over ZeroMQ against an identical database, and run by SQLite alone on one, each a
// transaction made durable as the service makes it. All on fresh databases, in turn. Then what
// the search's triggers cost those writes in SQLite alone.
#include <sqlite3.h>
#include <zmq.h>

#include <filesystem>

#include "bench/store/bench_support.h"
#include "netsqlite/text_codec.h"
#include "service/schema.h"
#include "store/step_timer.h"

namespace {

constexpr int kRows = 10000;
constexpr int kBatch = 500;
constexpr int kRepeats = 5;
constexpr double kGoalMs = 600;

const char* const kStoredRows =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
    "INSERT INTO tabcustomerinfo (CustomerID, Code, Name, Phone) "
    "SELECT i, 'U' || i, '老客户' || i, '139' || i FROM n";
const char* const kStoredVehicles =
    "INSERT INTO tabvehicleinfo (PlateID, CustomerID, Color) "
    "SELECT 'UP' || CustomerID, CustomerID, '1' FROM tabcustomerinfo";

void seed(DbConnection& db) {
    require(db.execute(kStoredRows), "seeding customers");
    require(db.execute(kStoredVehicles), "seeding vehicles");
}

std::vector<row_info_t> batch(int first) {
    std::vector<row_info_t> rows(kBatch);
    for (int r = 0; r < kBatch; ++r) {
        const int k = first + r;
        const tstring n = std::to_string(k % 2 == 0 ? k : k / 2 + 1);
        const bool fresh = k % 2 == 0;
        rows[r].customer.values = {{"Code", (fresh ? "N" : "U") + n},
                                   {"Name", (fresh ? "新客户" : "改名") + n}};
        rows[r].vehicle.values = {{"PlateID", (fresh ? "NP" : "UP") + n},
                                  {"Color", fresh ? "3" : "5"}};
    }
    return rows;
}

void import_all(DbConnection& db) {
    for (int first = 0; first < kRows; first += kBatch) {
        std::vector<row_info_t> rows = batch(first);
        std::vector<insert_result_t> results;
        require(insert_multi_rows(db, rows, results), "insert_multi_rows");
    }
}

double store_import_ms() {
    testsupport::TestService svc;
    DbConnection db;
    connect(db, svc, svc.endpoint());
    seed(db);
    return benchtiming::MillisOf([&] { import_all(db); });
}

// One REQ socket, one request at a time, replies read and dropped.
double raw_replay_ms(const std::vector<std::string>& requests) {
    testsupport::TestService svc;
    {
        DbConnection seeder;
        connect(seeder, svc, svc.endpoint());
        seed(seeder);
    }
    void* context = zmq_ctx_new();
    void* socket = zmq_socket(context, ZMQ_REQ);
    zmq_connect(socket, svc.endpoint().c_str());
    auto round_trip = [socket](const std::string& text) {
        zmq_send(socket, text.c_str(), text.size() + 1, 0);
        zmq_msg_t reply;
        zmq_msg_init(&reply);
        zmq_msg_recv(&reply, socket, 0);
        zmq_msg_close(&reply);
    };
    round_trip("open:" + svc.user() + "," + svc.password());
    const double ms = benchtiming::MillisOf([&] {
        for (const std::string& request : requests) round_trip(request);
    });
    zmq_close(socket);
    zmq_ctx_term(context);
    return ms;
}

// A seeded database file as a new service makes it, for SQLite alone.
class SeededFile {
public:
    SeededFile() {
        testsupport::TestService maker;
        maker.stop();
        std::filesystem::copy_file(maker.databasePath(), m_folder.file("copy.db"));
    }
    std::string path() const { return m_folder.file("copy.db"); }

private:
    ScratchDir m_folder;
};

void exec_or_end(sqlite3* file, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(file, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
    std::fprintf(stderr, "sqlite: %s\n", message ? message : sqlite3_errmsg(file));
    std::exit(1);
}

// SQLite alone runs each write as its own transaction, durable as the service's are; without
// `search`, the database has no search triggers to keep, with it the search text is made anew
// before each commit.
double sqlite_alone_ms(const SeededFile& seeded, const std::vector<std::string>& writes,
                       bool search) {
    ScratchDir folder;
    const std::string path = folder.file("alone.db");
    std::filesystem::copy_file(seeded.path(), path);
    sqlite3* file = nullptr;
    sqlite3_open(path.c_str(), &file);
    // The service's settings, so that the floor differs only in what the service adds.
    exec_or_end(file, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; PRAGMA cache_size = "
                      "-65536; PRAGMA mmap_size = 2147418112; PRAGMA temp_store = MEMORY");
    exec_or_end(file, GbkToUtf8(kStoredRows));
    exec_or_end(file, GbkToUtf8(kStoredVehicles));
    if (!search) {
        sqlite3_stmt* triggers = nullptr;
        sqlite3_prepare_v2(file, "SELECT name FROM sqlite_master WHERE type = 'trigger'", -1,
                           &triggers, nullptr);
        std::string drops;
        while (sqlite3_step(triggers) == SQLITE_ROW)
            drops += std::string("DROP TRIGGER ") +
                     reinterpret_cast<const char*>(sqlite3_column_text(triggers, 0)) + ";";
        sqlite3_finalize(triggers);
        exec_or_end(file, drops);
    }
    const double ms = benchtiming::MillisOf([&] {
        for (const std::string& write : writes) {
            exec_or_end(file, "BEGIN");  // a request is one transaction, whatever it holds
            exec_or_end(file, write.substr(write.find(':') + 1));
            if (search) exec_or_end(file, SearchTextRefresh());  // as the service does before it commits
            exec_or_end(file, "COMMIT");
        }
    });
    sqlite3_close(file);
    return ms;
}

// The writes among the recorded requests: what storing the rows costs at the database. A
// write that carries its re-check along is replayed without it.
std::vector<std::string> writes_of(const std::vector<std::string>& requests) {
    const std::string query = "query:";
    std::vector<std::string> writes;
    for (const std::string& request : requests) {
        if (request.rfind("nonquery:", 0) == 0) writes.push_back(request);
        if (request.rfind(query, 0) == 0 && request.find("INSERT INTO") != std::string::npos) {
            const size_t recheck = request.find("; SELECT ");
            writes.push_back("nonquery:" + request.substr(query.size(), recheck - query.size()));
        }
    }
    return writes;
}

}  // namespace

int main() {
    StepTimer::set_output(nullptr);

    // The requests, recorded on a first service.
    testsupport::TestService recorded_svc;
    StallingProxy recorder(recorded_svc);
    std::vector<std::string> requests;
    {
        DbConnection db;
        connect(db, recorded_svc, recorder.endpoint());
        seed(db);
        recorder.take_requests();
        import_all(db);
        requests = recorder.take_requests();
    }
    const std::vector<std::string> writes = writes_of(requests);

    std::printf("insert_multi_rows: %d rows in batches of %d, half new, half updates\n", kRows,
                kBatch);
    std::printf("store_import_bench round trips: %zu requests, %.4f per row (%zu writes)\n",
                requests.size(), double(requests.size()) / kRows, writes.size());
    const SeededFile seeded;
    std::vector<double> project, replay, alone, bare;
    for (int r = 0; r < kRepeats; ++r) {
        // Each side starts the round in turn.
        const std::function<void()> sides[] = {
            [&] { project.push_back(store_import_ms()); },
            [&] { replay.push_back(raw_replay_ms(writes)); },
            [&] { alone.push_back(sqlite_alone_ms(seeded, writes, true)); },
            [&] { bare.push_back(sqlite_alone_ms(seeded, writes, false)); },
        };
        for (size_t s = 0; s < std::size(sides); ++s) sides[(r + s) % std::size(sides)]();
    }
    benchtiming::Report("store_import_bench (floor: the writes replayed through the service)",
                        project, replay);
    benchtiming::Report("store_import_bench (floor: the writes in SQLite alone)", project, alone);
    benchtiming::Report(
        "store_import_bench search upkeep (SQLite alone with the search's triggers; floor: "
        "without them)",
        alone, bare);
    const double project_ms = benchtiming::Median(project);
    std::printf("store_import_bench goal: project under %.0f ms, %s\n", kGoalMs,
                project_ms < kGoalMs ? "met" : "not met");
    return 0;
}

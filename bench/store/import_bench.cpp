// insert_multi_rows over 10,000 rows in batches of 500, half new customers and vehicles, half
// updates of stored ones, next to the floor: the very statements it sent, replayed raw over
// ZeroMQ against an identical database.
#include <zmq.h>

#include <algorithm>

#include "bench/store/bench_support.h"
#include "store/step_timer.h"

namespace {

constexpr int kRows = 10000;
constexpr int kBatch = 500;
constexpr int kRounds = 2;

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
    return elapsed_ms([&] { import_all(db); });
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
    const double ms = elapsed_ms([&] {
        for (const std::string& request : requests) round_trip(request);
    });
    zmq_close(socket);
    zmq_ctx_term(context);
    return ms;
}

}  // namespace

int main() {
    StepTimer::set_output(nullptr);

    // The statements, recorded on a first service.
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

    // Alternating rounds on fresh services, best of each: the machine is shared.
    double store_ms = 1e18;
    double raw_ms = 1e18;
    for (int round = 0; round < kRounds; ++round) {
        store_ms = std::min(store_ms, store_import_ms());
        raw_ms = std::min(raw_ms, raw_replay_ms(requests));
    }

    std::printf("insert_multi_rows: %d rows in batches of %d, %zu round trips\n", kRows, kBatch,
                requests.size());
    std::printf("  store:      %8.0f ms  %8.0f rows/s\n", store_ms, kRows * 1000.0 / store_ms);
    std::printf("  raw replay: %8.0f ms  %8.0f rows/s\n", raw_ms, kRows * 1000.0 / raw_ms);
    std::printf("  store / raw time: %.2f\n", store_ms / raw_ms);
    return 0;
}

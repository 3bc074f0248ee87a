// netsqlited: the database service. Keeps one SQLite database and answers the client's
// "open", "query" and "nonquery" requests over ZeroMQ at tcp://<address>:5566.
#include <malloc.h>
#include <zmq.h>

#include <csignal>
#include <cstdio>

#include "service/backup.h"
#include "service/database.h"
#include "service/request_handler.h"
#include "service/server.h"
#include "service/server_keys.h"
#include "service/service_options.h"

namespace {

// Read-only queries running beside the writer; a machine of two cores gains nothing from more.
constexpr int kReaders = 2;
constexpr int kMappedFromBytes = 256 << 10;

std::atomic<bool> g_stopRequested{false};

void RequestStop(int) {
    g_stopRequested = true;
}

// No SA_RESTART: a signal wakes the waiting poll at once.
void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int PrintPublicKey(const std::string& database) {
    std::string error;
    const auto keys = LoadOrCreateServerKeys(database, error);
    if (!keys) {
        std::fprintf(stderr, "netsqlited: no key pair: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", keys->publicKey.c_str());
    return 0;
}

// Says at start how clients are admitted; false when the key pair cannot be had.
bool AdmitClients(Server& server, const ServiceOptions& options) {
    if (options.plain) {
        std::printf("netsqlited: --plain: clients are admitted in clear, unencrypted: passwords "
                    "and records can be read on the network\n");
        return true;
    }
    std::string error;
    const auto keys = LoadOrCreateServerKeys(options.database, error);
    if (!keys || !server.RequireCurve(*keys)) {
        std::fprintf(stderr, "netsqlited: no key pair: %s\n",
                     keys ? zmq_strerror(zmq_errno()) : error.c_str());
        return false;
    }
    std::printf("netsqlited: encrypted; desks need ServerKey=%s in section Db of wlsetting.ini\n",
                keys->publicKey.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseServiceOptions(argc, argv);
    if (!options) return 2;
    if (options->check) return CheckDatabaseFile(options->database);
    if (!options->restoreFrom.empty())
        return RestoreDatabaseFile(options->restoreFrom, options->database);
    if (options->printPublicKey) return PrintPublicKey(options->database);

    const DatabaseInUse inUse(options->database);
    std::string error;
    ServiceConnections connections;
    connections.writer = Database::Open(options->database, options->demo, error);
    if (!connections.writer) {
        std::fprintf(stderr, "netsqlited: cannot open %s: %s\n", options->database.c_str(),
                     error.c_str());
        return 1;
    }
    connections.quick = Database::OpenReader(options->database, error);
    for (int i = 0; i < kReaders && error.empty(); ++i)
        connections.readers.push_back(Database::OpenReader(options->database, error));
    if (!error.empty()) {
        std::fprintf(stderr, "netsqlited: cannot read %s: %s\n", options->database.c_str(),
                     error.c_str());
        return 1;
    }
    for (Database* database : connections.All()) {
        database->SetLimits(options->limits);
        database->InterruptWhen(&g_stopRequested);
    }
    // Large buffers are mapped one by one, so each goes back to the system when freed.
    mallopt(M_MMAP_THRESHOLD, kMappedFromBytes);

    RequestHandler handler(options->user, options->password);
    Server server(handler, std::move(connections));
    if (!AdmitClients(server, *options)) return 1;
    const std::string endpoint = EndpointFor(options->address);
    if (!server.Bind(endpoint, error)) {
        std::fprintf(stderr, "netsqlited: cannot listen on %s: %s\n", endpoint.c_str(),
                     error.c_str());
        return 1;
    }
    InstallStopHandlers();
    std::printf("netsqlited: listening on %s, database %s\n", endpoint.c_str(),
                options->database.c_str());
    std::fflush(stdout);

    std::optional<BackupSchedule> backups;
    if (!options->backup.folder.empty()) backups.emplace(options->database, options->backup);
    server.Run(g_stopRequested);
    backups.reset();
    std::printf("netsqlited: stopped\n");
    return 0;
}

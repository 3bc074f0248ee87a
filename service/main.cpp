// netsqlited: the database service. Keeps one SQLite database and answers the client's
// "open", "query" and "nonquery" requests over ZeroMQ at tcp://<address>:5566.
#include <malloc.h>

#include <csignal>
#include <cstdio>

#include "service/backup.h"
#include "service/database.h"
#include "service/request_handler.h"
#include "service/server.h"
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

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseServiceOptions(argc, argv);
    if (!options) return 2;
    if (options->check) return CheckDatabaseFile(options->database);
    if (!options->restoreFrom.empty())
        return RestoreDatabaseFile(options->restoreFrom, options->database);

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

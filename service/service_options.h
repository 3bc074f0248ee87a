#pragma once

#include <optional>
#include <string>

#include "service/backup.h"
#include "service/database.h"

struct ServiceOptions {
    std::string address = "127.0.0.1";
    std::string database;
    std::string user = "ledger";
    std::string password = "ledger2026";
    bool demo = false;
    bool plain = false;           // serve in clear, without the key pair
    bool printPublicKey = false;  // print the public key and end
    Database::Limits limits;
    BackupOptions backup;
    bool check = false;         // only check the database and report
    std::string restoreFrom;  // only replace the database with this backup
};

// Parses the command line, and first the lines "name = value" (or a bare "name") of a
// `--config FILE` as if they were the options "--name=value" given before the others; prints the reason (or the usage) and returns nothing when the
// service should not start.
std::optional<ServiceOptions> ParseServiceOptions(int argc, char** argv);

// The ZeroMQ endpoint the service binds and the client connects to.
std::string EndpointFor(const std::string& address);

#include "service/service_options.h"

#include <getopt.h>

#include <cstdio>

namespace {

constexpr char kUsage[] =
    "usage: netsqlited --database FILE [--address ADDR] [--user NAME] [--password TEXT] "
    "[--demo]\n"
    "  --address ADDR   listen on tcp://ADDR:5566 (default 127.0.0.1)\n"
    "  --database FILE  the SQLite database; created and seeded when new\n"
    "  --user NAME      user name an \"open\" must present (default ledger)\n"
    "  --password TEXT  password an \"open\" must present (default ledger2026)\n"
    "  --demo           also put demo customers and vehicles into a new database\n";

enum OptionId { kAddress = 'a', kDatabase = 'd', kUser = 'u', kPassword = 'p', kDemo = 'D' };

}  // namespace

std::optional<ServiceOptions> ParseServiceOptions(int argc, char** argv) {
    static const option kOptions[] = {
        {"address", required_argument, nullptr, kAddress},
        {"database", required_argument, nullptr, kDatabase},
        {"user", required_argument, nullptr, kUser},
        {"password", required_argument, nullptr, kPassword},
        {"demo", no_argument, nullptr, kDemo},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    ServiceOptions options;
    optind = 1;
    for (int id; (id = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
        switch (id) {
            case kAddress:
                options.address = optarg;
                break;
            case kDatabase:
                options.database = optarg;
                break;
            case kUser:
                options.user = optarg;
                break;
            case kPassword:
                options.password = optarg;
                break;
            case kDemo:
                options.demo = true;
                break;
            default:
                std::fputs(kUsage, stderr);
                return std::nullopt;
        }
    }
    if (optind < argc || options.database.empty() || options.address.empty()) {
        std::fputs(kUsage, stderr);
        return std::nullopt;
    }
    return options;
}

std::string EndpointFor(const std::string& address) {
    return "tcp://" + address + ":5566";
}

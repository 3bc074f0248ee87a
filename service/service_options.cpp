#include "service/service_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr char kUsage[] =
    "usage: netsqlited --database FILE [--address ADDR] [--user NAME] [--password TEXT] "
    "[--demo] [--request-timeout-ms N] [--max-reply-bytes N]\n"
    "  --address ADDR   listen on tcp://ADDR:5566 (default 127.0.0.1)\n"
    "  --database FILE  the SQLite database; created and seeded when new\n"
    "  --user NAME      user name an \"open\" must present (default ledger)\n"
    "  --password TEXT  password an \"open\" must present (default ledger2026)\n"
    "  --demo           also put demo customers and vehicles into a new database\n"
    "  --request-timeout-ms N  answer a request within N ms of its arrival (default %d)\n"
    "  --max-reply-bytes N     refuse a reply that would be larger (default 64 MiB)\n";

enum OptionId {
    kAddress = 'a',
    kDatabase = 'd',
    kUser = 'u',
    kPassword = 'p',
    kDemo = 'D',
    kRequestTimeout = 't',
    kMaxReply = 'r',
};

// A whole positive decimal number that fits `limit`.
template <typename Number>
bool ParsePositive(const char* text, Number& value) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || *text == '-' || parsed == 0 ||
        parsed > static_cast<unsigned long long>(std::numeric_limits<Number>::max()))
        return false;
    value = static_cast<Number>(parsed);
    return true;
}

std::nullopt_t Usage() {
    std::fprintf(stderr, kUsage, kDefaultRequestTimeoutMs);
    return std::nullopt;
}

}  // namespace

std::optional<ServiceOptions> ParseServiceOptions(int argc, char** argv) {
    static const option kOptions[] = {
        {"address", required_argument, nullptr, kAddress},
        {"database", required_argument, nullptr, kDatabase},
        {"user", required_argument, nullptr, kUser},
        {"password", required_argument, nullptr, kPassword},
        {"demo", no_argument, nullptr, kDemo},
        {"request-timeout-ms", required_argument, nullptr, kRequestTimeout},
        {"max-reply-bytes", required_argument, nullptr, kMaxReply},
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
            case kRequestTimeout:
                if (!ParsePositive(optarg, options.limits.requestTimeoutMs)) return Usage();
                break;
            case kMaxReply:
                if (!ParsePositive(optarg, options.limits.maxReplyBytes)) return Usage();
                break;
            default:
                return Usage();
        }
    }
    if (optind < argc || options.database.empty() || options.address.empty()) return Usage();
    return options;
}

std::string EndpointFor(const std::string& address) {
    return "tcp://" + address + ":5566";
}

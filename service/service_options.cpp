#include "service/service_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: netsqlited --database FILE [--address ADDR] [--user NAME] [--password TEXT] "
    "[--demo] [--plain] [--request-timeout-ms N] [--max-reply-bytes N] [--config FILE]\n"
    "       [--backup-dir DIR [--backup-every DURATION] [--backup-keep N]]\n"
    "       netsqlited --database FILE --check | --restore BACKUP | --print-public-key\n"
    "  --address ADDR   listen on tcp://ADDR:5566 (default 127.0.0.1)\n"
    "  --database FILE  the SQLite database; created and seeded when new\n"
    "  --user NAME      user name an \"open\" must present (default ledger)\n"
    "  --password TEXT  password an \"open\" must present (default ledger2026)\n"
    "  --demo           also put demo customers and vehicles into a new database\n"
    "  --plain          admit clients in clear, unencrypted (default: only clients that\n"
    "                   know the public key kept in FILE.key, encrypted)\n"
    "  --print-public-key  print the public key desks need (Db/ServerKey) and end\n"
    "  --request-timeout-ms N  answer a request within N ms of its arrival (default %d)\n"
    "  --max-reply-bytes N     refuse a reply that would be larger (default 64 MiB)\n"
    "  --config FILE    lines \"name = value\" taken as options --name=value, before the others\n"
    "  --backup-dir DIR        take backups of the database into DIR while serving\n"
    "  --backup-every DURATION between backups: a number with ms, s, m, h or d (default 1h)\n"
    "  --backup-keep N         remove the oldest backups beyond N (default 48)\n"
    "  --check          check the database for damage and report, without serving\n"
    "  --restore BACKUP replace the database of a stopped service with a checked backup,\n"
    "                   keeping the replaced file beside it\n";

enum OptionId {
    kAddress = 'a',
    kDatabase = 'd',
    kUser = 'u',
    kPassword = 'p',
    kDemo = 'D',
    kPlain = 'P',
    kPrintPublicKey = 'k',
    kRequestTimeout = 't',
    kMaxReply = 'r',
    kConfig = 'c',
    kBackupDir = 'B',
    kBackupEvery = 'E',
    kBackupKeep = 'K',
    kCheck = 'C',
    kRestore = 'R',
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

// "90s", "15m", "1h", "2d", "500ms"; a bare number is seconds.
bool ParseDuration(const char* text, std::chrono::milliseconds& duration) {
    static const std::pair<const char*, long long> kUnits[] = {
        {"ms", 1}, {"s", 1000}, {"", 1000}, {"m", 60'000}, {"h", 3'600'000}, {"d", 86'400'000}};
    const char* unit = text + std::strspn(text, "0123456789");
    const std::string number(text, unit);
    long long count = 0;
    if (!ParsePositive(number.c_str(), count)) return false;
    for (const auto& [name, millis] : kUnits) {
        if (std::strcmp(unit, name) != 0) continue;
        if (count > std::numeric_limits<long long>::max() / millis) return false;
        duration = std::chrono::milliseconds(count * millis);
        return true;
    }
    return false;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The options a config file stands for; nothing (with the reason printed) when it cannot be read.
std::optional<std::vector<std::string>> ConfigOptions(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "netsqlited: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    std::vector<std::string> options;
    for (std::string line; std::getline(in, line);) {
        line = Trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        options.push_back("--" + (equals == std::string::npos
                                      ? line
                                      : Trimmed(line.substr(0, equals)) + "=" +
                                            Trimmed(line.substr(equals + 1))));
    }
    return options;
}

// The command line with the options of its --config file put first.
std::optional<std::vector<std::string>> WithConfigOptions(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string path;
        if (argument == "--config" && i + 1 < argc) path = argv[i + 1];
        else if (argument.rfind("--config=", 0) == 0) path = argument.substr(std::strlen("--config="));
        else continue;
        const auto options = ConfigOptions(path);
        if (!options) return std::nullopt;
        arguments.insert(arguments.begin() + 1, options->begin(), options->end());
        break;
    }
    return arguments;
}

std::nullopt_t Usage() {
    std::fprintf(stderr, kUsage, kDefaultRequestTimeoutMs);
    return std::nullopt;
}

std::optional<ServiceOptions> ParseArguments(int argc, char** argv) {
    static const option kOptions[] = {
        {"address", required_argument, nullptr, kAddress},
        {"database", required_argument, nullptr, kDatabase},
        {"user", required_argument, nullptr, kUser},
        {"password", required_argument, nullptr, kPassword},
        {"demo", no_argument, nullptr, kDemo},
        {"plain", no_argument, nullptr, kPlain},
        {"print-public-key", no_argument, nullptr, kPrintPublicKey},
        {"request-timeout-ms", required_argument, nullptr, kRequestTimeout},
        {"max-reply-bytes", required_argument, nullptr, kMaxReply},
        {"config", required_argument, nullptr, kConfig},
        {"backup-dir", required_argument, nullptr, kBackupDir},
        {"backup-every", required_argument, nullptr, kBackupEvery},
        {"backup-keep", required_argument, nullptr, kBackupKeep},
        {"check", no_argument, nullptr, kCheck},
        {"restore", required_argument, nullptr, kRestore},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    ServiceOptions options;
    bool everyGiven = false;
    bool keepGiven = false;
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
            case kPlain:
                options.plain = true;
                break;
            case kPrintPublicKey:
                options.printPublicKey = true;
                break;
            case kRequestTimeout:
                if (!ParsePositive(optarg, options.limits.requestTimeoutMs)) return Usage();
                break;
            case kMaxReply:
                if (!ParsePositive(optarg, options.limits.maxReplyBytes)) return Usage();
                break;
            case kConfig:  // read before the others
                break;
            case kBackupDir:
                options.backup.folder = optarg;
                break;
            case kBackupEvery:
                if (!ParseDuration(optarg, options.backup.every)) return Usage();
                everyGiven = true;
                break;
            case kBackupKeep:
                if (!ParsePositive(optarg, options.backup.keep)) return Usage();
                keepGiven = true;
                break;
            case kCheck:
                options.check = true;
                break;
            case kRestore:
                options.restoreFrom = optarg;
                break;
            default:
                return Usage();
        }
    }
    const bool backupWithoutFolder = options.backup.folder.empty() && (everyGiven || keepGiven);
    if (optind < argc || options.database.empty() || options.address.empty() ||
        backupWithoutFolder || (options.check && !options.restoreFrom.empty()))
        return Usage();
    return options;
}

}  // namespace

std::optional<ServiceOptions> ParseServiceOptions(int argc, char** argv) {
    auto arguments = WithConfigOptions(argc, argv);
    if (!arguments) return std::nullopt;
    std::vector<char*> pointers;
    for (std::string& argument : *arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return ParseArguments(static_cast<int>(arguments->size()), pointers.data());
}

std::string EndpointFor(const std::string& address) {
    return "tcp://" + address + ":5566";
}

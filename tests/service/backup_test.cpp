// Backups the service takes while it serves, and checking and restoring a database.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/service/raw_peer.h"
#include "tests/support/run_command.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SystemClock = std::chrono::system_clock;

namespace {

constexpr auto kWaitLimit = 10s;

// The time in a backup's name "whitelist-20261207T203000.123Z.db".
SystemClock::time_point BackupTime(const std::string& name) {
    std::tm utc{};
    const char* rest = strptime(name.c_str() + name.find('-') + 1, "%Y%m%dT%H%M%S", &utc);
    return SystemClock::from_time_t(timegm(&utc)) + std::chrono::milliseconds(std::atoi(rest + 1));
}

std::vector<std::string> Backups(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("whitelist-", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == "Z.db")
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Waits (bounded) until `done` holds.
bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

testsupport::CommandResult Netsqlited(const std::string& arguments) {
    return testsupport::RunCommand(std::string(LEDGERDESK_NETSQLITED) + " " + arguments);
}

testsupport::TestService::Options BackingUp(const fs::path& folder, const std::string& every,
                                            const std::string& keep) {
    testsupport::TestService::Options options;
    options.arguments = {"--backup-dir", folder.string(), "--backup-every", every, "--backup-keep", keep};
    return options;
}

std::string Insert(const std::string& code) {
    return "nonquery:INSERT INTO tabcustomerinfo (Code) VALUES ('" + code + "')";
}

struct Acknowledged {
    std::string code;
    SystemClock::time_point at;
};

TEST(Backup, HoldsEveryWriteAcknowledgedBeforeItBeganWhileWritersRun) {
    ScratchDir backups;
    testsupport::TestService service(BackingUp(backups.path(), "100ms", "100"));
    constexpr int kWriters = 3;
    std::atomic<bool> stop{false};
    std::vector<std::vector<Acknowledged>> acknowledged(kWriters);
    std::vector<std::string> refused(kWriters);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            RawPeer peer(service.endpoint());
            if (!peer.Open()) return;
            for (int n = 0; !stop && n < 100000; ++n) {
                const std::string code = "w" + std::to_string(w) + "-" + std::to_string(n);
                const auto reply = peer.Ask(Insert(code));
                if (reply != std::optional<std::string>("success:")) {
                    refused[w] = reply.value_or("no reply");
                    return;
                }
                acknowledged[w].push_back({code, SystemClock::now()});
            }
        });
    }
    const bool threeTaken = WaitFor([&] { return Backups(backups.path()).size() >= 3; });
    stop = true;
    for (std::thread& writer : writers) writer.join();
    ASSERT_TRUE(threeTaken) << service.log();
    EXPECT_EQ(refused, std::vector<std::string>(kWriters)) << service.log();

    for (const std::string& name : Backups(backups.path())) {
        const std::string path = backups.file(name);
        EXPECT_EQ(FileColumn(path, "PRAGMA integrity_check"), Values{"ok"}) << name;
        const Values codes = FileColumn(path, "SELECT Code FROM tabcustomerinfo");
        const std::set<std::string> present(codes.begin(), codes.end());
        std::vector<std::string> missing;
        for (const auto& writes : acknowledged) {
            for (const Acknowledged& write : writes) {
                if (write.at >= BackupTime(name)) break;
                if (!present.count(write.code)) missing.push_back(write.code);
            }
        }
        EXPECT_EQ(missing, std::vector<std::string>()) << name;
    }
}

TEST(Backup, RotationKeepsTheNewestAndLeavesOtherFilesAlone) {
    ScratchDir backups;
    WriteBytes(backups.file("notes.txt"), "kept");
    WriteBytes(backups.file("whitelist-before-upgrade.db"), "kept");
    testsupport::TestService service(BackingUp(backups.path(), "20ms", "2"));
    std::string first;
    ASSERT_TRUE(WaitFor([&] {
        if (first.empty() && !Backups(backups.path()).empty()) first = Backups(backups.path())[0];
        return !first.empty() && Backups(backups.path()).size() >= 2 &&
               Backups(backups.path())[0] > first;
    })) << service.log();
    service.stop();
    EXPECT_EQ(Backups(backups.path()).size(), 2u) << service.log();
    EXPECT_EQ(ReadBytes(backups.file("whitelist-before-upgrade.db")), "kept");
    EXPECT_EQ(ReadBytes(backups.file("notes.txt")), "kept");
    EXPECT_EQ(backups.fileCount(), 4u);  // no partial copy left behind
}

TEST(Restore, BringsBackExactlyTheBackupKeepsTheReplacedFileAndWaitsForTheServiceToStop) {
    ScratchDir backups;
    testsupport::TestService service(BackingUp(backups.path(), "50ms", "100"));
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open());
    ASSERT_EQ(peer.Ask(Insert("before")), "success:");
    const auto before = SystemClock::now();
    std::string backup;
    ASSERT_TRUE(WaitFor([&] {
        const auto names = Backups(backups.path());
        if (!names.empty() && BackupTime(names.back()) > before) backup = backups.file(names.back());
        return !backup.empty();
    })) << service.log();
    ASSERT_EQ(peer.Ask(Insert("after")), "success:");

    const std::string restore = "--database " + service.databasePath() + " --restore " + backup;
    const testsupport::CommandResult refused = Netsqlited(restore);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("in use by a running service"), std::string::npos) << refused.output;

    service.stop();
    const std::string backupBytes = ReadBytes(backup);
    const testsupport::CommandResult restored = Netsqlited(restore);
    ASSERT_EQ(restored.status, 0) << restored.output;
    EXPECT_EQ(ReadBytes(service.databasePath()), backupBytes);
    std::string replaced;
    for (const auto& entry : fs::directory_iterator(fs::path(service.databasePath()).parent_path())) {
        if (entry.path().filename().string().rfind("whitelist.db.replaced-", 0) == 0)
            replaced = entry.path().string();
    }
    ASSERT_FALSE(replaced.empty()) << restored.output;
    EXPECT_EQ(FileColumn(replaced, "SELECT Code FROM tabcustomerinfo ORDER BY Code"),
              (Values{"after", "before"}));

    service.start();
    RawPeer again(service.endpoint());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Ask("query:SELECT Code FROM tabcustomerinfo"),
              "success:" + Line({"Code"}) + Line({"before"}));
}

TEST(Check, ReportsADamagedFileWhichRestoreRefuses) {
    testsupport::TestService service;
    service.stop();
    ScratchDir scratch;
    const std::string damaged = scratch.file("damaged.db");
    std::string bytes = ReadBytes(service.databasePath());
    ASSERT_GT(bytes.size(), 3 * 4096u);
    bytes.replace(2 * 4096, 4096, 4096, '\xff');
    WriteBytes(damaged, bytes);

    EXPECT_EQ(Netsqlited("--check --database " + service.databasePath()).status, 0);
    const testsupport::CommandResult check = Netsqlited("--check --database " + damaged);
    EXPECT_EQ(check.status, 1) << check.output;
    const std::string database = ReadBytes(service.databasePath());
    const testsupport::CommandResult restore = Netsqlited("--database " + service.databasePath() + " --restore " + damaged);
    EXPECT_EQ(restore.status, 1) << restore.output;
    EXPECT_EQ(ReadBytes(service.databasePath()), database);
}

// A backup that cannot be written: a folder that cannot be made, or a disk that fills up
// (a file size limit on the service stands in for it).
struct FailedBackupCase {
    const char* name;
    bool folderUnderAFile;
    rlim_t fileSizeLimit;
};

class FailedBackup : public testing::TestWithParam<FailedBackupCase> {};

// A database larger than the file size limit, made before the limit applies.
std::string BigDatabase(const ScratchDir& scratch) {
    testsupport::TestService seeded;
    seeded.stop();
    const std::string path = scratch.file("whitelist.db");
    fs::copy_file(seeded.databasePath(), path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE padding (bytes BLOB); INSERT INTO padding VALUES (zeroblob(200000))",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

TEST_P(FailedBackup, IsLoggedAndTheServiceKeepsServing) {
    ScratchDir scratch;
    const std::string database = BigDatabase(scratch);
    fs::path folder = scratch.path() / "backups";
    if (GetParam().folderUnderAFile) {
        WriteBytes(scratch.file("a-file"), "");
        folder = scratch.path() / "a-file" / "backups";
    }
    auto options = BackingUp(folder, "20ms", "5");
    options.arguments.insert(options.arguments.end(), {"--database", database});

    // Inherited by the service only: restored as soon as it runs.
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit limited = original;
    limited.rlim_cur = GetParam().fileSizeLimit;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    std::optional<testsupport::TestService> service;
    try {
        service.emplace(options);
    } catch (...) {
    }
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, previous);
    ASSERT_TRUE(service.has_value());

    ASSERT_TRUE(WaitFor([&] { return service->log().find("backup into") != std::string::npos; }));
    EXPECT_NE(service->log().find("failed"), std::string::npos) << service->log();
    RawPeer peer(service->endpoint());
    ASSERT_TRUE(peer.Open());
    EXPECT_EQ(peer.Ask(Insert("served")), "success:") << service->log();
    service->stop();
    std::error_code ignored;
    EXPECT_TRUE(fs::is_empty(folder, ignored) || !fs::exists(folder)) << "a partial copy is left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedBackup,
    testing::Values(FailedBackupCase{"FolderCannotBeMade", true, RLIM_INFINITY},
                    FailedBackupCase{"DiskFull", false, 100000}),
    [](const testing::TestParamInfo<FailedBackupCase>& info) { return info.param.name; });

}  // namespace

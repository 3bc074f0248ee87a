#include "service/backup.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

using SystemClock = std::chrono::system_clock;
using Sqlite = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

constexpr char kNameTimeFormat[] = "%Y%m%dT%H%M%S";
constexpr char kBackupEnding[] = "Z.db";
constexpr char kPartialEnding[] = ".partial";

Sqlite OpenSqlite(const std::string& path, int flags, std::string& error) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    Sqlite handle(db, sqlite3_close);
    if (rc != SQLITE_OK) {
        error = path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        handle.reset();
    }
    return handle;
}

bool Execute(sqlite3* db, const char* sql, std::string& error) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    error = sqlite3_errmsg(db);
    return false;
}

// Empty when SQLite finds the database sound, else what it found, one problem a line.
std::string IntegrityProblems(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db);
    std::string problems;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        problems += std::string(line ? line : "") + "\n";
    }
    if (rc != SQLITE_DONE) problems += std::string(sqlite3_errmsg(db)) + "\n";
    sqlite3_finalize(statement);
    return problems == "ok\n" ? std::string() : problems;
}

std::string IntegrityProblemsOf(const std::string& path) {
    std::string error;
    const Sqlite db = OpenSqlite(path, SQLITE_OPEN_READONLY, error);
    return db ? IntegrityProblems(db.get()) : error;
}

// "20261207T203000.123": UTC to the millisecond, so names sort in time order.
std::string TimeText(SystemClock::time_point time) {
    const std::time_t seconds = SystemClock::to_time_t(time);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            time.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const size_t length = std::strftime(text, sizeof text, kNameTimeFormat, &utc);
    std::snprintf(text + length, sizeof text - length, ".%03lld", static_cast<long long>(millis));
    return text;
}

std::string Stem(const std::string& database) {
    return fs::path(database).stem().string();
}

std::optional<SystemClock::time_point> BackupTime(const std::string& name,
                                                  const std::string& stem) {
    const std::string prefix = stem + "-";
    const size_t ending = std::strlen(kBackupEnding);
    if (name.size() <= prefix.size() + ending || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - ending, ending, kBackupEnding) != 0)
        return std::nullopt;
    std::tm utc{};
    const char* rest = strptime(name.c_str() + prefix.size(), kNameTimeFormat, &utc);
    int millis = 0;
    int used = 0;
    if (!rest || std::sscanf(rest, ".%3d%n", &millis, &used) != 1 ||
        rest + used != name.c_str() + name.size() - ending)
        return std::nullopt;
    return SystemClock::from_time_t(timegm(&utc)) + std::chrono::milliseconds(millis);
}

// The backups of `stem` in `folder`, oldest first.
std::vector<std::string> BackupNames(const std::string& folder, const std::string& stem) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (BackupTime(name, stem)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Copies left by a backup that was cut short (the service killed meanwhile).
void RemovePartialCopies(const std::string& folder, const std::string& stem) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("." + stem + "-", 0) == 0 && entry.path().extension() == kPartialEnding)
            fs::remove(entry.path(), error);
    }
}

void RemoveOldest(const std::string& folder, const std::string& stem, int keep) {
    const std::vector<std::string> names = BackupNames(folder, stem);
    std::error_code error;
    for (size_t i = 0; i + keep < names.size(); ++i) fs::remove(fs::path(folder) / names[i], error);
}

std::string SystemError(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

// A renamed file is where it belongs on disk only once its folder is synced.
bool RenameDurably(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        error = SystemError(to);
        return false;
    }
    const std::string folder = fs::path(to).parent_path().string();
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && fsync(fd) == 0;
    if (!synced) error = SystemError(folder);
    if (fd >= 0) close(fd);
    return synced;
}

// The copy is made in one step, inside one read transaction: a consistent snapshot, while
// the service's writer goes on in the write-ahead log. It then leaves the write-ahead mode it
// inherited, so that a backup is one file that can be copied and restored alone.
bool CopyDatabase(const std::string& database, const std::string& copy, std::string& error) {
    const Sqlite source = OpenSqlite(database, SQLITE_OPEN_READONLY, error);
    if (!source) return false;
    const Sqlite target = OpenSqlite(copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!target) return false;
    sqlite3_backup* backup = sqlite3_backup_init(target.get(), "main", source.get(), "main");
    if (!backup) {
        error = sqlite3_errmsg(target.get());
        return false;
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    if (sqlite3_backup_finish(backup) != SQLITE_OK || stepped != SQLITE_DONE) {
        // "disk I/O error" alone would not tell a full disk from a failing one.
        const int cause = sqlite3_system_errno(target.get());
        error = copy + ": " + sqlite3_errmsg(target.get()) +
                (cause ? std::string(" (") + std::strerror(cause) + ")" : std::string());
        return false;
    }
    if (!Execute(target.get(), "PRAGMA journal_mode = DELETE", error)) return false;
    error = IntegrityProblems(target.get());
    return error.empty();
}

bool MakeBackup(const std::string& database, const BackupOptions& options, std::string& error) {
    const std::string stem = Stem(database);
    const std::string time = TimeText(SystemClock::now());
    const fs::path folder(options.folder);
    const std::string partial = (folder / ("." + stem + "-" + time + kPartialEnding)).string();
    const std::string name = (folder / (stem + "-" + time + kBackupEnding)).string();
    std::error_code failure;
    const bool made = CopyDatabase(database, partial, error) && RenameDurably(partial, name, error);
    if (!made) {
        fs::remove(partial, failure);
        fs::remove(partial + "-journal", failure);
    }
    return made;
}

}  // namespace

bool TakeBackup(const std::string& database, const BackupOptions& options, std::string& error) {
    std::error_code failure;
    fs::create_directories(options.folder, failure);
    if (failure) {
        error = options.folder + ": " + failure.message();
        return false;
    }
    RemovePartialCopies(options.folder, Stem(database));
    if (!MakeBackup(database, options, error)) return false;
    RemoveOldest(options.folder, Stem(database), options.keep);
    return true;
}

BackupSchedule::BackupSchedule(std::string database, BackupOptions options)
    : m_database(std::move(database)), m_options(std::move(options)),
      m_thread(&BackupSchedule::Run, this) {}

BackupSchedule::~BackupSchedule() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void BackupSchedule::Run() {
    const std::vector<std::string> earlier = BackupNames(m_options.folder, Stem(m_database));
    const SystemClock::time_point now = SystemClock::now();
    SystemClock::time_point due = now;
    // A newest copy dated ahead of the clock must not put the next one off for longer.
    if (!earlier.empty())
        due = std::min(*BackupTime(earlier.back(), Stem(m_database)), now) + m_options.every;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_until(lock, due, [this] { return m_stopping; })) {
        lock.unlock();
        const auto started = std::chrono::steady_clock::now();
        std::string error;
        if (TakeBackup(m_database, m_options, error)) {
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - started);
            std::fprintf(stderr, "netsqlited: backup taken into %s in %lld ms\n",
                         m_options.folder.c_str(), static_cast<long long>(took.count()));
        } else {
            std::fprintf(stderr, "netsqlited: backup into %s failed: %s\n",
                         m_options.folder.c_str(), error.c_str());
        }
        due = SystemClock::now() + m_options.every;
        lock.lock();
    }
}

int CheckDatabaseFile(const std::string& database) {
    const std::string problems = IntegrityProblemsOf(database);
    if (problems.empty()) {
        std::printf("%s: ok\n", database.c_str());
        return 0;
    }
    std::fprintf(stderr, "netsqlited: %s fails the integrity check:\n%s", database.c_str(),
                 problems.c_str());
    return 1;
}

namespace {

// Folds a write-ahead log left by a service that was killed into the file, so that the file
// set aside is whole. A file too damaged to open is set aside as it is, log and all.
void FoldWriteAheadLog(const std::string& database) {
    std::string ignored;
    const Sqlite db = OpenSqlite(database, SQLITE_OPEN_READWRITE, ignored);
    if (db) Execute(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)", ignored);
}

// Moves the database (and a log SQLite could not fold) to `kept`, where SQLite finds them
// together again.
bool SetAside(const std::string& database, const std::string& kept, std::string& error) {
    FoldWriteAheadLog(database);
    std::error_code ignored;
    fs::remove(database + "-shm", ignored);
    if (fs::exists(database + "-wal") && std::rename((database + "-wal").c_str(),
                                                     (kept + "-wal").c_str()) != 0) {
        error = SystemError(kept + "-wal");
        return false;
    }
    return RenameDurably(database, kept, error);
}

// The copy belongs to whoever owned the file it replaces: the service's own user, not the
// administrator who restores.
bool CopyForRestore(const std::string& backup, const std::string& copy, const struct stat& owner,
                    std::string& error) {
    std::error_code failure;
    if (!fs::copy_file(backup, copy, fs::copy_options::overwrite_existing, failure)) {
        error = copy + ": " + failure.message();
        return false;
    }
    const int fd = open(copy.c_str(), O_RDWR | O_CLOEXEC);
    const bool done = fd >= 0 && fchown(fd, owner.st_uid, owner.st_gid) == 0 &&
                      fchmod(fd, owner.st_mode & 07777) == 0 && fsync(fd) == 0;
    if (!done) error = SystemError(copy);
    if (fd >= 0) close(fd);
    if (done) error = IntegrityProblemsOf(copy);
    return error.empty();
}

bool Restore(const std::string& backup, const std::string& database, int lock_fd,
             std::string& error, std::string& kept) {
    struct stat current {};
    if (fstat(lock_fd, &current) != 0) {
        error = SystemError(database);
        return false;
    }
    const std::string copy = database + ".restoring";
    if (!CopyForRestore(backup, copy, current, error)) {
        std::error_code ignored;
        fs::remove(copy, ignored);
        return false;
    }
    // The lock's own file may be new and empty: nothing worth keeping.
    if (current.st_size > 0) {
        kept = database + ".replaced-" + TimeText(SystemClock::now());
        if (!SetAside(database, kept, error)) return false;
    }
    return RenameDurably(copy, database, error);
}

}  // namespace

int RestoreDatabaseFile(const std::string& backup, const std::string& database) {
    const int fd = open(database.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0640);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string why = errno == EWOULDBLOCK
                                    ? database + " is in use by a running service; stop it first"
                                    : SystemError(database);
        std::fprintf(stderr, "netsqlited: %s\n", why.c_str());
        if (fd >= 0) close(fd);
        return 1;
    }
    std::string error;
    std::string kept;
    const bool restored = Restore(backup, database, fd, error, kept);
    close(fd);
    if (!restored) {
        std::fprintf(stderr, "netsqlited: %s not restored from %s: %s\n", database.c_str(),
                     backup.c_str(), error.c_str());
        return 1;
    }
    std::printf("netsqlited: %s restored from %s\n", database.c_str(), backup.c_str());
    if (!kept.empty()) std::printf("netsqlited: the database it replaced is kept as %s\n", kept.c_str());
    return 0;
}

DatabaseInUse::DatabaseInUse(const std::string& database)
    : m_fd(open(database.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644)) {
    if (m_fd >= 0) flock(m_fd, LOCK_SH);
}

DatabaseInUse::~DatabaseInUse() {
    if (m_fd >= 0) close(m_fd);
}

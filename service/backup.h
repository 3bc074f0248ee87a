#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

struct BackupOptions {
    std::string folder;  // empty: no backups
    std::chrono::milliseconds every = std::chrono::hours(1);
    int keep = 48;
};

// Copies `database` into `options.folder` as "<name>-<UTC time>Z.db" (the time the copy's
// snapshot was taken), checked before it gets that name; then removes the oldest copies beyond
// `options.keep`. False with `error` set when no copy was made.
bool TakeBackup(const std::string& database, const BackupOptions& options, std::string& error);

// Takes a backup every `options.every` on a thread of its own, reading through a connection of
// its own: the service keeps answering meanwhile. The first one is due one interval after the
// newest copy already in the folder, so restarts neither skip nor repeat backups. A failed
// backup is logged and tried again at the next interval.
class BackupSchedule {
public:
    BackupSchedule(std::string database, BackupOptions options);
    ~BackupSchedule();
    BackupSchedule(const BackupSchedule&) = delete;
    BackupSchedule& operator=(const BackupSchedule&) = delete;

private:
    void Run();

    const std::string m_database;
    const BackupOptions m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

// `netsqlited --check`: prints "ok" or what is damaged; the process's exit status.
int CheckDatabaseFile(const std::string& database);
// `netsqlited --restore`: replaces `database` with a checked copy of `backup`, keeping the
// replaced file beside it; refused while a service holds the database. The exit status.
int RestoreDatabaseFile(const std::string& backup, const std::string& database);

// Held by a running service for as long as it has `database` open, so that a restore refuses
// to pull the file from under it; waits while a restore runs. An advisory lock of another kind
// than SQLite's, on a descriptor opened (creating the file) before SQLite's and closed after
// them: closing it earlier would drop SQLite's own locks.
class DatabaseInUse {
public:
    explicit DatabaseInUse(const std::string& database);
    ~DatabaseInUse();
    DatabaseInUse(const DatabaseInUse&) = delete;
    DatabaseInUse& operator=(const DatabaseInUse&) = delete;

private:
    int m_fd;
};

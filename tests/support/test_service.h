#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace testsupport {

// A real netsqlited for one test: its own loopback address (port 5566), a fresh seeded
// database in a temporary folder, stopped and removed by the destructor. The service is tied
// to the creating thread: it is killed if that thread ends first.
class TestService {
public:
    struct Options {
        bool demo = false;  // also the demo customers and vehicles
        std::string user = "ledger";
        std::string password = "ledger2026";
        std::vector<std::string> arguments;  // further command-line options
        bool encrypted = false;  // CURVE only, as a real service; else in clear (--plain)
        std::string program;  // another netsqlited than this build's (an installed one)
        std::chrono::seconds start_limit{10};  // until it listens (opening a big old database
                                               // adds what it lacks first)
    };

    TestService();
    explicit TestService(Options options);
    ~TestService();
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    const std::string& address() const { return m_address; }  // "127.a.b.c"
    std::string endpoint() const;                             // "tcp://127.a.b.c:5566"
    const std::string& databasePath() const { return m_databasePath; }
    const std::string& user() const { return m_options.user; }
    const std::string& password() const { return m_options.password; }
    pid_t pid() const { return m_pid; }
    // What `netsqlited --print-public-key` prints for this service's database, without the
    // line end.
    std::string publicKey() const;

    // A service that stops answering (SIGSTOP) and carries on (SIGCONT).
    void pause();
    void resume();
    // Stops with `signal` and returns the exit status (waitpid form), -1 when not running.
    // start() starts again on the same address with the same database.
    int stop(int signal = SIGTERM);
    void start();

    // The service's own output so far, for failure messages.
    std::string log() const;

private:
    bool launch();
    bool waitUntilListening();

    Options m_options;
    ScratchDir m_folder;
    std::string m_databasePath;
    std::string m_logPath;
    std::string m_address;
    pid_t m_pid = -1;
};

// A loopback address no other test process is likely to use: derived from the process id and
// a counter. Callers retry with the next one when binding fails.
std::string NextLoopbackAddress();

}  // namespace testsupport

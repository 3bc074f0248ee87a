#include "tests/support/test_service.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace testsupport {
namespace {

using namespace std::chrono_literals;

constexpr int kAddressAttempts = 8;
constexpr auto kStopLimit = 5s;
constexpr auto kPollStep = 5ms;

// Waits for the child to end; false when it is still running after `limit`.
bool Reap(pid_t pid, std::chrono::milliseconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

bool HasExited(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == pid;
}

}  // namespace

std::string NextLoopbackAddress() {
    static std::atomic<unsigned> counter{0};
    // 16 addresses per process id before they repeat; the last byte stays within 2..254.
    unsigned long n = static_cast<unsigned long>(getpid()) * 16 + counter++ % 16;
    const unsigned c = 2 + n % 253;
    n /= 253;
    const unsigned b = n % 256;
    const unsigned a = (n / 256) % 256;
    return "127." + std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
}

TestService::TestService() : TestService(Options{}) {}

TestService::TestService(Options options) : m_options(std::move(options)) {
    m_databasePath = m_folder.file("whitelist.db");
    m_logPath = m_folder.file("netsqlited.log");
    for (int attempt = 0; attempt < kAddressAttempts; ++attempt) {
        m_address = NextLoopbackAddress();
        if (launch()) return;
    }
    throw std::runtime_error("netsqlited did not start: " + log());
}

TestService::~TestService() {
    // A service that ended by itself (a crash, a sanitizer report) explains the failures it
    // caused only in its own output.
    if (m_pid > 0 && HasExited(m_pid)) {
        m_pid = -1;
        std::fprintf(stderr, "netsqlited ended on its own during the test:\n%s\n", log().c_str());
    }
    stop();
}

std::string TestService::endpoint() const {
    return "tcp://" + m_address + ":5566";
}

void TestService::pause() {
    if (m_pid > 0) kill(m_pid, SIGSTOP);
}

void TestService::resume() {
    if (m_pid > 0) kill(m_pid, SIGCONT);
}

int TestService::stop(int signal) {
    if (m_pid <= 0) return -1;
    kill(m_pid, signal);
    kill(m_pid, SIGCONT);  // a paused service must run to see the signal
    int status = -1;
    if (!Reap(m_pid, kStopLimit, status)) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    return status;
}

void TestService::start() {
    if (m_pid > 0) return;
    if (!launch()) throw std::runtime_error("netsqlited did not start again: " + log());
}

std::string TestService::log() const {
    std::ifstream in(m_logPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TestService::publicKey() const {
    const std::string command =
        std::string(LEDGERDESK_NETSQLITED) + " --print-public-key --database '" + m_databasePath + "'";
    FILE* output = popen(command.c_str(), "r");
    if (!output) return {};
    char line[128] = {};
    const bool read = std::fgets(line, sizeof line, output) != nullptr;
    pclose(output);
    std::string key = read ? line : "";
    if (!key.empty() && key.back() == '\n') key.pop_back();
    return key;
}

bool TestService::launch() {
    const std::string program =
        m_options.program.empty() ? LEDGERDESK_NETSQLITED : m_options.program;
    std::vector<std::string> args = {program,               "--address",    m_address,
                                     "--database",          m_databasePath, "--user",
                                     m_options.user,        "--password",   m_options.password};
    if (m_options.demo) args.push_back("--demo");
    if (!m_options.encrypted) args.push_back("--plain");
    args.insert(args.end(), m_options.arguments.begin(), m_options.arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    const int logFd = open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) return false;
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        // A test that crashes must not leave its service behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(logFd, STDOUT_FILENO);
        dup2(logFd, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(logFd);
    if (m_pid < 0) return false;
    if (waitUntilListening()) return true;
    stop();
    return false;
}

bool TestService::waitUntilListening() {
    const auto deadline = std::chrono::steady_clock::now() + m_options.start_limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (log().find("listening on") != std::string::npos) return true;
        if (HasExited(m_pid)) {
            m_pid = -1;
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
    return false;
}

}  // namespace testsupport

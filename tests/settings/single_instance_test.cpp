#include "settings/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/scratch_dir.h"

namespace {

constexpr int kAnswerTimeoutMs = 5000;
// What a probe says when its program could not be started at all.
constexpr char kCannotRun[] = "cannot run";

// A probe process taking the lock; the test holds its standard input open for as long as the probe
// should keep the lock.
class Probe {
public:
    explicit Probe(const std::string& lockName, std::optional<uid_t> user = std::nullopt,
                   const std::string& program = SINGLE_INSTANCE_PROBE) {
        int input[2], output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(input[0], STDIN_FILENO);
            ::dup2(output[1], STDOUT_FILENO);
            if (user && ::setuid(*user) != 0) ::_exit(4);
            ::execl(program.c_str(), program.c_str(), lockName.c_str(), nullptr);
            const std::string cannotRun = std::string(kCannotRun) + "\n";
            if (::write(STDOUT_FILENO, cannotRun.data(), cannotRun.size()) < 0) ::_exit(6);
            ::_exit(5);
        }
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        m_output = output[0];
    }
    ~Probe() {
        Kill();
        if (m_input >= 0) ::close(m_input);
        if (m_output >= 0) ::close(m_output);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // "held", "refused", kCannotRun, or "" when the probe said nothing in time.
    std::string Answer() {
        std::string answer;
        pollfd ready{m_output, POLLIN, 0};
        char byte;
        while (::poll(&ready, 1, kAnswerTimeoutMs) > 0 && ::read(m_output, &byte, 1) == 1 &&
               byte != '\n')
            answer += byte;
        return answer;
    }
    bool IsRunning() {
        if (m_pid > 0 && !m_exited && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid)
            m_exited = true;
        return m_pid > 0 && !m_exited;
    }
    int Finish() {
        ::close(m_input);
        m_input = -1;
        return Wait();
    }
    void Kill() {
        if (m_pid <= 0 || m_exited) return;  // never kill(-1)
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    int Wait() {
        if (m_pid > 0 && !m_exited) ::waitpid(m_pid, &m_status, 0);
        m_exited = true;
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    int m_status = 0;
    bool m_exited = false;
};

class SingleInstance : public ::testing::Test {
protected:
    // Unique per test and process, so test runs side by side and a running client never meet.
    std::string m_name = "LedgerDeskTest/" + std::to_string(::getpid()) + "/" +
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(SingleInstance, SecondProcessIsRefusedWhileFirstRuns) {
    Probe first(m_name);
    ASSERT_EQ(first.Answer(), "held");
    Probe second(m_name);
    EXPECT_EQ(second.Answer(), "refused");
    EXPECT_EQ(second.Wait(), 3);
    EXPECT_TRUE(first.IsRunning());
}

TEST_F(SingleInstance, NextProcessStartsOnceFirstHasExited) {
    Probe first(m_name);
    ASSERT_EQ(first.Answer(), "held");
    EXPECT_EQ(first.Finish(), 0);
    Probe next(m_name);
    EXPECT_EQ(next.Answer(), "held");
}

TEST_F(SingleInstance, NextProcessStartsAfterFirstWasKilled) {
    Probe first(m_name);
    ASSERT_EQ(first.Answer(), "held");
    first.Kill();
    Probe next(m_name);
    EXPECT_EQ(next.Answer(), "held");
}

// A program the client starts (a workbook opened with its application) must not keep the lock.
TEST_F(SingleInstance, StartedProgramsDoNotInheritTheLock) {
    SingleInstanceHandle handle;
    ASSERT_TRUE(AcquireSingleInstance(handle, m_name));
    Probe child(m_name + "/other");
    ASSERT_EQ(child.Answer(), "held");
    handle.Release();
    EXPECT_TRUE(AcquireSingleInstance(handle, m_name));
}

// The build folder may lie where other users cannot enter (a checkout in a private temporary
// folder), so the other user runs a copy of the probe from a folder open to everyone.
std::string ProbeCopyIn(const ScratchDir& folder) {
    namespace fs = std::filesystem;
    const fs::path copy = folder.path() / "single_instance_probe";
    fs::copy_file(SINGLE_INSTANCE_PROBE, copy);
    fs::permissions(folder.path(), fs::perms(0755));
    fs::permissions(copy, fs::perms(0755));
    return copy.string();
}

TEST_F(SingleInstance, OtherUsersAreRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to start a process as another user";
    const uid_t nobody = 65534;
    ScratchDir folder;
    SingleInstanceHandle handle;
    ASSERT_TRUE(AcquireSingleInstance(handle, m_name));
    Probe otherUser(m_name, nobody, ProbeCopyIn(folder));
    const std::string answer = otherUser.Answer();
    if (answer == kCannotRun)
        GTEST_SKIP() << "uid " << nobody << " cannot run a program from " << folder.path()
                     << " (is the temporary folder closed to other users?)";
    EXPECT_EQ(answer, "refused");
}

}  // namespace

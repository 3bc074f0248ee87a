// The Debian packages as CPack builds them from this build: what they hold and declare, what
// lintian says of them, and the service they install, started from a scratch root.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/service/raw_peer.h"
#include "tests/support/run_command.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_service.h"

namespace fs = std::filesystem;
using testsupport::RunCommand;

namespace {

bool Installed(const std::string& program) {
    return RunCommand("command -v " + program).status == 0;
}

// Both packages are built once, into a folder of their own, for every test here.
class Packages : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new ScratchDir;
        const auto built = RunCommand(std::string("cd " LEDGERDESK_BUILD_DIR " && " LEDGERDESK_CPACK
                                                  " -G DEB -B ") +
                                      s_folder->path().string());
        s_cpackOutput = new std::string(built.output);
    }
    static void TearDownTestSuite() {
        delete s_folder;
        delete s_cpackOutput;
    }
    void SetUp() override {
        ASSERT_FALSE(Deb("ledgerdesk").empty()) << *s_cpackOutput;
        ASSERT_FALSE(Deb("ledgerdesk-service").empty()) << *s_cpackOutput;
    }

    static std::string Deb(const std::string& package) {
        for (const auto& entry : fs::directory_iterator(s_folder->path())) {
            if (entry.path().filename().string().rfind(package + "_", 0) == 0) return entry.path();
        }
        return std::string();
    }
    static std::string Field(const std::string& package, const std::string& field) {
        return RunCommand("dpkg-deb -f " + Deb(package) + " " + field).output;
    }

    static ScratchDir* s_folder;
    static std::string* s_cpackOutput;
};

ScratchDir* Packages::s_folder = nullptr;
std::string* Packages::s_cpackOutput = nullptr;

TEST_F(Packages, HoldTheirFilesAndDependOnTheLibrariesTheyLink) {
    const struct {
        const char* package;
        std::vector<std::string> paths;
        const char* library;
    } expected[] = {
        {"ledgerdesk",
         {"./usr/bin/ledgerdesk", "./usr/bin/ledgerdesk-cli", "./usr/share/applications/ledgerdesk.desktop",
          "./usr/share/icons/hicolor/scalable/apps/ledgerdesk.svg",
          "./usr/share/icons/hicolor/48x48/apps/ledgerdesk.png", "./etc/ledgerdesk/wlsetting.ini",
          "./usr/share/doc/ledgerdesk/copyright"},
         "libqt6widgets6"},
        {"ledgerdesk-service",
         {"./usr/sbin/netsqlited", "./lib/systemd/system/netsqlited.service",
          "./etc/ledgerdesk/netsqlited.conf", "./usr/share/doc/ledgerdesk-service/copyright"},
         "libzmq5"},
    };
    for (const auto& package : expected) {
        const std::string contents = RunCommand("dpkg-deb -c " + Deb(package.package)).output;
        for (const std::string& path : package.paths)
            EXPECT_NE(contents.find(" " + path + "\n"), std::string::npos) << path << " in\n" << contents;
        EXPECT_NE(Field(package.package, "Depends").find(package.library), std::string::npos)
            << Field(package.package, "Depends");
    }
}

TEST_F(Packages, LintianFindsNoError) {
    if (!Installed("lintian")) GTEST_SKIP() << "lintian is not installed";
    const auto lintian = RunCommand("lintian --fail-on error " + Deb("ledgerdesk") + " " +
                                    Deb("ledgerdesk-service"));
    EXPECT_EQ(lintian.status, 0) << lintian.output;
}

TEST_F(Packages, InstalledServiceAnswersWithItsConfigAndTakesABackup) {
    ScratchDir root;
    for (const char* package : {"ledgerdesk", "ledgerdesk-service"})
        ASSERT_EQ(RunCommand("dpkg -x " + Deb(package) + " " + root.path().string()).status, 0);
    EXPECT_EQ(fs::status(root.path() / "usr/bin/ledgerdesk").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);

    // The address and the database the test gives win over the config's; so does the folder
    // of the backups the config enables.
    testsupport::TestService::Options options;
    options.program = (root.path() / "usr/sbin/netsqlited").string();
    options.arguments = {"--config", root.file("etc/ledgerdesk/netsqlited.conf"), "--backup-dir",
                         root.file("backups")};
    testsupport::TestService service(options);
    RawPeer peer(service.endpoint());
    ASSERT_TRUE(peer.Open()) << service.log();
    EXPECT_EQ(peer.Ask("query:SELECT count(*) AS n FROM userInfo"),
              "success:" + Line({"n"}) + Line({"1"}));
    const auto backedUp = [&] {
        std::error_code missing;
        return !fs::is_empty(root.path() / "backups", missing) && !missing;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!backedUp() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(backedUp()) << service.log();
}

TEST_F(Packages, UnitPassesSystemdAnalyzeVerify) {
    if (!Installed("systemd-analyze")) GTEST_SKIP() << "systemd is not installed";
    ScratchDir root;
    ASSERT_EQ(RunCommand("dpkg -x " + Deb("ledgerdesk-service") + " " + root.path().string()).status, 0);
    // The unit as installed, but starting the program where it was unpacked: verify checks it.
    const std::string program = root.file("usr/sbin/netsqlited");
    fs::create_directory(root.path() / "verify");
    const std::string unit = root.file("verify/netsqlited.service");
    ASSERT_EQ(RunCommand("sed 's|/usr/sbin/netsqlited|" + program + "|' " +
                         root.file("lib/systemd/system/netsqlited.service") + " > " + unit)
                  .status,
              0);
    // It reports a directive it cannot read, and still exits with 0.
    const auto verify = RunCommand("systemd-analyze verify " + unit);
    EXPECT_EQ(verify.status, 0);
    EXPECT_EQ(verify.output, "");
}

}  // namespace

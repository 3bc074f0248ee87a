#include "settings/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/scratch_dir.h"
#include "tests/support/case_printing.h"

namespace {

namespace fs = std::filesystem;

class ConfigTest : public ::testing::Test {
protected:
    void Seed(const std::string& bytes) { WriteBytes(m_path, bytes); }
    std::string FileBytes() const { return ReadBytes(m_path); }

    ScratchDir m_dir;
    std::string m_path = m_dir.file("wlsetting.ini");
};

TEST_F(ConfigTest, InstanceLivesAsLongAsTheObject) {
    EXPECT_EQ(CConfig::Instance(), nullptr);
    {
        CConfig config(m_path);
        EXPECT_EQ(CConfig::Instance(), &config);
    }
    EXPECT_EQ(CConfig::Instance(), nullptr);
}

TEST_F(ConfigTest, DefaultFileIsBesideTheExecutable) {
    CConfig config;
    EXPECT_EQ(fs::path(config.SettingsPath()),
              fs::canonical("/proc/self/exe").parent_path() / "wlsetting.ini");
}

TEST_F(ConfigTest, CachedKeysIgnoreLaterHandEdits) {
    Seed("[Db]\nName=whitelist\nUserName=ledger\nIp=10.0.0.1\n");
    CConfig config(m_path);
    EXPECT_EQ(config.GetValue("Db", "Ip"), "10.0.0.1");
    EXPECT_EQ(config.GetValue("Excel", "ExcelKey"), "");
    Seed(
        "[Db]\nName=other\nUserName=other\nPassword=other\nIp=10.0.0.2\n"
        "[Excel]\nExcelKey=k\n[Export]\nFilePath=/tmp/x.xls\n");
    EXPECT_EQ(config.GetValue("Db", "Name"), "whitelist") << "preloaded";
    EXPECT_EQ(config.GetValue("Db", "UserName"), "ledger") << "preloaded";
    EXPECT_EQ(config.GetValue("Db", "Password"), "") << "preloaded while missing";
    EXPECT_EQ(config.GetValue("Export", "FilePath"), "") << "preloaded while missing";
    EXPECT_EQ(config.GetValue("Db", "Ip"), "10.0.0.1") << "read before";
    EXPECT_EQ(config.GetValue("Excel", "ExcelKey"), "") << "read before while missing";
}

TEST_F(ConfigTest, UnchangedValueIsNotWritten) {
    Seed("[Db]\nIp=10.0.0.1\n");
    CConfig config(m_path);
    EXPECT_EQ(config.GetValue("Db", "Ip"), "10.0.0.1");
    Seed("[Db]\nIp=hand edit\n");
    config.SetValue("Db", "Ip", "10.0.0.1");
    EXPECT_EQ(FileBytes(), "[Db]\nIp=hand edit\n");
}

// The file is compared with nothing but what this run has read or written: a key never read
// counts as "", so emptying it changes nothing, whatever the file holds.
TEST_F(ConfigTest, EmptyingANeverReadKeyWritesNothing) {
    Seed("[Operation]\nExcelColunmTooFew=0\n");
    CConfig config(m_path);
    config.SetValue("Operation", "ExcelColunmTooFew", "");
    EXPECT_EQ(config.GetValue("Operation", "ExcelColunmTooFew"), "");
    EXPECT_EQ(FileBytes(), "[Operation]\nExcelColunmTooFew=0\n");
}

TEST_F(ConfigTest, QuotedValueReadsWithoutItsQuotes) {
    Seed("[Db]\nIp=\"127.0.0.6\"\n[Import]\nAutoStep=\"0\"\n");
    CConfig config(m_path);
    EXPECT_EQ(config.GetValue("Db", "Ip"), "127.0.0.6");
    EXPECT_EQ(config.GetIntValue("Import", "AutoStep"), 0);
}

TEST_F(ConfigTest, MissingFileReadsEmptyAndEmptyValuesDoNotCreateIt) {
    CConfig config(m_path);
    EXPECT_EQ(config.GetValue("Db", "Ip"), "");
    EXPECT_EQ(config.GetIntValue("Import", "AutoStep"), kConfigIntAbsent);
    config.SetValue("Operation", "NoCustomerCodeTooFew", "");
    EXPECT_FALSE(fs::exists(m_path));
}

TEST_F(ConfigTest, LongValueReadsBackCut) {
    const std::string longPath(1024, 'p');
    {
        CConfig config(m_path);
        config.SetValue("Export", "FilePath", longPath);
        EXPECT_EQ(config.GetValue("Export", "FilePath"), longPath) << "the cache keeps all of it";
    }
    CConfig nextRun(m_path);
    EXPECT_EQ(nextRun.GetValue("Export", "FilePath"), longPath.substr(0, 1023));
}

TEST_F(ConfigTest, ValuesRoundTripThroughTheFile) {
    const std::string gbkPath = "/home/\xB2\xD9\xD7\xF7/\xB3\xB5\xC1\xBE.xlsx";
    {
        CConfig config(m_path);
        config.SetValue("Import", "FilePath", gbkPath);
        config.SetIntValue("Import", "AutoStep", 0);
        config.SetIntValue("Operation", "ExcelColunmTooFew", -17);
    }
    EXPECT_EQ(FileBytes(), "[Import]\nFilePath=" + gbkPath +
                               "\nAutoStep=0\n[Operation]\nExcelColunmTooFew=-17\n");
    CConfig nextRun(m_path);
    EXPECT_EQ(nextRun.GetValue("Import", "FilePath"), gbkPath);
    EXPECT_EQ(nextRun.GetIntValue("Import", "AutoStep"), 0);
    EXPECT_EQ(nextRun.GetIntValue("Operation", "ExcelColunmTooFew"), -17);
}

struct IntCase : testcases::NamedCase {
    std::string text;
    int32_t expected;
};

class ConfigIntRead : public ConfigTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(ConfigIntRead, ConvertsLikeAtoi) {
    Seed("[Operation]\nX=" + GetParam().text + "\n");
    CConfig config(m_path);
    EXPECT_EQ(config.GetIntValue("Operation", "X"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, ConfigIntRead,
                         ::testing::Values(IntCase{"Empty", "", kConfigIntAbsent},
                                           IntCase{"Zero", "0", 0}, IntCase{"Signed", " -42", -42},
                                           IntCase{"TrailingText", "12abc", 12},
                                           IntCase{"NoNumber", "yes", 0},
                                           IntCase{"TooLarge", "99999999999", 2147483647}),
                         testcases::kCaseName);

// Runs in a child process without root's right to write anywhere, so the folder's mode counts.
void SetInReadOnlyFolder(const std::string& path) {
    if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(2);
    CConfig config(path);
    config.SetValue("Db", "Ip", "10.0.0.9");
    std::_Exit(config.GetValue("Db", "Ip") == "10.0.0.9" ? 0 : 1);
}

TEST_F(ConfigTest, ReadOnlyFolderKeepsOldFileAndCachedValue) {
    Seed("[Db]\nIp=10.0.0.1\n");
    fs::permissions(m_path, fs::perms(0644));
    fs::permissions(m_dir.path(), fs::perms(0555));
    EXPECT_EXIT(SetInReadOnlyFolder(m_path), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(FileBytes(), "[Db]\nIp=10.0.0.1\n");
    EXPECT_EQ(m_dir.fileCount(), 1u);
}

}  // namespace

#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/scratch_dir.h"
#include "tests/support/case_printing.h"

namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

using testcases::kCaseName;
using testcases::NamedCase;

struct ReadCase : NamedCase {
    std::string file, section, key, expected;
};
struct WriteCase : NamedCase {
    std::string before, section, key, value, after;
};
struct RefusedCase : NamedCase {
    std::string section, key, value;
};

template <class Case>
class IniFileTest : public ::testing::TestWithParam<Case> {
protected:
    ScratchDir m_dir;
    std::string m_path = m_dir.file("wlsetting.ini");
};

using IniRead = IniFileTest<ReadCase>;
using IniWrite = IniFileTest<WriteCase>;
using IniRefusedWrite = IniFileTest<RefusedCase>;

TEST_P(IniRead, FindsTheValueAsProfileFunctionsDo) {
    const ReadCase& c = GetParam();
    WriteBytes(m_path, c.file);
    EXPECT_EQ(ini::ReadProfileString(m_path, c.section, c.key), c.expected);
}

// Bytes B0 41 and B0 61 are two GBK characters whose trail bytes look like "A" and "a".
INSTANTIATE_TEST_SUITE_P(
    Files, IniRead,
    ::testing::Values(
        ReadCase{"NamesIgnoreCase", "[dB]\nIP=x\n", "Db", "Ip", "x"},
        ReadCase{"BlanksTrimmed", "  [ Db ]  \n \t Ip \t=  a b \t\n", "Db", "Ip", "a b"},
        ReadCase{"CrLf", "[Db]\r\nIp=x\r\nName=y\r\n", "Db", "Ip", "x"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[Db]\nIp=x\n", "Db", "Ip", "x"},
        ReadCase{"KeyOfAnotherSection", "Ip=x\n[Import]\nIp=x\n[Db]\nName=y\n", "Db", "Ip", ""},
        ReadCase{"LineWithoutEquals", "[Db]\nIp\nIp=x=y\n", "Db", "Ip", "x=y"},
        ReadCase{"BinaryJunk", "\0\xFF[D\x01]\n\xFE\xFE=\n\x7F\n[Db]\nIp=x\n"s, "Db", "Ip", "x"},
        ReadCase{"QuotesStripped", "[Db]\nIp=\"127.0.0.6\"\n", "Db", "Ip", "127.0.0.6"},
        ReadCase{"QuotesKeepInnerBlanks", "[Db]\nIp = \" a b \" \n", "Db", "Ip", " a b "},
        ReadCase{"OnePairOfQuotesOnly", "[Db]\nIp=\"\"x\"\"\n", "Db", "Ip", "\"x\""},
        ReadCase{"EmptyQuotes", "[Db]\nIp=\"\"\n", "Db", "Ip", ""},
        ReadCase{"LoneQuoteKept", "[Db]\nIp=\"\n", "Db", "Ip", "\""},
        ReadCase{"UnpairedQuoteKept", "[Db]\nIp=\"x\n", "Db", "Ip", "\"x"},
        ReadCase{"InnerQuotesKept", "[Db]\nIp=a\"b\"\n", "Db", "Ip", "a\"b\""},
        ReadCase{"NulEndsValue", "[Db]\nIp=ab\0cd\n"s, "Db", "Ip", "ab"},
        ReadCase{"GbkNamesCompareExactly", "[\xB0\x41]\nk=v\n", "\xB0\x61", "k", ""},
        ReadCase{"GbkNameEndingInBracketByte", "[\xB0\x5D]\nk=v\n", "\xB0\x5D", "k", "v"},
        ReadCase{"CrOnly", "[Db]\rName=y\rIp=x\r", "Db", "Ip", "x"},
        ReadCase{"LongValueCut", "[Db]\nIp=" + std::string(1500, 'v') + "\n", "Db", "Ip",
                 std::string(1023, 'v')}),
    kCaseName);

TEST_P(IniWrite, ChangesOneKeyAndKeepsTheRest) {
    const WriteCase& c = GetParam();
    WriteBytes(m_path, c.before);
    ASSERT_TRUE(ini::WriteProfileString(m_path, c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(m_path), c.after);
    EXPECT_EQ(ini::ReadProfileString(m_path, c.section, c.key), c.value);
    EXPECT_EQ(m_dir.fileCount(), 1u) << "temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniWrite,
    ::testing::Values(
        WriteCase{"ReplacesValueOnly", "; kept\n[Db]\nIp=old\nName=n\n\n[Import]\nFilePath=f\n",
                  "Db", "Ip", "new", "; kept\n[Db]\nIp=new\nName=n\n\n[Import]\nFilePath=f\n"},
        WriteCase{"KeepsNamesAsWritten", "[DB]\n  ip = old  \n", "Db", "Ip", "new",
                  "[DB]\n  ip = new\n"},
        WriteCase{"NewKeyAfterLastKeyOfSection", "[Db]\nIp=1\n\n; import\n[Import]\nA=1\n", "Db",
                  "Name", "x", "[Db]\nIp=1\nName=x\n\n; import\n[Import]\nA=1\n"},
        WriteCase{"NewSectionAtEnd", "[Db]\nIp=1\n", "Import", "FilePath", "p",
                  "[Db]\nIp=1\n[Import]\nFilePath=p\n"},
        WriteCase{"CrLfKeyAdded", "[Db]\r\nIp=1\r\n", "Db", "Name", "2",
                  "[Db]\r\nIp=1\r\nName=2\r\n"},
        WriteCase{"CrOnlyKeyAdded", "[Db]\rIp=1\r", "Db", "Name", "2", "[Db]\rIp=1\rName=2\r"},
        WriteCase{"GbkSectionAdded", "", "\xB0\x5D", "k", "v", "[\xB0\x5D]\nk=v\n"},
        WriteCase{"NoFinalNewlineKeyAdded", "[Db]\nIp=1", "Db", "Name", "2",
                  "[Db]\nIp=1\nName=2\n"},
        WriteCase{"Utf8BomKept", "\xEF\xBB\xBF[Db]\nIp=1\n", "Db", "Ip", "2",
                  "\xEF\xBB\xBF[Db]\nIp=2\n"},
        WriteCase{"BinaryJunkKept", "\0\x01junk\xFF\n[Db]\nIp=1\n\xFE\0"s, "Db", "Ip", "",
                  "\0\x01junk\xFF\n[Db]\nIp=\n\xFE\0"s}),
    kCaseName);

// A path chosen by the user may hold a line break; written as is it would add keys or sections.
TEST_P(IniRefusedWrite, LeavesFileUntouched) {
    const RefusedCase& c = GetParam();
    WriteBytes(m_path, "[Db]\nIp=1\n");
    EXPECT_FALSE(ini::WriteProfileString(m_path, c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(m_path), "[Db]\nIp=1\n");
    EXPECT_EQ(m_dir.fileCount(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Names, IniRefusedWrite,
                         ::testing::Values(RefusedCase{"LineBreakInValue", "Import", "FilePath",
                                                       "/tmp/a\n[Db]\nIp=2"},
                                           RefusedCase{"NulInValue", "Db", "Ip", "a\0b"s},
                                           RefusedCase{"EqualsInKey", "Db", "Ip=2", "x"},
                                           RefusedCase{"BracketInSection", "Db]\nIp", "Ip", "x"}),
                         kCaseName);

class IniFileReplacement : public ::testing::Test {
protected:
    ScratchDir m_dir;
    std::string m_path = m_dir.file("wlsetting.ini");
};

TEST_F(IniFileReplacement, KeepsPermissionsOfTheOldFile) {
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    WriteBytes(m_path, "[Db]\nPassword=secret\n");
    fs::permissions(m_path, ownerOnly);
    ASSERT_TRUE(ini::WriteProfileString(m_path, "Db", "Ip", "1"));
    EXPECT_EQ(fs::status(m_path).permissions() & fs::perms::all, ownerOnly);
}

TEST_F(IniFileReplacement, WritesThroughASymbolicLink) {
    fs::create_directory(m_dir.path() / "real");
    const std::string target = (m_dir.path() / "real" / "settings.ini").string();
    WriteBytes(target, "[Db]\nIp=1\n");
    fs::create_symlink(target, m_path);
    ASSERT_TRUE(ini::WriteProfileString(m_path, "Db", "Ip", "2"));
    EXPECT_TRUE(fs::is_symlink(m_path));
    EXPECT_EQ(ReadBytes(target), "[Db]\nIp=2\n");
}

// Runs in a child process whose file size limit makes every larger write fail, as a full disk does.
void WriteBeyondSizeLimit(const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::_Exit(ini::WriteProfileString(path, "Db", "Ip", std::string(100, 'x')) ? 1 : 0);
}

TEST_F(IniFileReplacement, FailedWriteLeavesTheOldFile) {
    WriteBytes(m_path, "[Db]\nIp=1\n");
    EXPECT_EXIT(WriteBeyondSizeLimit(m_path), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(m_path), "[Db]\nIp=1\n");
    EXPECT_EQ(m_dir.fileCount(), 1u);
}

// Lines that never close their bracket once made every line search the rest of the file.
TEST_F(IniFileReplacement, LargestFileIsReadInOnePass) {
    std::string bytes;
    while (bytes.size() < ini::kMaxFileBytes - 16) bytes += "[\n";
    WriteBytes(m_path, bytes + "[Db]\nIp=x\n");
    EXPECT_EQ(ini::ReadProfileString(m_path, "Db", "Ip"), "x");
}

TEST_F(IniFileReplacement, OversizedFileIsNeitherReadNorWritten) {
    const std::string bytes = "[Db]\nIp=x\n;" + std::string(ini::kMaxFileBytes, ' ') + "\n";
    WriteBytes(m_path, bytes);
    EXPECT_TRUE(ini::IsTooLarge(m_path));
    EXPECT_EQ(ini::ReadProfileString(m_path, "Db", "Ip"), "");
    EXPECT_FALSE(ini::WriteProfileString(m_path, "Db", "Ip", "y"));
    EXPECT_EQ(ReadBytes(m_path), bytes);
}

TEST_F(IniFileReplacement, UnreadableFileIsNotReplaced) {
    fs::create_directory(m_path);  // a directory cannot be read as a file
    EXPECT_FALSE(ini::WriteProfileString(m_path, "Db", "Ip", "1"));
    EXPECT_TRUE(fs::is_directory(m_path));
}

}  // namespace

#include "app/settings/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/settings/scratch_dir.h"

namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

struct ReadCase {
    const char* name;
    std::string file;
    std::string section;
    std::string key;
    std::string expected;
};

class IniRead : public ::testing::TestWithParam<ReadCase> {
protected:
    ScratchDir m_dir;
};

TEST_P(IniRead, FindsTheValueAsProfileFunctionsDo) {
    const ReadCase& c = GetParam();
    const std::string path = m_dir.file("wlsetting.ini");
    WriteBytes(path, c.file);
    EXPECT_EQ(ini::ReadProfileString(path, c.section, c.key), c.expected);
}

// Bytes 0xB0 0x41 and 0xB0 0x61 are two different GBK characters whose trail bytes look like
// "A"/"a".
INSTANTIATE_TEST_SUITE_P(
    Files, IniRead,
    ::testing::Values(
        ReadCase{"Plain", "[Db]\nIp=10.0.0.1\n", "Db", "Ip", "10.0.0.1"},
        ReadCase{"NamesIgnoreCase", "[dB]\nIP=x\n", "Db", "Ip", "x"},
        ReadCase{"BlanksTrimmed", "  [ Db ]  \n \t Ip \t=  a b \t\n", "Db", "Ip", "a b"},
        ReadCase{"CrLf", "[Db]\r\nIp=x\r\nName=y\r\n", "Db", "Ip", "x"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[Db]\nIp=x\n", "Db", "Ip", "x"},
        ReadCase{"NoFinalNewline", "[Db]\nIp=x", "Db", "Ip", "x"},
        ReadCase{"FirstOfDuplicateKeys", "[Db]\nIp=a\nIp=b\n", "Db", "Ip", "a"},
        ReadCase{"KeyOfAnotherSection", "[Import]\nIp=x\n[Db]\nName=y\n", "Db", "Ip", ""},
        ReadCase{"KeyBeforeAnySection", "Ip=x\n[Db]\n", "Db", "Ip", ""},
        ReadCase{"LineWithoutEquals", "[Db]\nIp\nIp=x\n", "Db", "Ip", "x"},
        ReadCase{"EmptyValue", "[Db]\nIp=\nIp=x\n", "Db", "Ip", ""},
        ReadCase{"EqualsInValue", "[Excel]\nExcelKey=a=b\n", "Excel", "ExcelKey", "a=b"},
        ReadCase{"BinaryJunk", "\0\xFF[D\x01]\n\xFE\xFE=\n\x7F\n[Db]\nIp=x\n"s, "Db", "Ip", "x"},
        ReadCase{"NulEndsValue", "[Db]\nIp=ab\0cd\n"s, "Db", "Ip", "ab"},
        ReadCase{"GbkNamesCompareExactly", "[\xB0\x41]\nk=v\n", "\xB0\x61", "k", ""},
        ReadCase{"GbkValue", "[Db]\nName=\xB3\xB5\xC5\xC6\n", "Db", "Name", "\xB3\xB5\xC5\xC6"},
        ReadCase{"EmptyFile", "", "Db", "Ip", ""},
        ReadCase{"LongValueCut", "[Db]\nIp=" + std::string(1500, 'v') + "\n", "Db", "Ip",
                 std::string(1023, 'v')}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {
protected:
    ScratchDir m_dir;
};

TEST_P(IniWrite, ChangesOneKeyAndKeepsTheRest) {
    const WriteCase& c = GetParam();
    const std::string path = m_dir.file("wlsetting.ini");
    WriteBytes(path, c.before);
    ASSERT_TRUE(ini::WriteProfileString(path, c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(path), c.after);
    EXPECT_EQ(ini::ReadProfileString(path, c.section, c.key), c.value);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()), 1)
        << "temporary file left behind";
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
        WriteCase{"NewKeyInEmptySection", "[Db]\n[Import]\n", "Db", "Ip", "1",
                  "[Db]\nIp=1\n[Import]\n"},
        WriteCase{"NewSectionAtEnd", "[Db]\nIp=1\n", "Import", "FilePath", "p",
                  "[Db]\nIp=1\n[Import]\nFilePath=p\n"},
        WriteCase{"NewFile", "", "Db", "Ip", "1", "[Db]\nIp=1\n"},
        WriteCase{"CrLfKeyAdded", "[Db]\r\nIp=1\r\n", "Db", "Name", "2",
                  "[Db]\r\nIp=1\r\nName=2\r\n"},
        WriteCase{"CrLfValueReplaced", "[Db]\r\nIp=1\r\n", "Db", "Ip", "2", "[Db]\r\nIp=2\r\n"},
        WriteCase{"CrLfSectionAdded", "[Db]\r\nIp=1\r\n", "X", "k", "v",
                  "[Db]\r\nIp=1\r\n[X]\r\nk=v\r\n"},
        WriteCase{"NoFinalNewlineKeyAdded", "[Db]\nIp=1", "Db", "Name", "2",
                  "[Db]\nIp=1\nName=2\n"},
        WriteCase{"NoFinalNewlineValueReplaced", "[Db]\nIp=1", "Db", "Ip", "22", "[Db]\nIp=22"},
        WriteCase{"NoFinalNewlineSectionAdded", "[Db]\nIp=1", "X", "k", "v",
                  "[Db]\nIp=1\n[X]\nk=v\n"},
        WriteCase{"Utf8BomKept", "\xEF\xBB\xBF[Db]\nIp=1\n", "Db", "Ip", "2",
                  "\xEF\xBB\xBF[Db]\nIp=2\n"},
        WriteCase{"BinaryJunkKept", "\0\x01junk\xFF\n[Db]\nIp=1\n\xFE\0"s, "Db", "Ip", "2",
                  "\0\x01junk\xFF\n[Db]\nIp=2\n\xFE\0"s},
        WriteCase{"EmptyValue", "[Db]\nIp=1\n", "Db", "Ip", "", "[Db]\nIp=\n"},
        WriteCase{"FirstOfDuplicateSections", "[Db]\nIp=1\n[Db]\nName=2\n", "Db", "Name", "3",
                  "[Db]\nIp=1\nName=3\n[Db]\nName=2\n"},
        WriteCase{"GbkValue", "[Import]\nFilePath=a\n", "Import", "FilePath", "\xB3\xB5.xls",
                  "[Import]\nFilePath=\xB3\xB5.xls\n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::string section;
    std::string key;
    std::string value;
};

class IniRefusedWrite : public ::testing::TestWithParam<RefusedCase> {
protected:
    ScratchDir m_dir;
};

// A path chosen by the user may hold a line break; written as is it would add keys or sections.
TEST_P(IniRefusedWrite, LeavesFileUntouched) {
    const RefusedCase& c = GetParam();
    const std::string path = m_dir.file("wlsetting.ini");
    const std::string before = "[Db]\nIp=1\n";
    WriteBytes(path, before);
    EXPECT_FALSE(ini::WriteProfileString(path, c.section, c.key, c.value));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ini::ReadProfileString(path, "Db", "Ip"), "1");
}

INSTANTIATE_TEST_SUITE_P(Names, IniRefusedWrite,
                         ::testing::Values(RefusedCase{"LineBreakInValue", "Import", "FilePath",
                                                       "/tmp/a\n[Db]\nIp=evil"},
                                           RefusedCase{"CarriageReturnInValue", "Db", "Ip", "a\rb"},
                                           RefusedCase{"NulInValue", "Db", "Ip", "a\0b"s},
                                           RefusedCase{"EqualsInKey", "Db", "Ip=2", "x"},
                                           RefusedCase{"BracketInSection", "Db]\nIp", "Ip", "x"},
                                           RefusedCase{"KeyLooksLikeSection", "Db", "[Db", "x"},
                                           RefusedCase{"EmptySection", "", "Ip", "x"},
                                           RefusedCase{"EmptyKey", "Db", "", "x"}),
                         [](const auto& info) { return std::string(info.param.name); });

class IniFileReplacement : public ::testing::Test {
protected:
    ScratchDir m_dir;
    std::string m_path = m_dir.file("wlsetting.ini");
};

TEST_F(IniFileReplacement, KeepsPermissionsOfTheOldFile) {
    WriteBytes(m_path, "[Db]\nPassword=secret\n");
    fs::permissions(m_path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(ini::WriteProfileString(m_path, "Db", "Ip", "1"));
    EXPECT_EQ(fs::status(m_path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
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

TEST_F(IniFileReplacement, UnreadableFileIsNotReplaced) {
    fs::create_directory(m_path);  // a directory cannot be read as a file
    EXPECT_FALSE(ini::WriteProfileString(m_path, "Db", "Ip", "1"));
    EXPECT_TRUE(fs::is_directory(m_path));
    EXPECT_EQ(ini::ReadProfileString(m_path, "Db", "Ip"), "");
}

TEST_F(IniFileReplacement, MissingFolderFailsCleanly) {
    const std::string path = (m_dir.path() / "absent" / "wlsetting.ini").string();
    EXPECT_FALSE(ini::WriteProfileString(path, "Db", "Ip", "1"));
    EXPECT_FALSE(fs::exists(m_dir.path() / "absent"));
}

}  // namespace

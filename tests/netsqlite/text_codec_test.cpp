#include "netsqlite/text_codec.h"

#include <gtest/gtest.h>

#include "netsqlite/net_sqlite_exception.h"
#include "tests/support/case_printing.h"

namespace {

// Narrow literals of this file are GBK; u8 literals are UTF-8.
TEST(TextConversion, RoundTripsChineseText) {
    for (const auto& [gbk, utf8] : std::vector<std::pair<std::string, std::string>>{
             {"", ""},
             {"Code='C1'", u8"Code='C1'"},
             {"张伟 京A12345", u8"张伟 京A12345"},
             {"星期一, 三 08:00:00 至 18:00:00", u8"星期一, 三 08:00:00 至 18:00:00"},
             // Beyond GBK: four-byte GB18030 forms.
             {"张\x95\x30\x8D\x37", u8"张\U0001F697"},
             {"\x95\x34\xB2\x35野家", u8"\U00020BB7野家"}}) {
        EXPECT_EQ(GbkToUtf8(gbk), utf8);
        EXPECT_EQ(Utf8ToGbk(utf8), gbk);
    }
    std::string gbk;
    std::string utf8;
    for (int i = 0; i < 5000; ++i) {  // beyond one conversion chunk
        gbk += "张伟";
        utf8 += u8"张伟";
    }
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

struct BrokenCase : testcases::NamedCase {
    bool fromUtf8;
    std::string input;
    std::string expected;
};

class BrokenText : public testing::TestWithParam<BrokenCase> {};

// Bytes that are no character show as U+FFFD, never as a "?" that could pass for text.
TEST_P(BrokenText, MarksBytesThatAreNoCharacter) {
    const BrokenCase& c = GetParam();
    EXPECT_EQ(c.fromUtf8 ? Utf8ToGbk(c.input) : GbkToUtf8(c.input), c.expected);
}

const std::string kNarrowReplacement = "\x84\x31\xA4\x37";

INSTANTIATE_TEST_SUITE_P(
    Inputs, BrokenText,
    testing::Values(BrokenCase{"BrokenUtf8", true, "\xff" "x\x80",
                               kNarrowReplacement + "x" + kNarrowReplacement},
                    BrokenCase{"Utf8EndsInsideACharacter", true, u8"张" "\xe4\xbc",
                               "张" + kNarrowReplacement},
                    BrokenCase{"NarrowEndsAfterALeadByte", false, "ab\x81", u8"ab\uFFFD"},
                    BrokenCase{"NarrowLeadByteWithoutTrail", false, "\x81 z", u8"\uFFFD z"}),
    testcases::kCaseName);

TEST(NetSqliteExceptionText, NamesTheCodeAndIsCutToItsLimit) {
    EXPECT_STREQ(NetSqliteException(NET_SQLITE_NO_RIGHT, "").GetMessage(),
                 "[4]:NET_SQLITE_NO_RIGHT, ");
    EXPECT_STREQ(NetSqliteException(42, "x").GetMessage(), "[42]:UNKNOWN_ERROR, x");
    const NetSqliteException e(NET_SQLITE_QUERY_ERROR, std::string(20000, 'd'));
    EXPECT_EQ(std::string(e.GetMessage()).size(), NetSqliteException::kMaxMessage);
}

}  // namespace

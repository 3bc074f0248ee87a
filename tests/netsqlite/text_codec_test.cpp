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
             {"星期一, 三 08:00:00 至 18:00:00", u8"星期一, 三 08:00:00 至 18:00:00"}}) {
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

struct LossyCase : testcases::NamedCase {
    bool fromUtf8;
    std::string input;
    std::string expected;
};

class LossyConversion : public testing::TestWithParam<LossyCase> {};

TEST_P(LossyConversion, ReplacesWhatDoesNotConvertWithAQuestionMark) {
    const LossyCase& c = GetParam();
    EXPECT_EQ(c.fromUtf8 ? Utf8ToGbk(c.input) : GbkToUtf8(c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LossyConversion,
    testing::Values(LossyCase{"EmojiHasNoGbkForm", true, u8"a\U0001F600b", "a?b"},
                    LossyCase{"BrokenUtf8", true,
                              "\xff"
                              "x\x80",
                              "?x?"},
                    LossyCase{"Utf8EndsInsideACharacter", true,
                              u8"张"
                              "\xe4\xbc",
                              "张?"},
                    LossyCase{"GbkEndsAfterALeadByte", false, "ab\x81", "ab?"},
                    LossyCase{"GbkLeadByteWithoutTrail", false, "\x81 z", "? z"}),
    testcases::kCaseName);

TEST(NetSqliteExceptionText, NamesTheCodeAndIsCutToItsLimit) {
    EXPECT_STREQ(NetSqliteException(NET_SQLITE_NO_RIGHT, "").GetMessage(),
                 "[4]:NET_SQLITE_NO_RIGHT, ");
    EXPECT_STREQ(NetSqliteException(42, "x").GetMessage(), "[42]:UNKNOWN_ERROR, x");
    const NetSqliteException e(NET_SQLITE_QUERY_ERROR, std::string(20000, 'd'));
    EXPECT_EQ(std::string(e.GetMessage()).size(), NetSqliteException::kMaxMessage);
}

}  // namespace
